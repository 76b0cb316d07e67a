#include "ui/text_view_layout.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/fixed_metrics.h"

namespace kolu {

void PrintTo(const PlacedLine& line, std::ostream* out) {
    *out << "{line " << line.index << ", top " << line.top << ", height " << line.height << "}";
}
void PrintTo(const ScrollStep& step, std::ostream* out) {
    *out << "{" << step.position << (step.redraw ? ", redraw}" : ", stored}");
}

namespace {

constexpr int kRow = 13;  // FixedMetrics: 6 px per character, rows of 13

// A store of the given texts at `width` (6 px per character).
struct Store {
    explicit Store(std::vector<std::u16string> texts, int width = 600) : lines(&metrics, width) {
        for (const std::u16string& text : texts) {
            lines.append(text, 0);
        }
        tops.sync(lines);
    }
    test::FixedMetrics metrics;
    TextLines lines;
    LineTops tops;
};

// The bottom line and the upward walk as the view's drawing describes them, step
// by step from the empty closing record, for comparison with the indexed search.
std::vector<PlacedLine> walkFromNewest(const std::vector<std::int64_t>& heights, int scroll,
                                       int clientHeight) {
    std::vector<PlacedLine> drawn;
    const std::size_t count = heights.size();
    if (count == 0) {
        return drawn;
    }
    std::int64_t total = 0;
    for (std::int64_t h : heights) {
        total += h;
    }
    const std::int64_t bottomOfView = static_cast<std::int64_t>(scroll) + clientHeight - 1;
    std::size_t index = count;  // the closing record, 0 pixels high
    std::int64_t overhang = 0;
    if (total > bottomOfView) {
        std::int64_t y = total;
        while (y > bottomOfView && index > 0) {
            --index;
            overhang = y - bottomOfView;
            y -= heights[index];
        }
    }
    std::int64_t bottom = clientHeight + overhang;
    for (;;) {
        const std::int64_t height = index == count ? 0 : heights[index];
        if (height > 0) {
            drawn.push_back({index, bottom - height, height});
        }
        if (bottom < 0 || index == 0) {
            break;
        }
        bottom -= height;
        --index;
    }
    return drawn;
}

TEST(LineTops, FollowAppendsAndRebuildAfterTheWidthChanges) {
    Store store({u"short", std::u16string(150, u'x'), u"", u"tail"});
    ASSERT_EQ(store.tops.lineCount(), 4u);
    EXPECT_EQ(store.tops.top(1), kRow);
    EXPECT_EQ(store.tops.top(2), 3 * kRow);  // 150 characters: two rows at 100 per row
    EXPECT_EQ(store.tops.top(3), 3 * kRow);  // the empty line has no height
    EXPECT_EQ(store.tops.total(), 4 * kRow);

    store.lines.append(std::u16string(250, u'y'), 0);
    store.tops.sync(store.lines);
    EXPECT_EQ(store.tops.total(), 7 * kRow);

    store.lines.setWidth(300);  // 50 per row
    store.tops.sync(store.lines);
    EXPECT_EQ(store.tops.top(2), 4 * kRow);
    EXPECT_EQ(store.tops.total(), store.lines.totalHeight());
    EXPECT_EQ(store.tops.total(), 10 * kRow);
}

TEST(LineTops, LineAtFindsTheNewestLineStartingAtOrAboveY) {
    Store store({u"a", u"", u"", u"b"});  // tops 0, 13, 13, 13
    EXPECT_EQ(store.tops.lineAt(-5), 0u);
    EXPECT_EQ(store.tops.lineAt(0), 0u);
    EXPECT_EQ(store.tops.lineAt(12), 0u);
    EXPECT_EQ(store.tops.lineAt(13), 3u);
    EXPECT_EQ(store.tops.lineAt(1000), 3u);
}

TEST(TextViewGeometry, NewestLineSitsAtTheBottomEdgeOfATallView) {
    Store store({u"one", u"two", u"three"});
    const int largest = largestPosition(store.lines.totalHeight(), 100);
    EXPECT_EQ(largest, 39 - 100 + 1);
    const std::vector<PlacedLine> expected{{2, 87, kRow}, {1, 74, kRow}, {0, 61, kRow}};
    EXPECT_EQ(placeLines(store.tops, largest, 100), expected);
    EXPECT_TRUE(placeLines(Store({}).tops, 0, 100).empty());
}

TEST(TextViewGeometry, ScrolledViewOverhangsTheBottomLineAndStopsOneLineAboveTheTop) {
    Store store(std::vector<std::u16string>(20, u"line"));  // 260 px
    // Bottom of view 49 lies in line 3 (39..52): 3 of its pixels hang below.
    const BottomLine bottom = findBottomLine(store.tops, 49);
    EXPECT_EQ(bottom.index, 3u);
    EXPECT_EQ(bottom.overhang, 3);
    const std::vector<PlacedLine> atTop{{3, 40, kRow}, {2, 27, kRow}, {1, 14, kRow}, {0, 1, kRow}};
    EXPECT_EQ(placeLines(store.tops, 0, 50), atTop);
    // Further down, the walk draws the first line ending above the view, then stops.
    const std::vector<PlacedLine> middle = placeLines(store.tops, 100, 50);
    ASSERT_FALSE(middle.empty());
    EXPECT_LT(middle.back().top + middle.back().height, 0);
    EXPECT_GE(middle[middle.size() - 2].top + middle[middle.size() - 2].height, 0);
}

TEST(TextViewGeometry, IndexedSearchAgreesWithTheWalkFromTheNewestLine) {
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        std::vector<std::u16string> texts;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) {
            // Empty lines in runs, short lines and lines that wrap to several rows.
            const int kind = static_cast<int>(random() % 4);
            texts.push_back(kind == 0 ? u"" : std::u16string(random() % 260 + 1, u'x'));
        }
        Store store(texts);
        std::vector<std::int64_t> heights;
        for (std::size_t i = 0; i < store.lines.lineCount(); ++i) {
            heights.push_back(store.lines.lineHeight(i));
        }
        for (int clientHeight : {0, 1, 13, 50, 333}) {
            const int largest = largestPosition(store.lines.totalHeight(), clientHeight);
            for (int scroll : {largest, 0, 1, largest / 2, largest - 7, largest + 5, -3}) {
                EXPECT_EQ(placeLines(store.tops, scroll, clientHeight),
                          walkFromNewest(heights, scroll, clientHeight))
                    << "round " << round << " client " << clientHeight << " scroll " << scroll;
            }
        }
    }
}

