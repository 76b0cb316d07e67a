#pragma once
// The formatting codes other clients put into message text (bold, colours,
// italic, underline, strike, monospace, reverse, reset): a line with codes is
// read as its plain text and the styled runs over it. Every other control
// character is dropped, so none is ever drawn as a box.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/colour_table.h"

namespace kolu {

// Characters of the plain text from `start` on, all drawn one way. Colours
// unset mean the line's own colour and the view's background.
struct StyleRun {
    enum Flag : std::uint8_t {
        kBold = 1,
        kItalic = 2,
        kUnderline = 4,
        kStrike = 8,
        kMonospace = 16,
        kReverse = 32,
    };
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    std::uint8_t flags = 0;
    bool hasForeground = false;
    bool hasBackground = false;
    Colour foreground = 0;
    Colour background = 0;

    bool operator==(const StyleRun&) const = default;
};

struct FormattedText {
    std::u16string plain;
    // Only the styled stretches (plain characters between them have no run), in order.
    std::vector<StyleRun> runs;
};

// Whether the text holds a control character (a formatting code or another).
bool hasControlCharacters(std::u16string_view text);
FormattedText parseFormatting(std::u16string_view text);
// The plain text alone: for logs, highlights and anything else that reads words.
std::u16string plainText(std::u16string_view text);
// Colour number 0..98 of the common palette (99 and above: none, the default).
bool paletteColour(unsigned number, Colour& out);

}  // namespace kolu
