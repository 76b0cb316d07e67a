// The text view as the window shows it: the real main window (offscreen) over
// the real services in a throw-away XDG folder, its channel tab filled through
// the line output. Measures adding many lines to a visible view, then painting,
// and scrolling a view that holds a million lines; and opening and saving the
// options dialog with a large server list and full special lists.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <memory>
#include <random>
#include <string>

#include "app/services.h"
#include "bench/window_bench.h"
#include "gui/color_edit.h"
#include "gui/input_line.h"
#include "gui/main_window.h"
#include "gui/whisper_hook.h"
#include "gui/whisper_list.h"
#include "options/connection_page.h"
#include "options/info_page.h"
#include "options/options_dialog.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "protocol/inbound.h"

namespace kolu {
namespace {

// Swallows what the session sends back after a join; nothing is connected.
class NullSockets final : public SocketLayer {
  public:
    int startup(std::uint16_t) override { return 0; }
    int cleanup() override { return 0; }
    int lastError() const override { return 0; }
    void setLastError(int) override {}
    std::optional<SocketAddress> resolve(std::string_view) override { return std::nullopt; }
    SocketHandle openTcp() override { return kInvalidSocket; }
    int setNonBlocking(SocketHandle, bool) override { return 0; }
    int connect(SocketHandle, const SocketAddress&, std::uint16_t) override { return -1; }
    int select(SocketHandle, SelectSets&, int) override { return 0; }
    int socketError(SocketHandle) override { return 0; }
    int recv(SocketHandle, char*, int) override { return 0; }
    int send(SocketHandle, const char*, int length) override { return length; }
    int closeSocket(SocketHandle) override { return 0; }
};

// One client window at 480 x 640 (scale 2), shown, with a joined channel per call.
struct Client {
    Services services{dataFolder(), registryFile()};
    NullSockets sockets;
    bench::SilentSound sound;
    MainWindow window{MainWindowServices{
        {services.settings, services.log, sockets, sound, services.clock, services.random},
        services.colours}};
    int joined = 0;

