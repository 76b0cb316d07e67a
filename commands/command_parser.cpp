#include "commands/command_parser.h"

#include <algorithm>

#include "commands/input_line_model.h"
#include "commands/message_split.h"
#include "commands/secret_mask.h"
#include "completion/word_teacher.h"
#include "platform/text.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "protocol/string_ops.h"
#include "settings/settings.h"
#include "ui/host.h"
#include "ui/line_printer.h"
#include "ui/tab_registry.h"

namespace kolu {

CommandParser::CommandParser(Parts parts, WordTeacher* teacher)
    : m_parts(parts), m_teacher(teacher) {}

int CommandParser::parsuj(InputLineModel& input) {
    // A line of blanks is as empty as no line: nothing to send or remember.
    const std::vector<std::u16string> lines = enteredLines(input.text());
    if (lines.empty() || m_parts.tabs.selected() < 0) {
        return 0;
    }
    const std::u16string tabName = m_parts.tabs.pobierz_nazwebiez();
    const bool statusTab = m_parts.tabs.selected() == 0;
    if (lines.size() > kPasteLinesUnasked &&
        !m_parts.host.askYesNo(pasteQuestion(lines, tabName), u"Paste")) {
        return 0;
    }
    // Pasted lines are message text: a line beginning with '/' (a path, a quoted
    // command) is sent as it reads, never run.
    const bool commands = lines.size() == 1;
    // The history keeps passwords masked; a recalled mask is never sent as one.
    std::vector<std::u16string> remembered;
    for (const std::u16string& line : lines) {
        const std::optional<SecretSpan> password = passwordInLine(line, tabName, commands);
        if (password &&
            std::u16string_view(line).substr(password->start, password->size) == kPasswordMask) {
            dodaj_komunikat(selectedTarget(), u"*** Type the password in place of " +
                                                  std::u16string(kPasswordMask) +
                                                  u": the history does not keep it");
            return 0;
        }
        remembered.push_back(masked(line, password));
    }
    input.setText(u"");
    input.resetHistoryPosition();
    input.addToHistory(remembered, static_cast<std::size_t>(m_parts.settings.RegCzytajLimit(
                                       u"histmax", 1, kMaxHistoryEntries)));
    int result = 0;
    for (const std::u16string& line : lines) {
        result |= enterLine(line, tabName, statusTab, commands);
    }
    return result;
}

std::u16string CommandParser::pasteQuestion(const std::vector<std::u16string>& lines,
                                            std::u16string_view tabName) {
    std::u16string question = u"Send " + decimalText(static_cast<long long>(lines.size())) +
                              u" lines to " + std::u16string(tabName) + u"?";
    if (std::any_of(lines.begin(), lines.end(),
                    [](const std::u16string& line) { return line.front() == u'/'; })) {
        question += u"\nLines beginning with \"/\" are sent as text, not run as commands.";
    }
    return question;
}

int CommandParser::enterLine(std::u16string_view text, std::u16string_view tabName, bool statusTab,
                             bool commands) {
    if (commands && text.front() == u'/') {
        return ParsujKomende(text, tabName);
    }
    // The status tab has no conversation, connected or not.
    if (statusTab) {
        dodaj_komunikat(u"", u"*** You're not on a channel");
    } else if (connected()) {
        const std::u16string head = u"PRIVMSG " + std::u16string(tabName) + u" :";
        sendPieces(head, text, {}, [&](std::u16string_view piece) {
            return Input2Tab(tabName, m_parts.state.currentNick, shownMessage(tabName, piece), u"<",
                             u">", m_parts.colours.of(LineClass::Normal));
        });
    } else {
        dodaj_komunikat(tabName, u"*** Not connected to server");
    }
    return 0;
}

int CommandParser::ParsujKomende(std::u16string_view text, std::u16string_view tabName) {
    const std::u16string command = czytaj_komende(text);
    if (!connected()) {
        brak_polaczenia(command);
        return 0;
    }
    teach(masked(text, passwordInLine(text, tabName, true)));
    return wyslij_zapytanie(command, tabName, text);
}

std::u16string CommandParser::czytaj_komende(std::u16string_view text) {
    return std::u16string(text.substr(0, text.find(u' ')));
}

std::u16string CommandParser::commandLine(std::u16string_view line, int n) {
    std::u16string result(line.empty() ? line : line.substr(1));
    if (n <= 0) {
        return result;
    }
    int runs = 0;
    std::size_t i = 0;
    while (i < result.size()) {
        if (result[i] != u' ') {
            ++i;
            continue;
        }
        while (i < result.size() && result[i] == u' ') {
            ++i;
        }
        if (++runs == n) {
            // The rest of the line, spaces included, becomes the trailing parameter.
            result.insert(i, 1, u':');
            break;
        }
    }
    return result;
}

bool CommandParser::wyslij_komende(std::u16string_view line, int n, std::optional<LineEcho> echo) {
    const std::u16string sent = commandLine(line, n);
    if (const std::u16string refusal = longLineRefusal(sent); !refusal.empty()) {
        dodaj_komunikat(selectedTarget(), refusal);
        return false;
    }
    if (sent.empty()) {
        return false;  // empty lines are not sent
    }
    if (echo) {
        m_parts.connection.sendEchoed(m_parts.state.socket, sent, std::move(*echo));
    } else {
        m_parts.connection.wys(m_parts.state.socket, sent);
    }
    return true;
}

void CommandParser::sendPieces(std::u16string_view head, std::u16string_view text,
                               std::u16string_view tail,
                               const std::function<LineEcho(std::u16string_view piece)>& echoOf) {
    const SessionState& state = m_parts.state;
    // Before the login completes the nickname asked for is the one to expect.
    const std::u16string_view nick =
        state.currentNick.empty() ? state.wantedNick : state.currentNick;
    const std::vector<std::u16string> pieces = splitMessage(text, nick, head, tail);
    if (pieces.empty()) {
        dodaj_komunikat(selectedTarget(), u"*** Message target too long: not sent");
    }
    for (const std::u16string& piece : pieces) {
        std::u16string line(head);
        line.append(piece).append(tail);
        m_parts.connection.sendEchoed(state.socket, line, echoOf(piece));
    }
}

LineEcho CommandParser::CommandSent(std::u16string_view target, std::u16string_view text,
                                    std::u16string_view open, std::u16string_view close,
                                    Colour colour) {
    std::u16string line = u"-> ";
    line.append(open).append(target).append(close).append(u" ").append(text);
    return {selectedTarget(), std::move(line), colour};
}

LineEcho CommandParser::Input2Tab(std::u16string_view tabName, std::u16string_view nick,
                                  std::u16string_view text, std::u16string_view prefix,
                                  std::u16string_view suffix, Colour colour) {
    teach(text);
    std::u16string line(prefix);
    line.append(nick).append(suffix).append(u" ").append(text);
    return {std::u16string(tabName), std::move(line), colour};
}

void CommandParser::cancelWaitingLines(bool quietWhenNone) {
    const std::size_t dropped = m_parts.connection.dropWaitingLines();
    if (dropped > 0 || !quietWhenNone) {
        dodaj_komunikat(selectedTarget(), dropped > 0 ? waitingLinesDropped(dropped)
                                                      : u"*** No lines are waiting to be sent");
    }
}

void CommandParser::brak_parametrow(std::u16string_view command) {
    dodaj_komunikat(selectedTarget(),
                    u"* " + std::u16string(command) + u": insufficient parameters");
}

void CommandParser::brak_polaczenia(std::u16string_view command) {
    dodaj_komunikat(selectedTarget(),
                    u"* " + std::u16string(command) + u": not connected to server");
}

void CommandParser::dodaj_komunikat(std::u16string_view tabName, std::u16string_view text) {
    m_parts.output.addLine(tabName, cutAtWholeChar(text, kMessageBuffer - 1), kLocalMessageColour);
}

std::u16string CommandParser::selectedTarget() const {
    return m_parts.tabs.selected() <= 0 ? std::u16string() : m_parts.tabs.pobierz_nazwebiez();
}

bool CommandParser::connected() const {
    return m_parts.state.socket != kInvalidSocket;
}

void CommandParser::teach(std::u16string_view text) {
    // A missing setting (-1) leaves self-teaching on.
    if (m_teacher && m_parts.settings.switchOn(u"whspteach")) {
        m_teacher->DbDodajTekst(text);
    }
}

}  // namespace kolu
