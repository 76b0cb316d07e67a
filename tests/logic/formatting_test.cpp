#include <gtest/gtest.h>

#include <optional>

#include "platform/text.h"
#include "ui/formatting.h"

namespace kolu {
namespace {

StyleRun run(std::uint32_t start, std::uint32_t length, std::uint8_t flags,
             std::optional<Colour> fore = {}, std::optional<Colour> back = {}) {
    return {start,           length, flags, fore.has_value(), back.has_value(), fore.value_or(0),
            back.value_or(0)};
}

TEST(Formatting, LinesAsNetworksSendThemBecomePlainTextAndRuns) {
    constexpr Colour kRed = rgb(0xFF, 0, 0);
    struct Case {
        const char16_t* raw;
        const char16_t* plain;
        std::vector<StyleRun> runs;
    } cases[] = {
        {u"\u000304,01red on black\u000f plain",
         u"red on black plain",
         {run(0, 12, 0, kRed, rgb(0, 0, 0))}},
        {u"\u0002bold\u0002 not", u"bold not", {run(0, 4, StyleRun::kBold)}},
        // A colour code without digits ends the colours.
        {u"\u00034red\u0003 default", u"red default", {run(0, 3, 0, kRed)}},
        // A comma without a digit after it is text.
        {u"\u000304,x", u",x", {run(0, 2, 0, kRed)}},
        // Two digits at most: the third is text.
        {u"\u0003123", u"3", {run(0, 1, 0, rgb(0, 0, 0xFC))}},
        // The extended palette; 99 is the default colour.
        {u"\u000328dark\u000399 back", u"dark back", {run(0, 4, 0, rgb(0x74, 0, 0))}},
        {u"\u0004FF8000orange\u0004 plain", u"orange plain", {run(0, 6, 0, rgb(0xFF, 0x80, 0))}},
        {u"\u001d\u001f\u001e\u0011\u0016x\u000fy",
         u"xy",
         {run(0, 1,
              StyleRun::kItalic | StyleRun::kUnderline | StyleRun::kStrike | StyleRun::kMonospace |
                  StyleRun::kReverse)}},
        // Other control characters are never shown; a tab is a blank.
        {u"a\u0001b\u0007c\td", u"abc d", {}},
        {u"\u0002\u0002same", u"same", {}},
        // Codes at the very end read nothing past the text.
        {u"x\u0003", u"x", {}},
        {u"x\u00031,", u"x,", {run(1, 1, 0, rgb(0, 0, 0))}},
        {u"x\u0004ABCDE", u"xABCDE", {}},  // not six hex digits: no colour
    };
    for (const Case& c : cases) {
        const FormattedText parsed = parseFormatting(c.raw);
        EXPECT_EQ(toUtf8(parsed.plain), toUtf8(c.plain)) << toUtf8(c.raw);
        EXPECT_EQ(parsed.runs, c.runs) << toUtf8(c.raw);
    }
}

}  // namespace
}  // namespace kolu
