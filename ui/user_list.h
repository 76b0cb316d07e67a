#pragma once
// The members of one channel, shown beside the channel's text view: the
// highest rank first (in the order the server's PREFIX gives, so operators
// before voiced users), the members without a rank last, each group in
// case-insensitive alphabetical order. Every channel tab owns one; the protocol handlers keep it
// current through the operations below, which find the list by channel name.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ui/member_details.h"
#include "ui/member_ranks.h"
#include "ui/recent_speakers.h"

namespace kolu {

class EventSounds;
class TabRegistry;

// Mode flags of a member under the default ranks (MemberRanks::bit).
enum UserFlags : std::uint32_t { kVoiceFlag = 1, kOperatorFlag = 2 };

// One row: the label as shown (the symbol of the highest rank held, "@nick",
// "+nick", or "nick"), the ranks held (a MemberRanks mask), and the sort key
// (the highest rank's digit, "0" for the first rank, + nick; a member without
// a rank sorts by the bare nick).
struct UserEntry {
    std::u16string label;
    std::uint32_t flags = 0;
    std::u16string sortKey;
};

class UserList {
  public:
    UserList() = default;
    explicit UserList(const MemberRanks& ranks) : m_ranks(ranks) {}
    UserList(const UserList&) = delete;
    UserList& operator=(const UserList&) = delete;

    // Rows in display order.
    std::size_t size() const;
    const UserEntry& at(std::size_t index) const;
    // The nickname of row `index`, without its status prefix.
    std::u16string_view nicknameAt(std::size_t index) const;

    // The ranks rows are read and shown with. Changing them (a server's late
    // 005) keeps every rank a member holds that is still announced.
    const MemberRanks& ranks() const { return m_ranks; }
    void setRanks(const MemberRanks& ranks);

    // Index of the row of `nickname` (leading rank symbols ignored, case
    // ignored), or -1; "" finds nothing.
    int find(std::u16string_view nickname) const;
    // Inserts `name` as received (its leading rank symbols set the ranks) at
    // its sorted place, without looking for a duplicate; a name that is rank
    // symbols alone names nobody and is dropped. Rows stay where appending and
    // stable-sorting the whole list would put them: a newcomer goes after the
    // rows whose keys compare equal to its key, and a renamed or re-moded row
    // keeps its place relative to those.
    void insert(std::u16string_view name);
    bool remove(std::u16string_view nickname);
    bool rename(std::u16string_view oldNickname, std::u16string_view newNickname);
    // Grants or withdraws the rank of mode letter `mode`; false when the
    // nickname isn't listed or the letter is no rank.
    bool changeRank(std::u16string_view nickname, char16_t mode, bool granted);
    // Whether find() would give a row, without merging waiting insertions.
    bool contains(std::u16string_view nickname) const;
    // Every row goes (the channel was left without a part, by a disconnect).
    void clear();

    // What is known of a listed member beyond its ranks (leading rank symbols
    // and case ignored); null when nothing is. details() never creates;
    // editDetails() creates an empty record for a listed member, and gives null
    // for one not listed. A member's record goes with its last row and follows
    // a rename.
    const MemberDetails* details(std::u16string_view nickname) const;
    MemberDetails* editDetails(std::u16string_view nickname);

    // A member spoke in the channel (others' lines are not noted). Removing or
    // renaming a member, or clearing the list, updates its recent speakers too.
    void noteSpeaker(std::u16string_view nickname);
    const RecentSpeakers& recentSpeakers() const { return m_recent; }

    // A label is read with at most this many characters when looking for a
    // nickname; a sort key holds at most this many.
    static constexpr std::size_t kLabelReadLength = 255;
    static constexpr std::size_t kSortKeyLength = 255;

  private:
    void merge() const;
    int search(std::u16string_view nickname) const;
    void place(std::size_t index);
    void track(const UserEntry& entry, int delta);
    bool isRegular(const UserEntry& entry) const;
    std::u16string_view rowNickname(const UserEntry& entry) const;
    UserEntry entryFor(std::u16string_view name) const;
    void describe(UserEntry& entry, std::u16string_view nickname) const;

    // Sorted rows. Insertions wait in m_pending (in arrival order) until the
    // next read merges them in, so a names reply pays one merge, not a shift
    // of the whole list per name; reads therefore merge even when const.
    mutable std::vector<UserEntry> m_rows;
    mutable std::vector<UserEntry> m_pending;
    // Rows (merged or waiting) per folded nickname, for contains().
    std::unordered_map<std::u16string, int> m_names;
    MemberRanks m_ranks;
    // By folded nickname, like m_names; empty unless a server told something,
    // so a plain server's lists pay nothing for it.
    std::unordered_map<std::u16string, MemberDetails> m_details;
    // Rows whose key isn't their nickname with or without a rank digit (only
    // hostile renames make them); while there are any, find() scans.
    int m_irregular = 0;
    RecentSpeakers m_recent;
};

// The operations the protocol handlers use; each finds the channel's list through
// the tab registry and does nothing when there is none.
int znajdz_w_liscie(TabRegistry& tabs, std::u16string_view channel, std::u16string_view nickname);
int DodajDoListyOpt(TabRegistry& tabs, std::u16string_view channel, std::u16string_view name);
int dodaj_do_listy(TabRegistry& tabs, std::u16string_view channel, std::u16string_view name);
int usun_z_listy(TabRegistry& tabs, std::u16string_view channel, std::u16string_view nickname);
int zmien_nick_w_liscie(TabRegistry& tabs, std::u16string_view channel,
                        std::u16string_view oldNickname, std::u16string_view newNickname);
// A rank given or taken by a MODE; operator and voice changes play their sounds.
int ZmienMod(TabRegistry& tabs, EventSounds& sounds, std::u16string_view channel,
             std::u16string_view nickname, char16_t mode, bool granted);

}  // namespace kolu
