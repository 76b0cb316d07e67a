// Received lines per second through the whole inbound path: socket reads of at
// most 1024 bytes, streaming decode, line framing, tokenising, the dispatcher's
// message handler (ignore and highlight lists) and line output into a channel
// tab that already holds many lines. The socket is served from
// memory so the figure is the client's own cost.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "connection/session.h"
#include "platform/clock.h"
#include "platform/sockets.h"
#include "platform/sound.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "ui/host.h"
#include "ui/text_metrics.h"

namespace kolu {
namespace {

// Serves a byte buffer as a socket that stays readable until it is drained.
class MemorySocket final : public SocketLayer {
  public:
    std::string data;
    std::size_t position = 0;

    int startup(std::uint16_t) override { return 0; }
    int cleanup() override { return 0; }
    int lastError() const override { return m_error; }
    void setLastError(int error) override { m_error = error; }
    std::optional<SocketAddress> resolve(std::string_view) override { return std::nullopt; }
    SocketHandle openTcp() override { return 3; }
    int setNonBlocking(SocketHandle, bool) override { return 0; }
    int connect(SocketHandle, const SocketAddress&, std::uint16_t) override { return 0; }
    int select(SocketHandle, SelectSets& sets, int) override {
        sets.read = sets.read && position < data.size();
        sets.write = sets.except = false;
        return sets.read ? 1 : 0;
    }
    int socketError(SocketHandle) override { return 0; }
    int recv(SocketHandle, char* buffer, int length) override {
        std::size_t n = std::min<std::size_t>(length, data.size() - position);
        std::memcpy(buffer, data.data() + position, n);
        position += n;
        return static_cast<int>(n);
    }
    int send(SocketHandle, const char*, int length) override { return length; }
    int closeSocket(SocketHandle) override { return 0; }

  private:
    int m_error = 0;
};

class SilentSound final : public SoundPlayer {
  public:
    int playFileAsync(const std::string&) override { return 0; }
};

class MonospaceMetrics final : public TextMetrics {
  public:
    int width(std::u16string_view run) const override { return static_cast<int>(run.size()) * 6; }
    int lineHeight() const override { return 13; }
};

// The windowing side does nothing here: no prompt, timer or message box is needed.
class NullHost final : public Host {
  public:
    bool startTimer(TimerId, int) override { return true; }
    bool stopTimer(TimerId) override { return true; }
    void messageBox(std::u16string_view, std::u16string_view) override {}
    void setConnectedLabel(bool) override {}
    void focusInput() override {}
    std::optional<std::u16string> promptOneField(int, std::u16string_view,
                                                 std::u16string_view) override {
        return std::nullopt;
    }
    std::optional<std::pair<std::u16string, std::u16string>> promptTwoFields(
        int, std::u16string_view, std::u16string_view, std::u16string_view) override {
        return std::nullopt;
    }
    std::optional<int> pickFromList(int, std::u16string_view, std::u16string_view,
                                    const std::vector<std::u16string>&) override {
        return std::nullopt;
    }
};

std::string channelTraffic(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        // 80 to 120 bytes a line.
        text += ":someone" + std::to_string(i % 50) + "!user@host.example.org PRIVMSG #kolu :";
        text += std::string(30 + (i * 7) % 40, 'a' + i % 26);
        text += "\r\n";
    }
    return text;
}

void BM_InboundLinesIntoChannel(benchmark::State& state) {
    const int stored = static_cast<int>(state.range(0));
    std::string folder = (std::filesystem::temp_directory_path() / "kolu-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    folder += '/';
    {
        RegistryStore store(folder + "registry");
        SystemClock clock;
        CRandom random;
        ErrorLog log(store, clock, fromUtf8(folder));
        Settings settings(store, log, clock, random, fromUtf8(folder));
        RegKey key;
        store.createKey(kSettingsKey, key);
        store.closeKey(key);
        settings.RegTworzKlucz();
        SilentSound sound;
        MonospaceMetrics metrics;
        MemorySocket socket;
        NullHost host;
        ColourTable colours;
        ColourArray defaults{};
        OpKoloryDomyslne(defaults);
        colours.set(defaults);
        Dictionary dictionary(settings, log);
        Session session(SessionServices{
            {settings, log, socket, sound, clock, random}, host, metrics, colours, dictionary});
        session.state.socket = 3;
        session.state.connected = true;
        session.state.currentNick = u"me";
        // The client's own JOIN opens the channel tab, as on a real server.
        socket.data = ":me!user@host JOIN #kolu\r\n";
        session.inbound.odbierz(3, session.dispatcher);
        TextLines* view = session.tabs.pobierz_hwndtxt(u"#kolu");
        const std::u16string filler(80, u'x');
        for (int i = 0; i < stored; ++i) {
            view->append(filler, 0);
        }
        const int batch = 10000;
        const std::string traffic = channelTraffic(batch);
        for (auto _ : state) {
            socket.data = traffic;
            socket.position = 0;
            while (socket.position < socket.data.size()) {
                session.inbound.odbierz(3, session.dispatcher);
            }
        }
        state.SetItemsProcessed(state.iterations() * batch);
        state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(traffic.size()));
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_InboundLinesIntoChannel)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kolu
