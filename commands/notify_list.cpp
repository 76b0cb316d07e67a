#include "commands/notify_list.h"

#include "platform/text.h"
#include "protocol/handler_context.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "settings/colour_table.h"
#include "settings/settings.h"
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
}

void NotifyList::NotifyList_Reset() {
    for (NotifyEntry& entry : m_entries) {
        entry.online = false;
    }
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

void NotifyList::NotifyList_Ison() {
    m_parts.connection.wys(m_parts.state.socket, u"ISON " + readList());
}

void NotifyList::NotifyList_Update(std::u16string_view online) {
    const NotifyEntries answer = NotifyList_Create(online);
    const Colour colour = m_parts.colours.of(LineClass::Notify);
    // Indexes, not iterators: the /whois below runs the command line, which must
    // not be able to invalidate this walk.
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        NotifyEntry& entry = m_entries[i];
        const bool found = NotifyList_Find(answer, entry.name) != 0;
        if (!found && entry.online) {
            entry.online = false;
            m_parts.output.addLine(u"", u"*** " + entry.name + u" has left IRC", colour);
        } else if (found && !entry.online) {
            entry.online = true;
            const std::u16string name = entry.name;
            m_parts.output.addLine(u"", u"*** " + name + u" is on IRC", colour);
            // A missing setting (-1) counts as on.
            if (m_commands && m_parts.settings.switchOn(u"not_whois")) {
                m_commands->ParsujKomende(u"/whois " + name, u"");
            }
        }
    }
}

}  // namespace kolu
