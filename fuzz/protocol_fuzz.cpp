// Arbitrary server bytes through the client's whole inbound path: one session
// over fakes (no real socket), connected and logged in, its poll tick reading
// the bytes in chunks through the framing, the tokeniser and the real dispatcher
// into the handlers, tabs, user lists, logs and the command line.
//
// Input: byte 0 switches settings (bit 0 show_adr, 1 short_jp, 2 rejoin,
// 3 skipmotd, 4 hideping, 5 tstamps, 6 the conversation logs, 7 the ignore and
// highlight lists); byte 1 the start (bit 0: logged in with channels joined, else
// still logging in), the nickname prompt's answer (bits 1-2), the ban-list pick
// (bits 3-4), the notify list (bit 5), a waiting "ban by host" on bob in #chan
// (bit 6) and a typed /ison (bit 7); bytes 2-4 the sizes of the chunks the
// rest is read in, in turn (1-256, 1-1021 and 1-16 bytes, the last from byte 4's
// low bits), so UTF-8 sequences and CR LF pairs get split across reads. Byte 4's
// bits 4-5 pick the account login (none, PLAIN, SCRAM-SHA-256 with the nonce
// "fuzznonce", EXTERNAL) and bit 6 makes it required. The server's bytes end at the first of two
// markers: after 0xFF 0xFE comes a line the user then types (its first byte
// picks the tab; several lines are a paste), after 0xFF 0xFD the ignore,
// highlight and notify lists (NUL between them) in place of the defaults. Each
// input starts from a fresh session, so a finding reproduces from its input alone.
//
// After every chunk it checks that tab 0 is the status tab and that the pending
// text is within its buffer; every 16 chunks and at the end also that every
// channel's user list is in its order and finds each of its rows as a linear
// search would, that each tab's newest line shows no control character and
// keeps its styled runs inside it, and that every log file a tab would get lies directly in the
// sandbox folder; now and then and at exit, that no file was written anywhere in
// the sandbox but that folder; at the end, that the login's password and its
// PLAIN payload show in no tab unless the server's bytes held them. The sanitizers catch the rest.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/input_line_model.h"
#include "connection/session.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/sound.h"
#include "platform/text.h"
#include "protocol/dispatcher.h"
#include "protocol/query_replies.h"
#include "protocol/sasl.h"
#include "settings/colour_table.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "settings/string_value.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_host.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/fixed_metrics.h"
#include "ui/formatting.h"
#include "ui/host.h"
#include "ui/user_list.h"

namespace {

using namespace kolu;

// Removes the sandbox before a broken invariant aborts the process.
void (*g_beforeAbort)() = nullptr;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "protocol_fuzz: broken: %s\n", what);
        if (g_beforeAbort) {
            g_beforeAbort();
        }
        std::abort();
    }
}

// The one folder of the process: the settings store, servers.txt, errors.log and
// the conversation logs all live in home(). HOME and the XDG folders point into
// the sandbox around it, so a file written anywhere but home() shows in the scan.
class Sandbox {
  public:
    Sandbox() {
        namespace fs = std::filesystem;
        const char* tmp = std::getenv("TMPDIR");
        std::error_code error;
        // A memory-backed folder when there is one: the store syncs every commit.
        std::string base = tmp && *tmp ? tmp
                           : fs::is_directory("/dev/shm", error)
                               ? "/dev/shm"
                               : fs::temp_directory_path().string();
        removeStale(base);
        std::string pattern = base + "/" + kPrefix + std::to_string(getpid()) + "-XXXXXX";
        require(mkdtemp(pattern.data()) != nullptr, "a sandbox folder");
        m_root = pattern + "/";
        m_home = m_root + "home/";
        for (const char* folder : {"home", "around/config", "around/data", "around/runtime"}) {
            fs::create_directories(m_root + folder);
        }
        setenv("HOME", (m_root + "around").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_root + "around/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_root + "around/data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (m_root + "around/runtime").c_str(), 1);
    }

    const std::string& home() const { return m_home; }

    // A file name right inside home(), not a way out of it.
    bool holdsDirectly(std::string_view path) const {
        if (!path.starts_with(m_home)) {
            return false;
        }
        const std::string_view name = path.substr(m_home.size());
        return !name.empty() && name != "." && name != ".." &&
               name.find('/') == std::string_view::npos &&
               name.find('\0') == std::string_view::npos;
    }

