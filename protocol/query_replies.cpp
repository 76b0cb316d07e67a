#include "protocol/query_replies.h"

#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "protocol/guarded.h"
#include "protocol/member_extensions.h"
#include "protocol/notify_hooks.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "settings/error_log.h"
#include "ui/event_sounds.h"
#include "ui/host.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

using std::u16string_view;
constexpr std::size_t kNone = u16string_view::npos;

// A ban record's channel and mask are kept in buffers of this many characters,
// terminator included.
constexpr std::size_t kBanFieldCapacity = 128;
constexpr int kBanListDialog = 368;
constexpr u16string_view kBanListPrompt = u"Select ban to remove:";

void printStatus(HandlerContext& context, u16string_view text, LineClass lineClass) {
    context.output.RIDodajLinie(u"", text, context.colours.of(lineClass));
}

// Channel and nickname comparisons ignore case, as IRC names do.
bool isAutobanChannel(const HandlerContext& context, u16string_view channel) {
    const std::u16string& wanted = context.state.autoban.channel;
    return !wanted.empty() && equalsIgnoreCase(channel, wanted);
}

// The autoban request's nickname is the wanted nickname's storage.
bool isAutobanNick(const HandlerContext& context, u16string_view nick) {
    const std::u16string& wanted = context.state.wantedNick;
    return !wanted.empty() && equalsIgnoreCase(nick, wanted);
}

bool banByHostWaits(const HandlerContext& context, u16string_view nick) {
    return isAutobanNick(context, nick) && !context.state.autoban.channel.empty();
}

bool banListAwaited(const HandlerContext& context, u16string_view channel) {
    return isAutobanChannel(context, channel) && context.state.wantedNick.empty();
}

std::u16string banField(u16string_view text) {
    return std::u16string(cutAtWholeChar(text, kBanFieldCapacity - 1));
}

void fillNames(HandlerContext& context, u16string_view channel, u16string_view names) {
    // Every name but the last goes in unchecked; the last is checked for a
    // duplicate. A doubled blank or an empty list gives empty names, which the
    // list drops, as it drops rank symbols without a nickname.
    std::size_t start = 0;
    for (std::size_t blank = names.find(u' '); blank != kNone; blank = names.find(u' ', start)) {
        addNamesEntry(context, channel, names.substr(start, blank - start), false);
        start = blank + 1;
    }
    addNamesEntry(context, channel, names.substr(start), true);
}

// A topic answer about the channel in parameter 1: `line` in the channel's tab
// when `complete`; the whole answer in the status tab when there is no such tab
// or the answer lacks what `line` is made of.
void printTopic(HandlerContext& context, const Reply& reply, bool complete, u16string_view line) {
    const std::u16string& channel = reply.params[1];
    if (!complete || context.tabs.znajdz_zakladke(channel) == -1) {
        printStatus(context, reply.word(3), LineClass::Topic);
        return;
    }
    context.output.RIDodajLinie(channel, line, context.colours.of(LineClass::Topic));
}

}  // namespace

int wypelnij_liste(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"wypelnij_liste", [&] {
        // "me [type] channel names": the names are the last parameter, with or
        // without a colon, and the channel is the one before them.
        const MessageParams& params = reply.params;
        if (params.size() >= 3) {
            const std::u16string& channel = params[params.size() - 2];
            if (isAutobanChannel(context, channel)) {
                fillNames(context, channel, params[params.size() - 1]);
            }
        }
        printStatus(context, reply.word(3), LineClass::Normal);
    });
}

int koniec_listy(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"koniec_listy", [&] {
        if (isAutobanChannel(context, reply.params[1])) {
            context.state.autoban.channel.clear();
        }
        printStatus(context, reply.word(3), LineClass::Normal);
    });
}

int UserIsAway(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"UserIsAway", [&] {
        const MessageParams& params = reply.params;
        if (params.size() < 3) {
            return;  // not an away message: shown nowhere
        }
        printStatus(context, params[1] + u" is away: " + params.from(2), LineClass::Normal);
    });
}

int reply_ISON(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_ISON", [&] {
        if (!context.state.userIsonPending) {
            // The notify list's own query; until one is attached the answer goes nowhere.
            if (context.notify) {
                context.notify->NotifyList_Update(reply.params.from(1));
            }
            return;
        }
        context.state.userIsonPending = false;
        printStatus(context, u"ison: " + reply.params.from(1), LineClass::Normal);
    });
}

