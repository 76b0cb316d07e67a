// A soak of the real main window (offscreen) against a scripted IRC server on
// 127.0.0.1 in a thread of this process: rounds of channel traffic, other
// people's joins, parts, nick changes and quits over 20 channels, query tabs
// opened and closed, and a connection the server drops at the end of each
// round. At every tenth of the run it reports resident memory, heap in use,
// open descriptors, live Qt timers and QObjects and the lines the text views
// keep, then judges whether anything grows after the warm-up that the kept
// lines do not account for. See README.md for what is counted and the figures.
//
//   kolu_soak_bench            the full run (about 2,000,000 channel lines)
//   kolu_soak_bench --short    a twentieth of it, for CI; exits 1 on growth
#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTabBar>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "app/services.h"
#include "bench/loopback_server.h"
#include "bench/offscreen_folder.h"
#include "gui/input_line.h"
#include "gui/main_window.h"
#include "gui/tab_strip.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "resources/shipped_resources.h"
#include "servers/server_list.h"

// Qt's hooks for object inspectors (qhooks_p.h, version 3 in Qt 6.4): a
// callback after each QObject's constructor and at the start of its
// destructor. Index 3 is AddQObject, 4 RemoveQObject.
extern quintptr qtHookData[];

namespace kolu {
namespace {

using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------
// What is measured.

// Every live QObject, so timers can be summed over all of them, parentless
// members (the window's own QTimers, each view's hold timer) included.
class LiveObjects {
  public:
    static LiveObjects& instance() {
        static LiveObjects* shared = new LiveObjects;  // outlives every QObject
        return *shared;
    }
    // Before the QApplication, so every object of the run is seen.
    bool install() {
        if (qtHookData[0] < 1 || qtHookData[1] <= 4) {
            return false;
        }
        qtHookData[3] = reinterpret_cast<quintptr>(&added);
        qtHookData[4] = reinterpret_cast<quintptr>(&removed);
        return true;
    }
    void uninstall() {
        qtHookData[3] = 0;
        qtHookData[4] = 0;
    }
    std::size_t count() {
        const std::lock_guard lock(m_mutex);
        return m_objects.size();
    }
    // Timers registered with this thread's event dispatcher, over every live
    // object of this thread.
    std::size_t timers() {
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        QThread* here = QThread::currentThread();
        const std::lock_guard lock(m_mutex);
        std::size_t total = 0;
        for (QObject* object : m_objects) {
            if (object->thread() == here) {
                total += static_cast<std::size_t>(dispatcher->registeredTimers(object).size());
            }
        }
        return total;
    }

  private:
    static void added(QObject* object) {
        LiveObjects& self = instance();
        const std::lock_guard lock(self.m_mutex);
        self.m_objects.insert(object);
    }
    static void removed(QObject* object) {
        LiveObjects& self = instance();
        const std::lock_guard lock(self.m_mutex);
        self.m_objects.erase(object);
    }

    std::mutex m_mutex;
    std::unordered_set<QObject*> m_objects;
};

long residentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// What malloc has handed out and not had back, over all arenas (the server
// thread's included): exact, where resident memory also holds freed pages the
// allocator keeps.
long heapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>(info.uordblks + info.hblkhd);
}

int openDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) {
        return -1;
    }
    int count = 0;
    while (const dirent* entry = readdir(dir)) {
        count += entry->d_name[0] != '.' ? 1 : 0;
    }
    closedir(dir);
    return count - 1;  // the listing's own descriptor
}

// ---------------------------------------------------------------------------
// The server.

std::string numbered(char letter, long number) {
    char name[16];
    std::snprintf(name, sizeof name, "%c%06ld", letter, number % 1000000);
    return name;
}

// One client at a time on a free 127.0.0.1 port. It welcomes the client,
// answers each JOIN with the join, a topic, a names reply of 40 members and
// `PING :joined <channel>`, and runs what the bench queues: channel churn, a
// query's lines, a PING marker, or a drop of the connection. Each connection's
// traffic comes from the same seed, so every round carries the same text
// (nicknames are numbered on, at one length). Writes as fast as the client reads.
class SoakServer final : public bench::LoopbackServer {
  public:
    static constexpr int kChannels = 20;
    static constexpr int kMembersPerChannel = 40;

