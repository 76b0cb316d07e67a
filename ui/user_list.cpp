#include "ui/user_list.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "platform/text.h"
#include "ui/event_sounds.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

char16_t fold(char16_t c) {
    if (c < 0x80) {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    }
    return foldCase(c);
}

// The list's order: sort keys compared unit by unit with case folded, a
// shorter key before a longer one it begins.
int compareKeys(std::u16string_view a, std::u16string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const char16_t x = fold(a[i]);
        const char16_t y = fold(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool keyLess(const UserEntry& a, const UserEntry& b) {
    return compareKeys(a.sortKey, b.sortKey) < 0;
}

std::u16string folded(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        c = fold(c);
    }
    return out;
}

std::u16string cutKey(std::u16string key) {
    if (key.size() > UserList::kSortKeyLength) {
        key.resize(cutAtWholeChar(key, UserList::kSortKeyLength).size());
    }
    return key;
}

// The first k in [0, count) for which `after(k)` holds, `after` being false
// then true along the range.
template <typename Predicate>
std::size_t firstTrue(std::size_t count, Predicate after) {
    std::size_t low = 0;
    while (count > 0) {
        const std::size_t half = count / 2;
        if (after(low + half)) {
            count = half;
        } else {
            low += half + 1;
            count -= half + 1;
        }
    }
    return low;
}

// The digit a rank puts before the nickname in a sort key.
char16_t rankDigit(int rank) {
    return static_cast<char16_t>(u'0' + rank);
}

std::u16string_view soundOf(char16_t mode, bool granted) {
    if (mode == u'o') {
        return granted ? u"op" : u"deop";
    }
    if (mode == u'v') {
        return granted ? u"voice" : u"devoice";
    }
    return {};
}

}  // namespace

// The nickname a row answers to: its label as a search reads it, without the
// rank symbols.
std::u16string_view UserList::rowNickname(const UserEntry& entry) const {
    return m_ranks.strip(cutAtWholeChar(entry.label, kLabelReadLength));
}

// Whether a search by key finds the row: its key is its nickname, bare or
// behind a rank digit. Names as servers send them always give such rows.
bool UserList::isRegular(const UserEntry& entry) const {
    const std::u16string_view nickname = rowNickname(entry);
    const std::u16string_view key = entry.sortKey;
    if (equalsIgnoreCase(key, nickname)) {
        return true;
    }
    return !key.empty() && key.front() >= rankDigit(0) &&
           key.front() < rankDigit(static_cast<int>(m_ranks.count())) &&
           equalsIgnoreCase(key.substr(1), nickname);
}

UserEntry UserList::entryFor(std::u16string_view name) const {
    UserEntry entry;
    entry.flags = m_ranks.maskOf(name);
    describe(entry, m_ranks.strip(name));
    return entry;
}

// Label and key from the ranks held: the highest one shows.
void UserList::describe(UserEntry& entry, std::u16string_view nickname) const {
    entry.label.assign(nickname);
    entry.sortKey.assign(nickname);
    if (const int rank = m_ranks.highest(entry.flags); rank >= 0) {
        entry.label.insert(entry.label.begin(), m_ranks.symbol(static_cast<std::size_t>(rank)));
        entry.sortKey.insert(entry.sortKey.begin(), rankDigit(rank));
    }
    entry.sortKey = cutKey(std::move(entry.sortKey));
}

std::size_t UserList::size() const {
    return m_rows.size() + m_pending.size();
}

const UserEntry& UserList::at(std::size_t index) const {
    merge();
    return m_rows[index];
}

std::u16string_view UserList::nicknameAt(std::size_t index) const {
    return rowNickname(at(index));
}

// Equal keys keep their order and a newcomer goes after them, as if each name
// had been appended and the whole list stable-sorted: a stable merge of the
// sorted list with the stably sorted newcomers gives exactly that.
void UserList::merge() const {
    if (m_pending.empty()) {
        return;
    }
    if (m_pending.size() == 1) {
        const auto place =
            std::upper_bound(m_rows.begin(), m_rows.end(), m_pending.front(), keyLess);
        m_rows.insert(place, std::move(m_pending.front()));
        m_pending.clear();
        return;
    }
    m_rows.reserve(m_rows.size() + m_pending.size());
    std::stable_sort(m_pending.begin(), m_pending.end(), keyLess);
    const std::size_t middle = m_rows.size();
    std::move(m_pending.begin(), m_pending.end(), std::back_inserter(m_rows));
    m_pending.clear();
    std::inplace_merge(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(middle),
                       m_rows.end(), keyLess);
}

int UserList::find(std::u16string_view nickname) const {
    const std::u16string_view wanted = m_ranks.strip(nickname);
    if (wanted.empty()) {
        return -1;
    }
    merge();
    return search(wanted);
}

