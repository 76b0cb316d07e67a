#include "ui/desktop_alerts.h"

#include "platform/clock.h"
#include "platform/text.h"
#include "settings/settings.h"
#include "ui/formatting.h"

namespace kolu {
namespace {

std::u16string tabTitle(std::u16string_view tab) {
    return tab.empty() ? std::u16string(u"Status") : std::u16string(tab);
}

bool kindWanted(Settings& settings, Attention kind) {
    switch (kind) {
        case Attention::Highlight:
            return settings.switchOn(u"ntf_hlight");
        case Attention::PrivateMessage:
            return settings.switchOn(u"ntf_priv");
        case Attention::NotifyArrival:
            return settings.switchOn(u"ntf_notify");
    }
    return false;
}

}  // namespace

DesktopAlerts::DesktopAlerts(Settings& settings, const Clock& clock)
    : m_settings(settings), m_clock(clock) {}

std::optional<DesktopNotice> DesktopAlerts::lineArrived(Attention kind, std::u16string_view tab,
                                                        std::u16string_view line, bool windowActive,
                                                        std::u16string_view shownTab) {
    const std::u16string key = foldedCase(tab);
    const bool seen = windowActive && key == foldedCase(shownTab);
    if (!seen && kind != Attention::NotifyArrival) {
        m_unread[key] = tabTitle(tab);
    }
    if (windowActive || !kindWanted(m_settings, kind)) {
        return std::nullopt;
    }
    const std::uint32_t now = m_clock.tickCount();
    const auto last = m_lastNotice.find(key);
    if (last != m_lastNotice.end() && now - last->second < kTabGapMs) {
        return std::nullopt;
    }
    m_lastNotice[key] = now;
    const std::u16string plain = plainText(line);
    std::u16string body(cutAtWholeChar(plain, kBodyLimit));
    if (body.size() < plain.size()) {
        body += u"...";
    }
    return DesktopNotice{std::u16string(tab), tabTitle(tab), std::move(body)};
}

void DesktopAlerts::tabSeen(std::u16string_view tab) {
    m_unread.erase(foldedCase(tab));
}

std::u16string DesktopAlerts::unreadList() const {
    std::u16string list;
    for (const auto& [key, name] : m_unread) {
        list += (list.empty() ? u"" : u"\n") + name;
    }
    return list;
}

std::u16string DesktopAlerts::windowTitle(std::u16string_view shownTab) const {
    if (m_unread.empty()) {
        return u"Kolu";
    }
    return tabTitle(shownTab) + u" (" + decimalText(static_cast<long long>(m_unread.size())) +
           u" unread) - Kolu";
}

}  // namespace kolu
