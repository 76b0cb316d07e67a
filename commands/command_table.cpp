// The command table: what each "/" command sends and shows.
#include <algorithm>
#include <string>

#include "commands/command_parser.h"
#include "commands/secret_mask.h"
#include "platform/civil_time.h"
#include "platform/text.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "settings/settings.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

enum class Row { Plain, Part, Quit, Ping, Me, Notice, Msg, Query, Ison, Cancel };

struct Command {
    std::u16string_view word;
    Row row;
    int n;  // runs of spaces before the trailing parameter; 0 = none
};

// Words not listed here are sent as typed, like the Plain rows.
constexpr Command kCommands[] = {
    {u"/join", Row::Plain, 0},    {u"/part", Row::Part, 2},   {u"/list", Row::Plain, 0},
    {u"/names", Row::Plain, 0},   {u"/whois", Row::Plain, 0}, {u"/whowas", Row::Plain, 0},
    {u"/who", Row::Plain, 0},     {u"/nick", Row::Plain, 0},  {u"/invite", Row::Plain, 0},
    {u"/mode", Row::Plain, 0},    {u"/quit", Row::Quit, 1},   {u"/topic", Row::Plain, 2},
    {u"/kick", Row::Plain, 3},    {u"/ping", Row::Ping, 2},   {u"/me", Row::Me, 0},
    {u"/notice", Row::Notice, 2}, {u"/msg", Row::Msg, 2},     {u"/query", Row::Query, 2},
    {u"/away", Row::Plain, 1},    {u"/ison", Row::Ison, 1},   {u"/cancel", Row::Cancel, 0},
};

const Command* findCommand(std::u16string_view word) {
    for (const Command& command : kCommands) {
        if (equalsIgnoreCase(command.word, word)) {
            return &command;
        }
    }
    return nullptr;
}

// A command's arguments: the target is the word after the first run of spaces;
// the message is what follows the next run.
struct Arguments {
    std::size_t commandEnd = 0;  // the first space, or the end
    std::size_t afterFirstRun = 0;
    std::size_t targetEnd = 0;
    std::u16string_view target;
    std::u16string_view message;
};

std::size_t skipSpaces(std::u16string_view text, std::size_t i) {
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    return i;
}

Arguments splitArguments(std::u16string_view text) {
    Arguments args;
    args.commandEnd = std::min(text.find(u' '), text.size());
    args.afterFirstRun = skipSpaces(text, args.commandEnd);
    args.targetEnd = std::min(text.find(u' ', args.afterFirstRun), text.size());
    args.target = text.substr(args.afterFirstRun, args.targetEnd - args.afterFirstRun);
    args.message = text.substr(skipSpaces(text, args.targetEnd));
    return args;
}

// Where the message begins in the text its arguments were taken from.
std::size_t messageStart(std::u16string_view text, const Arguments& args) {
    return text.size() - args.message.size();
}

}  // namespace

int CommandParser::wyslij_zapytanie(std::u16string_view command, std::u16string_view tabName,
                                    std::u16string_view text) {
    const Command* row = findCommand(command);
    if (!row) {
        wyslij_komende(text, 0);
        return 0;
    }
    switch (row->row) {
        case Row::Plain:
            wyslij_komende(text, row->n);
            return 0;
        case Row::Part:
            sendPart(text);
            return 0;
        case Row::Quit:
            return sendQuit(text);
        case Row::Ping:
            sendPing(text);
            return 0;
        case Row::Me:
            sendAction(command, tabName, text);
            return 0;
        case Row::Notice:
            sendNotice(command, text);
            return 0;
        case Row::Msg:
            sendMessage(command, text, false);
            return 0;
        case Row::Query:
            sendMessage(command, text, true);
            return 0;
        case Row::Ison:
            // The next ISON answer is the user's, not the notify list's.
            m_parts.state.userIsonPending = true;
            wyslij_komende(text, 1);
            return 0;
        case Row::Cancel:
            cancelWaitingLines(false);
            return 0;
    }
    return 0;
}

