#pragma once
// The command line: a typed line becomes a message to the selected tab's
// conversation, or, when it begins with '/', a command looked up in the command
// table and turned into a protocol line with an echo. Mistakes are shown as local
// lines and never sent. Every part that issues a "/" command as text runs it here.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/handler_context.h"
#include "protocol/server_link.h"
#include "settings/colour_table.h"

namespace kolu {

class Clock;
class Host;
class InputLineModel;
class LinePrinter;
class Settings;
class TabRegistry;
class WordTeacher;
struct SessionState;

class CommandParser final : public CommandRunner {
  public:
    struct Parts {
        SessionState& state;
        ServerLink& connection;
        TabRegistry& tabs;
        LinePrinter& output;
        Settings& settings;
        const ColourTable& colours;
        const Clock& clock;
        Host& host;
    };

    // Local lines are built in a buffer of this many characters, terminator included.
    static constexpr std::size_t kMessageBuffer = 256;
    // `partmsg` and `quitmsg` are read as strings of at most this many bytes.
    static constexpr std::uint32_t kMessageSettingSize = 500;
    // Pasted text of more lines than this is sent only when the user agrees.
    static constexpr std::size_t kPasteLinesUnasked = 5;
    // The input line's history keeps the newest `histmax` lines, at most this many.
    static constexpr std::int32_t kMaxHistoryEntries = 10000;

    // `teacher` may be null: nothing is taught then.
    explicit CommandParser(Parts parts, WordTeacher* teacher = nullptr);

    void setTeacher(WordTeacher* teacher) { m_teacher = teacher; }

    // Enter in the input line: takes and clears its text, records it in the history
    // and acts on it. Returns 1 after /quit, else 0; the caller stores it as the
    // user-quit flag. Text of several lines (pasted) is taken line by line, each as
    // message text (a leading '/' included) in the tab selected now, and all of
    // them go into the history at once; past kPasteLinesUnasked lines the host asks
    // first, and a No leaves the text as it is.
    int parsuj(InputLineModel& input);

    // Any "/" command text. `tabName` is the conversation it concerns (the
    // selected tab's name for typed lines). Returns 1 after /quit, else 0.
    int ParsujKomende(std::u16string_view text, std::u16string_view tabName) override;

    // The first word: up to the first space, or the whole text.
    static std::u16string czytaj_komende(std::u16string_view text);

    // The command table. Returns 1 for /quit, else 0.
    int wyslij_zapytanie(std::u16string_view command, std::u16string_view tabName,
                         std::u16string_view text);

    // The line without its leading '/', with ':' inserted after the n-th run of
    // spaces when n > 0 and there are that many; empty results are not sent.
    static std::u16string commandLine(std::u16string_view line, int n);
    // Sends commandLine(line, n) unless it is empty or longer than an IRC line,
    // which is refused with a local line; true when sent. `echo` shows when it goes.
    bool wyslij_komende(std::u16string_view line, int n, std::optional<LineEcho> echo = {});

    // The echoes, shown once their line has gone (the pacing may hold it):
    // "-> " + open + target + close + " " + text in the selected tab;
    LineEcho CommandSent(std::u16string_view target, std::u16string_view text,
                         std::u16string_view open, std::u16string_view close, Colour colour);
    // prefix + nick + suffix + " " + text in the named tab, the text taught at once.
    LineEcho Input2Tab(std::u16string_view tabName, std::u16string_view nick,
                       std::u16string_view text, std::u16string_view prefix,
                       std::u16string_view suffix, Colour colour);

    // The cancel command and Escape in the input line: drops the lines waiting for
    // their turn and says how many; with `quietWhenNone`, says nothing when none wait.
    void cancelWaitingLines(bool quietWhenNone);
    // "* " + command + ": insufficient parameters" / ": not connected to server"
    // in the selected tab, local-message colour.
    void brak_parametrow(std::u16string_view command);
    void brak_polaczenia(std::u16string_view command);
    // A local line in the named tab, cut to the message buffer.
    void dodaj_komunikat(std::u16string_view tabName, std::u16string_view text);

  private:
    // One line entered in tab `tabName` (the status tab when `statusTab`); with
    // `commands` a line beginning with '/' is run as a command.
    int enterLine(std::u16string_view text, std::u16string_view tabName, bool statusTab,
                  bool commands);
    // "Send N lines to tab?", and when some begin with '/', that they go as text.
    static std::u16string pasteQuestion(const std::vector<std::u16string>& lines,
                                        std::u16string_view tabName);
    // Sends `text` as head + piece + tail lines that each fit when relayed, each
    // shown as `echoOf(piece)` when it goes; a local line when nothing fits.
    void sendPieces(std::u16string_view head, std::u16string_view text, std::u16string_view tail,
                    const std::function<LineEcho(std::u16string_view piece)>& echoOf);
    // The selected tab as a line target: "" for the status tab.
    std::u16string selectedTarget() const;
    bool connected() const;
    void teach(std::u16string_view text);

    // Rows of the command table that do more than send the line.
    void sendPart(std::u16string_view text);
    int sendQuit(std::u16string_view text);
    void sendPing(std::u16string_view text);
    void sendAction(std::u16string_view command, std::u16string_view tabName,
                    std::u16string_view text);
    void sendNotice(std::u16string_view command, std::u16string_view text);
    void sendMessage(std::u16string_view command, std::u16string_view text, bool openQuery);

    Parts m_parts;
    WordTeacher* m_teacher;
};

}  // namespace kolu
