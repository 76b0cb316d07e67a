#pragma once
// A whole client session over real sockets (or a fake layer) with a recording host, fixed
// text metrics and the default colours.
#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "connection/session.h"
#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/sound.h"
#include "settings/colour_table.h"
#include "tests/support/fake_host.h"
#include "tests/support/fixed_metrics.h"
#include "tests/support/settings_env.h"
#include "ui/user_list.h"

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

// The texts shown in tab `index`; none for a tab that does not exist.
inline std::vector<std::u16string> tabLines(TabRegistry& tabs, int index) {
    std::vector<std::u16string> out;
    const TextLines* text = tabs.pobierz_hwndtxtbiez(index);
    for (std::size_t i = 0; text && i < text->lineCount(); ++i) {
        out.emplace_back(text->line(i).text);
    }
    return out;
}

// A channel's user list as shown, top to bottom; none without the channel.
inline std::vector<std::u16string> memberLabels(TabRegistry& tabs, std::u16string_view channel) {
    std::vector<std::u16string> out;
    const UserList* list = tabs.pobierz_hwndlist(channel);
    for (std::size_t i = 0; list && i < list->size(); ++i) {
        out.push_back(list->at(i).label);
    }
    return out;
}

inline bool anyLineHas(const std::vector<std::u16string>& lines, std::u16string_view text) {
    return std::ranges::any_of(
        lines, [&](const std::u16string& line) { return line.find(text) != line.npos; });
}

class SessionEnv {
  public:
    // `sockets` defaults to a real layer on loopback.
    explicit SessionEnv(SocketLayer* layer = nullptr)
        : sockets(layer ? *layer : realSockets),
          colours(defaultColours()),
          dictionary(settings.settings, settings.log),
          session(SessionServices{settings.settings, settings.log, sockets, sound, settings.clock,
                                  settings.random, host, metrics, colours, dictionary}) {
        settings.install();
        settings.settings.RegTworzKlucz();  // the first-run defaults, as the client starts
        // The clock stands still: tests that are not about pacing send unpaced.
        settings.settings.RegZapiszLONG(u"sendpace", 0);
    }

    // Writes servers.txt with one server at `host` (and `server` = 0); a TLS port is "+port".
    void useServer(int port, const std::string& password = "", bool tls = false,
                   const std::string& host = "127.0.0.1") {
        writeFileAtomically(settings.dir.file("servers.txt"),
                            "Test\t" + host + "\t" + (tls ? "+" : "") + std::to_string(port) +
                                "\t" + password + "\r\n",
                            0600);
        settings.settings.RegZapiszLONG(u"server", 0);
    }
    // Fills the user options a login needs.
    void setUser(const std::u16string& nick = u"tester",
                 const std::u16string& email = u"me@example.org",
                 const std::u16string& fullName = u"Test User") {
        settings.settings.RegZapiszMsg(u"nick", nick, 120);
        settings.settings.RegZapiszMsg(u"email", email, 240);
        settings.settings.RegZapiszMsg(u"fullname", fullName, 500);
    }

    // The texts shown in a tab; by name, "" is the status tab and an unknown name shows nothing.
    std::vector<std::u16string> lines(int tab = 0) { return tabLines(session.tabs, tab); }
    std::vector<std::u16string> lines(std::u16string_view tab) {
        return lines(tab.empty() ? 0 : session.tabs.znajdz_zakladke(tab));
    }
    std::u16string lastLine(std::u16string_view tab = {}) {
        const std::vector<std::u16string> all = lines(tab);
        return all.empty() ? u"" : all.back();
    }
    std::vector<std::u16string> users(std::u16string_view channel) {
        return memberLabels(session.tabs, channel);
    }
    bool pollUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            session.connection.pollTick();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    SettingsEnv settings;
    PosixSocketLayer realSockets;
    SocketLayer& sockets;
    FakeHost host;
    FixedMetrics metrics;
    RecordingSound sound;
    ColourTable colours;
    Dictionary dictionary;
    Session session;
};

}  // namespace kolu::test