struct ScrollCase {
    const char* name;
    int position;
    ScrollRequest request;
    int track;
    int largest;
    ScrollStep expected;
};

TEST(TextViewScroll, RequestsMoveByPixelsAndSmallMovesAreStoredWithoutDrawing) {
    // Font 13 px, view 100 px.
    const ScrollCase cases[] = {
        {"line down", 50, ScrollRequest::LineDown, 0, 200, {63, true}},
        {"line up", 50, ScrollRequest::LineUp, 0, 200, {37, true}},
        {"line up stops at 0", 5, ScrollRequest::LineUp, 0, 200, {0, true}},
        {"page down stops at the largest", 150, ScrollRequest::PageDown, 0, 200, {200, true}},
        {"page up", 150, ScrollRequest::PageUp, 0, 200, {50, true}},
        {"thumb by 3 px", 50, ScrollRequest::ThumbTrack, 53, 200, {53, false}},
        {"thumb by 12 px", 50, ScrollRequest::ThumbTrack, 62, 200, {62, false}},
        {"thumb by a line", 50, ScrollRequest::ThumbPosition, 63, 200, {63, true}},
        {"small move to the largest", 195, ScrollRequest::ThumbTrack, 200, 200, {200, true}},
        {"small move to 0", 5, ScrollRequest::ThumbTrack, 0, 200, {0, true}},
        {"small move past the largest", 199, ScrollRequest::ThumbTrack, 203, 200, {203, false}},
        {"large move past the largest", 190, ScrollRequest::ThumbTrack, 260, 200, {200, true}},
        {"top", 120, ScrollRequest::Top, 0, 200, {0, true}},
        {"bottom", 20, ScrollRequest::Bottom, 0, 200, {200, true}},
        {"end of scroll keeps the position", 50, ScrollRequest::EndScroll, 0, 200, {50, false}},
        {"short text stays at its negative largest",
         -60,
         ScrollRequest::LineDown,
         0,
         -60,
         {-60, true}},
        {"short text to the top", -60, ScrollRequest::Top, 0, -60, {-60, true}},
    };
    for (const ScrollCase& c : cases) {
        EXPECT_EQ(scrollStep(c.position, c.request, c.track, kRow, 100, c.largest, c.position),
                  c.expected)
            << c.name;
    }
}

