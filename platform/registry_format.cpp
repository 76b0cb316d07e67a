// Text form of the settings store: one "[HKEY_LOCAL_MACHINE\...]" section per key,
// then one `"name"=data` line per value. Data forms:
//   "text"            string stored with one terminator (the usual case)
//   sz(N):"text"      string padded with zero bytes to N bytes (also N without terminator)
//   dword:XXXXXXXX    32-bit value
//   hex:aa,bb         binary
//   hex(T):aa,bb      raw bytes of a value of type T (hex), e.g. an odd-sized string
// Quoted text is UTF-8 with \\ \" \r \n \t \xHH (U+00HH) and \uHHHH (any UTF-16 unit).
// This file reads the form; registry_format_write.cpp writes it.
#include "platform/registry.h"
#include "platform/registry_internal.h"
#include "platform/text.h"

namespace kolu::registry_format {

namespace {

constexpr std::string_view kHive = "HKEY_LOCAL_MACHINE";

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Consumes `prefix` (given in upper case) from the front of `text`, ignoring case.
bool eat(std::string_view& text, std::string_view prefix) {
    if (!startsWithNoCase(text, prefix)) {
        return false;
    }
    text.remove_prefix(prefix.size());
    return true;
}

void skipBlanks(std::string_view& text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
}

// Reads up to `maxDigits` hex digits (at least one) into `out`.
bool readHex(std::string_view& text, std::size_t maxDigits, std::uint32_t& out) {
    std::size_t n = 0;
    out = 0;
    while (n < maxDigits && n < text.size() && hexDigit(text[n]) >= 0) {
        out = (out << 4) | static_cast<std::uint32_t>(hexDigit(text[n]));
        ++n;
    }
    text.remove_prefix(n);
    return n > 0;
}

// A quoted string at the front of `text`, escapes decoded.
bool readQuoted(std::string_view& text, std::u16string& out) {
    out.clear();
    if (text.empty() || text.front() != '"') {
        return false;
    }
    text.remove_prefix(1);
    while (true) {
        const std::size_t run = text.find_first_of("\"\\");
        if (run == std::string_view::npos) {
            return false;  // no closing quote on this line
        }
        out += fromUtf8(text.substr(0, run));
        const char stop = text[run];
        text.remove_prefix(run + 1);
        if (stop == '"') {
            return true;
        }
        if (text.empty()) {
            return false;
        }
        const char escape = text.front();
        text.remove_prefix(1);
        std::uint32_t unit = 0;
        switch (escape) {
            case '\\':
                out += u'\\';
                break;
            case '"':
                out += u'"';
                break;
            case 'r':
                out += u'\r';
                break;
            case 'n':
                out += u'\n';
                break;
            case 't':
                out += u'\t';
                break;
            case 'x':
            case 'u': {
                const std::size_t digits = escape == 'x' ? 2 : 4;
                std::string_view before = text;
                if (!readHex(text, digits, unit) || before.size() - text.size() != digits) {
                    return false;
                }
                out += static_cast<char16_t>(unit);
                break;
            }
            default:
                return false;
        }
    }
}

// Comma-separated hex bytes up to the end of the line (which may be empty).
bool readBytes(std::string_view text, std::string& out) {
    out.clear();
    skipBlanks(text);
    if (text.empty()) {
        return true;
    }
    while (true) {
        std::uint32_t byte = 0;
        skipBlanks(text);
        if (!readHex(text, 2, byte)) {
            return false;
        }
        out += static_cast<char>(byte);
        skipBlanks(text);
        if (text.empty()) {
            return true;
        }
        if (text.front() != ',') {
            return false;
        }
        text.remove_prefix(1);
    }
}

std::string utf16Bytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2 + 2);
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// The data after '=' of a value line.
bool readData(std::string_view text, ParsedValue& value) {
    std::u16string str;
    std::uint32_t number = 0;
    if (text.starts_with('"')) {
        value.type = kRegSz;
        if (!readQuoted(text, str) || !text.empty()) {
            return false;
        }
        value.bytes = utf16Bytes(str) + std::string(2, '\0');
        return true;
    }
    if (eat(text, "SZ(")) {
        // Decimal size; a text longer than it (an edit by hand) keeps its terminator.
        std::size_t size = 0, digits = 0;
        for (; !text.empty() && text.front() >= '0' && text.front() <= '9'; ++digits) {
            size = size * 10 + static_cast<std::size_t>(text.front() - '0');
            text.remove_prefix(1);
            if (size > registry_detail::kMaxValueBytes) {
                return false;
            }
        }
        if (digits == 0 || !eat(text, "):") || !readQuoted(text, str) || !text.empty()) {
            return false;
        }
        value.type = kRegSz;
        value.bytes = utf16Bytes(str);
        if (value.bytes.size() > size) {
            value.bytes.append(2, '\0');
        } else {
            value.bytes.resize(size, '\0');
        }
        return true;
    }
    if (eat(text, "DWORD:")) {
        if (!readHex(text, 8, number) || !text.empty()) {
            return false;
        }
        value.type = kRegDword;
        value.bytes.clear();
        for (int i = 0; i < 4; ++i) {
            value.bytes += static_cast<char>((number >> (8 * i)) & 0xFF);
        }
        return true;
    }
    if (eat(text, "HEX(")) {
        if (!readHex(text, 8, number) || !eat(text, "):")) {
            return false;
        }
        value.type = number;
        return readBytes(text, value.bytes);
    }
    if (eat(text, "HEX:")) {
        value.type = kRegBinary;
        return readBytes(text, value.bytes);
    }
    return false;
}

// "[HKEY_LOCAL_MACHINE\A\B]" -> "A\B"; no empty parts.
bool readSection(std::string_view line, std::u16string& path) {
    std::string_view inner = line.substr(1, line.size() - 2);
    if (!eat(inner, kHive)) {
        return false;
    }
    if (inner.empty()) {
        path.clear();
        return true;
    }
    if (inner.front() != '\\') {
        return false;
    }
    inner.remove_prefix(1);
    path = fromUtf8(inner);
    return !path.empty() && path.front() != u'\\' && path.back() != u'\\' &&
           path.find(u"\\\\") == std::u16string::npos;
}

}  // namespace

bool parse(std::string_view text, std::vector<ParsedKey>& keys, int* badLine) {
    keys.clear();
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() &&
               (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.remove_suffix(1);
        }
        skipBlanks(line);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        bool ok = false;
        if (line.front() == '[' && line.back() == ']') {
            keys.emplace_back();
            ok = readSection(line, keys.back().path);
        } else if (line.front() == '"' && !keys.empty()) {
            ParsedValue value;
            ok = readQuoted(line, value.name);
            skipBlanks(line);
            ok = ok && eat(line, "=");
            skipBlanks(line);
            ok = ok && readData(line, value);
            if (ok) {
                keys.back().values.push_back(std::move(value));
            }
        }
        if (!ok) {
            if (badLine) {
                *badLine = lineNumber;
            }
            keys.clear();
            return false;
        }
    }
    return true;
}

}  // namespace kolu::registry_format
