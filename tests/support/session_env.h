#pragma once
// A whole client session over real sockets (or a fake layer) with a recording host, fixed
// text metrics and the default colours.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "connection/session.h"
#include "platform/sockets.h"
#include "platform/sound.h"
#include "tests/support/fake_host.h"
#include "tests/support/fixed_metrics.h"
#include "tests/support/settings_env.h"
#include "settings/colour_table.h"

namespace kolu::test {

inline ColourTable defaultColours() {
    ColourArray entries{};
    OpKoloryDomyslne(entries);
    ColourTable table;
    table.set(entries);
    return table;
}

class RecordingSound final : public SoundPlayer {
  public:
    std::vector<std::string> played;
    int result = 0;
    int playFileAsync(const std::string& path) override {
        played.push_back(path);
        return result;
    }
};

class SessionEnv {
  public:
    // `sockets` defaults to a real layer on loopback.
    explicit SessionEnv(SocketLayer* sockets = nullptr);

    // Writes servers.txt with one server at 127.0.0.1 (and `server` = 0).
    void useServer(int port, const std::string& password = "");
    // Fills the user options a login needs.
    void setUser(const std::u16string& nick = u"tester",
                 const std::u16string& email = u"me@example.org",
                 const std::u16string& fullName = u"Test User");

    // The texts shown in a tab; by name, "" is the status tab and an unknown name shows nothing.
    std::vector<std::u16string> lines(int tab = 0);
    std::vector<std::u16string> lines(std::u16string_view tab);
    std::u16string lastLine(std::u16string_view tab = {});
    std::vector<std::u16string> users(std::u16string_view channel);
    bool pollUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));

    SettingsEnv settings;
    PosixSocketLayer realSockets;
    SocketLayer& sockets;
    FakeHost host;
    FixedMetrics metrics;
    RecordingSound sound;
    ColourTable colours;
    Session session;
};

}  // namespace kolu::test
