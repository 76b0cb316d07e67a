// The real main window (offscreen) connected through File > Connect to a
// flooding server on 127.0.0.1 in a thread of this process: how fast a flood
// into the shown channel reaches the view, what it costs the window's thread,
// how long the event loop stalls meanwhile and what memory it leaves; and how
// soon a 5,000-name reply to the client's JOIN is answered and listed. Only the
// window's public API and the event loop drive the client, so the figures hold
// however the connection reads its socket.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/services.h"
#include "gui/color_edit.h"
#include "bench/loopback_server.h"
#include "bench/window_bench.h"
#include "gui/input_line.h"
#include "gui/main_window.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "servers/server_list.h"

namespace kolu {
namespace {

using Clock = std::chrono::steady_clock;

double milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// It welcomes the client, answers each JOIN with the join, a names reply (5,000
// names for channels named "#names...") and a PING carrying the channel's name,
// floods a channel on request, and records when the client's lines arrive.
class FloodServer final : public bench::LoopbackServer {
  public:
    FloodServer() { start(); }
    ~FloodServer() override { stop(); }

    // Sends `count` PRIVMSG lines of 80-120 bytes to `channel`, after what is queued.
    void flood(const std::string& channel, long count) {
        {
            const std::lock_guard lock(m_mutex);
            m_floodChannel = channel;
            m_floodLeft = count;
        }
        wake();
    }
    // When the client first sent this line, or a line with this command (in
    // upper case).
    std::optional<Clock::time_point> seen(const std::string& line) const {
        const std::lock_guard lock(m_mutex);
        const auto found = m_seen.find(line);
        if (found == m_seen.end()) {
            return std::nullopt;
        }
        return found->second;
    }

  private:
    // Keeps about 64 KiB of the flood waiting to be sent.
    void fill() override {
        if (m_floodLeft == 0 || m_out.size() - m_sent >= 65536) {
            return;
        }
        if (m_sent > 0) {
            m_out.erase(0, m_sent);
            m_sent = 0;
        }
        std::mt19937 random(static_cast<unsigned>(m_floodLeft));
        while (m_floodLeft > 0 && m_out.size() < 131072) {
            std::string line = ":someone" + std::to_string(m_floodLeft % 50) +
                               "!user@host.example PRIVMSG " + m_floodChannel + " :";
            const std::size_t length = 78 + random() % 41;  // 80-120 bytes with CR LF
            while (line.size() < length) {
                line += (random() % 6 == 0) ? ' ' : static_cast<char>('a' + random() % 26);
            }
            m_out += line + "\r\n";
            --m_floodLeft;
        }
        if (m_floodLeft == 0) {
            m_out += "PING :flooded" + m_floodChannel + "\r\n";  // answered once all is handled
        }
    }

    void answer(const std::string& line) override {
        const Clock::time_point now = Clock::now();
        m_seen.emplace(line, now);
        m_seen.emplace(line.substr(0, line.find(' ')), now);
        if (line.rfind("USER ", 0) == 0) {
            m_out += ":irc.bench 001 kolu :Welcome\r\n";
        } else if (line.rfind("JOIN ", 0) == 0) {
            const std::string channel = line.substr(5);
            m_out += ":kolu!me@host.example JOIN " + channel + "\r\n";
            std::vector<std::string> names{"@kolu"};
            if (channel.rfind("#names", 0) == 0) {
                for (int i = 1; i < 5000; ++i) {
                    names.push_back((i % 30 == 0 ? "+user" : "user") + std::to_string(i));
                }
            }
            const std::string head = ":irc.bench 353 kolu = " + channel + " :";
            std::string reply = head;
            for (const std::string& name : names) {
                if (reply.size() + name.size() > 400) {
                    m_out += reply + "\r\n";
                    reply = head;
                }
                reply += (reply.size() > head.size() ? " " : "") + name;
            }
            m_out += reply + "\r\n:irc.bench 366 kolu " + channel + " :End of NAMES list\r\n";
            m_out += "PING :" + channel + "\r\n";
        }
    }

    std::string m_floodChannel;
    long m_floodLeft = 0;
    std::map<std::string, Clock::time_point> m_seen;
};

struct Run {
    bool done = false;
    Clock::time_point at;
    Clock::duration longestStall{};
};

// Runs the event loop until `done` holds, checking it from a 1 ms timer whose
// firings also time the loop's turns.
Run runUntil(const std::function<bool()>& done, std::chrono::seconds timeout) {
    Run run;
    QEventLoop loop;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        run.longestStall = std::max(run.longestStall, now - last);
        last = now;
        if (done()) {
            run.done = true;
            run.at = now;
            loop.quit();
        } else if (now - start > timeout) {
            loop.quit();
        }
    });
    probe.start();
    loop.exec();
    return run;
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;  // the figure is in kB
        }
    }
    return 0;
}

// The services every window of the process shares, and servers.txt's lines.
struct Program {
    Services services{dataFolder(), registryFile()};
    bench::SilentSound sound;
    std::string serverLines;

