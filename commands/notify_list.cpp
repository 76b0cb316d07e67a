#include "commands/notify_list.h"

#include <algorithm>
#include <optional>

#include "platform/text.h"
#include "protocol/handler_context.h"
#include "protocol/monitor.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "settings/colour_table.h"
#include "settings/settings.h"
#include "ui/host.h"
#include "ui/line_printer.h"

namespace kolu {

NotifyList::NotifyList(Parts parts, CommandRunner* commands)
    : m_parts(parts), m_commands(commands) {}

NotifyEntries NotifyList::NotifyList_Create(std::u16string_view text) {
    NotifyEntries list;
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u' ') {
            continue;
        }
        // An empty entry (a leading, trailing or doubled space) names nobody.
        if (i > begin) {
            list.push_back(
                {std::u16string(cutAtWholeChar(text.substr(begin, i - begin), kNameLimit)), false});
        }
        begin = i + 1;
    }
    return list;
}

std::u16string NotifyList::readList() {
    std::u16string list;
    m_parts.settings.RegCzytajMsg(u"notify", list, kSpecialListSize);
    return list;
}

void NotifyList::NotifyList_Load() {
    m_entries = NotifyList_Create(readList());
    if (!m_monitoring) {
        return;
    }
    // The server still watches the old list: it is replaced, unless the
    // notify switch was turned off.
    SessionState& state = m_parts.state;
    m_monitoring = false;
    if (state.socket == kInvalidSocket) {
        return;
    }
    m_parts.connection.wys(state.socket, u"MONITOR C");
    if (const auto limit = monitorLimit(); limit && m_parts.settings.switchOn(u"en_notify")) {
        startMonitor(*limit);
    }
}

void NotifyList::NotifyList_Reset() {
    for (NotifyEntry& entry : m_entries) {
        entry.online = false;
    }
    m_monitoring = false;  // a new connection waits for its server's 005
}

int NotifyList::NotifyList_Find(const NotifyEntries& list, std::u16string& name) {
    for (const NotifyEntry& entry : list) {
        if (equalsIgnoreCase(entry.name, name)) {
            name = entry.name;
            return 1;
        }
    }
    return 0;
}

std::optional<std::size_t> NotifyList::monitorLimit() {
    // With the extensions switched off the list is polled as it always was.
    if (!m_parts.settings.switchOn(u"ircv3")) {
        return std::nullopt;
    }
    return m_parts.state.monitorLimit;
}

void NotifyList::NotifyList_Ison() {
    const std::optional<std::size_t> limit = monitorLimit();
    if (!limit) {
        m_monitoring = false;
        m_parts.connection.wys(m_parts.state.socket, u"ISON " + readList());
    } else if (!m_monitoring) {
        startMonitor(*limit);
    }
}

void NotifyList::startMonitor(std::size_t limit) {
    m_monitoring = true;
    const std::size_t taken = limit == 0 ? m_entries.size() : std::min(limit, m_entries.size());
    std::vector<std::u16string> nicks;
    for (std::size_t i = 0; i < taken; ++i) {
        nicks.push_back(m_entries[i].name);
    }
    for (const std::u16string& line : monitorAddLines(nicks)) {
        m_parts.connection.wys(m_parts.state.socket, line);
    }
    if (taken == m_entries.size()) {
        return;
    }
    std::u16string rest;
    for (std::size_t i = taken; i < m_entries.size(); ++i) {
        rest += u" " + m_entries[i].name;
    }
    m_parts.output.addLine(u"",
                           u"*** The server watches at most " +
                               decimalText(static_cast<long long>(limit)) +
                               u" nicknames: not watched:" + rest,
                           m_parts.colours.of(LineClass::Info));
}

void NotifyList::arrived(std::size_t i) {
    m_entries[i].online = true;
    const std::u16string name = m_entries[i].name;
    const std::u16string line = u"*** " + name + u" is on IRC";
    m_parts.output.addLine(u"", line, m_parts.colours.of(LineClass::Notify));
    if (m_host) {
        m_host->attention(Attention::NotifyArrival, u"", line);
    }
    // A missing setting (-1) counts as on.
    if (m_commands && m_parts.settings.switchOn(u"not_whois")) {
        m_commands->ParsujKomende(u"/whois " + name, u"");
    }
}

void NotifyList::left(std::size_t i) {
    m_entries[i].online = false;
    m_parts.output.addLine(u"", u"*** " + m_entries[i].name + u" has left IRC",
                           m_parts.colours.of(LineClass::Notify));
}

// Indexes, not iterators, in the walks below: the /whois of an arrival runs
// the command line, which must not be able to invalidate them.

void NotifyList::monitorArrived(std::u16string_view nick) {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (!m_entries[i].online && equalsIgnoreCase(m_entries[i].name, nick)) {
            m_entries[i].name = nick;  // the server's spelling, as an ISON answer's
            arrived(i);
        }
    }
}

void NotifyList::monitorLeft(std::u16string_view nick) {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].online && equalsIgnoreCase(m_entries[i].name, nick)) {
            left(i);
        }
    }
}

void NotifyList::NotifyList_Update(std::u16string_view online) {
    const NotifyEntries answer = NotifyList_Create(online);
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        NotifyEntry& entry = m_entries[i];
        const bool found = NotifyList_Find(answer, entry.name) != 0;
        if (!found && entry.online) {
            left(i);
        } else if (found && !entry.online) {
            arrived(i);
        }
    }
}

}  // namespace kolu
