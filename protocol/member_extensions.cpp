#include "protocol/member_extensions.h"

#include <string>

#include "platform/text.h"
#include "protocol/channel_events.h"
#include "protocol/dispatcher.h"
#include "protocol/guarded.h"
#include "protocol/session_state.h"
#include "settings/colour_table.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

// A JOIN's address is worth keeping only once the server tells more of its
// members; a plain server's lists stay as they always were.
bool keepsDetails(const Capabilities& caps) {
    for (const std::u16string_view name :
         {u"userhost-in-names", u"extended-join", u"account-notify", u"away-notify", u"chghost"}) {
        if (caps.enabled(name)) {
            return true;
        }
    }
    return false;
}

// Applies `change` to the member's record in every channel list holding it.
// Without `create`, only records that exist are changed: forgetting what was
// never known makes no empty record.
template <typename Change>
void forEachList(HandlerContext& context, std::u16string_view nick, bool create, Change change) {
    TabRegistry& tabs = context.tabs;
    for (int i = 1; i < tabs.count(); ++i) {
        const TabRecord* record = tabs.pobierz_lparam(i);
        if (!record || !record->userList) {
            continue;
        }
        UserList& list = *record->userList;
        if (create || list.details(nick)) {
            if (MemberDetails* details = list.editDetails(nick)) {
                change(*details);
            }
        }
    }
}

}  // namespace

// ":nick!u@h AWAY :reason" is away, ":nick!u@h AWAY" is back. Never printed: a
// netsplit's rejoin brings one for every away member at once.
int reply_AWAY(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_AWAY", [&] {
        const std::u16string_view nick = sourceNick(reply.params.source());
        if (nick.empty()) {
            return;
        }
        const bool away = reply.params.size() > 0;
        const std::u16string reason = away ? reply.params.from(0) : std::u16string();
        forEachList(context, nick, away, [&](MemberDetails& details) {
            details.away = away;
            details.awayReason = reason;
        });
    });
}

// ":nick!u@h ACCOUNT name", or "*" when the member logged out.
int reply_ACCOUNT(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_ACCOUNT", [&] {
        const std::u16string_view nick = sourceNick(reply.params.source());
        if (nick.empty() || reply.params.size() == 0) {
            return;
        }
        const std::u16string& account = reply.params[0];
        const bool loggedIn = !account.empty() && account != u"*";
        forEachList(context, nick, loggedIn, [&](MemberDetails& details) {
            details.account = loggedIn ? account : std::u16string();
        });
    });
}

// ":nick!old@host CHGHOST newuser newhost": the same member, at a new address;
// no parting and joining is shown.
int reply_CHGHOST(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_CHGHOST", [&] {
        const std::u16string_view nick = sourceNick(reply.params.source());
        if (nick.empty() || reply.params.size() < 2) {
            return;
        }
        const std::u16string userHost = reply.params[0] + u"@" + reply.params[1];
        forEachList(context, nick, true,
                    [&](MemberDetails& details) { details.userHost = userHost; });
    });
}

int JoinWithDetails(HandlerContext& context, const Reply& reply) {
    // Only a line the specified dispatch would give to reply_JOIN.
    if (!keepsDetails(context.state.caps) || routeReply(reply).handler != reply_JOIN) {
        return 0;
    }
    TrackNickname(context.state, reply);
    reply_JOIN(context, reply);
    guarded(context, u"reply_JOIN", [&] {
        const std::u16string_view source = reply.params.source();
        const std::u16string_view nick = sourceNick(source);
        if (nick.empty() || equalsIgnoreCase(nick, context.state.currentNick)) {
            return;
        }
        UserList* list = context.tabs.pobierz_hwndlist(reply.params[0]);
        MemberDetails* details = list ? list->editDetails(nick) : nullptr;
        if (!details) {
            return;
        }
        if (const std::u16string_view userHost = sourceUserHost(source); !userHost.empty()) {
            details->userHost.assign(userHost);
        }
        // "JOIN #chan account :Real Name", the account "*" for none.
        if (context.state.caps.enabled(u"extended-join") && reply.params.size() >= 2) {
            const std::u16string& account = reply.params[1];
            details->account = account == u"*" ? std::u16string() : account;
        }
    });
    return 1;
}

// ":alice!a@h INVITE bob #chan" shows in #chan as "*** alice invited bob to #chan".
int InviteOfAnother(HandlerContext& context, const Reply& reply) {
    const MessageParams& params = reply.params;
    const std::u16string& target = params[0];
    const std::u16string& current = context.state.currentNick;
    if (!context.state.caps.enabled(u"invite-notify") || current.empty() || target.empty() ||
        equalsIgnoreCase(target, current) || routeReply(reply).handler != reply_INVITE) {
        return 0;
    }
    return guarded(context, u"reply_INVITE", [&] {
        const std::u16string& channel = params[1];
        const std::u16string text = u"*** " + std::u16string(sourceNick(params.source())) +
                                    u" invited " + target + u" to " + channel;
        context.output.RIDodajLinie(channel, text, context.colours.of(LineClass::Invite));
    });
}

void addNamesEntry(HandlerContext& context, std::u16string_view channel, std::u16string_view entry,
                   bool checked) {
    std::u16string_view userHost;
    if (context.state.caps.enabled(u"userhost-in-names")) {
        if (const std::size_t mark = entry.find(u'!'); mark != std::u16string_view::npos) {
            userHost = entry.substr(mark + 1);
            entry = entry.substr(0, mark);
        }
    }
    if (checked) {
        dodaj_do_listy(context.tabs, channel, entry);
    } else {
        DodajDoListyOpt(context.tabs, channel, entry);
    }
    if (userHost.empty()) {
        return;
    }
    if (UserList* list = context.tabs.pobierz_hwndlist(channel)) {
        if (MemberDetails* details = list->editDetails(entry)) {
            details->userHost.assign(userHost);
        }
    }
}

}  // namespace kolu
