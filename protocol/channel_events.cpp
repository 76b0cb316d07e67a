#include "protocol/channel_events.h"

#include <string>

#include "platform/text.h"
#include "protocol/dispatcher.h"
#include "protocol/guarded.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "ui/event_sounds.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

// The nick with its address, the QUIT body and the KICK line are composed in
// buffers of this many characters, terminator included.
constexpr std::size_t kTextBuffer = 256;

std::u16string cutToBuffer(std::u16string text) {
    if (text.size() >= kTextBuffer) {
        text.resize(cutAtWholeChar(text, kTextBuffer - 1).size());
    }
    return text;
}

// An empty nick names nobody, least of all the client before its login.
bool isCurrentNick(const HandlerContext& context, std::u16string_view nick) {
    return !nick.empty() && equalsIgnoreCase(nick, context.state.currentNick);
}

// nick, followed by " (user@host)" when `show_adr` is 1.
std::u16string nickWithAddress(HandlerContext& context, const Reply& reply) {
    std::u16string text(sourceNick(reply.word(0)));
    if (context.settings.switchOn(u"show_adr")) {
        text += u" (";
        text += sourceUserHost(reply.word(0));
        text += u")";
    }
    return cutToBuffer(std::move(text));
}

// Only 0 selects the long join and part lines; a missing value reads as -1.
bool shortJoinPart(HandlerContext& context) {
    return context.settings.switchOn(u"short_jp");
}

Colour colourOf(const HandlerContext& context, LineClass lineClass) {
    return context.colours.of(lineClass);
}

}  // namespace

int reply_JOIN(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_JOIN", [&] {
        const std::u16string_view nick = sourceNick(reply.word(0));
        if (nick.empty()) {
            return;  // nobody joined
        }
        context.sounds.PlayWAV(u"join");
        const std::u16string& channel = reply.params[0];
        std::u16string text;
        if (!isCurrentNick(context, nick)) {
            dodaj_do_listy(context.tabs, channel, nick);
            text = shortJoinPart(context)
                       ? u"*** Joins: " + nickWithAddress(context, reply)
                       : u"*** " + nickWithAddress(context, reply) + u" has joined " + channel;
        } else {
            const int index = context.tabs.dodaj_zakladke(channel);
            context.tabs.markJoined(index);
            if (!context.tabs.select(index)) {
                context.log.LogError(u"TabCtrl_SetCurSel", u"reply_JOIN", 0);
            }
            context.tabs.ZmienZakladke();
            text = u"*** Now talking in " + channel;
            // The names reply that follows fills this channel's list.
            context.state.autoban.channel = channel;
        }
        context.output.RIDodajLinie(channel, text, colourOf(context, LineClass::Join));
    });
}

int reply_PART(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_PART", [&] {
        const std::u16string_view nick = sourceNick(reply.word(0));
        if (nick.empty()) {
            return;  // nobody left
        }
        context.sounds.PlayWAV(u"part");
        const std::u16string& channel = reply.params[0];
        if (isCurrentNick(context, nick)) {
            context.tabs.usun_zakladkeT(channel);
            return;
        }
        usun_z_listy(context.tabs, channel, nick);
        const std::u16string text =
            shortJoinPart(context)
                ? u"*** Parts: " + nickWithAddress(context, reply)
                : u"*** " + nickWithAddress(context, reply) + u" has left " + channel;
        context.output.RIDodajLinie(channel, text, colourOf(context, LineClass::Part));
    });
}

int reply_NICK(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_NICK", [&] {
        const std::u16string oldNick(sourceNick(reply.word(0)));
        const std::u16string& newNick = reply.params[0];
        // A change to no nickname would leave empty rows and an empty current
        // nickname (which reads as "not logged in"): such a line changes nothing.
        if (newNick.empty()) {
            return;
        }
        std::u16string text;
        if (!isCurrentNick(context, oldNick)) {
            text = oldNick + u" is now known as " + newNick;
        } else {
            text = u"Your nick is now " + newNick;
            if (context.state.currentNick.empty()) {
                context.state.wantedNick.clear();
            }
            // Kept in the nickname's buffer, as the login replies keep it.
            context.state.currentNick.assign(cutAtWholeChar(newNick, kNickCapacity - 1));
            context.output.RIDodajLinie(u"", text, colourOf(context, LineClass::Nick));
        }
        DisplayNICK(context, oldNick, newNick, text);
    });
}