    Program() {
        services.settings.RegZapiszMsg(u"nick", u"kolu", 120);
        services.settings.RegZapiszMsg(u"email", u"me@example.org", 240);
    }
};

Program& program() {
    static Program* shared = new Program;  // lives until exit, like the windows
    return *shared;
}

// A window over the program's services with a flooding server of its own (the
// next line of servers.txt), connected from File > Connect with nickname "kolu".
struct Client {
    Program& program;
    FloodServer server;
    Services& services = program.services;
    std::unique_ptr<MainWindow> window;
    int channels = 0;

    explicit Client(Program& shared) : program(shared) {
        const int position = static_cast<int>(std::count(program.serverLines.begin(),
                                                         program.serverLines.end(), '\n'));
        program.serverLines +=
            "Bench" + std::to_string(position) + "\t127.0.0.1\t" + std::to_string(server.port()) + "\t\r\n";
        writeFileAtomically(serversFilePath(services.settings), program.serverLines, 0600);
        window = std::make_unique<MainWindow>(
            MainWindowServices{{services.settings, services.log, services.sockets, program.sound,
                                services.clock, services.random},
                               services.colours, &services.history});
        window->session().server = position;
        window->show();
        window->handleCommand(MainWindow::kConnectId);
        runUntil(
            [&] { return server.seen("USER") && window->session().state.currentNick == u"kolu"; },
            std::chrono::seconds(30));
    }

    // Types "/join <channel>" and Enter in the input line.
    void join(const std::string& channel) {
        QLineEdit* edit = window->inputLine().editControl();
        const auto key = [edit](int code, const QString& text) {
            QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
            QApplication::sendEvent(edit, &press);
        };
        for (const char c : "/join " + channel) {
            key(0, QString(QChar(c)));
        }
        key(Qt::Key_Return, QString());
    }
    int tab(const std::string& channel) {
        return window->session().tabs.znajdz_zakladke(
            std::u16string(channel.begin(), channel.end()));
    }
    std::size_t members(const std::string& channel) {
        const UserList* list =
            window->session().tabs.pobierz_hwndlist(std::u16string(channel.begin(), channel.end()));
        return list ? list->size() : 0;
    }
    // The server's PING after a flood into `channel` is answered: every line of it handled.
    bool flooded(const std::string& channel) const {
        return server.seen("PONG :flooded" + channel).has_value();
    }
    // Lines go to the stored history (or not) from the next line on.
    void keepHistory(bool on) {
        window->session().output.setHistory(on ? services.history.store() : nullptr);
    }
    // A new channel joined, its replies handled (the PING after them answered) and
    // shown; "" when that doesn't happen.
    std::string newChannel(const std::string& prefix) {
        const std::string channel = prefix + std::to_string(++channels);
        join(channel);
        const Run run = runUntil(
            [&] {
                return server.seen("PONG :" + channel) && tab(channel) > 0 &&
                       window->session().tabs.selected() == tab(channel);
            },
            std::chrono::seconds(30));
        return run.done ? channel : std::string();
    }
};

Client& client() {
    static Client* first = new Client(program());
    return *first;
}

// A second window on a second network, made when first asked for.
Client& secondClient() {
    client();  // the first window keeps the first server
    static Client* second = new Client(program());
    return *second;
}

// The figures of a flood of `lines` that began at `start` and ended with `run`,
// the window thread having spent `cpu` seconds on it.
void recordFlood(benchmark::State& state, long lines, const Run& run, Clock::time_point start,
                 double cpu, double rssBefore) {
    const double wall = milliseconds(run.at - start) / 1000.0;
    state.SetIterationTime(wall);
    state.counters["wall_s"] = wall;
    state.counters["cpu_s"] = cpu;
    state.counters["lines_per_wall_s"] = static_cast<double>(lines) / wall;
    state.counters["lines_per_cpu_s"] = static_cast<double>(lines) / cpu;
    state.counters["stall_ms"] = milliseconds(run.longestStall);
    state.counters["rss_MB"] = residentMegabytes();
    state.counters["rss_growth_MB"] = residentMegabytes() - rssBefore;
}

