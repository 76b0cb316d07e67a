#pragma once
// A handler context over a whole test session, for the protocol handlers' tests: sends are
// captured, the command line is a recorder, and replies are parsed from raw line texts.
#include <string>
#include <string_view>
#include <vector>

#include "protocol/dispatcher.h"
#include "protocol/handler_context.h"
#include "protocol/reply.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/session_env.h"

namespace kolu::test {

class RecordingCommands final : public CommandRunner {
  public:
    struct Call {
        std::u16string command;
        std::u16string target;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;

    int ParsujKomende(std::u16string_view command, std::u16string_view target) override {
        calls.push_back({std::u16string(command), std::u16string(target)});
        return 1;
    }
};

struct HandlerEnv {
    static constexpr SocketHandle kSocket = 7;

    HandlerEnv() {
        sockets.acceptSends = true;
        env.session.state.socket = kSocket;
        env.session.state.connected = true;
    }

    FakeSocketLayer sockets;
    SessionEnv env{&sockets};
    RecordingCommands commands;
    // The notify hooks are not attached.
    HandlerContext context{env.session.state,
                           env.session.connection,
                           env.session.output,
                           env.session.tabs,
                           env.settings.settings,
                           env.colours,
                           env.session.sounds,
                           env.host,
                           env.settings.log,
                           env.settings.clock,
                           &commands,
                           nullptr};

    SessionState& state() { return env.session.state; }
    TabRegistry& tabs() { return env.session.tabs; }
    Settings& settings() { return env.settings.settings; }
    FakeClock& clock() { return env.settings.clock; }

    static Reply line(std::u16string_view raw) {
        Reply reply;
        tworz_odpowiedz(raw, reply);
        return reply;
    }

    int dispatch(std::u16string_view raw) { return DispatchReply(context, line(raw)); }

    std::vector<std::u16string> lines(int tab = 0) { return env.lines(tab); }
    std::vector<std::u16string> lines(std::u16string_view tab) { return env.lines(tab); }
    // The colour of a tab's last line (0 when the tab has none).
    Colour lastColour(int tab = 0) {
        const TextLines* text = env.session.tabs.pobierz_hwndtxtbiez(tab);
        return text && text->lineCount() > 0 ? text->line(text->lineCount() - 1).colour : 0;
    }

    void setSound(std::u16string_view event, std::u16string_view file) {
        env.settings.putString(kSoundsKey, event, file);
    }
    // The file names (without folder) of the sounds played so far.
    std::vector<std::string> soundsPlayed() const {
        std::vector<std::string> out;
        for (const std::string& path : env.sound.played) {
            out.push_back(path.substr(path.rfind('/') + 1));
        }
        return out;
    }
};

}  // namespace kolu::test
