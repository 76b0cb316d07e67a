#pragma once
// Where a text view's lines sit and what a drag selects: the document y of each
// line's top (running sums of the wrapped heights a TextLines store keeps), the
// line at the view's bottom edge, the lines a refresh draws, the pixel scroll
// rule, the selection between two points and the text it copies. Plain C++ over
// TextMetrics, so the widget only paints, and a million stored lines cost a
// binary search per refresh rather than a walk through the history.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "ui/text_lines.h"

namespace kolu {

// What every text view of the client shares: turning auto-scroll off in one
// view's menu stops every view from following new lines. The main window owns it.
struct TextViewShared {
    bool autoScroll = true;
};

// The document y of each line's top, kept in step with one TextLines store.
class LineTops {
  public:
    // Adds the tops of the lines appended since the last call; after the store
    // re-measured its heights (width or font change) rebuilds them all.
    void sync(const TextLines& lines);

    std::size_t lineCount() const { return m_tops.size() - 1; }
    // Top of line `index`; lineCount() answers the total height.
    std::int64_t top(std::size_t index) const { return m_tops[index]; }
    std::int64_t height(std::size_t index) const { return m_tops[index + 1] - m_tops[index]; }
    std::int64_t total() const { return m_tops.back(); }
    // The newest line whose top is at or above document y (the line whose extent
    // holds y, or the newest of the empty lines at y); 0 when y is above them all.
    std::size_t lineAt(std::int64_t y) const;

  private:
    std::deque<std::int64_t> m_tops{0};  // one more than there are lines
    const TextLines* m_source = nullptr;
    std::uint64_t m_generation = 0;
};

// A line as a refresh draws it, in view coordinates.
struct PlacedLine {
    std::size_t index = 0;
    std::int64_t top = 0;
    std::int64_t height = 0;
    bool operator==(const PlacedLine&) const = default;
};

// ColorEdit_FindBottomLine for bottom of view B: the line whose extent holds B
// and how many of its pixels lie below B. When the text ends at or above B the
// newest line sits at the bottom edge and the overhang is 0.
struct BottomLine {
    std::size_t index = 0;
    std::int64_t overhang = 0;
};
BottomLine findBottomLine(const LineTops& tops, std::int64_t bottomOfView);

// ColorEdit_DisplayAllLines' walk: the lines with a height, from the bottom line
// up, each placed above the one below it; it stops after the first line that ends
// above the view. Empty for an empty store.
std::vector<PlacedLine> placeLines(const LineTops& tops, int scrollPosition, int clientHeight);

// The scroll position that puts the newest line's bottom at the view's bottom
// edge: negative when the text is shorter than the view.
int largestPosition(int totalHeight, int clientHeight);

// The scroll-bar requests of the view (WM_VSCROLL's SB_ codes).
enum class ScrollRequest {
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ThumbPosition,
    ThumbTrack,
    Top,
    Bottom,
    EndScroll,
};

struct ScrollStep {
    int position = 0;
    bool redraw = false;  // false: a move under one text line, stored without drawing
    bool operator==(const ScrollStep&) const = default;
};
// `drawnPosition` is where the view was last drawn: small moves add up until
// they reach a whole line from it, so slow drags and fine wheel steps still draw.
ScrollStep scrollStep(int position, ScrollRequest request, int trackPosition, int fontHeight,
                      int clientHeight, int largest, int drawnPosition);

// A point in view coordinates.
struct ViewPoint {
    int x = 0;
    int y = 0;
};

// Characters of one line drawn on the highlight colour: [begin, end).
struct HighlightSpan {
    std::size_t line = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
    bool operator==(const HighlightSpan&) const = default;
};

// ColorEdit_SelectText: what a drag from `press` to `current` highlights among
// the placed lines, how many characters that is, and where the selection starts.
struct SelectionLayout {
    std::vector<HighlightSpan> spans;
    std::size_t count = 0;
    bool startFound = false;  // false: keep the start recorded before
    std::size_t startLine = 0;
    std::size_t startOffset = 0;
};
SelectionLayout layoutSelection(const TextLines& lines, const std::vector<PlacedLine>& placed,
                                const TextMetrics& metrics, int width, ViewPoint press,
                                ViewPoint current);

// KopiujDoSchowka's text: `count` characters from `offset` in line `line` on,
// continuing at the start of each newer line, joined with nothing between them;
// fewer when the newest line runs out first.
std::u16string selectedText(const TextLines& lines, std::size_t line, std::size_t offset,
                            std::size_t count);

}  // namespace kolu
