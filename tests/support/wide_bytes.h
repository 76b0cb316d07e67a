#pragma once
// A string value's bytes as the settings store holds them: UTF-16LE, with the
// terminator unless told otherwise.
#include <string>
#include <string_view>

namespace kolu::test {

inline std::string wide(std::u16string_view text, bool terminator = true) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return terminator ? bytes + std::string(2, '\0') : bytes;
}

}  // namespace kolu::test
