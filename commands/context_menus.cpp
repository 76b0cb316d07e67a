#include "commands/context_menus.h"

#include <array>
#include <new>

#include "commands/menu_commands.h"
#include "commands/message_split.h"
#include "platform/text.h"
#include "protocol/handler_context.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "settings/colour_table.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "ui/host.h"
#include "ui/line_printer.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

using A = ContextAction;

constexpr std::array kUserListItems{
    ContextItem{u"", u"Query", 40304, A::OpenQuery},
    ContextItem{u"", u"Notice", 40316, A::PromptCommand, u"/NOTICE", u"%n"},
    ContextItem{u"", u"Whois", 40303, A::Send, u"WHOIS %n"},
    ContextItem{u"", u"Ping", 40301, A::Parse, u"/PING %n", u"%c"},
    ContextItem{u"Ignore", u"Ignore", 40305, A::Ignore},
    ContextItem{u"Ignore", u"Unignore", 40306, A::Unignore},
    ContextItem{u"Op", u"Op", 40307, A::Send, u"MODE %c +o %n"},
    ContextItem{u"Op", u"Deop", 40308, A::Send, u"MODE %c -o %n"},
    ContextItem{u"Voice", u"Voice", 40309, A::Send, u"MODE %c +v %n"},
    ContextItem{u"Voice", u"Devoice", 40310, A::Send, u"MODE %c -v %n"},
    ContextItem{u"Kick", u"Kick", 40311, A::Send, u"KICK %c %n"},
    ContextItem{u"Kick", u"Kick (Reason)", 40312, A::SendReason, u"KICK %c %n"},
    ContextItem{u"Ban", u"Ban", 40313, A::Ban},
    ContextItem{u"Ban", u"Ban, Kick", 40314, A::BanKick, u"KICK %c %n"},
    ContextItem{u"Ban", u"Ban, Kick (Reason)", 40315, A::BanKickReason, u"KICK %c %n"},
};

constexpr std::array kChannelItems{
    ContextItem{u"Private", u"On", 40401, A::Send, u"MODE %c +p"},
    ContextItem{u"Private", u"Off", 40402, A::Send, u"MODE %c -p"},
    ContextItem{u"Secret", u"On", 40403, A::Send, u"MODE %c +s"},
    ContextItem{u"Secret", u"Off", 40404, A::Send, u"MODE %c -s"},
    ContextItem{u"Invite", u"On", 40405, A::Send, u"MODE %c +i"},
    ContextItem{u"Invite", u"Off", 40406, A::Send, u"MODE %c -i"},
    ContextItem{u"Topic", u"set. by Ops", 40407, A::Send, u"MODE %c +t"},
    ContextItem{u"Topic", u"set. by all", 40408, A::Send, u"MODE %c -t"},
    ContextItem{u"Topic", u"Show", 40409, A::Send, u"TOPIC %c"},
    ContextItem{u"Topic", u"Change", 40410, A::PromptCommand, u"/TOPIC", u"%c"},
    ContextItem{u"No messages", u"On", 40411, A::Send, u"MODE %c +n"},
    ContextItem{u"No messages", u"Off", 40412, A::Send, u"MODE %c -n"},
    ContextItem{u"Moderated", u"On", 40413, A::Send, u"MODE %c +m"},
    ContextItem{u"Moderated", u"Off", 40414, A::Send, u"MODE %c -m"},
    ContextItem{u"User limit", u"Off", 40415, A::Send, u"MODE %c -l"},
    ContextItem{u"User limit", u"5", 40416, A::Send, u"MODE %c +l 5"},
    ContextItem{u"User limit", u"10", 40417, A::Send, u"MODE %c +l 10"},
    ContextItem{u"User limit", u"20", 40418, A::Send, u"MODE %c +l 20"},
    ContextItem{u"User limit", u"50", 40419, A::Send, u"MODE %c +l 50"},
    ContextItem{u"User limit", u"100", 40420, A::Send, u"MODE %c +l 100"},
    ContextItem{u"Channel key", u"On", 40421, A::SendAnswer, u"MODE %c +k "},
    ContextItem{u"Channel key", u"Off", 40422, A::Send, u"MODE %c -k"},
    ContextItem{u"", u"Remove ban", 40423, A::RemoveBan, u"MODE %c +b"},
    ContextItem{u"Scroll", u"On", 40497, A::ScrollOn},
    ContextItem{u"Scroll", u"Off", 40498, A::ScrollOff},
    ContextItem{u"", u"Close tab", 40499, A::Parse, u"/PART %c", u"%c"},
};

