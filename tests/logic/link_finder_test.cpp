// Addresses in a text view's line: where each one ends, what opening it asks for, how it is drawn.
#include <gtest/gtest.h>

#include "ui/link_finder.h"

namespace kolu {
namespace {

using Texts = std::vector<std::u16string>;

Texts linksIn(std::u16string_view text) {
    Texts found;
    for (const LinkRange& link : findLinks(text)) {
        found.emplace_back(text.substr(link.start, link.length));
    }
    return found;
}

TEST(LinkFinder, AddressesLeaveOutSentencePunctuationAndBracketsOpenedBeforeThem) {
    EXPECT_EQ(linksIn(u"see https://kolu.org/a?b=1."), Texts{u"https://kolu.org/a?b=1"});
    EXPECT_EQ(linksIn(u"(at http://x.org/wiki/Foo_(bar)), ok?"),
              Texts{u"http://x.org/wiki/Foo_(bar)"});
    EXPECT_EQ(linksIn(u"[ftp://f.net/x] irc://h:6697/#c, IRCS://h/k!\"www.w.io/\u00e9\""),
              (Texts{u"ftp://f.net/x", u"irc://h:6697/#c", u"IRCS://h/k", u"www.w.io/\u00e9"}));
    // A prefix alone, or one inside a word, is no address.
    EXPECT_EQ(linksIn(u"http:// https://.) xhttp://a.b swww.c.d me@www.e.f"), Texts{});
}

TEST(LinkFinder, FormattingCodesAroundAnAddressAreNoPartOfIt) {
    const FormattedText line = parseFormatting(
        u"\x02\x03"
        u"04,02http://a.io/x\x0f: \x1fwww.b.io\x1f");
    const std::vector<LinkRange> links = findLinks(line.plain);
    EXPECT_EQ(linksIn(line.plain), (Texts{u"http://a.io/x", u"www.b.io"}));
    EXPECT_EQ(linkAddress(line.plain, links[1]), u"http://www.b.io");
    // Unparsed text too: a code ends the address.
    EXPECT_EQ(linksIn(u"http://a.io\x0f."), Texts{u"http://a.io"});
    // The link's underline and colour go over the bold run it shares characters with.
    const std::vector<StyleRun> runs = withLinkRuns(line.runs, links, 0x123456);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].start, 0u);
    EXPECT_EQ(runs[0].length, 13u);
    EXPECT_EQ(runs[0].flags, StyleRun::kBold | StyleRun::kUnderline);
    EXPECT_EQ(runs[0].foreground, 0x123456u);
    EXPECT_TRUE(runs[0].hasBackground);
    EXPECT_EQ(runs[1].start, 15u);
    EXPECT_EQ(runs[1].flags, StyleRun::kUnderline);
}

}  // namespace
}  // namespace kolu
