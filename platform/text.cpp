#include "platform/text.h"

#include <algorithm>
#include <cstdint>

namespace kolu {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 for 0x80..0x9F; the five bytes it leaves undefined stay C1 controls.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Length of the sequence a lead byte starts; 0 when it starts none (a continuation
// byte, C0/C1 overlong leads, F5..FF).
int sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// Whether `byte` may stand at position `index` (1..3) after `lead`. The second
// byte's range excludes overlongs (E0, F0), UTF-16 surrogates (ED) and code
// points past U+10FFFF (F4).
bool fitsAfter(unsigned char lead, int index, unsigned char byte) {
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (index == 1) {
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        } else if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    }
    return byte >= low && byte <= high;
}

void appendCodePoint(std::u16string& out, std::uint32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes `bytes` into `out`. When `holdTail` is set, a valid but incomplete
// sequence at the end is left undecoded; returns how many bytes were consumed.
std::size_t decodeInto(std::string_view bytes, std::u16string& out, bool holdTail) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            // Chat is mostly ASCII: widen a whole run in one append.
            std::size_t end = i + 1;
            while (end < n && static_cast<unsigned char>(bytes[end]) < 0x80) {
                ++end;
            }
            const std::size_t at = out.size();
            out.resize(at + (end - i));
            std::copy(bytes.begin() + i, bytes.begin() + end, out.begin() + at);
            i = end;
            continue;
        }
        const int length = sequenceLength(lead);
        int matched = 1;
        while (length > 0 && matched < length && i + matched < n &&
               fitsAfter(lead, matched, static_cast<unsigned char>(bytes[i + matched]))) {
            ++matched;
        }
        if (length > 0 && matched == length) {
            std::uint32_t cp = lead & (0xFF >> (length + 1));
            for (int k = 1; k < length; ++k) {
                cp = (cp << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
            }
            appendCodePoint(out, cp);
            i += length;
        } else if (length > 0 && holdTail && i + matched == n) {
            return i;  // the rest may arrive with the next chunk
        } else {
            out.push_back(windows1252ToUnicode(lead));
            ++i;
        }
    }
    return n;
}

// Writes the character starting at text[i] (`units` long) to `out`.
char* encodeChar(std::u16string_view text, std::size_t i, int units, char* out) {
    std::uint32_t cp = text[i];
    if (units == 2) {
        cp = codePointOfPair(text[i], text[i + 1]);
    } else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i])) {
        cp = kReplacement;
    }
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

}  // namespace

char16_t windows1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        return kCp1252High[byte - 0x80];
    }
    return byte;
}

int utf8Length(std::u16string_view text, std::size_t i, int& units) {
    const char16_t c = text[i];
    units = 1;
    if (c < 0x80) {
        return 1;
    }
    if (c < 0x800) {
        return 2;
    }
    if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
        units = 2;
        return 4;
    }
    return 3;  // BMP character, or a lone surrogate written as U+FFFD
}

std::size_t utf8Size(std::u16string_view text) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < text.size();) {
        int units = 1;
        bytes += static_cast<std::size_t>(utf8Length(text, i, units));
        i += static_cast<std::size_t>(units);
    }
    return bytes;
}

std::u16string decimalText(long long value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::string toUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    char buffer[4];
    for (std::size_t i = 0; i < text.size();) {
        int units = 1;
        utf8Length(text, i, units);
        char* end = encodeChar(text, i, units, buffer);
        out.append(buffer, static_cast<std::size_t>(end - buffer));
        i += units;
    }
    return out;
}

std::u16string fromUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    decodeInto(bytes, out, false);
    return out;
}

std::size_t toUtf8Bounded(std::u16string_view text, char* out, std::size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    const std::size_t room = capacity - 1;  // the terminator always fits
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size();) {
        int units = 1;
        const int length = utf8Length(text, i, units);
        if (written + static_cast<std::size_t>(length) > room) {
            break;
        }
        encodeChar(text, i, units, out + written);
        written += length;
        i += units;
    }
    out[written] = '\0';
    return written;
}

