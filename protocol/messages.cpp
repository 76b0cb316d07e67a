#include "protocol/messages.h"

#include <cstdint>
#include <string>

#include "platform/civil_time.h"
#include "platform/text.h"
#include "protocol/dispatcher.h"
#include "protocol/guarded.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "settings/settings.h"
#include "ui/event_sounds.h"
#include "ui/formatting.h"
#include "ui/host.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {

namespace {

constexpr char16_t kCtcpMark = u'\u0001';
// Highlight entries are compared with at most this many characters.
constexpr std::size_t kHighlightEntryLength = 250;

bool isIgnored(HandlerContext& context, std::u16string_view nick) {
    return context.settings.RegSpListJest(nick, u"en_ignore", u"ignore") >= 0;
}

// Whether a target (word 2) is the client itself rather than a channel.
// Before login the nickname is empty: an empty target is still nobody's.
bool isOwnNick(HandlerContext& context, std::u16string_view target) {
    return !target.empty() && equalsIgnoreCase(target, context.state.currentNick);
}

// Whether the limit `countName` per `secondsName` seconds lets one more event through.
bool withinLimit(HandlerContext& context, RateWindow& window, std::u16string_view countName,
                 std::u16string_view secondsName) {
    const auto limit =
        static_cast<std::uint32_t>(context.settings.RegCzytajLimit(countName, 1, 10000));
    const auto seconds =
        static_cast<std::uint32_t>(context.settings.RegCzytajLimit(secondsName, 1, 86400));
    return window.allow(context.clock.tickCount(), limit, seconds * 1000);
}

// Where a private line from `nick` goes: its query tab, opened when missing
// (playing "query"), unless too many opened lately; then the status tab (""),
// which says so once until a tab may open again.
std::u16string_view queryTarget(HandlerContext& context, std::u16string_view nick) {
    SessionState& state = context.state;
    if (context.tabs.znajdz_zakladke(nick) < 0) {
        if (!withinLimit(context, state.newQueries, u"qlimit", u"qlimitsec")) {
            if (!state.queryLimitShown) {
                state.queryLimitShown = true;
                context.output.RIDodajLinie(u"",
                                            u"*** Too many new private conversations: messages "
                                            u"from new senders are shown here for a while",
                                            context.colours.of(LineClass::Info));
            }
            return u"";
        }
        state.queryLimitShown = false;
        context.tabs.dodaj_zakladke(nick);
    }
    return nick;
}

// A line to a channel: its sender is offered first by nickname completion there.
void noteChannelSpeaker(HandlerContext& context, std::u16string_view channel,
                        std::u16string_view nick) {
    if (UserList* members = context.tabs.pobierz_hwndlist(channel)) {
        members->noteSpeaker(nick);
    }
}

// A private line, or a highlighted one, is offered to the desktop as well.
void noteAttention(HandlerContext& context, std::u16string_view target, std::u16string_view text,
                   bool privateLine, bool highlighted) {
    if (privateLine || highlighted) {
        context.host.attention(privateLine ? Attention::PrivateMessage : Attention::Highlight,
                               target, text);
    }
}

}  // namespace

int reply_PRIVMSG(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_PRIVMSG", [&] {
        const std::u16string_view nick = sourceNick(reply.word(0));
        if (isIgnored(context, nick)) {
            return;
        }
        const std::u16string said = reply.params.from(1);
        const std::u16string text = u"<" + std::u16string(nick) + u"> " + said;
        std::u16string_view target = reply.params[0];
        const bool privateLine = isOwnNick(context, target);
        if (privateLine) {
            target = queryTarget(context, nick);
        } else {
            noteChannelSpeaker(context, target, nick);
        }
        bool highlighted = false;
        const Colour colour =
            HighlightLine(context, said, context.colours.of(LineClass::Normal), &highlighted);
        context.output.RIDodajLinie(target, text, colour);
        noteAttention(context, target, text, privateLine, highlighted);
    });
}

int reply_NOTICE(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_NOTICE", [&] {
        // A server's notice has no "!", so its whole name stands as the nick.
        const std::u16string_view nick = sourceNick(reply.word(0));
        if (isIgnored(context, nick)) {
            return;
        }
        std::u16string text = u"-" + std::u16string(nick);
        const bool loggedIn = !context.state.currentNick.empty();
        if (loggedIn) {
            context.sounds.PlayWAV(u"notice");
        }
        const std::u16string& to = reply.params[0];
        std::u16string target;
        if (loggedIn && !isOwnNick(context, to)) {
            text += u":" + to + u"- " + reply.params.from(1);
            if (context.tabs.znajdz_zakladke(to) >= 0) {
                target = to;
            }
        } else {
            text += u"- " + reply.params.from(1);
            target = context.tabs.pobierz_nazwebiez();
        }
        context.output.RIDodajLinie(target, text, context.colours.of(LineClass::Notice));
    });
}

int reply_PING(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"reply_PING", [&] {
        // The line sender ends a line at a CR, LF or NUL, so a token carrying one
        // can't add a line of its own.
        const std::u16string pong = u"PONG :" + reply.params[0];
        if (!context.settings.switchOn(u"hideping")) {
            context.output.RIDodajLinie(u"", u"PING? PONG!", context.colours.of(LineClass::Ping));
        }
        context.connection.SendNonEmpty(context.state.socket, pong);
    });
}

