#include "ui/member_ranks.h"

#include <bit>

namespace kolu {
namespace {

bool isLetterOrDigit(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

// A symbol must not be something a nickname may begin with, nor a blank, the
// names list's separator or a channel's sign, or stripping would eat nicknames.
bool isUsableSymbol(char16_t c) {
    return c > u' ' && c != u',' && c != u'#' && c != u'(' && c != u')' && !isLetterOrDigit(c);
}

bool hasRepeat(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.find(text[i], i + 1) != std::u16string_view::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

MemberRanks::MemberRanks(std::u16string_view modes, std::u16string_view symbols)
    : m_modes(modes), m_symbols(symbols), m_asciiSymbols{0, 0} {
    for (const char16_t c : symbols) {
        if (c < 128) {
            m_asciiSymbols[c / 64] |= std::uint64_t{1} << (c % 64);
        }
    }
}

std::optional<MemberRanks> MemberRanks::parse(std::u16string_view value) {
    if (value.empty() || value.front() != u'(') {
        return std::nullopt;
    }
    const std::size_t close = value.find(u')');
    if (close == std::u16string_view::npos) {
        return std::nullopt;
    }
    const std::u16string_view modes = value.substr(1, close - 1);
    const std::u16string_view symbols = value.substr(close + 1);
    if (modes.size() != symbols.size() || modes.size() > kMaxRanks || hasRepeat(modes) ||
        hasRepeat(symbols)) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < modes.size(); ++i) {
        if (!isLetterOrDigit(modes[i]) || !isUsableSymbol(symbols[i])) {
            return std::nullopt;
        }
    }
    return MemberRanks(modes, symbols);
}

int MemberRanks::rankOfMode(char16_t mode) const {
    const std::size_t at = m_modes.find(mode);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int MemberRanks::rankOfSymbol(char16_t symbol) const {
    const std::size_t at = m_symbols.find(symbol);
    return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int MemberRanks::highest(std::uint32_t mask) const {
    mask &= (1u << count()) - 1;  // bits of ranks since withdrawn hold nothing
    return mask == 0 ? -1 : static_cast<int>(count()) - std::bit_width(mask);
}

std::uint32_t MemberRanks::maskOf(std::u16string_view name) const {
    std::uint32_t mask = 0;
    for (std::size_t at = 0; at < name.size() && isSymbol(name[at]); ++at) {
        mask |= bit(static_cast<std::size_t>(rankOfSymbol(name[at])));
    }
    return mask;
}

std::u16string_view MemberRanks::strip(std::u16string_view name) const {
    std::size_t at = 0;
    while (at < name.size() && isSymbol(name[at])) {
        ++at;
    }
    return name.substr(at);
}

}  // namespace kolu