std::u16string_view cutAtWholeChar(std::u16string_view text, std::size_t maxUnits) {
    if (text.size() <= maxUnits) {
        return text;
    }
    std::size_t n = maxUnits;
    if (n > 0 && isHighSurrogate(text[n - 1]) && isLowSurrogate(text[n])) {
        --n;
    }
    return text.substr(0, n);
}

std::u16string Utf8StreamDecoder::decode(std::string_view chunk) {
    std::u16string out;
    out.reserve(chunk.size() + m_pending.size());
    if (m_pending.empty()) {
        const std::size_t used = decodeInto(chunk, out, true);
        m_pending.assign(chunk.substr(used));
    } else {
        // The held bytes are at most three, so joining them to the chunk is cheap.
        std::string joined = m_pending;
        joined.append(chunk);
        const std::size_t used = decodeInto(joined, out, true);
        m_pending = joined.substr(used);
    }
    return out;
}

std::u16string Utf8StreamDecoder::flush() {
    std::u16string out;
    decodeInto(m_pending, out, false);
    m_pending.clear();
    return out;
}

namespace {

// Upper-case letters that fold onto their lower-case partners: `delta` is added to
// every code in [first, last], or with `alternate` only to codes of the same
// parity as `first` (blocks where upper and lower case alternate).
struct FoldRange {
    char16_t first;
    char16_t last;
    std::int16_t delta;
    bool alternate;
};

constexpr FoldRange kFoldRanges[] = {
    {0x00C0, 0x00D6, 32, false},   {0x00D8, 0x00DE, 32, false},  // Latin-1
    {0x0100, 0x012E, 1, true},     {0x0132, 0x0136, 1, true},    // Latin Extended-A
    {0x0139, 0x0147, 1, true},     {0x014A, 0x0176, 1, true},    //
    {0x0178, 0x0178, -121, false}, {0x0179, 0x017D, 1, true},    //
    {0x0386, 0x0386, 38, false},   {0x0388, 0x038A, 37, false},  // Greek
    {0x038C, 0x038C, 64, false},   {0x038E, 0x038F, 63, false},  //
    {0x0391, 0x03A1, 32, false},   {0x03A3, 0x03AB, 32, false},  //
    {0x0400, 0x040F, 80, false},   {0x0410, 0x042F, 32, false},  // Cyrillic
    {0x0460, 0x0480, 1, true},     {0x048A, 0x04BE, 1, true},    //
    {0x04C0, 0x04C0, 15, false},   {0x04C1, 0x04CD, 1, true},    //
    {0x04D0, 0x052E, 1, true},     {0x0531, 0x0556, 48, false},  // Armenian
    {0x1E00, 0x1E94, 1, true},     {0x1EA0, 0x1EFE, 1, true},    // Latin Extended Additional
    {0xFF21, 0xFF3A, 32, false},                                 // full-width Latin
};

}  // namespace

// Folds to lower case: ASCII, Latin-1, Latin Extended-A (Polish, Czech, ...),
// Latin Extended Additional (Vietnamese, ...), Greek, Cyrillic, Armenian and
// full-width Latin letters. Letters whose folding depends on language or context
// (dotted I U+0130, dotless i, final sigma, sharp s) are left as they are.
char16_t foldCase(char16_t c) {
    if (c < 0x80) {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    }
    for (const FoldRange& range : kFoldRanges) {
        if (c < range.first) {
            break;
        }
        if (c <= range.last) {
            if (range.alternate && ((c - range.first) & 1) != 0) {
                return c;
            }
            return static_cast<char16_t>(c + range.delta);
        }
    }
    return c;
}

std::u16string foldedCase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        c = foldCase(c);
    }
    return out;
}

bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && foldCase(a[i]) != foldCase(b[i])) {
            return false;
        }
    }
    return true;
}

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return lower;
}

}  // namespace kolu