constexpr std::array kQueryItems{
    ContextItem{u"", u"Notice", 40316, A::PromptCommand, u"/NOTICE", u"%n"},
    ContextItem{u"", u"Whois", 40303, A::Send, u"WHOIS %n"},
    ContextItem{u"", u"Ping", 40301, A::Parse, u"/PING %n", u"%n"},
    ContextItem{u"Ignore", u"Ignore", 40305, A::Ignore},
    ContextItem{u"Ignore", u"Unignore", 40306, A::Unignore},
    ContextItem{u"Scroll", u"On", 40497, A::ScrollOn},
    ContextItem{u"Scroll", u"Off", 40498, A::ScrollOff},
    ContextItem{u"", u"Close tab", 40499, A::CloseQuery},
};

constexpr std::array kStatusItems{
    ContextItem{u"Away", u"Away", 40501, A::PromptCommand, u"/AWAY", u""},
    ContextItem{u"Away", u"Unaway", 40502, A::Parse, u"/AWAY", u""},
    ContextItem{u"Scroll", u"On", 40497, A::ScrollOn},
    ContextItem{u"Scroll", u"Off", 40498, A::ScrollOff},
};

// The user-list menu opens a little below the tap, clear of the finger.
const ContextMenu kMenus[] = {
    {ContextMenuId::UserList, kUserListItems, 5},
    {ContextMenuId::Channel, kChannelItems, 0},
    {ContextMenuId::Query, kQueryItems, 0},
    {ContextMenuId::Status, kStatusItems, 0},
};

bool isChannelName(std::u16string_view name) {
    return !name.empty() && (name[0] == u'#' || name[0] == u'&');
}

}  // namespace

const ContextMenu& contextMenu(ContextMenuId id) {
    for (const ContextMenu& menu : kMenus) {
        if (menu.id == id) {
            return menu;
        }
    }
    return kMenus[0];
}

