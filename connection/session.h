#pragma once
// One running client's logic, wired together: the shared state, the tabs and
// line output, inbound framing, the connection, the dispatcher, the command
// line and the notify list. Each main window owns one; tests build one over fakes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "commands/command_parser.h"
#include "commands/notify_list.h"
#include "completion/dictionary.h"
#include "connection/connection.h"
#include "protocol/dispatcher.h"
#include "protocol/handler_context.h"
#include "protocol/inbound.h"
#include "protocol/session_state.h"
#include "servers/server_list.h"
#include "settings/error_log.h"
#include "ui/event_sounds.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"

namespace kolu {

class Clock;
class ColourTable;
class Host;
class Random;
class Settings;
class SocketLayer;
class SoundPlayer;
class TextMetrics;

// What the running program provides to the session and the window alike.
struct ProgramServices {
    Settings& settings;
    ErrorLog& log;
    SocketLayer& sockets;
    SoundPlayer& sound;
    const Clock& clock;
    Random& random;
};

struct SessionServices : ProgramServices {
    Host& host;
    const TextMetrics& metrics;
    const ColourTable& colours;
    // The program's word dictionary, shared by every window.
    Dictionary& dictionary;
};

class Session {
  public:
    explicit Session(const SessionServices& services, int scaleFactor = 1);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Where every part of this session reports: the program's errors.log, and this
    // session's status tab and connection for a socket error.
    ErrorLog log;
    SessionState state;
    EventSounds sounds;
    TabRegistry tabs;
    LineOutput output;
    Inbound inbound;
    Connection connection;
    // What the inbound handlers work with, the command line and notify list included.
    HandlerContext context;
    Dispatcher dispatcher;
    CommandParser commands;
    NotifyList notify;
    // The program's word dictionary, taught by the command line when `whspteach`
    // is on; its file is made once at the program's start (Dictionary::startUp).
    Dictionary& dictionary;
    DictionaryTeacher teacher{dictionary};
    // An irc:// address chose this server over the server list's choice; connects
    // and reconnects go to it until it is cleared.
    std::optional<ConnectionData> linkedServer;
    // This session's position in the server list (its window's choice); unset:
    // the `server` setting.
    std::optional<std::int32_t> server;

    // The server a connect goes to: the linked one, else the list's choice (0: none).
    int currentServer(ConnectionData& out);
    // Channel tabs from the last run: opened now under the chosen server's network,
    // marked not joined as after a disconnect; those still open at the next
    // connect are joined at its welcome.
    void reopenChannels(const std::vector<std::u16string>& channels);
    // The names of the channel tabs, in tab order.
    std::vector<std::u16string> channelNames();

  private:
    const ColourTable& m_colours;
    ServerListServices m_servers;
};

}  // namespace kolu
