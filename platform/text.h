#pragma once
// Conversions between the client's wide text (UTF-16) and the byte text used on
// the wire and in files (UTF-8), plus the streaming decoder for inbound bytes.
#include <cstddef>
#include <string>
#include <string_view>

namespace kolu {

// The halves of a UTF-16 surrogate pair, and the code point a pair stands for.
constexpr bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
constexpr bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
constexpr char32_t codePointOfPair(char16_t high, char16_t low) {
    return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
}

// UTF-16 -> UTF-8. A lone surrogate becomes U+FFFD so the output is always valid UTF-8.
std::string toUtf8(std::u16string_view text);

// Bytes the UTF-8 form of the character starting at text[i] takes (a lone
// surrogate: those of U+FFFD), and in `units` how many UTF-16 units it spans.
int utf8Length(std::u16string_view text, std::size_t i, int& units);
// Bytes the UTF-8 form of `text` takes.
std::size_t utf8Size(std::u16string_view text);

// A number in decimal digits.
std::u16string decimalText(long long value);

// UTF-8 -> UTF-16 for a complete text: a byte that does not start a valid UTF-8
// sequence decodes as the Windows-1252 character of that byte; nothing is dropped.
std::u16string fromUtf8(std::string_view bytes);

// Converts into a caller's buffer of `capacity` bytes, terminator included
// (WideCharToMultiByte's role). Never writes past the buffer; when the text does
// not fit it is cut before the first character that would not fit whole.
// Returns the bytes written, terminator excluded. capacity 0 writes nothing.
std::size_t toUtf8Bounded(std::u16string_view text, char* out, std::size_t capacity);

// The longest prefix of `text` of at most `maxUnits` UTF-16 units that does not
// end in the middle of a surrogate pair.
std::u16string_view cutAtWholeChar(std::u16string_view text, std::size_t maxUnits);

// The Windows-1252 character of a byte (0x80..0x9F mapped, undefined ones kept as C1).
char16_t windows1252ToUnicode(unsigned char byte);

// Decoder for inbound chunks: a UTF-8 sequence split between two chunks is
// completed by the next chunk; invalid bytes decode as Windows-1252.
class Utf8StreamDecoder {
  public:
    // Decodes a chunk; an incomplete sequence at its end is held for the next call.
    std::u16string decode(std::string_view chunk);
    // Decodes whatever is held (as Windows-1252) and clears it.
    std::u16string flush();
    void reset() { m_pending.clear(); }
    bool hasPending() const { return !m_pending.empty(); }

  private:
    std::string m_pending;
};

// Case-insensitive comparison of UTF-16 text (ASCII and Latin-1 letters fold), as
// the client compares nicknames, tab names and list entries.
char16_t foldCase(char16_t c);
// The text with every character folded so, for keys compared by equality.
std::u16string foldedCase(std::u16string_view text);
bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b);
// A host name as files key it: ASCII letters in lower case, other bytes kept.
std::string lowerAscii(std::string_view text);

}  // namespace kolu
