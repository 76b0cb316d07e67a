#pragma once
// What the desktop hears of lines that want the user's attention: whether a line
// becomes a notification (only while the window is in the background, per kind
// as the switches ntf_hlight, ntf_priv and ntf_notify say, at most one per tab
// every kTabGapMs) and its text; and which tabs hold highlights or private lines
// the user has not seen yet, for the window title and the tray.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "ui/host.h"

namespace kolu {

class Clock;
class Settings;

struct DesktopNotice {
    std::u16string tab;    // the tab a click on the notice shows
    std::u16string title;  // the tab's name, "Status" for the status tab
    std::u16string body;   // the line without its formatting codes, cut
};

class DesktopAlerts {
  public:
    static constexpr std::uint32_t kTabGapMs = 5000;
    static constexpr std::size_t kBodyLimit = 200;  // wide characters, then "..."

    DesktopAlerts(Settings& settings, const Clock& clock);

    // `line` arrived in `tab` while the window was `windowActive` and showed
    // `shownTab`: the notice to show, if any. Unless the user saw it, the tab
    // now counts as unread.
    std::optional<DesktopNotice> lineArrived(Attention kind, std::u16string_view tab,
                                             std::u16string_view line, bool windowActive,
                                             std::u16string_view shownTab);
    // The user looks at `tab`: it is read.
    void tabSeen(std::u16string_view tab);
    std::size_t unreadCount() const { return m_unread.size(); }
    // The unread tabs' names, one a line, for the tray's tooltip.
    std::u16string unreadList() const;
    // "Kolu" while nothing is unread; else the shown tab and the unread count.
    std::u16string windowTitle(std::u16string_view shownTab) const;

  private:
    Settings& m_settings;
    const Clock& m_clock;
    // By lower-case tab name: when the last notice went, and the unread tabs' names.
    std::map<std::u16string, std::uint32_t> m_lastNotice;
    std::map<std::u16string, std::u16string> m_unread;
};

}  // namespace kolu
