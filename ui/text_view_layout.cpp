#include "ui/text_view_layout.h"

#include <algorithm>
#include <climits>

#include "ui/text_wrap.h"

namespace kolu {
namespace {

int clampToInt(long long value) {
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace

void LineTops::sync(const TextLines& lines) {
    const std::uint64_t generation = lines.heightsGeneration();
    if (&lines != m_source || generation != m_generation || lines.lineCount() < lineCount()) {
        m_tops.assign(1, 0);
        m_source = &lines;
        m_generation = generation;
    }
    for (std::size_t i = lineCount(); i < lines.lineCount(); ++i) {
        m_tops.push_back(m_tops.back() + lines.lineHeight(i));
    }
}

std::size_t LineTops::lineAt(std::int64_t y) const {
    const auto end = m_tops.end() - 1;  // the tops of the lines, without the total
    const auto after = std::upper_bound(m_tops.begin(), end, y);
    return after == m_tops.begin() ? 0 : static_cast<std::size_t>(after - m_tops.begin()) - 1;
}

BottomLine findBottomLine(const LineTops& tops, std::int64_t bottomOfView) {
    const std::size_t count = tops.lineCount();
    if (count == 0) {
        return {};
    }
    if (tops.total() <= bottomOfView) {
        return {count - 1, 0};
    }
    // The walk back from the newest line stops at the first line whose top is at
    // or above B: the newest such line.
    const std::size_t index = tops.lineAt(bottomOfView);
    return {index, tops.top(index + 1) - bottomOfView};
}

std::vector<PlacedLine> placeLines(const LineTops& tops, int scrollPosition, int clientHeight) {
    std::vector<PlacedLine> placed;
    if (tops.lineCount() == 0) {
        return placed;
    }
    const std::int64_t bottomOfView = static_cast<std::int64_t>(scrollPosition) + clientHeight - 1;
    const BottomLine start = findBottomLine(tops, bottomOfView);
    std::int64_t bottom = clientHeight + start.overhang;
    std::size_t index = start.index;
    for (;;) {
        const std::int64_t height = tops.height(index);
        if (height == 0) {
            if (bottom < 0) {
                break;  // an empty line ending above the view ends the walk too
            }
            // A run of empty lines all end at `bottom`, draw nothing and stop
            // nothing: jump to the line with a height above them.
            const std::int64_t top = tops.top(index);
            if (top == 0) {
                break;
            }
            index = tops.lineAt(top - 1);
            continue;
        }
        placed.push_back({index, bottom - height, height});
        if (bottom < 0 || index == 0) {
            break;  // the first line that ends above the view is the last drawn
        }
        bottom -= height;
        --index;
    }
    return placed;
}

int largestPosition(int totalHeight, int clientHeight) {
    return clampToInt(static_cast<long long>(totalHeight) - clientHeight + 1);
}

ScrollStep scrollStep(int position, ScrollRequest request, int trackPosition, int fontHeight,
                      int clientHeight, int largest, int drawnPosition) {
    long long target = position;
    switch (request) {
        case ScrollRequest::LineUp:
            target -= fontHeight;
            break;
        case ScrollRequest::LineDown:
            target += fontHeight;
            break;
        case ScrollRequest::PageUp:
            target -= clientHeight;
            break;
        case ScrollRequest::PageDown:
            target += clientHeight;
            break;
        case ScrollRequest::ThumbPosition:
        case ScrollRequest::ThumbTrack:
            target = trackPosition;
            break;
        case ScrollRequest::Top:
            target = 0;
            break;
        case ScrollRequest::Bottom:
            target = largest;
            break;
        case ScrollRequest::EndScroll:
            break;
    }
    const long long moved =
        target > drawnPosition ? target - drawnPosition : drawnPosition - target;
    if (moved <= static_cast<long long>(fontHeight) - 1 && target != 0 && target != largest) {
        return {clampToInt(target), false};
    }
    // In this order, so a text shorter than the view ends at its negative largest position.
    if (target < 0) {
        target = 0;
    }
    if (target > largest) {
        target = largest;
    }
    return {clampToInt(target), true};
}

SelectionLayout layoutSelection(const TextLines& lines, const std::vector<PlacedLine>& placed,
                                const TextMetrics& metrics, int width, ViewPoint press,
                                ViewPoint current) {
    SelectionLayout result;
    bool inside = false;  // between the selection's later and earlier ends
    for (const PlacedLine& line : placed) {
        const std::u16string text = lines.line(line.index).text;
        const std::size_t length = text.size();
        const auto holds = [&](ViewPoint point) {
            return line.top < point.y && point.y < line.top + line.height;
        };
        const auto hit = [&](ViewPoint point) {
            const int y = static_cast<int>(point.y - line.top);
            return std::min(hitTestLine(text, width, metrics, point.x, y), length);
        };
        const auto highlight = [&](std::size_t begin, std::size_t end) {
            if (begin < end) {
                result.spans.push_back({line.index, begin, end});
                result.count += end - begin;
            }
        };
        const bool onPress = holds(press);
        const bool onCurrent = holds(current);
        if (!onPress && !onCurrent) {
            if (inside) {
                highlight(0, length);
            }
        } else if (onPress != onCurrent) {
            const std::size_t at = hit(onPress ? press : current);
            if (!inside) {
                highlight(0, at);  // the later end: the selection runs on above
            } else {
                highlight(at, length);  // the earlier end
                result.startFound = true;
                result.startLine = line.index;
                result.startOffset = at;
            }
            inside = !inside;
        } else {
            const std::size_t a = hit(press);
            const std::size_t b = hit(current);
            if (a != b) {
                highlight(std::min(a, b), std::max(a, b));
                result.startFound = true;
                result.startLine = line.index;
                result.startOffset = std::min(a, b);
            }
        }
    }
    if (inside && !placed.empty()) {
        // The earlier end lies above every drawn line: the highlight reaches the
        // top line drawn, and the copy starts where the highlight does.
        result.startFound = true;
        result.startLine = placed.back().index;
        result.startOffset = 0;
    }
    return result;
}

std::u16string selectedText(const TextLines& lines, std::size_t line, std::size_t offset,
                            std::size_t count) {
    std::u16string text;
    for (std::size_t index = line; index < lines.lineCount() && text.size() < count; ++index) {
        const std::u16string whole = lines.line(index).text;
        const std::size_t from = index == line ? std::min(offset, whole.size()) : 0;
        text.append(whole, from, count - text.size());
    }
    return text;
}

}  // namespace kolu
