#pragma once
// The notify list: the nicknames of the `notify` setting, each with whether the
// last ISON answer named it. Each answer is compared with what was known and a
// line is printed for every nickname that came or went; a newcomer can be looked
// up with /whois through the command line. The connection's poll tick asks;
// where the server offers MONITOR, it is handed the list once instead and
// tells of each arrival and departure itself.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/notify_hooks.h"

namespace kolu {

class ColourTable;
class CommandRunner;
class Host;
class LinePrinter;
class ServerLink;
class Settings;
struct SessionState;

struct NotifyEntry {
    std::u16string name;  // at most kNameLimit characters
    bool online = false;
    bool operator==(const NotifyEntry&) const = default;
};

using NotifyEntries = std::vector<NotifyEntry>;

class NotifyList final : public NotifyHooks {
  public:
    struct Parts {
        SessionState& state;
        ServerLink& connection;
        LinePrinter& output;
        Settings& settings;
        const ColourTable& colours;
    };

    // A nickname is watched under at most this many characters.
    static constexpr std::size_t kNameLimit = 63;

    // `commands` runs the /whois of `not_whois`; while null, none is sent.
    explicit NotifyList(Parts parts, CommandRunner* commands = nullptr);

    void setCommandRunner(CommandRunner* commands) { m_commands = commands; }
    // Told of each arrival, for the desktop; while null, nobody is.
    void setHost(Host* host) { m_host = host; }

    // Entries of a text split at each space; empty ones (a leading, trailing or
    // doubled space) are skipped. Names are cut to kNameLimit.
    static NotifyEntries NotifyList_Create(std::u16string_view text);
    // Forgets every watched nickname.
    void NotifyList_Delete() { m_entries.clear(); }
    // Builds the list from the `notify` setting; every entry starts offline. A
    // server that watches the old list is given the new one.
    void NotifyList_Load();
    // The connection closed: everyone online will be announced again.
    void NotifyList_Reset() override;
    // Whether `list` holds `name` ignoring case; when it does, `name` takes the
    // entry's spelling.
    static int NotifyList_Find(const NotifyEntries& list, std::u16string& name);
    // Sends "ISON " + the `notify` setting as stored; where the server offers
    // MONITOR, hands it the list the first time and sends nothing after.
    void NotifyList_Ison() override;
    // Compares an ISON answer (the nicknames online) with the list and reports changes.
    void NotifyList_Update(std::u16string_view online) override;
    void monitorArrived(std::u16string_view nick) override;
    void monitorLeft(std::u16string_view nick) override;
    // Whether the server watches the list for this connection.
    bool monitoring() const { return m_monitoring; }

    const NotifyEntries& entries() const { return m_entries; }

  private:
    std::u16string readList();
    // Entry i came or went: its line (and the /whois of `not_whois`).
    void arrived(std::size_t i);
    void left(std::size_t i);
    // "MONITOR + ..." with as many entries as the server's limit takes; the
    // rest are named in one line.
    void startMonitor(std::size_t limit);
    // The server's MONITOR limit while the list may use it (0: none); nothing
    // when it is polled with ISON.
    std::optional<std::size_t> monitorLimit();

    Parts m_parts;
    Host* m_host = nullptr;
    CommandRunner* m_commands;
    NotifyEntries m_entries;
    bool m_monitoring = false;
};

}  // namespace kolu