// The first row whose nickname is `wanted`. Such a row's key is the nickname
// or a rank digit and the nickname, so only those runs of equal keys need
// looking at; the earliest match among them is the first in the list.
int UserList::search(std::u16string_view wanted) const {
    if (m_irregular > 0) {
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (equalsIgnoreCase(rowNickname(m_rows[i]), wanted)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    int best = -1;
    for (int rank = -1; rank < static_cast<int>(m_ranks.count()); ++rank) {
        std::u16string key;
        if (rank >= 0) {
            key += rankDigit(rank);
        }
        key += wanted;
        std::size_t i = firstTrue(
            m_rows.size(), [&](std::size_t k) { return compareKeys(m_rows[k].sortKey, key) >= 0; });
        for (; i < m_rows.size() && compareKeys(m_rows[i].sortKey, key) == 0; ++i) {
            if (equalsIgnoreCase(rowNickname(m_rows[i]), wanted)) {
                if (best < 0 || static_cast<int>(i) < best) {
                    best = static_cast<int>(i);
                }
                break;
            }
        }
    }
    return best;
}

bool UserList::contains(std::u16string_view nickname) const {
    const std::u16string_view wanted = m_ranks.strip(nickname);
    return !wanted.empty() && m_names.count(folded(wanted)) > 0;
}

void UserList::track(const UserEntry& entry, int delta) {
    const std::u16string name = folded(rowNickname(entry));
    if (delta > 0) {
        ++m_names[name];
    } else if (const auto it = m_names.find(name); it != m_names.end() && --it->second == 0) {
        m_names.erase(it);
        if (!m_details.empty()) {
            m_details.erase(name);
        }
    }
    if (!isRegular(entry)) {
        m_irregular += delta;
    }
}

void UserList::insert(std::u16string_view name) {
    if (m_ranks.strip(name).empty()) {
        return;
    }
    m_pending.push_back(entryFor(name));
    try {
        track(m_pending.back(), 1);
    } catch (const std::bad_alloc&) {
        m_pending.pop_back();
        throw;
    }
}

bool UserList::remove(std::u16string_view nickname) {
    const int index = find(nickname);
    if (index < 0) {
        return false;
    }
    track(m_rows[index], -1);
    m_rows.erase(m_rows.begin() + index);
    m_recent.forget(m_ranks.strip(nickname));
    return true;
}

// Moves the changed row `index` to where sorting the whole list (stably)
// would put it: among rows of an equal key it keeps its place relative to
// them, so it lands at its old index clamped into their run.
void UserList::place(std::size_t index) {
    const std::size_t others = m_rows.size() - 1;
    const std::u16string& key = m_rows[index].sortKey;
    auto keyAt = [&](std::size_t k) -> const std::u16string& {
        return m_rows[k < index ? k : k + 1].sortKey;
    };
    const std::size_t low =
        firstTrue(others, [&](std::size_t k) { return compareKeys(keyAt(k), key) >= 0; });
    const std::size_t high =
        firstTrue(others, [&](std::size_t k) { return compareKeys(keyAt(k), key) > 0; });
    const std::size_t target = std::clamp(index, low, high);
    const auto at = [&](std::size_t i) { return m_rows.begin() + static_cast<std::ptrdiff_t>(i); };
    if (target < index) {
        std::rotate(at(target), at(index), at(index + 1));
    } else if (target > index) {
        std::rotate(at(index), at(index + 1), at(target + 1));
    }
}

// A new nickname that is rank symbols alone would leave a row nobody can name.
bool UserList::rename(std::u16string_view oldNickname, std::u16string_view newNickname) {
    const int index = m_ranks.strip(newNickname).empty() ? -1 : find(oldNickname);
    if (index < 0) {
        return false;
    }
    UserEntry updated = m_rows[index];
    describe(updated, m_ranks.strip(newNickname));
    // The old name's record goes with its last row; the member keeps it.
    std::optional<MemberDetails> kept;
    std::u16string newKey;
    if (const MemberDetails* known = details(oldNickname)) {
        kept = *known;
        newKey = folded(rowNickname(updated));
    }
    track(updated, 1);
    track(m_rows[index], -1);
    m_rows[index] = std::move(updated);
    place(static_cast<std::size_t>(index));
    if (kept) {
        m_details.insert_or_assign(std::move(newKey), std::move(*kept));
    }
    m_recent.rename(m_ranks.strip(oldNickname), m_ranks.strip(newNickname));
    return true;
}

bool UserList::changeRank(std::u16string_view nickname, char16_t mode, bool granted) {
    const int rank = m_ranks.rankOfMode(mode);
    const int index = rank < 0 ? -1 : find(nickname);
    if (index < 0) {
        return false;
    }
    UserEntry updated = m_rows[index];
    const std::uint32_t bit = m_ranks.bit(static_cast<std::size_t>(rank));
    updated.flags = granted ? updated.flags | bit : updated.flags & ~bit;
    // Rebuilt from the nickname as the caller passed it, not as it was listed.
    describe(updated, m_ranks.strip(nickname));
    track(updated, 1);
    track(m_rows[index], -1);
    m_rows[index] = std::move(updated);
    place(static_cast<std::size_t>(index));
    return true;
}

// Rows are rebuilt under the new ranks: a rank no longer announced is dropped,
// the others keep their mode letter's new place, and a member whose nickname
// is now rank symbols alone goes, as no name could reach it. Out of memory,
// the list stays as it was.
void UserList::setRanks(const MemberRanks& ranks) {
    if (ranks == m_ranks) {
        return;
    }
    merge();
    std::vector<UserEntry> rows;
    rows.reserve(m_rows.size());
    for (const UserEntry& row : m_rows) {
        // The whole label: a long nickname outlasts what a search reads.
        const std::u16string_view nickname = m_ranks.strip(row.label);
        if (ranks.strip(nickname).empty()) {
            m_recent.forget(nickname);
            continue;
        }
        UserEntry& updated = rows.emplace_back();
        for (std::size_t rank = 0; rank < m_ranks.count(); ++rank) {
            const int kept = ranks.rankOfMode(m_ranks.mode(rank));
            if ((row.flags & m_ranks.bit(rank)) != 0 && kept >= 0) {
                updated.flags |= ranks.bit(static_cast<std::size_t>(kept));
            }
        }
        updated.label.assign(nickname);
    }
    const MemberRanks previous = std::exchange(m_ranks, ranks);
    try {
        for (UserEntry& row : rows) {
            describe(row, std::u16string(row.label));
        }
        std::stable_sort(rows.begin(), rows.end(), keyLess);
    } catch (const std::bad_alloc&) {
        m_ranks = previous;
        throw;
    }
    m_rows = std::move(rows);
    m_names.clear();
    m_irregular = 0;
    for (const UserEntry& row : m_rows) {
        track(row, 1);
    }
    std::erase_if(m_details, [&](const auto& item) { return m_names.count(item.first) == 0; });
}

// Out of memory, an operation changes nothing and reports nothing found.
int znajdz_w_liscie(TabRegistry& tabs, std::u16string_view channel, std::u16string_view nickname) {
    try {
        const UserList* list = tabs.pobierz_hwndlist(channel);
        return list ? list->find(nickname) : -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

int DodajDoListyOpt(TabRegistry& tabs, std::u16string_view channel, std::u16string_view name) {
    try {
        if (UserList* list = tabs.pobierz_hwndlist(channel)) {
            list->insert(name);
        }
    } catch (const std::bad_alloc&) {
    }
    return 1;
}

// A channel without a list finds nothing, so "adding" there answers 1 too.
int dodaj_do_listy(TabRegistry& tabs, std::u16string_view channel, std::u16string_view name) {
    try {
        UserList* list = tabs.pobierz_hwndlist(channel);
        if (list && list->contains(name)) {
            return 0;
        }
        if (list) {
            list->insert(name);
        }
    } catch (const std::bad_alloc&) {
    }
    return 1;
}

int usun_z_listy(TabRegistry& tabs, std::u16string_view channel, std::u16string_view nickname) {
    try {
        UserList* list = tabs.pobierz_hwndlist(channel);
        return list && list->remove(nickname) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int zmien_nick_w_liscie(TabRegistry& tabs, std::u16string_view channel,
                        std::u16string_view oldNickname, std::u16string_view newNickname) {
    try {
        UserList* list = tabs.pobierz_hwndlist(channel);
        return list && list->rename(oldNickname, newNickname) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int ZmienMod(TabRegistry& tabs, EventSounds& sounds, std::u16string_view channel,
             std::u16string_view nickname, char16_t mode, bool granted) {
    try {
        UserList* list = tabs.pobierz_hwndlist(channel);
        if (list && list->changeRank(nickname, mode, granted) && !soundOf(mode, granted).empty()) {
            sounds.PlayWAV(soundOf(mode, granted));
        }
    } catch (const std::bad_alloc&) {
    }
    return 1;
}

void UserList::clear() {
    m_rows.clear();
    m_pending.clear();
    m_names.clear();
    m_details.clear();
    m_irregular = 0;
    m_recent.clear();
}

const MemberDetails* UserList::details(std::u16string_view nickname) const {
    const std::u16string_view wanted = m_ranks.strip(nickname);
    if (m_details.empty() || wanted.empty()) {
        return nullptr;
    }
    const auto it = m_details.find(folded(wanted));
    return it == m_details.end() ? nullptr : &it->second;
}

MemberDetails* UserList::editDetails(std::u16string_view nickname) {
    if (!contains(nickname)) {
        return nullptr;
    }
    return &m_details[folded(m_ranks.strip(nickname))];
}

void UserList::noteSpeaker(std::u16string_view nickname) {
    if (contains(nickname)) {
        m_recent.note(m_ranks.strip(nickname));
    }
}

}  // namespace kolu
