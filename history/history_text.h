#pragma once
// The text the full-text index reads, and the index query made from what a user
// typed: both pure functions over bytes, kept apart from the database code.
#include <string>
#include <string_view>

namespace kolu {

// A line's UTF-8 text without its formatting codes (bold, colours with their
// digits, reset, reverse, italic, underline, strike, monospace), so a word with
// a code inside or against it is still one word to the index.
std::string indexText(std::string_view utf8);

// An FTS5 query finding the lines that hold every word of `typed`: each word is
// quoted, so nothing the user types is read as query syntax (OR, NEAR, *, "),
// and a quoted word of punctuation alone matches nothing. "" when `typed` holds
// no word at all.
std::string matchQuery(std::u16string_view typed);

}  // namespace kolu
