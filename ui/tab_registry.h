#pragma once
// The tabs of the main window in order: index 0 is always the status tab, then
// one tab per channel (with its user list) and per query. Each tab is a label and
// a TabRecord owning the tab's text-view model; tabs are found by index or by a
// name compared without regard to case. The tab strip widget observes it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/colour_table.h"
#include "ui/line_source.h"
#include "ui/text_lines.h"
#include "ui/user_list.h"

namespace kolu {

class EventSounds;
class TextMetrics;

// What one tab owns. Records live at a fixed address while their tab exists.
struct TabRecord {
    explicit TabRecord(const TextMetrics& metrics) : text(&metrics) {}

    std::unique_ptr<UserList> userList;  // channels ('#', '&') only
    // Where the text's lines that left memory are read back from (none: all stay).
    // Declared before the text, which points at it, so it goes after the text.
    std::unique_ptr<LineSource> source;
    TextLines text;
    std::uint32_t nameLength = 0;  // characters of the name at creation
    Colour activity = 0;           // label colour; 0 = no unseen activity
    bool joined = true;            // false: a channel left by a disconnect, not yet joined again
    int userListWidth = 0;         // pixels; 60 x scale factor at creation
};

// Hears what the windows must follow. The calls come after the change, except
// tabRemoved, which comes while the tab's record still exists.
class TabObserver {
  public:
    virtual ~TabObserver() = default;
    virtual void tabAdded(int /*index*/) {}
    // The tab at `index` is about to go: its record is still valid, count() and
    // the indexes after it are unchanged until the call returns.
    virtual void tabRemoved(int /*index*/) {}
    // ZmienZakladke: show the selected tab's windows.
    virtual void selectionChanged(int /*index*/) {}
    // The tab's activity colour changed; redraw its label.
    virtual void labelColourChanged(int /*index*/) {}
    // Give the keyboard focus back to the input line.
    virtual void focusInputRequested() {}
};

class TabRegistry {
  public:
    static constexpr int kLeftArrow = 37;
    static constexpr int kRightArrow = 39;
    static constexpr int kUserListWidth = 60;  // unscaled pixels

    // `metrics` measures every tab's text; both references must outlive the registry.
    TabRegistry(EventSounds& sounds, const TextMetrics& metrics, int scaleFactor = 1);
    TabRegistry(const TabRegistry&) = delete;
    TabRegistry& operator=(const TabRegistry&) = delete;

    void setObserver(TabObserver* observer) { m_observer = observer; }
    // Called with each new tab's index before the windows hear of it (to fill
    // its text with what was said there before).
    void setOpenHook(std::function<void(int index)> hook) { m_openHook = std::move(hook); }

    // Adds the tab "Status" (the first tab, so it lands at index 0).
    int dodaj_status();
    // Index of the tab of that name, created at the end when missing. Creating a
    // query tab plays the "query" sound unless it is the very first tab.
    int dodaj_zakladke(std::u16string_view name);
    // Index among tabs 1.. of the tab named `name` (case-insensitive), -1 when none;
    // 0 for the empty name.
    int znajdz_zakladke(std::u16string_view name) const;
    // The label of tab `index`, at most `length` characters; "" for no such tab.
    std::u16string pobierz_nazwe(int index, std::size_t length) const;
    TextLines* pobierz_hwndtxtbiez(int index);
    TabRecord* pobierz_lparam(int index);
    // Tab `index`'s record shared with windows that may outlive the tab for a
    // moment (deleted once their event handlers have returned); null for no such tab.
    std::shared_ptr<TabRecord> sharedRecord(int index);
    // The selected tab's name ("" when none is selected).
    std::u16string pobierz_nazwebiez() const;
    // By name: null when there is no such tab (and the user list for a query tab).
    TextLines* pobierz_hwndtxt(std::u16string_view name);
    UserList* pobierz_hwndlist(std::u16string_view name);

    // Shows the selected tab's windows. Returns 1.
    int ZmienZakladke();
    // Remove a tab and select the status tab. The status tab itself stays. Return 1.
    int usun_zakladke(int index);
    int usun_zakladkeT(std::u16string_view name);
    // Removes every tab but the status tab, the last first.
    void usun_wszystkie();
    // Left arrow selects the previous tab, right arrow the next; after a change
    // shows it and asks for the input line's focus. Returns whether it changed.
    bool PrzelaczZakladke(int virtualKey);

    int count() const { return static_cast<int>(m_tabs.size()); }
    // The selected index, -1 only while there are no tabs.
    int selected() const { return m_selected; }
    // Selects a tab without showing it (callers follow with ZmienZakladke).
    // Returns false when there is no such tab.
    bool select(int index);

    // Marks unseen activity on a tab's label and tells the observer.
    void setActivity(int index, Colour colour);
    // The colour to paint tab `index`'s label in; painting the selected tab
    // clears its activity mark, as a tab seen selected has no unseen lines.
    Colour labelColourForPaint(int index);
    // A disconnect left every channel: their user lists are emptied and their
    // labels keep `colour` until markJoined.
    void markChannelsNotJoined(Colour colour);
    // The client's own JOIN: the tab is a member's again.
    void markJoined(int index);

    // The member ranks of the current connection's server (its 005 PREFIX):
    // every channel's user list reads names with them. Kept here rather than
    // with the session's other state because the lists are made here.
    const MemberRanks& memberRanks() const { return m_memberRanks; }
    void setMemberRanks(const MemberRanks& ranks);

  private:
    struct Tab {
        std::u16string label;
        std::shared_ptr<TabRecord> record;
    };

    bool valid(int index) const { return index >= 0 && index < count(); }
    void removeAt(int index);

    EventSounds& m_sounds;
    const TextMetrics& m_metrics;
    MemberRanks m_memberRanks;
    int m_scaleFactor;
    std::vector<Tab> m_tabs;
    int m_selected = -1;
    TabObserver* m_observer = nullptr;
    std::function<void(int)> m_openHook;
};

}  // namespace kolu
