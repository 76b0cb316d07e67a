#include "ui/formatting.h"

#include <algorithm>

namespace kolu {
namespace {

constexpr char16_t kBoldCode = 0x02;
constexpr char16_t kColourCode = 0x03;
constexpr char16_t kHexColourCode = 0x04;
constexpr char16_t kResetCode = 0x0F;
constexpr char16_t kMonospaceCode = 0x11;
constexpr char16_t kReverseCode = 0x16;
constexpr char16_t kItalicCode = 0x1D;
constexpr char16_t kStrikeCode = 0x1E;
constexpr char16_t kUnderlineCode = 0x1F;

// 0xRRGGBB: the 16 classic colours, then the 83 of the extended palette.
constexpr std::uint32_t kPalette[99] = {
    0xFFFFFF, 0x000000, 0x00007F, 0x009300, 0xFF0000, 0x7F0000, 0x9C009C, 0xFC7F00, 0xFFFF00,
    0x00FC00, 0x009393, 0x00FFFF, 0x0000FC, 0xFF00FF, 0x7F7F7F, 0xD2D2D2, 0x470000, 0x472100,
    0x474700, 0x324700, 0x004700, 0x00472C, 0x004747, 0x002747, 0x000047, 0x2E0047, 0x470047,
    0x47002A, 0x740000, 0x743A00, 0x747400, 0x517400, 0x007400, 0x007449, 0x007474, 0x004074,
    0x000074, 0x4B0074, 0x740074, 0x740045, 0xB50000, 0xB56300, 0xB5B500, 0x7DB500, 0x00B500,
    0x00B571, 0x00B5B5, 0x0063B5, 0x0000B5, 0x7500B5, 0xB500B5, 0xB5006B, 0xFF0000, 0xFF8C00,
    0xFFFF00, 0xB2FF00, 0x00FF00, 0x00FFA0, 0x00FFFF, 0x008CFF, 0x0000FF, 0xA500FF, 0xFF00FF,
    0xFF0098, 0xFF5959, 0xFFB459, 0xFFFF71, 0xCFFF60, 0x6FFF6F, 0x65FFC9, 0x6DFFFF, 0x59B4FF,
    0x5959FF, 0xC459FF, 0xFF66FF, 0xFF59BC, 0xFF9C9C, 0xFFD39C, 0xFFFF9C, 0xE2FF9C, 0x9CFF9C,
    0x9CFFDB, 0x9CFFFF, 0x9CD3FF, 0x9C9CFF, 0xDC9CFF, 0xFF9CFF, 0xFF94D3, 0x000000, 0x131313,
    0x282828, 0x363636, 0x4D4D4D, 0x656565, 0x818181, 0x9F9F9F, 0xBCBCBC, 0xE2E2E2, 0xFFFFFF,
};

Colour fromRrggbb(std::uint32_t value) {
    return rgb((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

int hexDigit(char16_t c) {
    if (isDigit(c)) {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// One or two digits at `at`: how many were read (0 when none).
std::size_t readNumber(std::u16string_view text, std::size_t at, unsigned& value) {
    std::size_t used = 0;
    value = 0;
    while (used < 2 && at + used < text.size() && isDigit(text[at + used])) {
        value = value * 10 + (text[at + used] - u'0');
        ++used;
    }
    return used;
}

// Six hex digits "RRGGBB" at `at`.
bool readHexColour(std::u16string_view text, std::size_t at, Colour& out) {
    if (at + 6 > text.size()) {
        return false;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const int digit = hexDigit(text[at + i]);
        if (digit < 0) {
            return false;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    out = fromRrggbb(value);
    return true;
}

struct Style {
    std::uint8_t flags = 0;
    bool hasForeground = false;
    bool hasBackground = false;
    Colour foreground = 0;
    Colour background = 0;

    bool plain() const { return flags == 0 && !hasForeground && !hasBackground; }
    bool operator==(const Style&) const = default;
};

// Reads what follows a colour code (at `at`) into the style; returns where the text goes on.
std::size_t readColourCode(std::u16string_view text, std::size_t at, Style& style) {
    unsigned number = 0;
    const std::size_t used = readNumber(text, at, number);
    if (used == 0) {
        style.hasForeground = style.hasBackground = false;  // a bare code ends the colours
        return at;
    }
    style.hasForeground = paletteColour(number, style.foreground);
    at += used;
    // A comma is the background's only when a digit follows; otherwise it is text.
    if (at + 1 < text.size() && text[at] == u',' && isDigit(text[at + 1])) {
        at += 1 + readNumber(text, at + 1, number);
        style.hasBackground = paletteColour(number, style.background);
    }
    return at;
}

std::size_t readHexColourCode(std::u16string_view text, std::size_t at, Style& style) {
    if (!readHexColour(text, at, style.foreground)) {
        style.hasForeground = style.hasBackground = false;
        return at;
    }
    style.hasForeground = true;
    at += 6;
    if (at < text.size() && text[at] == u',' && readHexColour(text, at + 1, style.background)) {
        style.hasBackground = true;
        at += 7;
    }
    return at;
}

}  // namespace

bool paletteColour(unsigned number, Colour& out) {
    if (number >= std::size(kPalette)) {
        return false;
    }
    out = fromRrggbb(kPalette[number]);
    return true;
}

bool hasControlCharacters(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; });
}

FormattedText parseFormatting(std::u16string_view text) {
    FormattedText out;
    out.plain.reserve(text.size());
    Style style;
    Style shown;  // the style of the stretch being gathered
    std::size_t stretchStart = 0;
    auto closeStretch = [&] {
        if (!shown.plain() && out.plain.size() > stretchStart) {
            out.runs.push_back(StyleRun{static_cast<std::uint32_t>(stretchStart),
                                        static_cast<std::uint32_t>(out.plain.size() - stretchStart),
                                        shown.flags, shown.hasForeground, shown.hasBackground,
                                        shown.foreground, shown.background});
        }
        stretchStart = out.plain.size();
    };
    for (std::size_t i = 0; i < text.size();) {
        const char16_t c = text[i++];
        if ((c >= 0x20 && c != 0x7F) || c == u'\t') {
            if (!(style == shown)) {
                closeStretch();
                shown = style;
            }
            out.plain += c == u'\t' ? u' ' : c;  // a tab is a blank, never a box
            continue;
        }
        switch (c) {
            case kBoldCode:
                style.flags ^= StyleRun::kBold;
                break;
            case kItalicCode:
                style.flags ^= StyleRun::kItalic;
                break;
            case kUnderlineCode:
                style.flags ^= StyleRun::kUnderline;
                break;
            case kStrikeCode:
                style.flags ^= StyleRun::kStrike;
                break;
            case kMonospaceCode:
                style.flags ^= StyleRun::kMonospace;
                break;
            case kReverseCode:
                style.flags ^= StyleRun::kReverse;
                break;
            case kResetCode:
                style = Style{};
                break;
            case kColourCode:
                i = readColourCode(text, i, style);
                break;
            case kHexColourCode:
                i = readHexColourCode(text, i, style);
                break;
            default:
                break;  // any other control character is left out
        }
    }
    closeStretch();
    return out;
}

std::u16string plainText(std::u16string_view text) {
    if (!hasControlCharacters(text)) {
        return std::u16string(text);
    }
    return parseFormatting(text).plain;
}

}  // namespace kolu
