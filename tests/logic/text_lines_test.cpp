// The text view's logic: the store of lines, the wrap rule that gives their
// heights, where lines are drawn, and scrolling.
#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/text.h"
#include "tests/support/fake_line_source.h"
#include "tests/support/fixed_metrics.h"
#include "ui/formatting.h"
#include "ui/text_lines.h"
#include "ui/text_view_layout.h"
#include "ui/text_wrap.h"

namespace kolu {

void PrintTo(const PlacedLine& line, std::ostream* out) {
    *out << "{line " << line.index << ", top " << line.top << ", height " << line.height << "}";
}

namespace {

using Texts = std::vector<std::u16string>;

// 6 px per character: 60 px fit 10 characters (fit / 2 = 5), 42 px fit 7 (3).
TEST(WrapRule, CutsRowsWhereTheRuleSays) {
    const std::tuple<std::u16string, int, Texts> cases[] = {
        {u"", 60, {}},
        // A blank at the first position that doesn't fit ends the row.
        {u"abcdefghij klm", 60, {u"abcdefghij ", u"klm"}},
        {u"abcde fghijklmno", 60, {u"abcde ", u"fghijklmno"}},    // blank exactly at fit / 2
        {u"abcd efghijklmnop", 60, {u"abcd efghi", u"jklmnop"}},  // before fit / 2: ignored
        {u"ab cd ef gh ij", 60, {u"ab cd ef ", u"gh ij"}},        // the last blank in reach
        {u"abc defghij", 42, {u"abc ", u"defghij"}},              // odd fit rounds fit / 2 down
        {u"abcdefghij  x", 60, {u"abcdefghij ", u" x"}},
        {u"a b", 5, {u"a", u" ", u"b"}},  // narrower than a character: one per row
        {u"xy", -40, {u"x", u"y"}},
        {u"abcdefghi\U0001F600x", 60, {u"abcdefghi", u"\U0001F600x"}},  // a pair is never cut
        {u"\U0001F600\U0001F600", 0, {u"\U0001F600", u"\U0001F600"}},
    };
    test::FixedMetrics metrics(6, 13);
    for (const auto& [text, maxWidth, rows] : cases) {
        Texts texts;
        for (const WrapRow& row : wrapRows(text, maxWidth, metrics)) {
            texts.push_back(text.substr(row.start, row.length));
        }
        EXPECT_EQ(texts, rows) << toUtf8(text) << " " << maxWidth;
        EXPECT_EQ(wrapRowCount(text, maxWidth, metrics), rows.size());
    }
}

// Widths only: exercises the interface's own search for "fit".
class WidthOnlyMetrics final : public TextMetrics {
  public:
    int width(std::u16string_view run) const override {
        int total = 0;
        for (char16_t c : run) {
            total += 3 + c % 7;
        }
        return total;
    }
    int lineHeight() const override { return 10; }
};

TEST(TextMetrics, DefaultFitMatchesACharacterByCharacterWalk) {
    WidthOnlyMetrics metrics;
    std::mt19937 random(7);
    for (int round = 0; round < 500; ++round) {
        std::u16string text(random() % 40, u'a');
        for (char16_t& c : text) {
            c = static_cast<char16_t>(u'a' + random() % 26);
        }
        const int maxWidth = static_cast<int>(random() % 200) - 10;
        std::size_t expected = 0;
        while (expected < text.size() &&
               metrics.width(std::u16string_view(text).substr(0, expected + 1)) <= maxWidth) {
            ++expected;
        }
        ASSERT_EQ(metrics.fitCount(text, maxWidth), expected) << toUtf8(text) << " " << maxWidth;
    }
}

TEST(TextLines, TextSurvivesManyBlocksAndLongLines) {
    test::FixedMetrics metrics;
    TextLines lines(&metrics, 60);
    std::mt19937 random(11);
    Texts expected;
    for (int i = 0; i < 3000; ++i) {
        // Mostly short lines, now and then one longer than a whole packing block.
        std::size_t length = random() % 20 == 0 ? 5000 + random() % 40000 : random() % 300;
        std::u16string text(length, u'\0');
        for (char16_t& c : text) {
            // Mostly ASCII, the rest anywhere past the control characters: lone and
            // reversed surrogates included.
            c = static_cast<char16_t>(random() % 4 ? u' ' + random() % 90
                                                   : 0x80 + random() % (0x10000 - 0x80));
        }
        lines.append(text, static_cast<Colour>(i));
        expected.push_back(std::move(text));
    }
    ASSERT_EQ(lines.lineCount(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(lines.line(i).text, expected[i]) << "line " << i;
        ASSERT_EQ(lines.line(i).colour, static_cast<Colour>(i));
    }
    // Out of range answers an empty line rather than reading past the store.
    EXPECT_EQ(lines.line(expected.size()).text, u"");
}

// The remembered heights must always equal a full re-measure of every line, the
// way the view once recounted its whole history at each line.
TEST(TextLines, IncrementalTotalsEqualAFullReMeasure) {
    test::FixedMetrics metrics(6, 13);
    metrics.setWidth(u'W', 11);
    metrics.setWidth(u'i', 2);
    std::mt19937 random(2024);
    // Formatting codes among the characters: they take no room.
    const char16_t alphabet[] = u"abc Wi  xy\u0002\u00034,";
    for (int trial = 0; trial < 20; ++trial) {
        TextLines lines(&metrics, static_cast<int>(random() % 120));
        Texts texts;
        for (int step = 0; step < 400; ++step) {
            const unsigned action = random() % 20;
            if (action == 0) {
                lines.setWidth(static_cast<int>(random() % 150) - 5);
            } else if (action == 1) {
                metrics.setRowHeight(static_cast<int>(10 + random() % 10));
                lines.metricsChanged();
            } else {
                std::u16string text(random() % 90, u'a');
                for (char16_t& c : text) {
                    c = alphabet[random() % 14];
                }
                const int answered = lines.append(text, 0);
                texts.push_back(std::move(text));
                int full = 0;
                for (const std::u16string& t : texts) {
                    full += wrappedHeight(plainText(t), lines.width(), metrics);
                }
                ASSERT_EQ(answered, full) << "trial " << trial << " step " << step;
            }
        }
        for (std::size_t i = 0; i < texts.size(); ++i) {
            ASSERT_EQ(lines.lineHeight(i),
                      wrappedHeight(plainText(texts[i]), lines.width(), metrics));
            ASSERT_EQ(lines.line(i).text, plainText(texts[i]));
        }
    }
}

// What is in memory is a run of the source's lines in order, and the total is
// the sum of their heights.
void expectRunOfSource(const TextLines& lines, const test::FakeLineSource& source) {
    int sum = 0;
    for (std::size_t i = 0; i < lines.lineCount(); ++i) {
        ASSERT_EQ(lines.id(i), lines.id(0) + static_cast<std::int64_t>(i));
        ASSERT_EQ(lines.line(i).text, source.text(lines.id(i)));
        sum += lines.lineHeight(i);
    }
    EXPECT_EQ(lines.totalHeight(), sum);
}

// Pages older (newer) lines in until the source has no more, checking after
// each read that the line at the end read from keeps its position.
void pageToTheEnd(TextLines& lines, const test::FakeLineSource& source, bool older) {
    for (int step = 0; older ? lines.olderInSource() : !lines.newestInMemory(); ++step) {
        ASSERT_LT(step, 40);
        const std::size_t index = older ? 0 : lines.lineCount() - 1;
        const std::int64_t position = lines.firstPosition() + static_cast<std::int64_t>(index);
        const std::int64_t id = lines.id(index);
        older ? lines.loadOlder(500) : lines.loadNewer(500);
        ASSERT_EQ(lines.id(static_cast<std::size_t>(position - lines.firstPosition())), id);
        expectRunOfSource(lines, source);
    }
}

TEST(TextLinesPaging, AppendsStayUnderTheCapPagesComeBackInOrderAndAGoneLineIsRevealed) {
    test::FixedMetrics metrics;
    test::FakeLineSource source(10000, 1000);
    TextLines paged(&metrics, 600);
    TextLines whole(&metrics, 600);
    paged.setPaging(&source, 1000);
    for (const PagedLine& line : source.lines) {
        paged.append(line.text, line.colour, line.id);
        whole.append(line.text, line.colour, line.id);
        ASSERT_LE(paged.lineCount(), 1000 + TextLines::kPageLines);
    }
    EXPECT_EQ(whole.lineCount(), source.lines.size());  // no source: nothing leaves
    EXPECT_LT(paged.memoryBytes() * 4, whole.memoryBytes());
    EXPECT_EQ(paged.id(paged.lineCount() - 1), 10000);
    EXPECT_EQ(source.reads, 0);
    expectRunOfSource(paged, source);

    pageToTheEnd(paged, source, true);
    EXPECT_EQ(paged.id(0), 1);
    EXPECT_FALSE(paged.newestInMemory());
    // A line that comes meanwhile is only in the source until paging reaches it.
    const std::size_t count = paged.lineCount();
    const std::int64_t late = source.add();
    paged.append(source.text(late), 0, late);
    EXPECT_EQ(paged.lineCount(), count);
    pageToTheEnd(paged, source, false);
    EXPECT_EQ(paged.id(paged.lineCount() - 1), late);

    const std::size_t kept = paged.lineCount();
    EXPECT_FALSE(paged.reveal(20000));
    EXPECT_EQ(paged.lineCount(), kept);  // unknown: what was in memory stays
    const std::optional<std::size_t> index = paged.reveal(4242);
    ASSERT_TRUE(index);
    EXPECT_EQ(paged.line(*index).text, source.text(4242));
    expectRunOfSource(paged, source);
    EXPECT_FALSE(paged.newestInMemory());
    const int reads = source.reads;
    EXPECT_EQ(paged.reveal(4243), *index + 1);
    EXPECT_EQ(source.reads, reads);  // in memory: nothing read
}

// The bottom line and the upward walk as the view's drawing describes them, step
// by step from the empty closing record, for comparison with the indexed search.
std::vector<PlacedLine> walkFromNewest(const std::vector<std::int64_t>& heights, int scroll,
                                       int clientHeight) {
    std::vector<PlacedLine> drawn;
    const std::size_t count = heights.size();
    const std::int64_t bottomOfView = std::int64_t{scroll} + clientHeight - 1;
    std::size_t index = count;  // the closing record, 0 pixels high
    std::int64_t overhang = 0;
    for (std::int64_t y = std::accumulate(heights.begin(), heights.end(), std::int64_t{0});
         y > bottomOfView && index > 0; y -= heights[index]) {
        overhang = y - bottomOfView;
        --index;
    }
    for (std::int64_t bottom = clientHeight + overhang;; --index) {
        const std::int64_t height = index == count ? 0 : heights[index];
        if (height > 0) {
            drawn.push_back({index, bottom - height, height});
        }
        if (bottom < 0 || index == 0) {
            return drawn;
        }
        bottom -= height;
    }
}

TEST(TextViewGeometry, IndexedSearchAgreesWithTheWalkFromTheNewestLine) {
    std::mt19937 random(7);
    test::FixedMetrics metrics;
    for (int round = 0; round < 60; ++round) {
        TextLines lines(&metrics, 600);
        std::vector<std::int64_t> heights;
        for (int i = static_cast<int>(random() % 40); i > 0; --i) {
            // Empty lines in runs, short lines and lines that wrap to several rows.
            const int kind = static_cast<int>(random() % 4);
            lines.append(kind == 0 ? u"" : std::u16string(random() % 260 + 1, u'x'), 0);
            heights.push_back(lines.lineHeight(lines.lineCount() - 1));
        }
        LineTops tops;
        tops.sync(lines);
        for (int clientHeight : {0, 1, 13, 50, 333}) {
            const int largest = largestPosition(lines.totalHeight(), clientHeight);
            for (int scroll : {largest, 0, 1, largest / 2, largest - 7, largest + 5, -3}) {
                EXPECT_EQ(placeLines(tops, scroll, clientHeight),
                          walkFromNewest(heights, scroll, clientHeight))
                    << "round " << round << " client " << clientHeight << " scroll " << scroll;
            }
        }
    }
}

// The widgets' tests move by a line and by a few pixels; these are the edges.
TEST(TextViewScroll, MovesStopAtTheEndsAndSmallMovesAreStoredWithoutDrawing) {
    using R = ScrollRequest;
    // Font 13 px, view 100 px, the largest position 200: {from, request, thumb, to, redraw}.
    const std::tuple<int, R, int, int, bool> cases[] = {{150, R::PageDown, 0, 200, true},
                                                        {195, R::ThumbTrack, 200, 200, true},
                                                        {199, R::ThumbTrack, 203, 203, false},
                                                        {190, R::ThumbTrack, 260, 200, true},
                                                        {50, R::EndScroll, 0, 50, false}};
    for (const auto& [from, request, thumb, to, redraw] : cases) {
        EXPECT_EQ(scrollStep(from, request, thumb, 13, 100, 200, from), (ScrollStep{to, redraw}))
            << from << " to " << thumb;
    }
    // Text shorter than the view stays at its negative largest position.
    EXPECT_EQ(largestPosition(39, 100), -60);
    EXPECT_EQ(scrollStep(-60, R::LineDown, 0, 13, 100, -60, -60), (ScrollStep{-60, true}));
}

}  // namespace
}  // namespace kolu
