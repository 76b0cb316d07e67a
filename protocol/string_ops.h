#pragma once
// Small text operations the protocol engine and the connection share: trimming
// blanks, and cutting a text at a separator or a blank. CopyChars has no
// function here: a std::u16string copies a counted piece whole.
// Positions are indexes into the source text.
#include <cstddef>
#include <string>
#include <string_view>

namespace kolu {

// Removes trailing blanks (U+0020 only; tabs and other spaces stay).
void TrimRight(std::u16string& text);

// destination = the text before the first separator; returns the index just
// after the separator, or source.size() when there is none (destination is then
// the whole source).
std::size_t SplitAt(std::u16string& destination, std::u16string_view source, char16_t separator);

// SplitAt on "@": the user name of an e-mail address; the returned index starts
// the mail host.
std::size_t SplitAtSign(std::u16string& destination, std::u16string_view source);

// destination = the text of `text` from `position` up to the next blank; returns
// the index of that blank (not past it), or text.size() when no blank follows.
// A position past the end gives an empty destination and text.size().
std::size_t NextWord(std::u16string& destination, std::u16string_view text, std::size_t position);

}  // namespace kolu
