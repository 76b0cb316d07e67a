#pragma once
// Row wrapping of one text-view line (the layout part of DrawText2): a line is cut
// into rows that fit the view's width, preferring to end a row after a blank. Pure
// functions over TextMetrics, shared by the line store's heights, drawing and
// hit-testing, so all of them agree on where rows break.
#include <cstddef>
#include <string_view>
#include <vector>

#include "ui/text_metrics.h"

namespace kolu {

struct WrapRow {
    std::size_t start = 0;   // offset of the row's first character in the line
    std::size_t length = 0;  // characters in the row, at least 1
    bool operator==(const WrapRow&) const = default;
};

// Length of the row that starts `rest` (rest non-empty): everything when it all
// fits; else up to and including the last blank at index fit .. fit / 2; else the
// `fit` characters that fit (the word is cut). At least one character, and never
// half of a surrogate pair.
std::size_t wrapRowLength(std::u16string_view rest, int maxWidth, const TextMetrics& metrics);

// Every row of `text`, in order; none for an empty text.
std::vector<WrapRow> wrapRows(std::u16string_view text, int maxWidth, const TextMetrics& metrics);

std::size_t wrapRowCount(std::u16string_view text, int maxWidth, const TextMetrics& metrics);

// Rows times the row height: the line's height in the view (0 for an empty line),
// at most INT_MAX.
int wrappedHeight(std::u16string_view text, int maxWidth, const TextMetrics& metrics);

// The character under the point (x, y), y measured from the line's top: for the
// row with 1 <= y - row top < row height, the row's start plus the characters of
// the row that fit in x pixels; 0 when the point is in no row.
std::size_t hitTestLine(std::u16string_view text, int maxWidth, const TextMetrics& metrics, int x,
                        int y);

}  // namespace kolu