    SoakServer() { start(); }
    ~SoakServer() override { stop(); }

    static std::string channelName(int index) { return "#soak" + std::to_string(index + 1); }

    // `lines` PRIVMSGs spread over the channels with `events` joins, parts,
    // nick changes and quits among them, then PING :marker.
    void churn(long lines, long events, const std::string& marker) {
        queue(Job{Job::kChurn, lines, events, {}, marker});
    }
    // `lines` PRIVMSGs into channel `channel` alone, then PING :marker.
    void flood(int channel, long lines, const std::string& marker) {
        queue(Job{Job::kChurn, lines, 0, {}, marker, channel});
    }
    // `lines` private messages from `nick`, then PING :marker.
    void query(const std::string& nick, long lines, const std::string& marker) {
        queue(Job{Job::kQuery, lines, 0, nick, marker});
    }
    // Closes the client's connection once everything queued before is sent.
    void drop() { queue(Job{Job::kDrop, 0, 0, {}, {}}); }

    int connections() const {
        const std::lock_guard lock(m_mutex);
        return m_accepted;
    }
    std::string lastPong() const {
        const std::lock_guard lock(m_mutex);
        return m_lastPong;
    }
    // Channel lines of the churn (not the ones flood() sends).
    long linesSent() const {
        const std::lock_guard lock(m_mutex);
        return m_channelLines;
    }
    long eventsSent() const {
        const std::lock_guard lock(m_mutex);
        return m_events;
    }

  private:
    struct Job {
        enum Kind { kChurn, kQuery, kDrop } kind;
        long lines;
        long events;
        std::string nick;
        std::string marker;
        int channel = -1;  // churn: every channel
    };
    // Who is where on the current connection, by nickname number.
    struct Channels {
        std::vector<std::vector<long>> members{kChannels};
        std::unordered_map<long, std::vector<int>> channelsOf;
        long memberships = 0;
        long events = 0;  // on this connection: the turn of the next event's kind
    };

    void queue(Job job) {
        {
            const std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
        }
        wake();
    }
    void accepted() override {
        ++m_accepted;
        m_net = Channels();
        m_random.seed(20261209);
    }

    // Keeps about 64 KiB waiting for the client while jobs are queued.
    void fill() override {
        if (m_sent > 0 && m_out.size() - m_sent < 65536) {
            m_out.erase(0, m_sent);
            m_sent = 0;
        }
        while (!m_jobs.empty() && m_out.size() < 65536) {
            Job& job = m_jobs.front();
            if (job.kind == Job::kDrop) {
                if (!m_out.empty()) {
                    return;  // sent first
                }
                m_jobs.pop_front();
                hangUp();
                return;
            }
            while ((job.lines > 0 || job.events > 0) && m_out.size() < 131072) {
                if (job.kind == Job::kQuery) {
                    m_out += ":" + job.nick + "!q@soak.example PRIVMSG kolu :" + text(40) + "\r\n";
                    --job.lines;
                } else if (job.events > 0 &&
                           (job.lines == 0 || m_random() % (job.lines + job.events) <
                                                  static_cast<unsigned long>(job.events))) {
                    event();
                    --job.events;
                } else {
                    message(job.channel);
                    --job.lines;
                }
            }
            if (job.lines == 0 && job.events == 0) {
                m_out += "PING :" + job.marker + "\r\n";
                m_jobs.pop_front();
            }
        }
    }

    // Words of lower-case letters, about `length` bytes, one in 16 lines with
    // a bold word and one in 16 with a coloured one.
    std::string text(std::size_t length) {
        std::string out;
        const unsigned style = m_random() % 16;
        while (out.size() < length) {
            std::string word;
            for (unsigned n = 2 + m_random() % 8; n > 0; --n) {
                word += static_cast<char>('a' + m_random() % 26);
            }
            if (out.empty() && style == 0) {
                word = "\x02" + word + "\x02";
            } else if (out.empty() && style == 1) {
                word = std::string("\x03") + "04" + word + "\x03";
            }
            out += (out.empty() ? "" : " ") + word;
        }
        return out;
    }
    static std::string source(long nick) { return ":" + numbered('n', nick) + "!u@soak.example"; }
    long newNick() { return ++m_nicks; }