    // Nothing but plain files in home(), and no file at all around it.
    void checkNothingOutside() const {
        namespace fs = std::filesystem;
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_root, error)) {
            const std::string name = entry.path().filename().string();
            if (name != "home" && name != "around") {
                std::fprintf(stderr, "protocol_fuzz: written outside: %s\n", name.c_str());
                std::abort();
            }
        }
        for (const fs::directory_entry& entry :
             fs::recursive_directory_iterator(m_root + "around", error)) {
            if (!entry.is_directory()) {
                std::fprintf(stderr, "protocol_fuzz: written outside: %s\n", entry.path().c_str());
                std::abort();
            }
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(m_home, error)) {
            if (!entry.is_regular_file()) {
                std::fprintf(stderr, "protocol_fuzz: not a plain file: %s\n", entry.path().c_str());
                std::abort();
            }
        }
        require(!error, "the sandbox can be listed");
    }

    // Removes the logs (conversation and error logs), keeping the store and servers.txt.
    void clearLogs() const {
        namespace fs = std::filesystem;
        std::error_code error;
        std::vector<fs::path> logs;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_home, error)) {
            const std::string name = entry.path().filename().string();
            if (name != "servers.txt" && !name.starts_with("registry")) {
                logs.push_back(entry.path());
            }
        }
        for (const fs::path& log : logs) {
            fs::remove(log, error);
        }
    }

    void remove() const {
        std::error_code error;
        std::filesystem::remove_all(m_root, error);
    }

  private:
    static constexpr char kPrefix[] = "kolu-pfuzz-";

    // Sandboxes of earlier runs that crashed (their process is gone): a crash
    // skips the clean-up at exit, and minimising a crash crashes many times.
    static void removeStale(const std::string& base) {
        namespace fs = std::filesystem;
        std::error_code error;
        std::vector<fs::path> stale;
        for (const fs::directory_entry& entry : fs::directory_iterator(base, error)) {
            const std::string name = entry.path().filename().string();
            if (!name.starts_with(kPrefix)) {
                continue;
            }
            const long pid = std::strtol(name.c_str() + sizeof kPrefix - 1, nullptr, 10);
            if (pid > 0 && pid != getpid() && kill(static_cast<pid_t>(pid), 0) != 0 &&
                errno == ESRCH) {
                stale.push_back(entry.path());
            }
        }
        for (const fs::path& path : stale) {
            fs::remove_all(path, error);
        }
    }

    std::string m_root;
    std::string m_home;
};

