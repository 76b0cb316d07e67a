#include "platform/wildcard.h"

#include <cstddef>
#include <string>

namespace kolu {
namespace {

bool asciiEqualNoCase(char a, char b) {
    const auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    };
    return lower(a) == lower(b);
}

// Bytes of the UTF-8 character at name[i], so '?' and '*' step over whole characters.
std::size_t charLength(std::string_view name, std::size_t i) {
    const auto lead = static_cast<unsigned char>(name[i]);
    const std::size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    std::size_t n = 1;
    while (n < want && i + n < name.size() &&
           (static_cast<unsigned char>(name[i + n]) & 0xC0) == 0x80) {
        ++n;
    }
    return n;
}

}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern == "*.*") {
        return true;
    }
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += charLength(name, n);
        } else if (p < pattern.size() && asciiEqualNoCase(pattern[p], name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starN += charLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace kolu
