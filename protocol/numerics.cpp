// Numeric replies: the routing table to the query-reply handlers, the server's
// features, the message of the day and the nickname clash during login.
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "platform/text.h"
#include "protocol/dispatcher.h"
#include "protocol/guarded.h"
#include "protocol/monitor.h"
#include "protocol/query_replies.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "settings/colour_table.h"
#include "settings/settings.h"
#include "ui/host.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"

namespace kolu {

namespace {

struct NumericRow {
    std::int32_t number;
    ReplyRoute route;
};

constexpr std::array<NumericRow, 18> kNumericRows{{
    {1, {0, "Welcome", Welcome}},
    {5, {0, "ServerFeatures", ServerFeatures}},
    {301, {0, "UserIsAway", UserIsAway}},
    {303, {0, "reply_ISON", reply_ISON}},
    {311, {0, "HostFromWhoisAutoban", HostFromWhoisAutoban}},
    {312, {0, "HideWhois", HideWhois}},
    {317, {0, "HideWhois", HideWhois}},
    {318, {0, "EndOfWhois", EndOfWhois}},
    {319, {0, "HideWhois", HideWhois}},
    {331, {0, "ShowNoTopic", ShowNoTopic}},
    {332, {0, "ShowTopic", ShowTopic}},
    {333, {0, "TopicSetBy", TopicSetBy}},
    {338, {0, "HideWhois", HideWhois}},
    {341, {0, "ShowInvited", ShowInvited}},
    {353, {0, "wypelnij_liste", wypelnij_liste}},
    {366, {0, "koniec_listy", koniec_listy}},
    {367, {0, "ban2list", ban2list}},
    {368, {0, "EndOfBanList", EndOfBanList}},
}};

int printText(HandlerContext& context, const Reply& reply) {
    context.output.RIDodajLinie(u"", reply.word(3), context.colours.of(LineClass::Normal));
    return 1;
}

// Asks for the nickname through the command line, as typed "/NICK name". Until
// the command line is attached, the NICK line is sent directly so a login can
// still get past a clash.
void sendNick(HandlerContext& context, std::u16string_view nick) {
    if (context.commands) {
        std::u16string command = u"/NICK";
        if (!nick.empty()) {
            command += u" ";
            command += nick;
        }
        context.commands->ParsujKomende(command, u"");
    } else if (!nick.empty()) {
        context.connection.wys(context.state.socket, u"NICK " + std::u16string(nick));
    }
}

// The message of the day; a missing `skipmotd` (-1) skips it too.
int ShowMotd(HandlerContext& context, const Reply& reply) {
    if (!context.settings.switchOn(u"skipmotd")) {
        printText(context, reply);
    }
    return 1;
}

}  // namespace

ReplyRoute routeNumeric(std::int32_t number) {
    for (const NumericRow& row : kNumericRows) {
        if (row.number == number) {
            return row.route;
        }
    }
    switch (number) {
        case 372:
        case 375:
        case 376:
            return {0, "ShowMotd", ShowMotd};
        case 432:
        case 433:
            return {0, "NickClash", NickClash};
        default:
            return {0, "status", printText};
    }
}

int reply_numeric(HandlerContext& context, const Reply& reply) {
    return routeNumeric(wordNumber(reply.word(1))).handler(context, reply);
}

int Welcome(HandlerContext& context, const Reply& reply) {
    // What the previous server announced does not hold for this one.
    context.state.channelModes = ChannelModes();
    context.state.monitorLimit.reset();
    const int printed = printText(context, reply);
    for (const std::u16string& channel : std::exchange(context.state.joinAtWelcome, {})) {
        context.connection.SendNonEmpty(context.state.socket, u"JOIN " + channel);
    }
    return printed;
}

int ServerFeatures(HandlerContext& context, const Reply& reply) {
    printText(context, reply);
    return guarded(context, u"ServerFeatures", [&] {
        // "me TOKEN TOKEN=value ... :are supported by this server": the closing
        // text is no token, and names none of those read here.
        constexpr std::u16string_view kPrefixToken = u"PREFIX=";
        for (std::size_t i = 1; i < reply.params.size(); ++i) {
            const std::u16string_view token = reply.params[i];
            if (token.starts_with(kPrefixToken)) {
                // A value that isn't one keeps the ranks known so far.
                if (const auto ranks = MemberRanks::parse(token.substr(kPrefixToken.size()))) {
                    context.tabs.setMemberRanks(*ranks);
                }
            } else if (!learnMonitor(context.state, token)) {
                context.state.channelModes.learn(token);
            }
        }
    });
}

int NickClash(HandlerContext& context, const Reply& reply) {
    return guarded(context, u"NickClash", [&] {
        printText(context, reply);
        if (!context.state.currentNick.empty()) {
            return;  // logged in: a refused nickname change only shows the server's text
        }
        // A missing or empty `alternick` leaves the buffer empty and counts as already
        // tried: sending an empty NICK would only stall the login.
        std::u16string alternick;
        context.settings.RegCzytajMsg(u"alternick", alternick, kAlternickSize);
        if (!alternick.empty() && !equalsIgnoreCase(alternick, context.state.wantedNick)) {
            context.state.wantedNick = alternick;
            sendNick(context, context.state.wantedNick);
            return;
        }
        std::optional<std::u16string> answer =
            context.host.promptOneField(kNickClashPromptId, kNickClashTitle, kNickClashPrompt);
        // OK on an empty field is no name: a bare NICK would only stall the login.
        if (!answer || answer->find_first_not_of(u' ') == std::u16string::npos) {
            // Ends the connection at the next poll tick, without reconnecting.
            context.connection.disconnectRequest();
            return;
        }
        context.state.wantedNick.assign(cutAtWholeChar(*answer, kPromptAnswerLength));
        sendNick(context, context.state.wantedNick);
    });
}

}  // namespace kolu