int Parsuj_mIRC(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"Parsuj_mIRC", [&] {
        const std::u16string text = reply.params.from(1);
        std::u16string_view body = text;
        if (body.empty()) {
            return;
        }
        body.remove_prefix(1);
        const std::size_t close = body.find(kCtcpMark);
        const std::size_t blank = body.find(u' ');
        // Without a closing mark or an argument (a bare VERSION or TIME) there is
        // nothing to show or answer.
        if (close == std::u16string_view::npos || blank == std::u16string_view::npos) {
            return;
        }
        const std::u16string_view command = body.substr(0, blank);
        // A blank after the closing mark leaves a command holding the mark, which
        // matches nothing below; otherwise the argument ends at the closing mark.
        const std::u16string_view argument =
            close > blank ? body.substr(blank + 1, close - blank - 1) : std::u16string_view();
        if (equalsIgnoreCase(command, u"ACTION") && equalsIgnoreCase(reply.word(1), u"PRIVMSG")) {
            ShowAction(context, reply, argument);
        } else if (equalsIgnoreCase(command, u"PING")) {
            reply_mIRC_PING(context, reply, argument);
        }
    });
}

int ShowAction(HandlerContext& context, const Reply& reply, std::u16string_view action) {
    return guarded(context, u"ShowAction", [&] {
        const std::u16string_view nick = sourceNick(reply.word(0));
        std::u16string_view target = reply.params[0];
        const bool toChannel = !isOwnNick(context, target);
        if (!toChannel) {
            // The query tab opens even for an ignored nick; only the line is dropped.
            target = queryTarget(context, nick);
        }
        if (isIgnored(context, nick)) {
            return;
        }
        if (toChannel) {
            noteChannelSpeaker(context, target, nick);
        }
        WyswietlAction(context, nick, target, action);
    });
}

int WyswietlAction(HandlerContext& context, std::u16string_view nick, std::u16string_view target,
                   std::u16string_view action) {
    return guarded(context, u"WyswietlAction", [&] {
        const std::u16string text = u"* " + std::u16string(nick) + u" " + std::u16string(action);
        bool highlighted = false;
        const Colour colour =
            HighlightLine(context, action, context.colours.of(LineClass::Action), &highlighted);
        context.output.RIDodajLinie(target, text, colour);
        // Actions reach here from other people only: in a query tab, or the status tab.
        const bool privateLine = target.empty() || equalsIgnoreCase(target, nick);
        noteAttention(context, target, text, privateLine, highlighted);
    });
}

int reply_mIRC_PING(HandlerContext& context, const Reply& reply, std::u16string_view argument) {
    return guarded(context, u"reply_mIRC_PING", [&] {
        const std::u16string nick(sourceNick(reply.word(0)));
        const Colour colour = context.colours.of(LineClass::Ping);
        if (equalsIgnoreCase(reply.word(1), u"PRIVMSG")) {
            if (isIgnored(context, nick)) {
                return;
            }
            context.sounds.PlayWAV(u"ping");
            // Only the argument goes back: echoing the request's whole text would let
            // a sender make the client send further CTCP requests of its choosing.
            // Requests past the limit are shown but not answered, so a flood of them
            // can't get the client dropped by the server for flooding it.
            if (withinLimit(context, context.state.pingReplies, u"pinglimit", u"pinglimsec")) {
                context.connection.wys(context.state.socket,
                                       u"NOTICE " + nick + u" :" + kCtcpMark + u"PING " +
                                           std::u16string(argument) + kCtcpMark);
            }
            const std::u16string& target = reply.params[0];
            if (isOwnNick(context, target)) {
                context.output.RIDodajLinie(u"", u"[" + nick + u" PING]", colour);
            } else {
                context.output.RIDodajLinie(target, u"[" + nick + u":" + target + u" PING]",
                                            colour);
            }
        } else if (equalsIgnoreCase(reply.word(1), u"NOTICE")) {
            // The time the request carried; past 2038 it no longer fits 32 bits.
            const std::int64_t sent = wordNumber64(argument);
            const std::int64_t now = pobierz_czas(context.clock);
            if (isIgnored(context, nick)) {
                return;
            }
            context.output.RIDodajLinie(
                u"", u"[" + nick + u" PING reply]: " + decimalText(now - sent) + u"secs", colour);
        }
    });
}

Colour HighlightLine(HandlerContext& context, std::u16string_view text, Colour colour,
                     bool* matched) {
    // A missing `en_hlights` (-1) leaves highlighting on.
    if (!context.settings.switchOn(u"en_hlights")) {
        return colour;
    }
    // Without memory for the comparison the line keeps the colour it was given.
    Colour result = colour;
    guarded(context, u"HighlightLine", [&] {
        std::u16string list;
        context.settings.RegCzytajMsg(u"hlights", list, kSpecialListSize);
        // Codes can split a word ("ki\x02ra"): the plain text is what was written.
        const std::u16string lowerText = foldedCase(plainText(text));
        const std::u16string lowerList = foldedCase(list);
        const std::u16string_view entries = lowerList;
        // Each entry ends at a blank; text after the last blank is not an entry. An
        // entry matches anywhere inside the text, even inside a longer word. An
        // empty entry (a leading or doubled blank) would match every text: skipped.
        std::size_t begin = 0;
        for (std::size_t blank = entries.find(u' '); blank != std::u16string_view::npos;
             blank = entries.find(u' ', begin)) {
            const std::u16string_view entry =
                cutAtWholeChar(entries.substr(begin, blank - begin), kHighlightEntryLength);
            if (!entry.empty() && lowerText.find(entry) != std::u16string::npos) {
                context.sounds.PlayWAV(u"highlight");
                result = context.colours.of(LineClass::Hlight);
                if (matched) {
                    *matched = true;
                }
                return;
            }
            begin = blank + 1;
        }
    });
    return result;
}

}  // namespace kolu
