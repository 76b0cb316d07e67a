#pragma once
// The text the full-text index reads: a pure function over bytes, kept apart
// from the database code.
#include <string>
#include <string_view>

namespace kolu {

// A line's UTF-8 text without its formatting codes (bold, colours with their
// digits, reset, reverse, italic, underline, strike, monospace), so a word with
// a code inside or against it is still one word to the index.
std::string indexText(std::string_view utf8);
// The same into `out`, whose memory is reused.
void indexText(std::string_view utf8, std::string& out);

}  // namespace kolu