const ContextItem* findContextItem(const ContextMenu& menu, int id) {
    for (const ContextItem& item : menu.items) {
        if (item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

std::u16string expandContextLine(std::u16string_view pattern, std::u16string_view channel,
                                 std::u16string_view nick) {
    std::u16string line;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size() &&
            (pattern[i + 1] == u'c' || pattern[i + 1] == u'n')) {
            line += pattern[i + 1] == u'c' ? channel : nick;
            ++i;
        } else {
            line += pattern[i];
        }
    }
    return line;
}

ContextMenuId ContextMenus::menuForTab(const TabRegistry& tabs, int index) {
    if (isChannelName(tabs.pobierz_nazwe(index, 1))) {
        return ContextMenuId::Channel;
    }
    return index == 0 ? ContextMenuId::Status : ContextMenuId::Query;
}

int ContextMenus::ContextProc(ContextMenuWindow& window, std::u16string_view selectedLabel) {
    const std::u16string_view nick =
        m_parts.tabs.memberRanks().strip(cutAtWholeChar(selectedLabel, kLabelLength));
    // No row under the tap: there is nobody to act on.
    if (nick.empty()) {
        return 1;
    }
    const std::u16string channel = m_parts.tabs.pobierz_nazwebiez();
    return track(window, ContextMenuId::UserList, {channel, std::u16string(nick), channel},
                 u"ContextProc");
}

int ContextMenus::ChContextProc(ContextMenuWindow& window, std::u16string_view channel) {
    return track(window, ContextMenuId::Channel,
                 {std::u16string(channel), u"", std::u16string(channel)}, u"ChContextProc");
}

int ContextMenus::QueryContextProc(ContextMenuWindow& window, std::u16string_view tabName) {
    return track(window, ContextMenuId::Query,
                 {u"", std::u16string(tabName), std::u16string(tabName)}, u"QueryContextProc");
}

int ContextMenus::StatusContextProc(ContextMenuWindow& window) {
    return track(window, ContextMenuId::Status, {}, u"StatusContextProc");
}

int ContextMenus::tabContextProc(ContextMenuWindow& window, int index) {
    if (index < 0 || index >= m_parts.tabs.count()) {
        return 1;
    }
    const std::u16string name = m_parts.tabs.pobierz_nazwe(index, std::u16string::npos);
    switch (menuForTab(m_parts.tabs, index)) {
        case ContextMenuId::Channel:
            return ChContextProc(window, name);
        case ContextMenuId::Status:
            return StatusContextProc(window);
        default:
            return QueryContextProc(window, name);
    }
}

int ContextMenus::track(ContextMenuWindow& window, ContextMenuId menuId, const Subject& subject,
                        std::u16string_view label) {
    const ContextMenu& menu = contextMenu(menuId);
    if (const ContextItem* item = findContextItem(menu, window.track(menu))) {
        try {
            run(*item, subject, window);
        } catch (const std::bad_alloc&) {
            m_parts.log.LogError(u"LocalAlloc", label, 0);
        }
    }
    return 1;
}

void ContextMenus::run(const ContextItem& item, const Subject& subject, ContextMenuWindow& window) {
    const std::u16string line = expandContextLine(item.line, subject.channel, subject.nick);
    const std::u16string target = expandContextLine(item.target, subject.channel, subject.nick);
    switch (item.action) {
        case A::Send:
            send(subject, line);
            break;
        case A::SendReason:
        case A::SendAnswer:
            if (std::optional<std::u16string> answer = ask(item.id)) {
                const bool reason = item.action == A::SendReason;
                send(subject,
                     reason && answer->empty() ? line : line + (reason ? u" :" : u"") + *answer);
            }
            break;
        case A::Parse:
            m_parts.commands.ParsujKomende(line, target);
            break;
        case A::PromptCommand:
            if (std::optional<std::u16string> answer = ask(item.id)) {
                SendCommand(m_parts.commands, line, target, *answer);
            }
            break;
        case A::OpenQuery:
            m_parts.tabs.dodaj_zakladke(subject.nick);
            break;
        case A::Ignore:
            m_parts.settings.RegSpListDodaj(subject.nick, u"ignore");
            ignoreLine(subject, u"*** Added " + subject.nick + u" to ignore list");
            break;
        case A::Unignore:
            m_parts.settings.RegSpListUsun(subject.nick, u"ignore");
            ignoreLine(subject, u"*** Removed " + subject.nick + u" from ignore list");
            break;
        case A::Ban:
            requestBan(subject, u"", false);
            break;
        case A::BanKick:
            requestBan(subject, line, true);
            break;
        case A::BanKickReason:
            if (std::optional<std::u16string> reason = ask(item.id)) {
                requestBan(subject, reason->empty() ? line : line + u" :" + *reason, true);
            }
            break;
        case A::RemoveBan:
            m_parts.state.autoban.channel = subject.channel;
            m_parts.state.wantedNick.clear();
            send(subject, line);
            break;
        case A::ScrollOn:
        case A::ScrollOff:
            window.setAutoScroll(item.action == A::ScrollOn);
            break;
        case A::CloseQuery:
            m_parts.tabs.usun_zakladkeT(subject.nick);
            break;
    }
}

bool ContextMenus::fits(const Subject& subject, std::u16string_view line) {
    const std::u16string refusal = longLineRefusal(line);
    if (!refusal.empty()) {
        m_parts.output.addLine(subject.lineTab, refusal, kLocalMessageColour);
    }
    return refusal.empty();
}

void ContextMenus::send(const Subject& subject, std::u16string_view line) {
    if (fits(subject, line)) {
        m_parts.connection.wys(m_parts.connection.socketQuery(), line);
    }
}

std::optional<std::u16string> ContextMenus::ask(int id) {
    const PromptText* texts = findPrompt(id);
    std::optional<std::u16string> answer =
        m_parts.host.promptOneField(id, texts ? texts->title : u"", texts ? texts->prompt : u"");
    if (answer) {
        answer->resize(cutAtWholeChar(*answer, kPromptAnswerChars).size());
    }
    return answer;
}

void ContextMenus::requestBan(const Subject& subject, std::u16string kickLine, bool kick) {
    if (kick && !fits(subject, kickLine)) {
        return;  // refused before the ban: a ban without its kick was not asked for
    }
    AutobanRequest& request = m_parts.state.autoban;
    request.channel = subject.channel;
    // The request's nickname is kept where the login's wanted nickname is.
    m_parts.state.wantedNick = subject.nick;
    if (kick) {
        request.kickAfterBan = true;
        // An earlier request's KICK that is still waiting is kept, not replaced.
        if (!request.kickLine) {
            request.kickLine = std::move(kickLine);
        }
    }
    send(subject, u"WHOIS " + subject.nick);
}

void ContextMenus::ignoreLine(const Subject& subject, std::u16string_view text) {
    m_parts.output.addLine(subject.lineTab, text, m_parts.colours.of(LineClass::Info2));
}

}  // namespace kolu