    void join(long nick, int channel) {
        m_net.members[channel].push_back(nick);
        m_net.channelsOf[nick].push_back(channel);
        ++m_net.memberships;
    }
    void leave(long nick, int channel) {
        std::vector<long>& members = m_net.members[channel];
        members.erase(std::find(members.begin(), members.end(), nick));
        std::vector<int>& in = m_net.channelsOf[nick];
        in.erase(std::find(in.begin(), in.end(), channel));
        if (in.empty()) {
            m_net.channelsOf.erase(nick);
        }
        --m_net.memberships;
    }
    // A member of the channel; 0 when it has none.
    long anyMember(int channel) {
        const std::vector<long>& members = m_net.members[channel];
        return members.empty() ? 0 : members[m_random() % members.size()];
    }

    // A PRIVMSG of 80-120 bytes (CR LF included) from a member of `only` or of
    // any channel.
    void message(int only) {
        const int channel = only >= 0 ? only : static_cast<int>(m_random() % kChannels);
        if (m_net.members[channel].empty()) {
            return;
        }
        m_channelLines += only < 0 ? 1 : 0;
        const std::string head =
            source(anyMember(channel)) + " PRIVMSG " + channelName(channel) + " :";
        const std::size_t length = 78 + m_random() % 41;
        m_out += head + text(length > head.size() + 8 ? length - head.size() : 8) + "\r\n";
    }

    // A join, part, nick change or quit in a channel, turn by turn, keeping
    // the channels near 40 members each.
    void event() {
        const int channel = static_cast<int>(m_random() % kChannels);
        const std::string name = channelName(channel);
        const long target = kChannels * kMembersPerChannel;
        const bool few = m_net.members[channel].size() < kMembersPerChannel / 2;
        int kind = static_cast<int>(m_net.events++ % 4);  // join, part, nick, quit
        if (few) {
            kind = 0;
        } else if (kind == 0 && m_net.memberships > target + target / 5) {
            kind = 1;
        } else if (kind == 3 && m_net.memberships < target) {
            kind = 0;
        }
        ++m_events;
        if (kind == 0) {
            // Half the newcomers are already in another channel.
            long nick = newNick();
            if (m_random() % 2 == 0) {
                const long other = anyMember(static_cast<int>(m_random() % kChannels));
                const std::vector<long>& here = m_net.members[channel];
                if (other > 0 && std::find(here.begin(), here.end(), other) == here.end()) {
                    nick = other;
                }
            }
            join(nick, channel);
            m_out += source(nick) + " JOIN " + name + "\r\n";
            return;
        }
        const long nick = anyMember(channel);
        if (kind == 1) {
            leave(nick, channel);
            m_out += source(nick) + " PART " + name + " :see you\r\n";
        } else if (kind == 2) {
            const long renamed = newNick();
            const std::vector<int> in = m_net.channelsOf[nick];
            for (const int c : in) {
                leave(nick, c);
                join(renamed, c);
            }
            m_out += source(nick) + " NICK :" + numbered('n', renamed) + "\r\n";
        } else {
            const std::vector<int> in = m_net.channelsOf[nick];
            for (const int c : in) {
                leave(nick, c);
            }
            m_out += source(nick) + " QUIT :Quit: " + text(12) + "\r\n";
        }
    }

    void answer(const std::string& line) override {
        const std::size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        const std::string last = rest.substr(
            rest.rfind(':') == std::string::npos ? rest.rfind(' ') + 1 : rest.rfind(':') + 1);
        if (command == "CAP") {
            m_out += ":irc.soak 421 * CAP :Unknown command\r\n";
        } else if (command == "USER") {
            welcome();
        } else if (command == "PING") {
            m_out += ":irc.soak PONG irc.soak :" + last + "\r\n";
        } else if (command == "PONG") {
            m_lastPong = last;
        } else if (command == "JOIN") {
            for (int c = 0; c < kChannels; ++c) {
                if (rest == channelName(c)) {
                    joined(c);
                }
            }
        }
    }

