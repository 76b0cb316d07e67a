#include "settings/string_value.h"

#include "platform/text.h"

namespace kolu {

std::string encodeStringValue(std::u16string_view text, std::size_t maxChars) {
    std::u16string_view kept = cutAtWholeChar(text, maxChars);
    std::string bytes;
    bytes.reserve((kept.size() + 1) * 2);
    for (char16_t unit : kept) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    bytes.append(2, '\0');
    return bytes;
}

std::u16string decodeStringValue(std::string_view bytes) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char16_t unit = static_cast<unsigned char>(bytes[i]) |
                        static_cast<char16_t>(static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit == 0) {
            break;
        }
        out += unit;
    }
    return out;
}

}  // namespace kolu
