// Finding text in a tab: case and accents folded, matches placed in the text as shown, newest
// first, a slice at a time.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "ui/text_fold.h"
#include "ui/text_lines.h"

namespace kolu {

void PrintTo(const TextMatch& match, std::ostream* out) {
    *out << "{line " << match.line << ", " << match.start << "+" << match.length << "}";
}

namespace {

TEST(TextFinder, FoldsCaseAndAccentsAndPlacesMatchesInTheTextAsShown) {
    TextLines lines;
    lines.append(u"Zoë, ZOË and Zoe\u0308!", 0);         // precomposed, capital, combining mark
    lines.append(u"\u0002zoe\u0002 STRASSE Straße", 0);  // bold codes are not shown
    lines.append(u"ΆΘΗΝΑ Ёлка", 0);
    TextFinder finder;
    finder.start(lines, u"zoë");
    EXPECT_TRUE(finder.searchSlice(std::chrono::seconds(1)));
    // Newest first, the last in a line first; the combining mark goes with its letter.
    const std::vector<TextMatch> zoe = {{1, 0, 3}, {0, 13, 4}, {0, 5, 3}, {0, 0, 3}};
    EXPECT_EQ(finder.matches(), zoe);

    finder.start(lines, u"strasse");
    finder.searchSlice(std::chrono::seconds(1));
    EXPECT_EQ(finder.matches(), (std::vector<TextMatch>{{1, 12, 6}, {1, 4, 7}}));
    // Half of "ß" still takes the whole letter.
    finder.start(lines, u"as");
    finder.searchSlice(std::chrono::seconds(1));
    EXPECT_EQ(finder.matches(), (std::vector<TextMatch>{{1, 15, 2}, {1, 7, 2}}));

    finder.start(lines, u"αθηνα елка");
    finder.searchSlice(std::chrono::seconds(1));
    EXPECT_EQ(finder.matches(), (std::vector<TextMatch>{{2, 0, 10}}));

    finder.start(lines, u"zoe");
    finder.searchSlice(std::chrono::seconds(1));
    std::vector<TextMatch> inLine;
    finder.matchesInLine(0, inLine);
    EXPECT_EQ(inLine, (std::vector<TextMatch>{zoe[3], zoe[2], zoe[1]}));
    EXPECT_EQ(finder.indexOf(0, 5), 2u);
    EXPECT_EQ(finder.indexOf(0, 6), 4u);
}

TEST(TextFinder, EachSliceReadsABoundedNumberOfLinesFromTheNewestBack) {
    TextLines lines;
    const std::size_t count = 10 * TextFinder::kLinesPerCheck + 3;
    for (std::size_t i = 0; i < count; ++i) {
        lines.append(i % 2 ? u"odd line" : u"even line", 0);
    }
    TextFinder finder;
    finder.start(lines, u"EVEN");
    std::size_t slices = 0;
    while (!finder.searchSlice(std::chrono::steady_clock::duration::zero())) {
        ++slices;
        // Lines still unread are all older than every match found so far.
        EXPECT_GE(finder.matches().back().line, count - slices * TextFinder::kLinesPerCheck);
    }
    EXPECT_EQ(slices, 10u);
    ASSERT_EQ(finder.matches().size(), (count + 1) / 2);
    EXPECT_EQ(finder.matches().front().line, count - 1);
    EXPECT_EQ(finder.matches().back().line, 0u);

    finder.start(lines, u"");  // an empty query finds nothing and is done at once
    EXPECT_TRUE(finder.finished());
    EXPECT_TRUE(finder.matches().empty());
}

}  // namespace
}  // namespace kolu
