// Formatting codes as networks send them, read into plain text and styled runs.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "ui/formatting.h"

namespace kolu {
namespace {

constexpr Colour kRed = rgb(0xFF, 0, 0);
constexpr Colour kBlack = rgb(0, 0, 0);

StyleRun coloured(std::uint32_t start, std::uint32_t length, Colour foreground) {
    StyleRun run;
    run.start = start;
    run.length = length;
    run.hasForeground = true;
    run.foreground = foreground;
    return run;
}

StyleRun flagged(std::uint32_t start, std::uint32_t length, std::uint8_t flags) {
    StyleRun run;
    run.start = start;
    run.length = length;
    run.flags = flags;
    return run;
}

struct Case {
    const char16_t* raw;
    const char16_t* plain;
    std::vector<StyleRun> runs;
};

TEST(Formatting, LinesAsNetworksSendThemBecomePlainTextAndRuns) {
    StyleRun redOnBlack = coloured(0, 12, kRed);
    redOnBlack.hasBackground = true;
    redOnBlack.background = kBlack;
    const Case cases[] = {
        {u"\x03"
         u"04,01red on black\x0f plain",
         u"red on black plain",
         {redOnBlack}},
        {u"\x02"
         u"bold\x02 not",
         u"bold not",
         {flagged(0, 4, StyleRun::kBold)}},
        // A colour code without digits ends the colours.
        {u"\x03"
         u"4red\x03 default",
         u"red default",
         {coloured(0, 3, kRed)}},
        // A comma without a digit after it is text, after a colour or after a bare code.
        {u"\x03"
         u"04,x",
         u",x",
         {coloured(0, 2, kRed)}},
        {u"\x03,05x", u",05x", {}},
        // Two digits at most: the third is text.
        {u"\x03"
         u"123",
         u"3",
         {coloured(0, 1, rgb(0, 0, 0xFC))}},
        // The extended palette; 99 is the default colour.
        {u"\x03"
         u"28dark\x03"
         u"99 back",
         u"dark back",
         {coloured(0, 4, rgb(0x74, 0, 0))}},
        {u"\x04"
         u"FF8000orange\x04 plain",
         u"orange plain",
         {coloured(0, 6, rgb(0xFF, 0x80, 0))}},
        {u"\x04"
         u"12345zz",
         u"12345zz",
         {}},  // not six hex digits: no colour
        {u"\x1d\x1f\x1e\x11\x16x\x0fy",
         u"xy",
         {flagged(0, 1,
                  StyleRun::kItalic | StyleRun::kUnderline | StyleRun::kStrike |
                      StyleRun::kMonospace | StyleRun::kReverse)}},
        // Other control characters are never shown; a tab is a blank.
        {u"a\x01"
         u"b\x07"
         u"c\td",
         u"abc d",
         {}},
        {u"\x02\x02"
         u"same",
         u"same",
         {}},
        // Codes at the very end read nothing past the text.
        {u"x\x03", u"x", {}},
        {u"x\x03"
         u"1,",
         u"x,",
         {coloured(1, 1, kBlack)}},
        {u"x\x04"
         u"ABCDE",
         u"xABCDE",
         {}},
    };
    for (const Case& c : cases) {
        const FormattedText parsed = parseFormatting(c.raw);
        EXPECT_EQ(toUtf8(parsed.plain), toUtf8(c.plain)) << toUtf8(c.raw);
        EXPECT_EQ(parsed.runs, c.runs) << toUtf8(c.raw);
    }
}

}  // namespace
}  // namespace kolu