void CommandParser::sendPart(std::u16string_view text) {
    std::u16string line(text);
    // A channel without a message takes the configured one.
    if (std::count(text.begin(), text.end(), u' ') == 1) {
        std::u16string message;
        m_parts.settings.RegCzytajMsg(u"partmsg", message, kMessageSettingSize);
        if (!message.empty()) {
            line.append(u" ").append(message);
        }
    }
    wyslij_komende(line, 2);
}

int CommandParser::sendQuit(std::u16string_view text) {
    std::u16string line(text);
    if (text.find(u' ') == std::u16string_view::npos) {
        std::u16string message;
        m_parts.settings.RegCzytajMsg(u"quitmsg", message, kMessageSettingSize);
        if (!message.empty()) {
            line.append(u" ").append(message);
        }
    }
    // A QUIT that was not sent leaves the connection as it is.
    return wyslij_komende(line, 1) ? 1 : 0;
}

void CommandParser::sendPing(std::u16string_view text) {
    const Arguments args = splitArguments(text);
    if (args.target.empty()) {
        return;
    }
    const std::string time = std::to_string(pobierz_czas(m_parts.clock));
    std::u16string line = u"/PRIVMSG";
    line.append(text.substr(args.commandEnd, args.targetEnd - args.commandEnd));
    line.append(u" \u0001PING ").append(time.begin(), time.end()).append(u"\u0001");
    wyslij_komende(
        line, 2,
        CommandSent(args.target, u"PING", u"[", u"]", m_parts.colours.of(LineClass::Ping)));
}

void CommandParser::sendAction(std::u16string_view command, std::u16string_view tabName,
                               std::u16string_view text) {
    if (m_parts.tabs.selected() <= 0 || tabName.empty()) {
        dodaj_komunikat(u"", u"* /me: can't use /me in this window");
        return;
    }
    const std::u16string_view action = text.substr(splitArguments(text).afterFirstRun);
    if (action.empty()) {
        brak_parametrow(command);
        return;
    }
    const std::u16string head = u"PRIVMSG " + std::u16string(tabName) + u" :\u0001ACTION ";
    // Each piece is an action of its own, marks included.
    sendPieces(head, action, u"\u0001", [&](std::u16string_view piece) {
        return Input2Tab(tabName, m_parts.state.currentNick, piece, u"* ", u"",
                         m_parts.colours.of(LineClass::Action));
    });
}

void CommandParser::sendNotice(std::u16string_view command, std::u16string_view text) {
    const Arguments args = splitArguments(text);
    if (args.target.empty() || args.message.empty()) {
        brak_parametrow(command);
        return;
    }
    // As the command line sends it: the typed word and spacing, ':' before the message.
    const std::u16string head = std::u16string(text.substr(1, messageStart(text, args) - 1)) + u":";
    sendPieces(head, args.message, {}, [&](std::u16string_view piece) {
        return CommandSent(args.target, piece, u"-", u"-", m_parts.colours.of(LineClass::Normal));
    });
}

void CommandParser::sendMessage(std::u16string_view command, std::u16string_view text,
                                bool openQuery) {
    const Arguments args = splitArguments(text);
    if (args.target.empty() || (!openQuery && args.message.empty())) {
        brak_parametrow(command);
        return;
    }
    if (openQuery) {
        // Channels are opened by joining them, not by a query.
        if (args.target.front() != u'#' && args.target.front() != u'&') {
            m_parts.tabs.dodaj_zakladke(args.target);
        }
        if (args.message.empty()) {
            return;
        }
    }
    const std::u16string head =
        u"PRIVMSG" +
        std::u16string(text.substr(args.commandEnd, messageStart(text, args) - args.commandEnd)) +
        u":";
    const Colour normal = m_parts.colours.of(LineClass::Normal);
    const bool ownTab = m_parts.tabs.znajdz_zakladke(args.target) != -1;
    sendPieces(head, args.message, {}, [&](std::u16string_view piece) {
        const std::u16string shown = shownMessage(args.target, piece);
        return ownTab ? Input2Tab(args.target, m_parts.state.currentNick, shown, u"<", u">", normal)
                      : CommandSent(args.target, shown, u"*", u"*", normal);
    });
}

}  // namespace kolu