// N PRIVMSG lines into the joined, selected channel, from the request to the
// server to the client's answer to the PING after the last of them (lines are
// handled in order), with the stored history off (0) or on (1).
void BM_FloodIntoShownChannel(benchmark::State& state) {
    Client& c = client();
    const long count = state.range(0);
    c.keepHistory(state.range(1) != 0);
    for (auto _ : state) {
        const std::string channel = c.newChannel("#flood");
        if (channel.empty()) {
            state.SkipWithError("the channel was not joined");
            break;
        }
        const double rssBefore = residentMegabytes();
        const double cpuBefore = threadCpuSeconds();
        const Clock::time_point start = Clock::now();
        c.server.flood(channel, count);
        const Run run = runUntil([&] { return c.flooded(channel); }, std::chrono::seconds(600));
        const double cpu = threadCpuSeconds() - cpuBefore;
        if (!run.done) {
            state.SkipWithError("the flood did not arrive");
            break;
        }
        recordFlood(state, count, run, start, cpu, rssBefore);
    }
    c.keepHistory(false);
}
BENCHMARK(BM_FloodIntoShownChannel)
    ->ArgsProduct({{100000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

// N lines flooded into a channel of each of two windows at once, each window on
// a server of its own, history off: from the requests to both PINGs after the
// floods answered. `lines_per_wall_s` counts the lines of both.
void BM_FloodTwoWindows(benchmark::State& state) {
    Client& a = client();
    Client& b = secondClient();
    const long count = state.range(0);
    a.keepHistory(false);
    b.keepHistory(false);
    for (auto _ : state) {
        const std::string inA = a.newChannel("#two");
        const std::string inB = b.newChannel("#two");
        if (inA.empty() || inB.empty()) {
            state.SkipWithError("the channels were not joined");
            break;
        }
        const double rssBefore = residentMegabytes();
        const double cpuBefore = threadCpuSeconds();
        const Clock::time_point start = Clock::now();
        a.server.flood(inA, count);
        b.server.flood(inB, count);
        const Run run =
            runUntil([&] { return a.flooded(inA) && b.flooded(inB); }, std::chrono::seconds(600));
        const double cpu = threadCpuSeconds() - cpuBefore;
        if (!run.done) {
            state.SkipWithError("the floods did not arrive");
            break;
        }
        recordFlood(state, 2 * count, run, start, cpu, rssBefore);
    }
}
BENCHMARK(BM_FloodTwoWindows)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

// After a flood of N lines with history on: the channel's tab closed and opened
// again (its last `histreplay` lines shown above the separator), and its view
// scrolled a page at a time from the newest line to the oldest, the pages read
// back from the store as it goes: the longest step and the reads' count.
void BM_ReplayAndScrollBackThroughHistory(benchmark::State& state) {
    Client& c = client();
    const long count = state.range(0);
    c.keepHistory(true);
    for (auto _ : state) {
        const std::string channel = c.newChannel("#scroll");
        c.server.flood(channel, count);
        if (channel.empty() ||
            !runUntil([&] { return c.flooded(channel); }, std::chrono::seconds(600)).done) {
            state.SkipWithError("the flood did not arrive");
            break;
        }
        Session& session = c.window->session();
        const std::u16string name(channel.begin(), channel.end());
        session.tabs.usun_zakladkeT(name);
        c.services.history.writeNow();  // the flood's last lines are not what is timed
        const Clock::time_point opening = Clock::now();
        const int tab = session.tabs.dodaj_zakladke(name);
        state.counters["replay_ms"] = milliseconds(Clock::now() - opening);
        session.tabs.select(tab);
        session.tabs.ZmienZakladke();
        QApplication::processEvents();
        ColorEdit* view = c.window->textView(tab);
        view->setAutoScroll(false);
        Clock::duration longest{};
        long steps = 0;
        // Until the oldest stored line is in view.
        while ((view->lines().olderInSource() || view->scrollPosition() > 0) && steps < 1000000) {
            const Clock::time_point before = Clock::now();
            view->scrollRequest(ScrollRequest::PageUp);
            view->repaint();
            longest = std::max(longest, Clock::now() - before);
            ++steps;
        }
        state.SetIterationTime(milliseconds(longest) / 1000.0);
        state.counters["steps"] = static_cast<double>(steps);
        state.counters["longest_step_ms"] = milliseconds(longest);
        view->setAutoScroll(true);
    }
    c.keepHistory(false);
}
BENCHMARK(BM_ReplayAndScrollBackThroughHistory)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();

// The client's JOIN of a channel whose names reply lists 5,000 users (353 lines
// of at most 400 bytes), answered with the join, the names, the end of the list and a PING:
// the time from the JOIN's arrival at the server to the client's PONG, and to
// the channel's list holding all 5,000.
void BM_JoinWith5000Names(benchmark::State& state) {
    Client& c = client();
    for (auto _ : state) {
        const std::string channel = "#names" + std::to_string(++c.channels);
        c.join(channel);
        const Run listed =
            runUntil([&] { return c.members(channel) == 5000; }, std::chrono::seconds(30));
        const Run answered = runUntil([&] { return c.server.seen("PONG :" + channel).has_value(); },
                                      std::chrono::seconds(30));
        const std::optional<Clock::time_point> joined = c.server.seen("JOIN " + channel);
        if (!listed.done || !answered.done || !joined) {
            state.SkipWithError("the names reply was not handled");
            break;
        }
        const double toPong = milliseconds(*c.server.seen("PONG :" + channel) - *joined);
        state.SetIterationTime(toPong / 1000.0);
        state.counters["to_pong_ms"] = toPong;
        state.counters["to_list_ms"] = milliseconds(listed.at - *joined);
    }
}
BENCHMARK(BM_JoinWith5000Names)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime();

}  // namespace
}  // namespace kolu

int main(int argc, char** argv) {
    return kolu::bench::runOffscreen(argc, argv);
}