    void welcome() {
        m_out +=
            ":irc.soak 001 kolu :Welcome to the soak network kolu\r\n"
            ":irc.soak 002 kolu :Your host is irc.soak\r\n"
            ":irc.soak 003 kolu :This server was created today\r\n"
            ":irc.soak 004 kolu irc.soak soak-1 iow bklmnopstv\r\n"
            ":irc.soak 005 kolu CHANTYPES=# PREFIX=(ov)@+ NETWORK=Soak :are supported\r\n"
            ":irc.soak 375 kolu :- irc.soak Message of the day -\r\n"
            ":irc.soak 372 kolu :- Lines, joins, parts and quits, over and over.\r\n"
            ":irc.soak 376 kolu :End of MOTD\r\n";
    }

    // The client's own join: 40 members, a third of them from other channels.
    void joined(int channel) {
        const std::string name = channelName(channel);
        std::vector<long>& members = m_net.members[channel];
        std::string names = "@kolu";
        while (members.size() < kMembersPerChannel) {
            long nick = newNick();
            if (m_random() % 3 == 0 && channel > 0) {
                const long other = anyMember(static_cast<int>(m_random() % channel));
                if (other > 0 &&
                    std::find(members.begin(), members.end(), other) == members.end()) {
                    nick = other;
                }
            }
            join(nick, channel);
            const unsigned rank = m_random() % 20;
            names += std::string(" ") +
                     (rank == 0  ? "@"
                      : rank < 3 ? "+"
                                 : "") +
                     numbered('n', nick);
        }
        m_out += ":kolu!me@soak.example JOIN " + name + "\r\n";
        m_out += ":irc.soak 332 kolu " + name + " :" + text(60) + "\r\n";
        m_out += ":irc.soak 353 kolu = " + name + " :" + names + "\r\n";
        m_out += ":irc.soak 366 kolu " + name + " :End of NAMES list\r\n";
        m_out += "PING :joined " + name + "\r\n";
    }

    std::mt19937 m_random;
    Channels m_net;
    long m_nicks = 0;

    std::deque<Job> m_jobs;
    int m_accepted = 0;
    std::string m_lastPong;
    long m_channelLines = 0;
    long m_events = 0;
};

// ---------------------------------------------------------------------------
// The run.

struct Plan {
    int rounds;          // one connection each; a multiple of 10
    long linesPerRound;  // channel lines
    long eventsPerRound;
    int queriesPerRound;
    int warmupRounds;    // the baseline is taken at their end
    long measuredLines;  // for the bytes per kept line, after the baseline
};

constexpr Plan kFull{100, 20000, 500, 5, 20, 200000};
constexpr Plan kShort{10, 10000, 250, 3, 2, 50000};

// Growth after the warm-up that the kept lines do not account for, allowed
// for noise: malloc's own bookkeeping, Qt's caches (glyphs, pixmaps), and the
// status tab's lines (names replies among them) running longer than the
// channel lines the bytes per kept line come from. The full run leaves about
// 0.25 MiB of that; a leak of 100 KB a round still fails the short run.
constexpr long kHeapSlack = 512L << 10;
// Resident pages also follow fragmentation: freed blocks the allocator keeps.
constexpr long kResidentSlack = 4L << 20;

struct Sample {
    int percent;
    double seconds;
    long channelLines;
    long events;
    int queries;
    int reconnects;
    long keptLines;
    long storeBytes;  // what the tabs' line stores count as theirs
    int tabs;
    long resident;
    long heap;
    int descriptors;
    std::size_t timers;
    std::size_t objects;
};

class Timeout : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Turns the event loop until `done` holds, checking it from a 2 ms timer.
void runUntil(const std::function<bool()>& done, const std::string& what,
              std::chrono::seconds timeout = std::chrono::seconds(60)) {
    if (done()) {
        return;
    }
    QEventLoop loop;
    QTimer probe;
    probe.setInterval(2);
    const Clock::time_point start = Clock::now();
    bool held = false;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (done()) {
            held = true;
            loop.quit();
        } else if (Clock::now() - start > timeout) {
            loop.quit();
        }
    });
    probe.start();
    loop.exec();
    if (!held) {
        throw Timeout("timed out waiting for " + what);
    }
}

