#include "tests/support/session_env.h"

#include <thread>

#include "platform/files.h"
#include "ui/user_list.h"

namespace kolu::test {

SessionEnv::SessionEnv(SocketLayer* layer)
    : sockets(layer ? *layer : realSockets),
      colours(defaultColours()),
      session(SessionServices{settings.settings, settings.log, sockets, sound, settings.clock,
                              settings.random, host, metrics, colours}) {
    settings.install();
    settings.settings.RegTworzKlucz();  // the first-run defaults, as the client starts
    // The clock stands still: tests that are not about pacing send unpaced.
    settings.settings.RegZapiszLONG(u"sendpace", 0);
}

void SessionEnv::useServer(int port, const std::string& password) {
    writeFileAtomically(settings.dir.file("servers.txt"),
                        "Test\t127.0.0.1\t" + std::to_string(port) + "\t" + password + "\r\n",
                        0600);
    settings.settings.RegZapiszLONG(u"server", 0);
}

void SessionEnv::setUser(const std::u16string& nick, const std::u16string& email,
                         const std::u16string& fullName) {
    settings.settings.RegZapiszMsg(u"nick", nick, 120);
    settings.settings.RegZapiszMsg(u"email", email, 240);
    settings.settings.RegZapiszMsg(u"fullname", fullName, 500);
}

std::vector<std::u16string> SessionEnv::lines(int tab) {
    std::vector<std::u16string> out;
    const TextLines* text = session.tabs.pobierz_hwndtxtbiez(tab);
    if (!text) {
        return out;
    }
    for (std::size_t i = 0; i < text->lineCount(); ++i) {
        out.emplace_back(text->line(i).text);
    }
    return out;
}

std::vector<std::u16string> SessionEnv::lines(std::u16string_view tab) {
    const int index = tab.empty() ? 0 : session.tabs.znajdz_zakladke(tab);
    return index < 0 ? std::vector<std::u16string>{} : lines(index);
}

std::u16string SessionEnv::lastLine(std::u16string_view tab) {
    const std::vector<std::u16string> all = lines(tab);
    return all.empty() ? u"" : all.back();
}

std::vector<std::u16string> SessionEnv::users(std::u16string_view channel) {
    std::vector<std::u16string> out;
    const UserList* list = session.tabs.pobierz_hwndlist(channel);
    for (std::size_t i = 0; list && i < list->size(); ++i) {
        out.push_back(list->at(i).label);
    }
    return out;
}

bool SessionEnv::pollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
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

}  // namespace kolu::test
