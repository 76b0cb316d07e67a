#include "ui/tab_registry.h"

#include <new>

#include "platform/text.h"
#include "ui/event_sounds.h"

namespace kolu {

TabRegistry::TabRegistry(EventSounds& sounds, const TextMetrics& metrics, int scaleFactor)
    : m_sounds(sounds), m_metrics(metrics), m_scaleFactor(scaleFactor) {}

int TabRegistry::dodaj_status() {
    return dodaj_zakladke(u"Status");
}

int TabRegistry::dodaj_zakladke(std::u16string_view name) {
    const int existing = znajdz_zakladke(name);
    if (existing != -1) {
        return existing;
    }
    const int index = count();
    try {
        auto record = std::make_shared<TabRecord>(m_metrics);
        if (!name.empty() && (name[0] == u'#' || name[0] == u'&')) {
            record->userList = std::make_unique<UserList>(m_memberRanks);
        } else if (index > 0) {
            m_sounds.PlayWAV(u"query");
        }
        record->nameLength = static_cast<std::uint32_t>(name.size());
        record->activity = 0;
        record->userListWidth = kUserListWidth * m_scaleFactor;
        m_tabs.push_back(Tab{std::u16string(name), std::move(record)});
    } catch (const std::bad_alloc&) {
        return -1;
    }
    // Like a tab control, the first tab inserted becomes the selected one.
    if (m_selected < 0) {
        m_selected = 0;
    }
    if (m_openHook) {
        m_openHook(index);
    }
    if (m_observer) {
        m_observer->tabAdded(index);
    }
    return index;
}

int TabRegistry::znajdz_zakladke(std::u16string_view name) const {
    if (name.empty()) {
        return 0;  // the empty name stands for the status tab
    }
    // Tab 0 is never matched by name; only labels of the same length are compared.
    for (int i = 1; i < count(); ++i) {
        const Tab& tab = m_tabs[i];
        if (tab.record->nameLength == name.size() && equalsIgnoreCase(tab.label, name)) {
            return i;
        }
    }
    return -1;
}

std::u16string TabRegistry::pobierz_nazwe(int index, std::size_t length) const {
    if (!valid(index)) {
        return {};
    }
    return std::u16string(cutAtWholeChar(m_tabs[index].label, length));
}

TextLines* TabRegistry::pobierz_hwndtxtbiez(int index) {
    TabRecord* record = pobierz_lparam(index);
    return record ? &record->text : nullptr;
}

TabRecord* TabRegistry::pobierz_lparam(int index) {
    return valid(index) ? m_tabs[index].record.get() : nullptr;
}

std::shared_ptr<TabRecord> TabRegistry::sharedRecord(int index) {
    return valid(index) ? m_tabs[index].record : nullptr;
}

std::u16string TabRegistry::pobierz_nazwebiez() const {
    return valid(m_selected) ? m_tabs[m_selected].label : std::u16string();
}

TextLines* TabRegistry::pobierz_hwndtxt(std::u16string_view name) {
    return pobierz_hwndtxtbiez(znajdz_zakladke(name));
}

UserList* TabRegistry::pobierz_hwndlist(std::u16string_view name) {
    TabRecord* record = pobierz_lparam(znajdz_zakladke(name));
    return record ? record->userList.get() : nullptr;
}

int TabRegistry::ZmienZakladke() {
    if (m_observer && valid(m_selected)) {
        m_observer->selectionChanged(m_selected);
    }
    return 1;
}

void TabRegistry::removeAt(int index) {
    if (m_observer) {
        m_observer->tabRemoved(index);
    }
    m_tabs.erase(m_tabs.begin() + index);
    m_selected = 0;
    ZmienZakladke();
}

int TabRegistry::usun_zakladke(int index) {
    // The status tab lives as long as the client.
    if (index >= 1 && index < count()) {
        removeAt(index);
    }
    return 1;
}

int TabRegistry::usun_zakladkeT(std::u16string_view name) {
    const int index = znajdz_zakladke(name);
    if (index >= 1) {
        removeAt(index);
    }
    return 1;
}

void TabRegistry::setMemberRanks(const MemberRanks& ranks) {
    m_memberRanks = ranks;
    for (Tab& tab : m_tabs) {
        if (tab.record->userList) {
            tab.record->userList->setRanks(ranks);
        }
    }
}

void TabRegistry::usun_wszystkie() {
    for (int index = count() - 1; index >= 1; --index) {
        usun_zakladke(index);
    }
}

bool TabRegistry::PrzelaczZakladke(int virtualKey) {
    int next = m_selected;
    if (virtualKey == kLeftArrow && m_selected - 1 >= 0) {
        next = m_selected - 1;
    } else if (virtualKey == kRightArrow && m_selected + 1 < count()) {
        next = m_selected + 1;
    }
    if (next == m_selected || !select(next)) {
        return false;
    }
    ZmienZakladke();
    if (m_observer) {
        m_observer->focusInputRequested();
    }
    return true;
}

bool TabRegistry::select(int index) {
    if (!valid(index)) {
        return false;
    }
    m_selected = index;
    return true;
}

void TabRegistry::setActivity(int index, Colour colour) {
    if (!valid(index)) {
        return;
    }
    m_tabs[index].record->activity = colour;
    if (m_observer) {
        m_observer->labelColourChanged(index);
    }
}

Colour TabRegistry::labelColourForPaint(int index) {
    if (!valid(index)) {
        return 0;
    }
    TabRecord& record = *m_tabs[index].record;
    if (index == m_selected && record.joined) {
        record.activity = 0;
    }
    return record.activity;
}

void TabRegistry::markChannelsNotJoined(Colour colour) {
    for (int i = 0; i < count(); ++i) {
        TabRecord& record = *m_tabs[i].record;
        if (record.userList) {
            record.userList->clear();
            record.joined = false;
            setActivity(i, colour);
        }
    }
}

void TabRegistry::markJoined(int index) {
    if (valid(index) && !m_tabs[index].record->joined) {
        m_tabs[index].record->joined = true;
        setActivity(index, 0);
    }
}

}  // namespace kolu
