#pragma once
// The ranks a channel member can hold, as the server announces them in the
// PREFIX token of its 005 reply: "(qaohv)~&@%+" gives each rank's mode letter
// and the symbol shown before a member's nickname, highest rank first. Until a
// server says otherwise there are operators and voiced users, "(ov)@+".
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kolu {

class MemberRanks {
  public:
    // A row's sort key marks its rank with one digit, and a row keeps the
    // ranks it holds in a small mask: no server announces nearly as many.
    static constexpr std::size_t kMaxRanks = 10;

    MemberRanks() = default;

    // The ranks a PREFIX value announces; nothing for a value that is not one
    // (unbalanced parentheses, letters and symbols that do not pair up, a
    // symbol that could begin a nickname or a channel, a letter or symbol
    // given twice, more ranks than a row can hold).
    static std::optional<MemberRanks> parse(std::u16string_view value);

    std::size_t count() const { return m_modes.size(); }
    // Rank 0 is the highest; -1 when the mode letter or symbol is not a rank.
    int rankOfMode(char16_t mode) const;
    int rankOfSymbol(char16_t symbol) const;
    char16_t symbol(std::size_t rank) const { return m_symbols[rank]; }
    char16_t mode(std::size_t rank) const { return m_modes[rank]; }

    // The colour table has two rank colours: the operator's for operators and
    // every rank above them, the voice colour for the ranks below (halfop).
    bool showsAsOperator(std::size_t rank) const {
        return static_cast<int>(rank) <= rankOfMode(u'o');
    }

    // The mask bit of a rank: the lowest rank is bit 0, so with the default
    // ranks voice is 1 and operator 2.
    std::uint32_t bit(std::size_t rank) const { return 1u << (count() - 1 - rank); }
    // The highest rank a mask holds; -1 for none.
    int highest(std::uint32_t mask) const;

    // The leading rank symbols of a name as a server lists it (several with
    // multi-prefix, "@+bob") as a mask, and the nickname after them.
    std::uint32_t maskOf(std::u16string_view name) const;
    std::u16string_view strip(std::u16string_view name) const;

    bool operator==(const MemberRanks&) const = default;

  private:
    MemberRanks(std::u16string_view modes, std::u16string_view symbols);

    // Every search strips names, so ASCII symbols are a bit test, not a find.
    bool isSymbol(char16_t c) const {
        return c < 128 ? (m_asciiSymbols[c / 64] >> (c % 64) & 1) != 0
                       : m_symbols.find(c) != std::u16string::npos;
    }

    std::u16string m_modes = u"ov";
    std::u16string m_symbols = u"@+";
    std::uint64_t m_asciiSymbols[2] = {std::uint64_t{1} << u'+', std::uint64_t{1} << (u'@' - 64)};
};

}  // namespace kolu
