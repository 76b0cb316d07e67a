#pragma once
// What the inbound handlers work with: the session's shared state, the line
// sender, printing, tabs, settings, colours, sounds, the host's prompts, and the
// command line and notify list they hand work to.
#include <string_view>

namespace kolu {

class Clock;
class ColourTable;
class ErrorLog;
class EventSounds;
class Host;
class LineOutput;
class NotifyHooks;
class ServerLink;
class Settings;
class TabRegistry;
struct SessionState;

// The command line's entry for "/" commands built by the handlers (the NICK of
// a nickname clash, the ban removal).
class CommandRunner {
  public:
    virtual ~CommandRunner() = default;
    virtual int ParsujKomende(std::u16string_view command, std::u16string_view target) = 0;
};

struct HandlerContext {
    SessionState& state;
    ServerLink& connection;
    LineOutput& output;
    TabRegistry& tabs;
    Settings& settings;
    const ColourTable& colours;
    EventSounds& sounds;
    Host& host;
    ErrorLog& log;
    const Clock& clock;
    // Attached by the session when they exist; handlers skip them while null.
    CommandRunner* commands = nullptr;
    NotifyHooks* notify = nullptr;
};

}  // namespace kolu