    Client() {
        window.show();
        QApplication::processEvents();
        Session& session = window.session();
        session.state.socket = 3;
        session.state.connected = true;
        session.state.currentNick = u"kolu";
    }
    // Joins a new channel (its tab selected and shown); returns its name.
    std::u16string join() {
        const std::string name = "#bench" + std::to_string(++joined);
        LineFramer framer;
        framer.receive(":kolu!me@localhost JOIN " + name + "\r\n", window.session().dispatcher);
        QApplication::processEvents();
        return std::u16string(name.begin(), name.end());
    }
    void part(const std::u16string& channel) {
        LineFramer framer;
        framer.receive(
            ":kolu!me@localhost PART " + std::string(channel.begin(), channel.end()) + "\r\n",
            window.session().dispatcher);
        QApplication::processEvents();
    }
    ColorEdit& view() { return *window.textView(window.session().tabs.selected()); }
};

// IRC-like lines of 40 to 119 characters, as the message handler prints them.
std::vector<std::u16string> sampleLines() {
    std::vector<std::u16string> lines;
    std::mt19937 random(7);
    for (int i = 0; i < 1000; ++i) {
        std::u16string line = u"<someone" + std::u16string(1, u'0' + i % 10) + u"> ";
        const std::size_t length = 40 + random() % 80;
        while (line.size() < length) {
            line += (random() % 6 == 0) ? u' ' : static_cast<char16_t>(u'a' + random() % 26);
        }
        lines.push_back(line);
    }
    return lines;
}

Client& client() {
    static Client* shared = new Client;  // lives until exit, like the window
    return *shared;
}

void BM_Add100kLinesToVisibleViewAndPaint(benchmark::State& state) {
    const std::vector<std::u16string> lines = sampleLines();
    Client& c = client();
    for (auto _ : state) {
        state.PauseTiming();
        const std::u16string channel = c.join();
        state.ResumeTiming();
        for (int i = 0; i < 100000; ++i) {
            c.window.session().output.RIDodajLinie(channel, lines[i % lines.size()], 0);
        }
        QApplication::processEvents();
        benchmark::DoNotOptimize(c.window.grab());
        state.PauseTiming();
        c.part(channel);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_Add100kLinesToVisibleViewAndPaint)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

// A channel holding a million lines, made once.
ColorEdit& millionLineView() {
    static ColorEdit* view = [] {
        const std::vector<std::u16string> lines = sampleLines();
        Client& c = client();
        const std::u16string channel = c.join();
        for (int i = 0; i < 1000000; ++i) {
            c.window.session().output.RIDodajLinie(channel, lines[i % lines.size()], 0);
        }
        QApplication::processEvents();
        return &c.view();
    }();
    return *view;
}

// One scroll-bar step down (line or page) and the repaint it causes.
void scrollAndPaint(benchmark::State& state, ScrollRequest request) {
    ColorEdit& view = millionLineView();
    view.scrollRequest(ScrollRequest::ThumbPosition, 0);
    for (auto _ : state) {
        view.scrollRequest(request);
        view.viewport()->repaint();
        if (view.scrollPosition() >= view.largestPosition()) {
            view.scrollRequest(ScrollRequest::ThumbPosition, 0);
        }
    }
    state.counters["position"] = view.scrollPosition();
}
void BM_LineDownAndPaint1M(benchmark::State& state) {
    scrollAndPaint(state, ScrollRequest::LineDown);
}
void BM_PageDownAndPaint1M(benchmark::State& state) {
    scrollAndPaint(state, ScrollRequest::PageDown);
}
BENCHMARK(BM_LineDownAndPaint1M)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageDownAndPaint1M)->Unit(benchmark::kMicrosecond);

// Thumb jumps to random places, then the repaint: the worst case for caches.
void BM_ThumbJumpAndPaint1M(benchmark::State& state) {
    ColorEdit& view = millionLineView();
    std::mt19937 random(11);
    for (auto _ : state) {
        const int to = static_cast<int>(random() % static_cast<unsigned>(view.largestPosition()));
        view.scrollRequest(ScrollRequest::ThumbPosition, to);
        view.viewport()->repaint();
    }
}
BENCHMARK(BM_ThumbJumpAndPaint1M)->Unit(benchmark::kMicrosecond);

// 1,000 servers in 100 networks, and each special list as full as the store
// holds: 1,000 one-character entries (2,000 characters with their blanks).
void fillLargeOptions(Client& c) {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    std::string servers;
    for (int i = 0; i < 1000; ++i) {
        servers += "Network" + std::to_string(i % 100) + "\tirc" + std::to_string(i) +
                   ".example.org\t6660-6669,7000\t\r\n";
    }
    Settings& settings = c.services.settings;
    writeFileAtomically(serversFilePath(settings), servers, 0600);
    std::u16string list;
    for (int i = 0; i < 1000; ++i) {
        list += static_cast<char16_t>(0x4E00 + i);
        list += u' ';
    }
    for (const char16_t* name : {u"ignore", u"hlights", u"notify"}) {
        settings.RegZapiszMsg(name, list, kSpecialListSize);
    }
    settings.RegZapiszLONG(u"server", 567);
}

void BM_OpenOptionsLarge(benchmark::State& state) {
    Client& c = client();
    fillLargeOptions(c);
    for (auto _ : state) {
        std::unique_ptr<OptionsDialog> dialog = c.window.makeOptionsDialog();
        dialog->show();
        QApplication::processEvents();
        state.PauseTiming();
        // What was loaded, so the figure is known to cover it.
        state.counters["servers"] = static_cast<double>(
            static_cast<ConnectionPage*>(dialog->page(OptionsDialog::kConnection))
                ->choice()
                .list()
                .size());
        state.counters["ignores"] = static_cast<double>(
            static_cast<InfoPage*>(dialog->page(OptionsDialog::kInfo))->entries(0).size());
        dialog.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenOptionsLarge)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveOptionsLarge(benchmark::State& state) {
    Client& c = client();
    fillLargeOptions(c);
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<OptionsDialog> dialog = c.window.makeOptionsDialog();
        dialog->show();
        QApplication::processEvents();
        state.ResumeTiming();
        dialog->accept();
        state.PauseTiming();
        if (dialog->result() != QDialog::Accepted) {
            state.SkipWithError("the options were not saved");
        }
        dialog.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SaveOptionsLarge)->Unit(benchmark::kMillisecond)->UseRealTime();

// A keystroke in the input line to the whisper list painted, with 100,000 words
// taught: the field holds "ab", 'c' is typed (timed: the lookup in dict.dat,
// the list refilled and painted), then taken back with Backspace (untimed).
void BM_KeystrokeToPaintedWhispers100k(benchmark::State& state) {
    Client& c = client();
    static const bool taught = [&c] {
        std::mt19937 random(5);
        std::u16string line;
        for (int i = 0; i < 100000; ++i) {
            std::u16string word;
            const int length = 3 + static_cast<int>(random() % 8);
            for (int k = 0; k < length; ++k) {
                word += static_cast<char16_t>(u'a' + random() % 6);
            }
            line += word + u' ';
            if (i % 500 == 499) {
                c.window.session().dictionary.DbDodajTekst(line);
                line.clear();
            }
        }
        return true;
    }();
    benchmark::DoNotOptimize(taught);
    c.services.settings.RegZapiszLONG(u"whspmax", 5);
    QLineEdit* edit = c.window.inputLine().editControl();
    edit->setFocus();
    edit->setText(QStringLiteral("ab"));
    auto key = [edit](int code, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
        QApplication::sendEvent(edit, &press);
    };
    for (auto _ : state) {
        key(Qt::Key_C, QStringLiteral("c"));
        if (WhisperList* list = c.window.inputWhispers().list()) {
            list->repaint();
            state.counters["rows"] = list->rows();
        } else {
            state.SkipWithError("no whisper list");
        }
        state.PauseTiming();
        key(Qt::Key_Backspace, QString());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_KeystrokeToPaintedWhispers100k)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace kolu

int main(int argc, char** argv) {
    return kolu::bench::runOffscreen(argc, argv);
}