int HostFromWhoisAutoban(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"HostFromWhoisAutoban", [&] {
        // "me nick user host * :name"
        const MessageParams& params = reply.params;
        std::u16string text = reply.word(3);
        const std::size_t userAt = text.find(u' ');
        const std::size_t hostAt = userAt == kNone ? kNone : text.find(u' ', userAt + 1);
        if (!banByHostWaits(context, params[1]) || params.size() < 4) {
            // Shown as nick user@host * :name.
            if (hostAt != kNone) {
                text[hostAt] = u'@';
            }
            printStatus(context, text, LineClass::Whois);
            return;
        }
        AutobanRequest& request = context.state.autoban;
        const SocketHandle socket = context.state.socket;
        context.connection.SendNonEmpty(socket,
                                        u"MODE " + request.channel + u" +b *!*@" + params[3]);
        if (request.kickAfterBan) {
            request.kickAfterBan = false;
            if (request.kickLine) {
                context.connection.SendNonEmpty(socket, *request.kickLine);
                request.kickLine.reset();
            }
        }
    });
}

int HideWhois(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"HideWhois", [&] {
        if (!banByHostWaits(context, reply.params[1])) {
            printStatus(context, reply.word(3), LineClass::Whois);
        }
    });
}

int EndOfWhois(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"EndOfWhois", [&] {
        if (banByHostWaits(context, reply.params[1])) {
            context.state.wantedNick.clear();
            context.state.autoban.channel.clear();
            return;
        }
        printStatus(context, reply.word(3), LineClass::Whois);
    });
}

int ShowNoTopic(HandlerContext& context, const Reply& reply) {
    // "me channel :text"
    return guarded(context, u"ShowNoTopic",
                   [&] { printTopic(context, reply, reply.params.size() == 3, reply.params[2]); });
}

int ShowTopic(HandlerContext& context, const Reply& reply) {
    // "me channel :topic"
    return guarded(context, u"ShowTopic", [&] {
        printTopic(context, reply, reply.params.size() == 3,
                   u"Topic is '" + reply.params[2] + u"'");
    });
}

int TopicSetBy(HandlerContext& context, const Reply& reply) {
    // "me channel setter time": the setter and time as the server sent them.
    return guarded(context, u"TopicSetBy", [&] {
        printTopic(context, reply, reply.params.size() >= 3, u"Set by " + reply.params.from(2));
    });
}

int ShowInvited(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"ShowInvited", [&] {
        const MessageParams& params = reply.params;
        if (params.size() < 3) {
            printStatus(context, reply.word(3), LineClass::Normal);
            return;
        }
        // The channel keeps the blank before it, so two stand there.
        const std::u16string line = params[1] + u" has been invited to  " + params.from(2);
        context.sounds.PlayWAV(u"invite");
        printStatus(context, line, LineClass::Normal);
    });
}

int ban2list(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"ban2list", [&] {
        // "me channel mask [setter time]"
        const MessageParams& params = reply.params;
        const std::u16string& channel = params[1];
        if (!banListAwaited(context, channel) || params.size() < 3) {
            printStatus(context, reply.word(3), LineClass::Normal);
            return;
        }
        context.state.banList.push_back(BanRecord{banField(channel), banField(params[2])});
    });
}

int EndOfBanList(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"EndOfBanList", [&] {
        if (!banListAwaited(context, reply.params[1])) {
            printStatus(context, reply.word(3), LineClass::Normal);
            return;
        }
        // The list is offered by timer 3, after this line's handling is over.
        if (!context.host.startTimer(kBanListTimer, 100)) {
            context.log.LogError(u"SetTimer", u"EndOfBanList", 0);
        }
    });
}

int koniec_banlisty(HandlerContext& context) {
    SessionState& state = context.state;
    try {
        const std::u16string channel = state.autoban.channel;
        state.autoban.channel.clear();
        std::vector<std::u16string> masks;
        masks.reserve(state.banList.size());
        for (const BanRecord& record : state.banList) {
            masks.push_back(record.mask);
        }
        const std::optional<int> picked =
            context.host.pickFromList(kBanListDialog, channel + u" banlist", kBanListPrompt, masks);
        if (picked) {
            state.pickedIndex = *picked;
        }
        const int index = std::exchange(state.pickedIndex, -1);
        if (picked && index >= 0 && static_cast<std::size_t>(index) < state.banList.size()) {
            const BanRecord& record = state.banList[static_cast<std::size_t>(index)];
            const std::u16string mode = u"MODE " + record.channel + u" -b " + record.mask;
            if (context.commands) {
                context.commands->ParsujKomende(u"/" + mode, channel);
            } else {
                // No command line attached (tests, early start-up): the same
                // line goes out directly, without the command line's echo.
                context.connection.wys(state.socket, mode);
            }
        }
        context.host.focusInput();
    } catch (const std::bad_alloc&) {
        context.log.LogError(u"LocalAlloc", u"koniec_banlisty", 0);
    }
    state.banList.clear();
    return 1;
}

}  // namespace kolu
