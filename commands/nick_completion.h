#pragma once
// Nickname completion with Tab in the input line: the word before the caret is
// completed from the selected tab's nicknames (a channel's recent speakers, then
// its other members in list order; a query's nickname), and more Tabs cycle
// through the other matches while the line stays as the last Tab left it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolu {

class TabRegistry;

struct CompletedLine {
    std::u16string text;
    std::size_t caret = 0;
};

class NickCompletion {
  public:
    // `tabs` outlives the completion.
    explicit NickCompletion(TabRegistry& tabs) : m_tabs(tabs) {}

    // Tab (Shift+Tab when `backwards`): the line with the word before `caret`
    // replaced by the first (last) matching nickname, followed by ": " at the
    // start of the line and by a blank elsewhere; on a line the previous Tab
    // produced, the next (previous) match instead, wrapping around. Nothing when
    // the word is empty or nothing matches.
    std::optional<CompletedLine> complete(std::u16string_view line, std::size_t caret,
                                          bool backwards);
    // Whether a Tab now would change the line: the word before `caret` begins a
    // nickname, or the line is the one the last Tab left.
    bool completes(std::u16string_view line, std::size_t caret);
    // Any other key: the next Tab completes afresh.
    void endCycle() { m_cycle.reset(); }

  private:
    struct Cycle {
        std::u16string tab;
        std::vector<std::u16string> nicknames;
        std::size_t index = 0;
        std::size_t wordStart = 0;
        // What the last Tab left, to tell whether the line was edited since.
        std::u16string line;
        std::size_t caret = 0;
    };

    bool continues(std::u16string_view tab, std::u16string_view line, std::size_t caret) const;
    std::vector<std::u16string> matches(std::u16string_view word);

    TabRegistry& m_tabs;
    std::optional<Cycle> m_cycle;
};

}  // namespace kolu
