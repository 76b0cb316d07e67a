#pragma once
// How the text view measures its font: the width of a run of text and the height
// of one row. The program answers with Qt's font metrics; tests use a fixed-width
// fake. Wrapping and heights are computed over this interface alone.
#include <cstddef>
#include <string_view>

namespace kolu {

class TextMetrics {
  public:
    virtual ~TextMetrics() = default;

    // Width in pixels of `run` drawn in one piece.
    virtual int width(std::u16string_view run) const = 0;
    // Height in pixels of one row of text (the font's height).
    virtual int lineHeight() const = 0;

    // How many leading characters of `text` fit in `maxWidth` pixels: the largest n
    // with width(first n characters) <= maxWidth (GetTextExtentExPoint's "fit").
    // The default searches over width(), which grows with n; implementations with
    // cheaper per-character extents override it.
    virtual std::size_t fitCount(std::u16string_view text, int maxWidth) const {
        if (maxWidth < 0) {
            return 0;
        }
        std::size_t low = 0;  // always fits
        std::size_t high = text.size();
        while (low < high) {
            const std::size_t middle = low + (high - low + 1) / 2;
            if (width(text.substr(0, middle)) <= maxWidth) {
                low = middle;
            } else {
                high = middle - 1;
            }
        }
        return low;
    }
};

}  // namespace kolu