// The user list's own order: keys compared unit by unit with case folded.
int compareKeys(std::u16string_view a, std::u16string_view b) {
    const auto fold = [](char16_t c) -> char16_t {
        return c < 0x80 ? ((c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c)
                        : foldCase(c);
    };
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (fold(a[i]) != fold(b[i])) {
            return fold(a[i]) < fold(b[i]) ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Sorted, and a search for a row's nickname finds what a walk from the top would.
// The newest line as the view shows it: no control character left to draw,
// its runs in order inside the text.
void checkShownLine(const TextLines::Line& line) {
    require(!hasControlCharacters(line.text), "no control character is shown");
    std::size_t end = 0;
    for (const StyleRun& run : line.runs) {
        require(run.length > 0 && run.start >= end && run.start + run.length <= line.text.size(),
                "styled runs in order inside the line");
        end = run.start + run.length;
    }
}

void checkUserList(const UserList& list) {
    const std::size_t count = list.size();
    for (std::size_t i = 1; i < count; ++i) {
        require(compareKeys(list.at(i - 1).sortKey, list.at(i).sortKey) <= 0, "user list in order");
    }
    const MemberRanks& ranks = list.ranks();
    const auto shown = [&](std::size_t i) {
        return ranks.strip(cutAtWholeChar(list.at(i).label, UserList::kLabelReadLength));
    };
    const std::size_t step = count / 24 + 1;  // a sample keeps big lists cheap
    for (std::size_t row = 0; row < count; row += step) {
        const std::u16string asked(shown(row));
        const std::u16string_view wanted = ranks.strip(asked);
        int first = -1;
        for (std::size_t i = 0; i < count && !wanted.empty(); ++i) {
            if (equalsIgnoreCase(shown(i), wanted)) {
                first = static_cast<int>(i);
                break;
            }
        }
        require(list.find(asked) == first, "user list search finds the first match");
        require(list.contains(asked) == (first >= 0), "user list membership matches its rows");
    }
}

// The fake socket layer with a connect that succeeds at once, so the session
// connects, logs in and reconnects without any real socket.
class ConnectingSockets final : public test::FakeSocketLayer {
  public:
    ConnectingSockets() { acceptSends = true; }
    SocketHandle openTcp() override { return 7; }
    int setNonBlocking(SocketHandle, bool) override { return 0; }
    std::optional<SocketAddress> resolve(std::string_view) override {
        return SocketAddress::ipv4(127, 0, 0, 1);
    }
    int connect(SocketHandle, const SocketAddress&, std::uint16_t) override { return 0; }
    int closeSocket(SocketHandle) override { return 0; }
};

class SilentSound final : public SoundPlayer {
  public:
    int playFileAsync(const std::string&) override { return 0; }
};

// Answers the prompts as the input's byte 1 says; remembers the ban-list timer so
// the loop can fire it as the main window would. A modal prompt runs the event
// loop, so the poll timer can fire inside it: `whileModal` plays that. (The rest
// of the host is the tests' recording fake; a fresh one serves each input.)
class ScriptedHost final : public test::FakeHost {
  public:
    explicit ScriptedHost(std::uint8_t script) : m_script(script) {}

    bool banListDue = false;
    std::function<void()> whileModal;

    bool startTimer(TimerId id, int) override {
        banListDue = banListDue || id == kBanListTimer;
        return true;
    }
    bool stopTimer(TimerId id) override {
        banListDue = banListDue && id != kBanListTimer;
        return true;
    }
    void messageBox(std::u16string_view text, std::u16string_view title) override {
        modal();
        FakeHost::messageBox(text, title);
    }
    std::optional<std::u16string> promptOneField(int, std::u16string_view,
                                                 std::u16string_view) override {
        modal();
        switch ((m_script >> 1) & 3) {
            case 0:
                return std::nullopt;
            case 1:
                return u"me2";
            case 2:
                return u"";
            default:
                return std::u16string(300, u'\u0142');  // longer than any buffer
        }
    }
    // The dialog only offers the listed entries: an answer is always one of them.
    std::optional<int> pickFromList(int, std::u16string_view, std::u16string_view,
                                    const std::vector<std::u16string>& items) override {
        modal();
        const int count = static_cast<int>(items.size());
        if (count == 0) {
            return std::nullopt;
        }
        switch ((m_script >> 3) & 3) {
            case 0:
                return std::nullopt;
            case 1:
                return 0;
            case 2:
                return count - 1;
            default:
                return count / 2;
        }
    }

  private:
    void modal() {
        if (whileModal) {
            whileModal();
        }
    }

    std::uint8_t m_script;
};

const std::array<std::u16string, 3> kDefaultLists = {u"troll spam ", u"kolu me  ",
                                                     u"bob alice carol "};

ColourTable defaultColours() {
    ColourArray entries{};
    OpKoloryDomyslne(entries);
    ColourTable table;
    table.set(entries);
    return table;
}

// What lives for the whole process: the sandbox, the settings store in it and
// the services the sessions share.
struct World {
    Sandbox sandbox;
    RegistryStore store{sandbox.home() + "registry"};
    test::FakeClock clock;
    test::FakeRandom random;
    ErrorLog log{store, clock, fromUtf8(sandbox.home())};
    Settings settings{store, log, clock, random, fromUtf8(sandbox.home())};
    Dictionary dictionary{settings, log};
    test::FixedMetrics metrics;
    ColourTable colours = defaultColours();
    int optionsWritten = -1;
    std::array<std::u16string, 3> listsWritten;
    unsigned long inputs = 0;

    World() {
        const std::u16string home = fromUtf8(sandbox.home());
        putString(kInstallKey, u"InstallDir", home);
        RegKey key;
        store.createKey(kSettingsKey, key);
        store.closeKey(key);
        settings.RegTworzKlucz();
        settings.RegZapiszMsg(u"nick", u"me", 120);
        settings.RegZapiszMsg(u"email", u"me@example.org", 240);
        settings.RegZapiszMsg(u"fullname", u"Fuzz Me", 500);
        settings.RegZapiszMsg(u"alternick", u"me_", 60);
        applyLists(kDefaultLists);
        settings.RegZapiszMsg(u"logpath", home, 250);
        settings.RegZapiszLONG(u"server", 0);
        settings.RegZapiszLONG(u"reconnect", 1);
        settings.RegZapiszLONG(u"debug", 1);
        writeFileAtomically(sandbox.home() + "servers.txt", "Local\t127.0.0.1\t6667\t\r\n", 0600);
    }

    void putString(std::u16string_view keyPath, std::u16string_view name,
                   std::u16string_view text) {
        RegKey key;
        store.createKey(keyPath, key);
        const std::string bytes = encodeStringValue(text);
        store.setValue(key, name, kRegSz, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        store.closeKey(key);
    }

    // The ignore, highlight and notify lists: the defaults, or those an input
    // gives; written only when they change.
    void applyLists(const std::array<std::u16string, 3>& lists) {
        if (lists == listsWritten) {
            return;
        }
        listsWritten = lists;
        settings.RegZapiszMsg(u"ignore", lists[0], kSpecialListSize);
        settings.RegZapiszMsg(u"hlights", lists[1], kSpecialListSize);
        settings.RegZapiszMsg(u"notify", lists[2], kSpecialListSize);
    }

    // The switches of byte 0 (and the notify switch), written in one commit and
    // only when they change.
    void applyOptions(int options) {
        if (options == optionsWritten) {
            return;
        }
        optionsWritten = options;
        const auto bit = [options](int n) -> std::uint32_t { return (options >> n) & 1; };
        const struct {
            const char16_t* name;
            std::uint32_t value;
        } values[] = {
            {u"show_adr", bit(0)},  {u"short_jp", bit(1)},   {u"rejoin", bit(2)},
            {u"skipmotd", bit(3)},  {u"hideping", bit(4)},   {u"tstamps", bit(5)},
            {u"logchan", bit(6)},   {u"logpriv", bit(6)},    {u"logstat", bit(6)},
            {u"en_ignore", bit(7)}, {u"en_hlights", bit(7)}, {u"en_notify", bit(8)},
        };
        RegKey key;
        store.createKey(kSettingsKey, key);
        for (const auto& value : values) {
            store.setValue(key, value.name, kRegDword, &value.value, sizeof value.value);
        }
        store.closeKey(key);
    }
};

World* g_world = nullptr;

void checkAtExit() {
    if (g_world) {
        g_world->sandbox.checkNothingOutside();
        g_world->sandbox.remove();
    }
}

World& world() {
    if (!g_world) {
        g_world = new World;
        g_beforeAbort = [] { g_world->sandbox.remove(); };
        std::atexit(checkAtExit);
    }
    return *g_world;
}

// What must hold after every chunk; cheap.
void checkTick(Session& session) {
    TabRegistry& tabs = session.tabs;
    require(tabs.count() >= 1, "a status tab");
    require(tabs.pobierz_nazwe(0, 64) == u"Status", "tab 0 is Status");
    require(tabs.selected() >= 0 && tabs.selected() < tabs.count(), "a tab is selected");
    require(session.inbound.pending().size() <= LineFramer::kMaxPendingChars,
            "pending text within its buffer");
    require(session.state.currentNick.size() < kNickCapacity &&
                session.state.wantedNick.size() < kNickCapacity,
            "nicknames within their buffers");
}

// The whole session: after every few chunks and at the end of the input.
void checkSession(Session& session, World& w) {
    TabRegistry& tabs = session.tabs;
    checkTick(session);
    require(w.sandbox.holdsDirectly(session.output.logFilePath(tabs.pobierz_nazwe(0, 12))),
            "status log inside the folder");
    for (int i = 1; i < tabs.count(); ++i) {
        TabRecord* record = tabs.pobierz_lparam(i);
        require(record != nullptr, "every tab has its record");
        const std::u16string name = tabs.pobierz_nazwe(i, record->nameLength);
        require(w.sandbox.holdsDirectly(session.output.logFilePath(name)),
                "conversation log inside the folder");
        const bool channel = !name.empty() && (name[0] == u'#' || name[0] == u'&');
        require(channel == (record->userList != nullptr), "channels, and only they, have lists");
        if (record->userList) {
            checkUserList(*record->userList);
        }
        if (record->text.lineCount() > 0) {
            checkShownLine(record->text.line(record->text.lineCount() - 1));
        }
        require(tabs.znajdz_zakladke(name) == i, "one tab per name");
    }
    for (const BanRecord& ban : session.state.banList) {
        require(ban.channel.size() < 128 && ban.mask.size() < 128, "ban records within their room");
    }
}

// With KOLU_PFUZZ_SHOW set (to look at one input): every tab's lines, the
// user lists and the last tick's sent lines.
void show(Session& session, const ConnectingSockets& sockets) {
    for (int i = 0; i < session.tabs.count(); ++i) {
        TabRecord* record = session.tabs.pobierz_lparam(i);
        std::printf("== tab %d [%s]\n", i, toUtf8(session.tabs.pobierz_nazwe(i, 256)).c_str());
        for (std::size_t n = 0; n < record->text.lineCount(); ++n) {
            std::printf("  %s\n", toUtf8(record->text.line(n).text).c_str());
        }
        if (record->userList) {
            std::printf("  users:");
            for (std::size_t n = 0; n < record->userList->size(); ++n) {
                std::printf(" %s", toUtf8(record->userList->at(n).label).c_str());
            }
            std::printf("\n");
        }
    }
    for (const std::string& line : sockets.sent) {
        std::printf("sent: %s", line.c_str());
    }
    std::printf("current nick [%s], connected %d\n", toUtf8(session.state.currentNick).c_str(),
                session.state.connected ? 1 : 0);
}

// The stream decoder gives the same text whatever the reads' sizes, and keeps
// every byte: each ASCII byte comes out as itself, in order.
void checkDecoder(std::string_view bytes, const std::size_t (&chunks)[3]) {
    Utf8StreamDecoder whole;
    const std::u16string once = whole.decode(bytes) + whole.flush();
    Utf8StreamDecoder pieces;
    std::u16string joined;
    for (std::size_t n = 0, at = 0; at < bytes.size(); at += chunks[n++ % 3]) {
        joined += pieces.decode(bytes.substr(at, chunks[n % 3]));
    }
    joined += pieces.flush();
    require(once == joined, "decoding does not depend on the reads' sizes");
    std::u16string ascii;
    for (char16_t c : once) {
        if (c < 0x80) {
            ascii.push_back(c);
        }
    }
    std::u16string expected;
    for (char b : bytes) {
        if (static_cast<unsigned char>(b) < 0x80) {
            expected.push_back(static_cast<char16_t>(b));
        }
    }
    require(ascii == expected, "every ASCII byte decodes as itself");
}

const char kPreamble[] =
    ":irc.test 001 me :Welcome to the test network me\r\n"
    ":me!u@h JOIN #chan\r\n"
    ":irc.test 353 me = #chan :@me +bob alice Carol @dave\r\n"
    ":irc.test 366 me #chan :End of /NAMES list.\r\n"
    ":me!u@h JOIN #kolu\r\n"
    ":irc.test 353 me = #kolu :me @op +v\r\n"
    ":irc.test 366 me #kolu :End of /NAMES list.\r\n"
    ":bob!b@h PRIVMSG me :hi\r\n";

// Reads the input into the session a chunk per poll tick, as the main window's
// timers would: after a tick it fires a due ban-list timer and connects again when
// the connection ended. Inside a modal prompt the next chunk arrives on a nested
// tick (one level deep), which must leave a line being dispatched alone.
class Feeder {
  public:
    Feeder(Session& session, ConnectingSockets& sockets, ScriptedHost& host,
           const std::uint8_t* sizes)
        : m_session(session),
          m_sockets(sockets),
          m_host(host),
          m_chunks{chunkSize(sizes, 0), chunkSize(sizes, 1), chunkSize(sizes, 2)} {
        m_host.whileModal = [this] {
            if (!m_nested) {
                m_nested = true;
                tick();
                m_nested = false;
            }
        };
    }
    ~Feeder() { m_host.whileModal = nullptr; }

    static std::size_t chunkSize(const std::uint8_t* sizes, int n) {
        return n == 0 ? 1u + sizes[0] : n == 1 ? 1u + sizes[1] * 4u : 1u + sizes[2] % 16u;
    }

    void feed(std::string_view bytes, World& w) {
        m_rest = bytes;
        for (std::size_t ticks = 1; !m_rest.empty(); ++ticks) {
            tick();
            if (ticks % 16 == 0) {
                checkSession(m_session, w);
            }
        }
    }

  private:
    void tick() {
        const std::size_t take = std::min(m_rest.size(), m_chunks[m_next++ % 3]);
        if (take > 0) {
            m_sockets.queueData(std::string(m_rest.substr(0, take)));
            m_rest.remove_prefix(take);
        }
        m_sockets.queuePause();
        m_session.connection.pollTick();
        // What a nested tick left unread stays in the socket for the next one.
        while (!m_sockets.script.empty() &&
               m_sockets.script.front().kind == ConnectingSockets::Event::Kind::Pause) {
            m_sockets.script.pop_front();
        }
        checkSent();
        if (m_host.banListDue) {
            m_host.banListDue = false;
            koniec_banlisty(m_session.context);
        }
        if (m_session.state.socket == kInvalidSocket) {
            // The retry timer fires, or the user connects when no retry waits (a
            // Connect while one waits would cancel it).
            if (m_session.state.retryTimerRunning) {
                m_session.connection.retryTick();
            } else {
                m_session.connection.connectCommand();
            }
            require(m_session.state.socket != kInvalidSocket, "the fake connect succeeds");
        }
        checkTick(m_session);
    }

  public:
    // Whatever the server sent, the client's lines reach it one protocol line
    // each: no CR or NUL inside, a line feed only at the end of a line.
    void checkSent() {
        for (; m_checked < m_sockets.sent.size(); ++m_checked) {
            const std::string& piece = m_sockets.sent[m_checked];
            require(piece.find_first_of(std::string_view("\r\0", 2)) == std::string::npos,
                    "no CR or NUL sent");
            const std::size_t lineFeed = piece.find('\n');
            require(lineFeed == std::string::npos || lineFeed + 1 == piece.size(),
                    "a line feed only at the end of a sent line");
        }
    }

  private:
    Session& m_session;
    ConnectingSockets& m_sockets;
    ScriptedHost& m_host;
    const std::size_t m_chunks[3];
    std::string_view m_rest;
    std::size_t m_next = 0;
    std::size_t m_checked = 0;
    bool m_nested = false;
};

constexpr std::string_view kTypedMarker = "\xFF\xFE";

constexpr std::u16string_view kLoginPassword = u"fuzz-secret-pw";
// base64 of "\0me\0fuzz-secret-pw", the PLAIN payload.
constexpr std::u16string_view kPlainPayload = u"AG1lAGZ1enotc2VjcmV0LXB3";

// The account login byte 4 asks for, if any.
std::optional<SaslLogin> fuzzLogin(std::uint8_t bits) {
    static constexpr std::u16string_view kMechanisms[] = {u"", u"PLAIN", u"SCRAM-SHA-256",
                                                          u"EXTERNAL"};
    const std::u16string_view mechanism = kMechanisms[(bits >> 4) & 3];
    if (mechanism.empty()) {
        return std::nullopt;
    }
    SaslLogin login;
    login.mechanism = mechanism;
    login.account = u"me";
    login.password = kLoginPassword;
    login.required = (bits & 0x40) != 0;
    return login;
}

// No tab shows what only the login knew. An input that holds a secret itself,
// or control bytes that shown text drops (and that could join its parts), can
// show it lawfully.
void checkSecretsHidden(TabRegistry& tabs, std::string_view input) {
    const bool dropsBytes = std::any_of(input.begin(), input.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n';
    });
    for (const std::u16string_view secret : {kLoginPassword, kPlainPayload}) {
        if (dropsBytes || input.find(toUtf8(secret)) != std::string_view::npos) {
            continue;
        }
        for (int i = 0; i < tabs.count(); ++i) {
            const TextLines* text = tabs.pobierz_hwndtxtbiez(i);
            for (std::size_t n = 0; text && n < text->lineCount(); ++n) {
                require(text->line(n).text.find(secret) == std::u16string::npos,
                        "the login's secrets are never shown");
            }
        }
    }
}
constexpr std::string_view kListsMarker = "\xFF\xFD";

// Every protocol line sent since `from` whole: at most 510 bytes before its line
// feed, as servers cut or refuse longer ones.
void checkLineLengths(const std::vector<std::string>& sent, std::size_t from) {
    std::size_t length = 0;
    for (std::size_t i = from; i < sent.size(); ++i) {
        for (const char c : sent[i]) {
            length = c == '\n' ? 0 : length + 1;
            require(length <= 510, "a typed line goes out as lines of at most 510 bytes");
        }
    }
}

// The user types `typed` (its first byte picks the tab, the rest is the line
// or pasted lines; a paste is confirmed) and presses Enter.
void type(Session& session, ScriptedHost& host, const ConnectingSockets& sockets,
          std::string_view typed) {
    if (typed.empty()) {
        return;
    }
    session.tabs.select(static_cast<unsigned char>(typed.front()) % session.tabs.count());
    typed.remove_prefix(1);
    InputLineModel input;
    input.setText(fromUtf8(std::string(typed)));
    host.yesNoAnswers = {true};
    const std::size_t before = sockets.sent.size();
    session.commands.parsuj(input);
    checkLineLengths(sockets.sent, before);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    World& w = world();
    w.applyOptions(data[0] | ((data[1] >> 5) & 1) << 8);
    std::string_view rest(reinterpret_cast<const char*>(data) + 5, size - 5);
    // What follows the lists marker: the ignore, highlight and notify lists,
    // separated by NUL bytes.
    std::array<std::u16string, 3> lists = kDefaultLists;
    if (const std::size_t marker = rest.find(kListsMarker); marker != std::string_view::npos) {
        std::string_view given = rest.substr(marker + kListsMarker.size());
        rest = rest.substr(0, marker);
        for (std::u16string& list : lists) {
            const std::size_t end = std::min(given.find('\0'), given.size());
            list = fromUtf8(std::string(given.substr(0, end)));
            given.remove_prefix(std::min(end + 1, given.size()));
        }
    }
    w.applyLists(lists);
    // What follows the typed marker is typed into the input line afterwards.
    std::optional<std::string_view> typed;
    if (const std::size_t marker = rest.find(kTypedMarker); marker != std::string_view::npos) {
        typed = rest.substr(marker + kTypedMarker.size());
        rest = rest.substr(0, marker);
    }
    const std::size_t chunks[3] = {Feeder::chunkSize(data + 2, 0), Feeder::chunkSize(data + 2, 1),
                                   Feeder::chunkSize(data + 2, 2)};
    checkDecoder(rest, chunks);

    ConnectingSockets sockets;
    ScriptedHost host(data[1]);
    SilentSound sound;
    {
        Session session(SessionServices{
            {w.settings, w.log, sockets, sound, w.clock, w.random}, host, w.metrics, w.colours,
            w.dictionary});
        Feeder feeder(session, sockets, host, data + 2);
        session.state.saslLogin = fuzzLogin(data[4]);
        session.state.saslNonce = [] { return std::optional<std::string>("fuzznonce"); };
        session.connection.connectCommand();
        require(session.state.connected && session.state.socket != kInvalidSocket,
                "the session connects");
        if (data[1] & 1) {
            feeder.feed(kPreamble, w);
            // bob's query opens unless the given ignore list names him.
            const bool bobIgnored = w.settings.RegSpListJest(u"bob", u"en_ignore", u"ignore") >= 0;
            require(
                session.state.currentNick == u"me" && session.tabs.count() == (bobIgnored ? 3 : 4),
                "logged in with two channels and a query");
        }
        if (data[1] & 0x40) {
            // "Ban by host" on bob from #chan's user list, kick after ban: the
            // request waits for bob's WHOIS reply.
            AutobanRequest& request = session.state.autoban;
            request.channel = u"#chan";
            session.state.wantedNick = u"bob";
            request.kickAfterBan = true;
            request.kickLine = u"KICK #chan bob :banned";
        }
        // The user typed /ison: the next ISON reply is printed.
        session.state.userIsonPending = (data[1] & 0x80) != 0;
        feeder.feed(rest, w);
        if (typed) {
            type(session, host, sockets, *typed);
            feeder.checkSent();
        }
        checkSession(session, w);
        if (session.state.saslLogin) {
            checkSecretsHidden(session.tabs,
                               std::string_view(reinterpret_cast<const char*>(data) + 5, size - 5));
        }
        if (std::getenv("KOLU_PFUZZ_SHOW")) {
            show(session, sockets);
        }
    }
    // Logs only ever grow: start them afresh now and then.
    if (++w.inputs % 4096 == 0) {
        w.sandbox.checkNothingOutside();
        w.sandbox.clearLogs();
    }
    return 0;
}
