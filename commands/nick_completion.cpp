#include "commands/nick_completion.h"

#include <algorithm>

#include "platform/text.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool startsWithIgnoringCase(std::u16string_view nickname, std::u16string_view word) {
    return nickname.size() >= word.size() &&
           equalsIgnoreCase(nickname.substr(0, word.size()), word);
}

std::size_t wordStartBefore(std::u16string_view line, std::size_t caret) {
    std::size_t start = caret;
    while (start > 0 && !isBlank(line[start - 1])) {
        --start;
    }
    return start;
}

}  // namespace

std::optional<CompletedLine> NickCompletion::complete(std::u16string_view line, std::size_t caret,
                                                      bool backwards) {
    // A caret inside a surrogate pair (or past the end) counts as before it, so
    // the pair is never split.
    caret = cutAtWholeChar(line, caret).size();
    const std::u16string tab = m_tabs.pobierz_nazwebiez();
    if (continues(tab, line, caret)) {
        const std::size_t count = m_cycle->nicknames.size();
        m_cycle->index = (m_cycle->index + (backwards ? count - 1 : 1)) % count;
    } else {
        m_cycle.reset();
        const std::size_t start = wordStartBefore(line, caret);
        std::vector<std::u16string> found = matches(line.substr(start, caret - start));
        if (found.empty()) {
            return std::nullopt;
        }
        const std::size_t index = backwards ? found.size() - 1 : 0;
        m_cycle = Cycle{tab, std::move(found), index, start, {}, 0};
    }
    const std::size_t start = m_cycle->wordStart;
    std::u16string text(line.substr(0, start));
    text += m_cycle->nicknames[m_cycle->index];
    text += start == 0 ? u": " : u" ";
    const std::size_t newCaret = text.size();
    text += line.substr(caret);
    m_cycle->line = text;
    m_cycle->caret = newCaret;
    return CompletedLine{std::move(text), newCaret};
}

bool NickCompletion::completes(std::u16string_view line, std::size_t caret) {
    caret = cutAtWholeChar(line, caret).size();
    if (continues(m_tabs.pobierz_nazwebiez(), line, caret)) {
        return true;
    }
    const std::size_t start = wordStartBefore(line, caret);
    return !matches(line.substr(start, caret - start)).empty();
}

bool NickCompletion::continues(std::u16string_view tab, std::u16string_view line,
                               std::size_t caret) const {
    return m_cycle && m_cycle->tab == tab && m_cycle->line == line && m_cycle->caret == caret;
}

// Built on Tab only: one pass over the members, the recent speakers first.
std::vector<std::u16string> NickCompletion::matches(std::u16string_view word) {
    std::vector<std::u16string> found;
    const int selected = m_tabs.selected();
    const TabRecord* record = m_tabs.pobierz_lparam(selected);
    if (word.empty() || selected <= 0 || !record) {
        return found;  // no word, or the status tab: nobody to offer
    }
    if (!record->userList) {
        const std::u16string query = m_tabs.pobierz_nazwebiez();
        if (startsWithIgnoringCase(query, word)) {
            found.push_back(query);
        }
        return found;
    }
    const UserList& members = *record->userList;
    for (const std::u16string& speaker : members.recentSpeakers().names()) {
        if (startsWithIgnoringCase(speaker, word)) {
            found.push_back(speaker);
        }
    }
    const auto recent = static_cast<std::ptrdiff_t>(found.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
        const std::u16string_view nickname = members.nicknameAt(i);
        if (startsWithIgnoringCase(nickname, word) &&
            std::none_of(found.begin(), found.begin() + recent, [&](const std::u16string& speaker) {
                return equalsIgnoreCase(speaker, nickname);
            })) {
            found.emplace_back(nickname);
        }
    }
    return found;
}

}  // namespace kolu
