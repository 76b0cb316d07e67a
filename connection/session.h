#pragma once
// One running client's logic, wired together: the shared state, the tabs and
// line output, inbound framing, the connection, the dispatcher, the command
// line and the notify list. The main window owns one; tests build one over fakes.
#include <optional>

#include "commands/command_parser.h"
#include "commands/notify_list.h"
#include "completion/dictionary.h"
#include "connection/connection.h"
#include "protocol/dispatcher.h"
#include "protocol/handler_context.h"
#include "protocol/inbound.h"
#include "protocol/session_state.h"
#include "servers/server_list.h"
#include "ui/event_sounds.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"

namespace kolu {

class Clock;
class ColourTable;
class ErrorLog;
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
};

class Session {
  public:
    explicit Session(const SessionServices& services, int scaleFactor = 1);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

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
    // The word dictionary, taught by the command line when `whspteach` is on; the
    // main window creates its file at start-up (Dictionary::startUp).
    Dictionary dictionary;
    DictionaryTeacher teacher{dictionary};
    // An irc:// address chose this server over the server list's choice; connects
    // and reconnects go to it until it is cleared.
    std::optional<ConnectionData> linkedServer;

    // The server a connect goes to: the linked one, else the list's choice (0: none).
    int currentServer(ConnectionData& out);

  private:
    ErrorLog& m_log;
    ServerListServices m_servers;
};

}  // namespace kolu
