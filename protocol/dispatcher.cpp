#include "protocol/dispatcher.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "platform/text.h"
#include "protocol/channel_events.h"
#include "protocol/extension_routes.h"
#include "protocol/messages.h"
#include "protocol/session_state.h"
#include "protocol/tagged_lines.h"
#include "settings/colour_table.h"
#include "ui/line_output.h"

namespace kolu {

namespace {

constexpr char16_t kCtcpMark = u'\u0001';

bool isSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// A nickname a server chose, cut to what its buffer holds.
std::u16string_view nickFit(std::u16string_view nick) {
    return cutAtWholeChar(nick, kNickCapacity - 1);
}

bool wordIs(const Reply& reply, int index, std::u16string_view text) {
    return equalsIgnoreCase(reply.word(index), text);
}

bool isCtcp(const Reply& reply) {
    const std::u16string& text = reply.params[1];
    return !text.empty() && text.front() == kCtcpMark;
}

int printToStatus(HandlerContext& context, const Reply& reply) {
    // An ERROR line's reason is all of its parameter; its third blank is inside it.
    const MessageParams& params = reply.params;
    const std::u16string& text =
        equalsIgnoreCase(params.command(), u"ERROR") ? params.from(0) : reply.word(3);
    context.output.RIDodajLinie(u"", text, context.colours.of(LineClass::Normal));
    return 1;
}

// Rows tested on word 1 alone.
struct CommandRow {
    std::u16string_view command;
    ReplyRoute route;
};
constexpr std::array<CommandRow, 3> kFirstRows{{
    {u"JOIN", {1, "reply_JOIN", reply_JOIN}},
    {u"PART", {2, "reply_PART", reply_PART}},
    {u"NICK", {3, "reply_NICK", reply_NICK}},
}};
constexpr std::array<CommandRow, 5> kChannelRows{{
    {u"QUIT", {5, "reply_QUIT", reply_QUIT}},
    {u"TOPIC", {6, "reply_TOPIC", reply_TOPIC}},
    {u"INVITE", {7, "reply_INVITE", reply_INVITE}},
    {u"KICK", {8, "reply_KICK", reply_KICK}},
    {u"MODE", {9, "reply_MODE", reply_MODE}},
}};

const ReplyRoute* findRow(const Reply& reply, const auto& rows) {
    for (const CommandRow& row : rows) {
        if (wordIs(reply, 1, row.command)) {
            return &row.route;
        }
    }
    return nullptr;
}

}  // namespace

std::int64_t wordNumber64(std::u16string_view word) {
    std::size_t i = 0;
    while (i < word.size() && isSpace(word[i])) {
        ++i;
    }
    bool negative = false;
    if (i < word.size() && (word[i] == u'+' || word[i] == u'-')) {
        negative = word[i] == u'-';
        ++i;
    }
    // Held at the limits as the conversion does, so ten thousand digits can't overflow.
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    std::uint64_t value = 0;
    for (; i < word.size() && word[i] >= u'0' && word[i] <= u'9'; ++i) {
        const unsigned digit = word[i] - u'0';
        value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
    }
    // Unsigned negation wraps, so the negated limit comes out as the lowest value.
    return static_cast<std::int64_t>(negative ? 0 - value : value);
}

std::int32_t wordNumber(std::u16string_view word) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(wordNumber64(word), std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

int TrackNickname(SessionState& state, const Reply& reply) {
    const std::int32_t number = wordNumber(reply.word(1));
    if (number >= 1 && number <= 99) {
        // Before it has chosen a nickname a server addresses the client as "*"
        // ("020 * :Please wait"); that is no nickname.
        if (reply.word(2).empty() || reply.word(2) == u"*") {
            return 1;
        }
        if (state.currentNick.empty()) {
            state.wantedNick.clear();
        }
        state.currentNick.assign(nickFit(reply.word(2)));
        return 1;
    }
    if (reply.count < 3) {
        return 1;
    }
    if (wordIs(reply, 1, u"NOTICE") && wordIs(reply, 2, u"AUTH")) {
        return 1;
    }
    // Lines without a prefix ("NOTICE AUTH :*** Looking up", "ERROR :Closing
    // Link: ...") start with their command, and their third word is no nickname.
    if (wordIs(reply, 0, u"NOTICE") || wordIs(reply, 0, u"ERROR") || wordIs(reply, 0, u"PING")) {
        return 1;
    }
    if (reply.word(2) == u"*" || !state.currentNick.empty()) {
        return 1;
    }
    // Some servers address the client before any login reply: that tells its nickname.
    state.currentNick.assign(nickFit(reply.word(2)));
    state.wantedNick.clear();
    return 1;
}

ReplyRoute routeReply(const Reply& reply) {
    if (const ReplyRoute* route = findRow(reply, kFirstRows)) {
        return *route;
    }
    if (wordIs(reply, 0, u"ERROR") && wordIs(reply, 1, u"Closing") && wordIs(reply, 2, u"Link:")) {
        return {4, "reply_Disconnected", reply_Disconnected};
    }
    if (const ReplyRoute* route = findRow(reply, kChannelRows)) {
        return *route;
    }
    if (wordIs(reply, 1, u"NOTICE")) {
        return isCtcp(reply) ? ReplyRoute{10, "Parsuj_mIRC", Parsuj_mIRC}
                             : ReplyRoute{10, "reply_NOTICE", reply_NOTICE};
    }
    if (wordIs(reply, 1, u"PRIVMSG")) {
        return isCtcp(reply) ? ReplyRoute{11, "Parsuj_mIRC", Parsuj_mIRC}
                             : ReplyRoute{11, "reply_PRIVMSG", reply_PRIVMSG};
    }
    // The prefix is not set apart: a server's own PING has no prefix, so its
    // command is word 0, and a prefixed line whose word 1 is PING is not one.
    if (wordIs(reply, 0, u"PING")) {
        return {12, "reply_PING", reply_PING};
    }
    if (wordNumber(reply.word(1)) > 0) {
        return {13, "reply_numeric", reply_numeric};
    }
    return {14, "status", printToStatus};
}

int DispatchReply(HandlerContext& context, const Reply& reply) {
    if (reply.count == 0) {
        return 1;  // nothing to show; the framing drops such lines anyway
    }
    const TaggedLineScope tagged(context, reply);
    // Before the nickname is learnt: those lines are not part of the login
    // replies it is learnt from.
    if (dispatchExtension(context, reply)) {
        return 1;
    }
    TrackNickname(context.state, reply);
    return routeReply(reply).handler(context, reply);
}

}  // namespace kolu
