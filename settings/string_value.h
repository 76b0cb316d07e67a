#pragma once
// The bytes of a string value as the store keeps them: UTF-16 little-endian
// units followed by a zero terminator.
#include <cstddef>
#include <string>
#include <string_view>

namespace kolu {

// Encodes at most `maxChars` units of `text` (cut at a whole character) and the terminator.
std::string encodeStringValue(std::u16string_view text,
                              std::size_t maxChars = std::u16string_view::npos);
// Decodes up to the first terminator (or the end of the bytes).
std::u16string decodeStringValue(std::string_view bytes);

}  // namespace kolu