// The window over the real services, the server named in servers.txt.
class Soak {
  public:
    explicit Soak(const Plan& plan) : m_plan(plan) {
        Settings& settings = m_services.settings;
        writeFileAtomically(serversFilePath(settings),
                            "Soak\t127.0.0.1\t" + std::to_string(m_server.port()) + "\t\r\n", 0600);
        settings.RegZapiszMsg(u"nick", u"kolu", 120);
        settings.RegZapiszMsg(u"email", u"me@example.org", 240);
        settings.RegZapiszLONG(u"reconnect", 1);
        // Twenty JOINs a round: paced 20 ms apart after the burst instead of 2 s.
        settings.RegZapiszLONG(u"sendpace", 20);
        // Every scripted stranger's query opens its tab rather than the status
        // tab taking its lines past 10 new queries per 30 s.
        settings.RegZapiszLONG(u"qlimit", 1000);
        m_window = std::make_unique<MainWindow>(
            MainWindowServices{{settings, m_services.log, m_services.sockets, m_sound,
                                m_services.clock, m_services.random},
                               m_services.colours});
        m_window->show();
    }
    ~Soak() { m_window.reset(); }

    // Heap bytes per kept line: the heap in use grown by lines into one
    // channel, over those lines, measured once during the warm-up.
    double bytesPerLine() const { return m_bytesPerLine; }

    static void printHeader() {
        std::printf(
            "| At | Time s | Channel lines | Events | Queries | Reconnects | Kept lines | "
            "Stores MiB | Tabs | RSS MiB | Heap MiB | FDs | Timers | QObjects |\n");
        std::printf(
            "| --- | --- | --- | --- | --- | --- | --- | --- | --- | --- | --- | --- | --- | "
            "--- |\n");
        std::fflush(stdout);
    }
    static void print(const Sample& s) {
        std::printf(
            "| %d%% | %.1f | %ld | %ld | %d | %d | %ld | %.2f | %d | %.1f | %.2f | %d | %zu | "
            "%zu |\n",
            s.percent, s.seconds, s.channelLines, s.events, s.queries, s.reconnects, s.keptLines,
            static_cast<double>(s.storeBytes) / 1048576.0, s.tabs,
            static_cast<double>(s.resident) / 1048576.0, static_cast<double>(s.heap) / 1048576.0,
            s.descriptors, s.timers, s.objects);
        std::fflush(stdout);
    }

    // The run; the samples at each tenth. A wait that times out ends it, with
    // the status tab's last lines to tell why.
    std::vector<Sample> run() {
        try {
            return play();
        } catch (const Timeout& timeout) {
            std::string why = timeout.what();
            const TextLines* status = session().tabs.pobierz_hwndtxtbiez(0);
            const std::size_t count = status ? status->lineCount() : 0;
            for (std::size_t i = count > 8 ? count - 8 : 0; i < count; ++i) {
                why +=
                    "\n  status: " + QString::fromStdU16String(status->line(i).text).toStdString();
            }
            throw Timeout(why);
        }
    }

  private:
    std::vector<Sample> play() {
        m_start = Clock::now();
        m_window->handleCommand(MainWindow::kConnectId);
        awaitLogin(1);
        const int tenth = m_plan.rounds / 10;
        for (int round = 0; round < m_plan.rounds; ++round) {
            playRound();
            if ((round + 1) % tenth == 0) {
                settle();
                m_samples.push_back(sample((round + 1) / tenth * 10));
                print(m_samples.back());
            }
            if (round + 1 == tenth) {
                measureBytesPerLine();
            }
            reconnect(round + 1);
        }
        return m_samples;
    }

    Session& session() { return m_window->session(); }
    int tab(const std::string& name) {
        return session().tabs.znajdz_zakladke(std::u16string(name.begin(), name.end()));
    }
    long keptLines() {
        long total = 0;
        for (int i = 0; i < session().tabs.count(); ++i) {
            if (const TextLines* text = session().tabs.pobierz_hwndtxtbiez(i)) {
                total += static_cast<long>(text->lineCount());
            }
        }
        return total;
    }

