#include "history/history_text.h"

namespace kolu {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Past the digits of a colour code starting at `at`: up to two digits, and a
// comma with up to two more only when a digit follows the comma.
std::size_t skipColourDigits(std::string_view text, std::size_t at) {
    for (int n = 0; n < 2 && at < text.size() && isDigit(text[at]); ++n) {
        ++at;
    }
    if (at + 1 < text.size() && text[at] == ',' && isDigit(text[at + 1])) {
        ++at;
        for (int n = 0; n < 2 && at < text.size() && isDigit(text[at]); ++n) {
            ++at;
        }
    }
    return at;
}

bool sixHexDigitsAt(std::string_view text, std::size_t at) {
    if (at + 6 > text.size()) {
        return false;
    }
    for (std::size_t i = at; i < at + 6; ++i) {
        if (!isHexDigit(text[i])) {
            return false;
        }
    }
    return true;
}

// Past a hex colour code's "RRGGBB[,RRGGBB]" starting at `at`.
std::size_t skipHexColour(std::string_view text, std::size_t at) {
    if (!sixHexDigitsAt(text, at)) {
        return at;
    }
    at += 6;
    if (at < text.size() && text[at] == ',' && sixHexDigitsAt(text, at + 1)) {
        at += 7;
    }
    return at;
}

}  // namespace

std::string indexText(std::string_view utf8) {
    std::string out;
    indexText(utf8, out);
    return out;
}

void indexText(std::string_view utf8, std::string& out) {
    out.clear();
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char c = utf8[i++];
        switch (c) {
            case 0x02:
            case 0x0F:
            case 0x11:
            case 0x16:
            case 0x1D:
            case 0x1E:
            case 0x1F:
                break;
            case 0x03:
                i = skipColourDigits(utf8, i);
                break;
            case 0x04:
                i = skipHexColour(utf8, i);
                break;
            default:
                out += c;
        }
    }
}

}  // namespace kolu