// Five one-row lines filling a 65 px view exactly: line i spans view y 13i .. 13i + 13.
class TextViewSelection : public ::testing::Test {
  protected:
    TextViewSelection()
        : store({u"zero line", u"first line", u"second line", u"third line", u"fourth line"}) {}

    SelectionLayout select(ViewPoint press, ViewPoint current) {
        const std::vector<PlacedLine> placed =
            placeLines(store.tops, largestPosition(store.lines.totalHeight(), 65), 65);
        return layoutSelection(store.lines, placed, store.metrics, 600, press, current);
    }
    std::u16string copied(const SelectionLayout& selection) {
        return selectedText(store.lines, selection.startLine, selection.startOffset,
                            selection.count);
    }
    // The middle of character `column` of line `line`.
    static ViewPoint at(int line, int column) { return {column * 6 + 3, line * kRow + 6}; }

    Store store;
};

TEST_F(TextViewSelection, ADragOverThreeLinesSelectsEndMiddleAndStart) {
    for (const bool downward : {true, false}) {
        const ViewPoint upper = at(1, 6);
        const ViewPoint lower = at(3, 3);
        const SelectionLayout selection = downward ? select(upper, lower) : select(lower, upper);
        const std::vector<HighlightSpan> spans{{3, 0, 3}, {2, 0, 11}, {1, 6, 10}};
        EXPECT_EQ(selection.spans, spans);
        EXPECT_EQ(selection.count, 3u + 11u + 4u);
        ASSERT_TRUE(selection.startFound);
        EXPECT_EQ(selection.startLine, 1u);
        EXPECT_EQ(selection.startOffset, 6u);
        EXPECT_EQ(copied(selection), u"linesecond linethi");
    }
}

TEST_F(TextViewSelection, WithinOneLineSelectsBetweenThePoints) {
    const SelectionLayout selection = select(at(2, 7), at(2, 1));
    const std::vector<HighlightSpan> spans{{2, 1, 7}};
    EXPECT_EQ(selection.spans, spans);
    EXPECT_EQ(copied(selection), u"econd ");

    const SelectionLayout back = select(at(2, 4), at(2, 4));
    EXPECT_EQ(back.count, 0u);
    EXPECT_TRUE(back.spans.empty());
    EXPECT_FALSE(back.startFound);
}

TEST_F(TextViewSelection, AnEndAboveEveryLineRunsTheHighlightToTheTopLine) {
    // y = 13 is the edge between lines 0 and 1, on neither of them.
    const SelectionLayout selection = select(at(2, 2), {30, kRow});
    const std::vector<HighlightSpan> spans{{2, 0, 2}, {1, 0, 10}, {0, 0, 9}};
    EXPECT_EQ(selection.spans, spans);
    ASSERT_TRUE(selection.startFound);
    EXPECT_EQ(selection.startLine, 0u);
    EXPECT_EQ(selection.startOffset, 0u);
    EXPECT_EQ(copied(selection), u"zero linefirst linese");
}

TEST_F(TextViewSelection, PointsInAWrappedLineCountFromTheLineStart) {
    Store wrapped({std::u16string(100, u'a') + std::u16string(50, u'b')});  // two rows
    const std::vector<PlacedLine> placed = placeLines(wrapped.tops, 0, 100);
    ASSERT_EQ(placed.size(), 1u);
    const int top = static_cast<int>(placed[0].top);
    const SelectionLayout selection = layoutSelection(wrapped.lines, placed, wrapped.metrics, 600,
                                                      {6 * 98 + 3, top + 6}, {6 * 2 + 3, top + 19});
    const std::vector<HighlightSpan> spans{{0, 98, 102}};
    EXPECT_EQ(selection.spans, spans);
    EXPECT_EQ(selectedText(wrapped.lines, 0, 98, 4), u"aabb");
}

TEST(SelectedText, JoinsLinesAndStopsAtTheNewest) {
    Store store({u"abc", u"defg", u"hi"});
    EXPECT_EQ(selectedText(store.lines, 0, 1, 5), u"bcdef");
    EXPECT_EQ(selectedText(store.lines, 0, 1, 100), u"bcdefghi");
    EXPECT_EQ(selectedText(store.lines, 1, 9, 3), u"hi");  // an offset past the line's end
    EXPECT_EQ(selectedText(store.lines, 7, 0, 3), u"");
    EXPECT_EQ(selectedText(store.lines, 2, 0, 0), u"");
}

}  // namespace
}  // namespace kolu
