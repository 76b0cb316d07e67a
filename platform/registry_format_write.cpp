// Writing the settings store's text form (the syntax is described in
// registry_format.cpp): the shortest faithful form of each value, one line each.
#include <cstdio>

#include "platform/registry.h"
#include "platform/text.h"

namespace kolu::registry_format {

namespace {

constexpr std::string_view kHive = "HKEY_LOCAL_MACHINE";

bool isSurrogate(char16_t c) {
    return isHighSurrogate(c) || isLowSurrogate(c);
}

void writeQuoted(std::u16string_view text, std::string& out) {
    out += '"';
    std::size_t plain = 0;  // start of the run not yet written
    auto flush = [&](std::size_t end) { out += toUtf8(text.substr(plain, end - plain)); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            ++i;  // a whole pair is plain text
            continue;
        }
        const bool special = c < 0x20 || c == 0x7F || c == u'"' || c == u'\\' || isSurrogate(c);
        if (!special) {
            continue;
        }
        flush(i);
        plain = i + 1;
        char buffer[8];
        switch (c) {
            case u'"':
                out += "\\\"";
                break;
            case u'\\':
                out += "\\\\";
                break;
            case u'\r':
                out += "\\r";
                break;
            case u'\n':
                out += "\\n";
                break;
            case u'\t':
                out += "\\t";
                break;
            default:
                std::snprintf(buffer, sizeof buffer, isSurrogate(c) ? "\\u%04X" : "\\x%02X",
                              static_cast<unsigned>(c));
                out += buffer;
        }
    }
    flush(text.size());
    out += '"';
}

void writeBytes(std::string_view bytes, std::string& out) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (i > 0) {
            out += ',';
        }
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
}

// The shortest faithful text form of a string value; false when it needs hex(1).
bool writeString(std::string_view bytes, std::string& out) {
    const std::size_t size = bytes.size();
    if (size % 2 == 1 && bytes.back() != '\0') {
        return false;
    }
    std::u16string text(size / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    while (!text.empty() && text.back() == u'\0') {
        text.pop_back();
    }
    if (size != text.size() * 2 + 2) {
        out += "sz(" + std::to_string(size) + "):";
    }
    writeQuoted(text, out);
    return true;
}

void writeData(const ParsedValue& value, std::string& out) {
    if (value.type == kRegSz && writeString(value.bytes, out)) {
        return;
    }
    if (value.type == kRegDword && value.bytes.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i) {
            number = (number << 8) | static_cast<unsigned char>(value.bytes[i]);
        }
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(number));
        out += buffer;
        return;
    }
    if (value.type == kRegBinary) {
        out += "hex:";
    } else {
        char buffer[24];
        std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.type));
        out += buffer;
    }
    writeBytes(value.bytes, out);
}

}  // namespace

std::string serialize(const std::vector<ParsedKey>& keys) {
    std::string out =
        "; Kolu settings, one [section] per key. Values: \"text\" (string), sz(N):\"text\"\n"
        "; (string padded with zero bytes to N bytes), dword:XXXXXXXX, hex:bytes (binary),\n"
        "; hex(T):bytes (raw value of type T). Escapes: \\\\ \\\" \\r \\n \\t \\xHH \\uHHHH.\n";
    for (const ParsedKey& key : keys) {
        out += "\n[";
        out += kHive;
        if (!key.path.empty()) {
            out += '\\';
            out += toUtf8(key.path);
        }
        out += "]\n";
        for (const ParsedValue& value : key.values) {
            writeQuoted(value.name, out);
            out += '=';
            writeData(value, out);
            out += '\n';
        }
    }
    return out;
}

}  // namespace kolu::registry_format