int DisplayNICK(HandlerContext& context, std::u16string_view oldNick, std::u16string_view newNick,
                std::u16string_view text) {
    return guarded(context, u"DisplayNICK", [&] {
        TabRegistry& tabs = context.tabs;
        for (int i = 1; i < tabs.count(); ++i) {
            const TabRecord* record = tabs.pobierz_lparam(i);
            if (!record || !record->userList) {
                continue;  // query tabs keep their names
            }
            const std::u16string name = tabs.pobierz_nazwe(i, record->nameLength);
            if (zmien_nick_w_liscie(tabs, name, oldNick, newNick) == 1) {
                context.output.RIDodajLinie(name, text, colourOf(context, LineClass::Nick));
            }
        }
    });
}

int reply_QUIT(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_QUIT", [&] {
        // A reason a server sent without its colon is still whole.
        const std::u16string reason = reply.params.from(0);
        const std::u16string body =
            cutToBuffer(nickWithAddress(context, reply) + u" Quit (" + reason + u")");
        context.sounds.PlayWAV(u"quit");
        DisplayQUIT(context, sourceNick(reply.word(0)), u"*** " + body);
    });
}

int DisplayQUIT(HandlerContext& context, std::u16string_view nick, std::u16string_view text) {
    return guarded(context, u"DisplayQUIT", [&] {
        TabRegistry& tabs = context.tabs;
        for (int i = 1; i < tabs.count(); ++i) {
            const TabRecord* record = tabs.pobierz_lparam(i);
            if (!record || !record->userList) {
                continue;
            }
            const std::u16string name = tabs.pobierz_nazwe(i, record->nameLength);
            if (usun_z_listy(tabs, name, nick) == 1) {
                context.output.RIDodajLinie(name, text, colourOf(context, LineClass::Quit));
            }
        }
    });
}

int reply_Disconnected(HandlerContext& context, const Reply& reply) {
    guarded(context, u"reply_Disconnected", [&] {
        std::u16string text = reply.word(1) + u" " + reply.word(2);
        if (context.settings.switchOn(u"show_adr")) {
            text += u" " + reply.word(3);
        }
        context.output.RIDodajLinie(u"", text, colourOf(context, LineClass::Info2));
    });
    // The next poll tick disconnects (and reconnects when asked to).
    context.state.connected = false;
    return 1;
}

int reply_TOPIC(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_TOPIC", [&] {
        const std::u16string text = std::u16string(sourceNick(reply.word(0))) +
                                    u" changes topic to '" + reply.params.from(1) + u"'";
        context.output.RIDodajLinie(reply.params[0], text, colourOf(context, LineClass::Topic));
    });
}

int reply_INVITE(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_INVITE", [&] {
        const std::u16string_view source = reply.word(0);
        const std::u16string text = std::u16string(sourceNick(source)) + u" (" +
                                    std::u16string(sourceUserHost(source)) +
                                    u") invites you to join " + reply.params.from(1);
        context.sounds.PlayWAV(u"invite");
        context.output.RIDodajLinie(u"", text, colourOf(context, LineClass::Invite));
    });
}

int reply_KICK(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_KICK", [&] {
        const MessageParams& params = reply.params;
        const std::u16string& channel = params[0];
        const std::u16string& victim = params[1];
        // Without a reason the victim stands in for it.
        const std::u16string reason = params.size() > 2 ? params.from(2) : victim;
        context.sounds.PlayWAV(u"kick");
        std::u16string text;
        std::u16string_view target = channel;
        if (!isCurrentNick(context, victim)) {
            usun_z_listy(context.tabs, channel, victim);
            text = victim + u" was kicked by ";
        } else {
            context.tabs.usun_zakladkeT(channel);
            // "JOIN " alone would be a malformed line: rejoin only a named channel.
            if (context.settings.switchOn(u"rejoin") && !channel.empty()) {
                context.connection.SendNonEmpty(context.state.socket, u"JOIN " + channel);
            }
            text = u"You were kicked by ";
            target = u"";
        }
        text += sourceNick(reply.word(0));
        text += u" (" + reason + u")";
        context.output.RIDodajLinie(target, cutToBuffer(std::move(text)),
                                    colourOf(context, LineClass::Kick));
    });
}

}  // namespace kolu