    // Typed into the input line, then Enter.
    void type(const std::string& line) {
        QLineEdit* edit = m_window->inputLine().editControl();
        for (const char c : line) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(c)));
            QApplication::sendEvent(edit, &press);
        }
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(edit, &enter);
    }

    std::string marker() { return "m" + std::to_string(++m_markers); }
    void awaitMarker(const std::string& marker) {
        runUntil([&] { return m_server.lastPong() == marker; }, "PONG :" + marker);
    }

    void awaitLogin(int connection) {
        runUntil(
            [&] {
                return m_server.connections() == connection &&
                       session().state.currentNick == u"kolu";
            },
            "login " + std::to_string(connection));
    }

    void playRound() {
        for (int c = 0; c < SoakServer::kChannels; ++c) {
            type("/join " + SoakServer::channelName(c));
        }
        const std::string last = SoakServer::channelName(SoakServer::kChannels - 1);
        runUntil([&] { return m_server.lastPong() == "joined " + last && tab(last) > 0; },
                 "the joins");
        const int segments = m_plan.queriesPerRound + 1;
        for (int s = 0; s < segments; ++s) {
            const std::string done = marker();
            m_server.churn(
                m_plan.linesPerRound / segments + (s == 0 ? m_plan.linesPerRound % segments : 0),
                m_plan.eventsPerRound / segments + (s == 0 ? m_plan.eventsPerRound % segments : 0),
                done);
            awaitMarker(done);
            clickChannel(s);
            if (s < m_plan.queriesPerRound) {
                openAndCloseQuery(s);
            }
        }
        walkTabs();
    }

    // A click on the label of a channel in sight in the label row (the
    // turn-th of them, round the row), as a user picks a tab.
    void clickChannel(int turn) {
        QTabBar* row = m_window->tabStrip().labelRow();
        std::vector<QPoint> inSight;
        for (int i = 1; i < row->count(); ++i) {
            const QPoint center = row->tabRect(i).center();
            if (row->rect().contains(center) && row->tabText(i).startsWith(u'#')) {
                inSight.push_back(center);
            }
        }
        if (inSight.empty()) {
            return;
        }
        const QPoint at = inSight[static_cast<std::size_t>(turn) % inSight.size()];
        QMouseEvent press(QEvent::MouseButtonPress, at, row->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, row->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(row, &release);
    }

    // Every tab shown in turn with the arrow keys in the input line: Left to
    // the status tab, then Right to the last, the events handled after each
    // key so the view shown paints. A view keeps an image of its size once it
    // has painted, until its tab goes: after the walk every tab's view has one,
    // whichever the clicks happened to show, so the samples compare.
    void walkTabs() {
        QLineEdit* edit = m_window->inputLine().editControl();
        auto arrow = [&](Qt::Key key) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(edit, &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
            QApplication::sendEvent(edit, &release);
            for (int pass = 0; pass < 3; ++pass) {
                QCoreApplication::processEvents();
            }
        };
        const int count = session().tabs.count();
        for (int i = 0; i < count && session().tabs.selected() > 0; ++i) {
            arrow(Qt::Key_Left);
        }
        for (int i = 0; i < count && session().tabs.selected() + 1 < count; ++i) {
            arrow(Qt::Key_Right);
        }
        if (session().tabs.selected() != count - 1) {
            throw Timeout("the arrow keys did not walk the tabs");
        }
    }

    // A query tab: opened by "/query nick" (odd turns) or by the nick's first
    // message (even turns), given 10 lines, then closed with its label's "Close tab".
    void openAndCloseQuery(int turn) {
        const std::string nick = numbered('q', ++m_queries);
        if (turn % 2 == 1) {
            type("/query " + nick);
        }
        const std::string done = marker();
        m_server.query(nick, 10, done);
        awaitMarker(done);
        const int index = tab(nick);
        if (index <= 0) {
            throw Timeout("no tab for the query of " + nick);
        }
        QTabBar* row = m_window->tabStrip().labelRow();
        auto stop = std::make_shared<bool>(false);
        chooseFromNextMenu(kCloseTabId, stop, 500);
        const QPoint at = row->tabRect(index).center();
        QContextMenuEvent tap(QContextMenuEvent::Mouse, at, row->mapToGlobal(at));
        QApplication::sendEvent(row, &tap);
        *stop = true;
        runUntil([&] { return tab(nick) < 0; }, "the query of " + nick + " to close");
    }

    static constexpr int kCloseTabId = 40499;
    // Answers the next popup menu with the item whose data is `id`, as Enter
    // on it; gives up after `turnsLeft` tries or once `stop` is set.
    static void chooseFromNextMenu(int id, std::shared_ptr<bool> stop, int turnsLeft) {
        QTimer::singleShot(5, [id, stop, turnsLeft] {
            if (*stop) {
                return;
            }
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) {
                if (turnsLeft > 0) {
                    chooseFromNextMenu(id, stop, turnsLeft - 1);
                }
                return;
            }
            for (QAction* action : menu->actions()) {
                if (action->data().toInt() == id) {
                    menu->setActiveAction(action);
                    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                    QApplication::sendEvent(menu, &enter);
                    return;
                }
            }
            menu->close();
        });
    }

    // The server drops the client. The client sees it at its next poll tick
    // and, the connection having been short, announces a retry in 5 s. Every
    // fifth time that retry is awaited; otherwise File > Connect ends the wait
    // and a second Connect connects at once (which also starts the next wait
    // at 5 s again).
    void reconnect(int connection) {
        m_server.drop();
        runUntil(
            [&] {
                return m_server.connections() > connection || session().state.retryTimerRunning;
            },
            "the client to see the drop");
        if (m_server.connections() == connection && connection % 5 != 1) {
            m_window->handleCommand(MainWindow::kConnectId);
            if (session().state.retryTimerRunning) {
                throw Timeout("Connect did not end the retry wait");
            }
            m_window->handleCommand(MainWindow::kConnectId);
        }
        awaitLogin(connection + 1);
        ++m_reconnects;
    }

    // After the first tenth's sample, before the reconnect that frees them:
    // lines into the shown channel, and the heap in use before and after.
    // Within the warm-up, so the resident pages they leave behind are in the
    // baseline.
    void measureBytesPerLine() {
        const int channel = SoakServer::kChannels - 1;  // the tab the walk ended on
        const long heapBefore = heapBytes();
        const long keptBefore = keptLines();
        const std::string done = marker();
        m_server.flood(channel, m_plan.measuredLines, done);
        awaitMarker(done);
        settle();
        const long lines = keptLines() - keptBefore;
        m_bytesPerLine =
            lines > 0 ? static_cast<double>(heapBytes() - heapBefore) / static_cast<double>(lines)
                      : 0;
    }

    // Pending events handled and removed windows deleted, so samples taken at
    // the same point of a round compare. Three passes: a widget deleted in one
    // leaves objects of its own to be deleted later still.
    void settle() {
        for (int pass = 0; pass < 3; ++pass) {
            const Clock::time_point until = Clock::now() + std::chrono::milliseconds(20);
            while (Clock::now() < until) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    Sample sample(int percent) {
        Sample s{};
        s.percent = percent;
        s.seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
        s.channelLines = m_server.linesSent();
        s.events = m_server.eventsSent();
        s.queries = m_queries;
        s.reconnects = m_reconnects;
        s.keptLines = keptLines();
        for (int i = 0; i < session().tabs.count(); ++i) {
            if (const TextLines* text = session().tabs.pobierz_hwndtxtbiez(i)) {
                s.storeBytes += static_cast<long>(text->memoryBytes());
            }
        }
        s.tabs = session().tabs.count();
        s.resident = residentBytes();
        s.heap = heapBytes();
        s.descriptors = openDescriptors();
        s.timers = LiveObjects::instance().timers();
        s.objects = LiveObjects::instance().count();
        return s;
    }

  private:
    Plan m_plan;
    SoakServer m_server;
    Services m_services{dataFolder(), registryFile()};
    bench::SilentSound m_sound;
    std::unique_ptr<MainWindow> m_window;
    Clock::time_point m_start;
    std::vector<Sample> m_samples;
    long m_markers = 0;
    long m_queries = 0;
    int m_reconnects = 0;
    double m_bytesPerLine = 0;
};

// Every sample after the baseline (the end of the warm-up) against it: no
// more descriptors, timers or objects, and memory grown by at most what the
// lines kept since then hold, plus the slack. Prints each failure; true when
// there is none.
bool judge(const std::vector<Sample>& samples, const Plan& plan, double bytesPerLine) {
    const int baseIndex = plan.warmupRounds * 10 / plan.rounds - 1;
    const Sample& base = samples.at(static_cast<std::size_t>(baseIndex));
    std::printf("\nBytes per kept line (heap growth over %ld lines into one channel): %.0f\n",
                plan.measuredLines, bytesPerLine);
    std::printf("Baseline: the sample at %d%%\n", base.percent);
    bool ok = true;
    for (std::size_t i = static_cast<std::size_t>(baseIndex) + 1; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        const double kept = static_cast<double>(std::max(0L, s.keptLines - base.keptLines));
        const long allowance = static_cast<long>(kept * bytesPerLine);
        auto fail = [&](const char* what, double now, double then, const char* unit) {
            std::printf("GROWS at %d%%: %s %.1f%s, %.1f%s at the baseline\n", s.percent, what, now,
                        unit, then, unit);
            ok = false;
        };
        if (s.descriptors > base.descriptors) {
            fail("open descriptors", s.descriptors, base.descriptors, "");
        }
        if (s.timers > base.timers) {
            fail("live timers", static_cast<double>(s.timers), static_cast<double>(base.timers),
                 "");
        }
        if (s.objects > base.objects) {
            fail("live QObjects", static_cast<double>(s.objects), static_cast<double>(base.objects),
                 "");
        }
        if (s.heap - base.heap > allowance + kHeapSlack) {
            fail("heap in use (MiB)", static_cast<double>(s.heap) / 1048576.0,
                 static_cast<double>(base.heap) / 1048576.0, "");
        }
        if (s.resident - base.resident > allowance + kResidentSlack) {
            fail("resident memory (MiB)", static_cast<double>(s.resident) / 1048576.0,
                 static_cast<double>(base.resident) / 1048576.0, "");
        }
    }
    const Sample& end = samples.back();
    std::printf(
        "From the baseline to the end: kept lines %+ld (%.2f MiB at %.0f bytes each; the "
        "stores count %+.2f MiB), heap %+.2f MiB, RSS %+.2f MiB, FDs %+d, timers %+ld, "
        "QObjects %+ld\n",
        end.keptLines - base.keptLines,
        static_cast<double>(end.keptLines - base.keptLines) * bytesPerLine / 1048576.0,
        bytesPerLine, static_cast<double>(end.storeBytes - base.storeBytes) / 1048576.0,
        static_cast<double>(end.heap - base.heap) / 1048576.0,
        static_cast<double>(end.resident - base.resident) / 1048576.0,
        end.descriptors - base.descriptors,
        static_cast<long>(end.timers) - static_cast<long>(base.timers),
        static_cast<long>(end.objects) - static_cast<long>(base.objects));
    std::printf("%s\n", ok ? "Flat after the warm-up." : "Something grows after the warm-up.");
    return ok;
}

int soak(int argc, char** argv) {
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--short") == 0) {
            quick = true;
        } else {
            std::fprintf(stderr, "usage: %s [--short]\n", argv[0]);
            return 2;
        }
    }
    const Plan& plan = quick ? kShort : kFull;
    if (!LiveObjects::instance().install()) {
        std::fprintf(stderr, "Qt's object hooks are not available\n");
        return 2;
    }
    const bench::OffscreenFolder folder;
    if (!folder.made()) {
        return 2;
    }
    // The offscreen platform says so at every popup menu.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        if (!message.startsWith(QStringLiteral("This plugin does not support"))) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
        }
    });
    int result = 0;
    {
        QApplication app(argc, argv);
        koluInitResources();
        std::printf(
            "Soak (%s): %d rounds of %ld channel lines, %ld events and %d queries over "
            "%d channels, one reconnect each\n\n",
            quick ? "short" : "full", plan.rounds, plan.linesPerRound, plan.eventsPerRound,
            plan.queriesPerRound, SoakServer::kChannels);
        Soak::printHeader();
        try {
            Soak run(plan);
            const std::vector<Sample> samples = run.run();
            result = judge(samples, plan, run.bytesPerLine()) ? 0 : 1;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "soak: %s\n", error.what());
            result = 2;
        }
    }
    LiveObjects::instance().uninstall();
    return result;
}

}  // namespace
}  // namespace kolu

int main(int argc, char** argv) {
    return kolu::soak(argc, argv);
}
