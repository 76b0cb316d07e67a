// Filling a freshly joined channel's user list from the server's names reply
// (353 lines of at most 400 bytes, then 366) through the handlers, up to the
// first read of the list; single joins and parts and a nickname Tab in a
// 10,000-user channel; and, for comparison, the literal rule of sorting the
// whole list after every name.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "commands/nick_completion.h"
#include "connection/session.h"
#include "platform/clock.h"
#include "platform/sockets.h"
#include "platform/sound.h"
#include "platform/text.h"
#include "protocol/dispatcher.h"
#include "protocol/query_replies.h"
#include "protocol/session_state.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "ui/host.h"
#include "ui/text_metrics.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

constexpr std::size_t kMaxLineBytes = 400;

class NoSockets final : public SocketLayer {
  public:
    int startup(std::uint16_t) override { return 0; }
    int cleanup() override { return 0; }
    int lastError() const override { return 0; }
    void setLastError(int) override {}
    std::optional<SocketAddress> resolve(std::string_view) override { return std::nullopt; }
    SocketHandle openTcp() override { return kInvalidSocket; }
    int setNonBlocking(SocketHandle, bool) override { return 0; }
    int connect(SocketHandle, const SocketAddress&, std::uint16_t) override { return 0; }
    int select(SocketHandle, SelectSets&, int) override { return 0; }
    int socketError(SocketHandle) override { return 0; }
    int recv(SocketHandle, char*, int) override { return 0; }
    int send(SocketHandle, const char*, int length) override { return length; }
    int closeSocket(SocketHandle) override { return 0; }
};

class SilentSound final : public SoundPlayer {
  public:
    int playFileAsync(const std::string&) override { return 0; }
};

class QuietHost final : public Host {
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

class MonospaceMetrics final : public TextMetrics {
  public:
    int width(std::u16string_view run) const override { return static_cast<int>(run.size()) * 6; }
    int lineHeight() const override { return 13; }
};

// Distinct nicknames in no particular order, about 3% operators and 7% voiced.
std::vector<std::u16string> randomNames(int count) {
    std::mt19937 random(42);
    const std::u16string letters = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
    std::vector<std::u16string> names;
    for (int i = 0; i < count; ++i) {
        const unsigned status = random() % 100;
        std::u16string name = status < 3 ? u"@" : status < 10 ? u"+" : u"";
        const int length = 3 + static_cast<int>(random() % 6);
        for (int k = 0; k < length; ++k) {
            name += letters[random() % letters.size()];
        }
        for (char c : std::to_string(i)) {
            name += static_cast<char16_t>(c);
        }
        names.push_back(name);
    }
    return names;
}

// The names reply for #kolu: 353 lines of at most 400 bytes, then 366.
std::vector<Reply> namesReply(const std::vector<std::u16string>& names) {
    const std::u16string head = u":irc.example.org 353 tester = #kolu :";
    std::vector<std::u16string> lines;
    std::u16string line = head;
    for (const std::u16string& name : names) {
        if (line.size() > head.size() && line.size() + 1 + name.size() > kMaxLineBytes) {
            lines.push_back(line);
            line = head;
        }
        line += (line.size() > head.size() ? u" " : u"") + name;
    }
    lines.push_back(line);
    lines.push_back(u":irc.example.org 366 tester #kolu :End of /NAMES list.");
    std::vector<Reply> replies(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        tworz_odpowiedz(lines[i], replies[i]);
    }
    return replies;
}

// A session with first-run settings in a temporary folder.
class BenchSession {
  public:
    BenchSession()
        : m_folder(makeFolder()),
          m_store(m_folder + "registry"),
          m_log(m_store, m_clock, fromUtf8(m_folder)),
          m_settings(m_store, m_log, m_clock, m_random, fromUtf8(m_folder)),
          m_dictionary(m_settings, m_log),
          session(SessionServices{{m_settings, m_log, m_sockets, m_sound, m_clock, m_random},
                                  m_host,
                                  m_metrics,
                                  m_colours,
                                  m_dictionary}) {
        RegKey key;
        m_store.createKey(kSettingsKey, key);
        m_store.closeKey(key);
        m_settings.RegTworzKlucz();
    }
    ~BenchSession() { std::filesystem::remove_all(m_folder); }

    // A fresh #kolu tab whose names reply is awaited, as after the client's JOIN.
    UserList& join() {
        session.tabs.usun_zakladkeT(u"#kolu");
        session.tabs.dodaj_zakladke(u"#kolu");
        session.state.autoban.channel = u"#kolu";
        return *session.tabs.pobierz_hwndlist(u"#kolu");
    }

  private:
    static std::string makeFolder() {
        std::string folder =
            (std::filesystem::temp_directory_path() / "kolu-bench-XXXXXX").string();
        if (!::mkdtemp(folder.data())) {
            folder = std::filesystem::temp_directory_path() / "kolu-bench-names";
            std::filesystem::create_directories(folder);
        }
        return folder + '/';
    }

    std::string m_folder;
    RegistryStore m_store;
    SystemClock m_clock;
    CRandom m_random;
    ErrorLog m_log;
    Settings m_settings;
    Dictionary m_dictionary;
    NoSockets m_sockets;
    SilentSound m_sound;
    QuietHost m_host;
    MonospaceMetrics m_metrics;
    ColourTable m_colours;

  public:
    Session session;
};

void BM_NamesReplyIntoJoinedChannel(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<Reply> replies = namesReply(randomNames(count));
    BenchSession bench;
    HandlerContext& context = bench.session.context;
    for (auto _ : state) {
        state.PauseTiming();
        UserList& list = bench.join();
        state.ResumeTiming();
        for (std::size_t i = 0; i + 1 < replies.size(); ++i) {
            wypelnij_liste(context, replies[i]);
        }
        koniec_listy(context, replies.back());
        benchmark::DoNotOptimize(list.at(0));  // the first read merges the names in
        if (list.size() != static_cast<std::size_t>(count)) {
            state.SkipWithError("names missing from the list");
        }
    }
    state.counters["lines"] = static_cast<double>(replies.size());
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_NamesReplyIntoJoinedChannel)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The same reply from a server that lists every rank and each member's
// address ("@+nick!user@host"), the addresses kept per member.
void BM_NamesWithAddressesIntoJoinedChannel(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<std::u16string> names = randomNames(count);
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = (i % 50 == 0 ? u"@+" : u"") + names[i] + u"!user@host" +
                   fromUtf8(std::to_string(i % 97)) + u".example.net";
    }
    const std::vector<Reply> replies = namesReply(names);
    BenchSession bench;
    bench.session.state.caps.enable(u"multi-prefix");
    bench.session.state.caps.enable(u"userhost-in-names");
    HandlerContext& context = bench.session.context;
    for (auto _ : state) {
        state.PauseTiming();
        UserList& list = bench.join();
        state.ResumeTiming();
        for (std::size_t i = 0; i + 1 < replies.size(); ++i) {
            wypelnij_liste(context, replies[i]);
        }
        koniec_listy(context, replies.back());
        benchmark::DoNotOptimize(list.at(0));
        if (list.size() != static_cast<std::size_t>(count) || !list.details(list.nicknameAt(0))) {
            state.SkipWithError("names or addresses missing from the list");
        }
    }
    state.counters["lines"] = static_cast<double>(replies.size());
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_NamesWithAddressesIntoJoinedChannel)->Arg(10000)->Unit(benchmark::kMillisecond);

// A netsplit's rejoin in a 10,000-user channel: an AWAY line from each of 1,000
// away members, then each coming back.
void BM_AwayBurstInBigChannel(benchmark::State& state) {
    const std::vector<std::u16string> names = randomNames(10000);
    const std::vector<Reply> replies = namesReply(names);
    std::vector<Reply> away(1000);
    std::vector<Reply> back(away.size());
    for (std::size_t i = 0; i < away.size(); ++i) {
        const std::u16string source = u":" + std::u16string(MemberRanks().strip(names[i * 10])) +
                                      u"!u@split.example.net AWAY";
        tworz_odpowiedz(source + u" :Gone fishing", away[i]);
        tworz_odpowiedz(source, back[i]);
    }
    BenchSession bench;
    bench.session.state.caps.enable(u"away-notify");
    HandlerContext& context = bench.session.context;
    bench.join();
    for (std::size_t i = 0; i + 1 < replies.size(); ++i) {
        wypelnij_liste(context, replies[i]);
    }
    koniec_listy(context, replies.back());
    for (auto _ : state) {
        for (const Reply& reply : away) {
            DispatchReply(context, reply);
        }
        for (const Reply& reply : back) {
            DispatchReply(context, reply);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(away.size() * 2));
}
BENCHMARK(BM_AwayBurstInBigChannel)->Unit(benchmark::kMillisecond);

// One JOIN and its PART in a channel of N users: the checked add, then the
// removal, which finds the row and shifts the rows after it.
void BM_JoinPartInBigChannel(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<Reply> replies = namesReply(randomNames(count));
    BenchSession bench;
    bench.join();
    for (const Reply& reply : replies) {
        wypelnij_liste(bench.session.context, reply);
    }
    TabRegistry& tabs = bench.session.tabs;
    int i = 0;
    for (auto _ : state) {
        const std::u16string nick = u"Newcomer" + fromUtf8(std::to_string(i++ % 100));
        benchmark::DoNotOptimize(dodaj_do_listy(tabs, u"#kolu", nick));
        benchmark::DoNotOptimize(usun_z_listy(tabs, u"#kolu", nick));
    }
}
BENCHMARK(BM_JoinPartInBigChannel)->Arg(10000)->Unit(benchmark::kMicrosecond);

// One Tab starting afresh on "a" in a channel of N users, 32 of whom spoke
// lately: the whole list is walked for the matches, on Tab only.
void BM_NickTabInBigChannel(benchmark::State& state) {
    const std::vector<std::u16string> names = randomNames(static_cast<int>(state.range(0)));
    BenchSession bench;
    UserList& list = bench.join();
    for (const Reply& reply : namesReply(names)) {
        wypelnij_liste(bench.session.context, reply);
    }
    for (std::size_t i = 0; i < 32; ++i) {
        list.noteSpeaker(names[i * 7]);
    }
    bench.session.tabs.select(bench.session.tabs.znajdz_zakladke(u"#kolu"));
    NickCompletion nicks(bench.session.tabs);
    for (auto _ : state) {
        nicks.endCycle();
        benchmark::DoNotOptimize(nicks.complete(u"a", 1, false));
    }
}
BENCHMARK(BM_NickTabInBigChannel)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The literal rule, for comparison: append each name, stable-sort the whole
// list, and scan it for the duplicate test of each line's last name.
void BM_NamesWithFullSortPerName(benchmark::State& state) {
    const std::vector<std::u16string> names = randomNames(static_cast<int>(state.range(0)));
    auto less = [](const UserEntry& a, const UserEntry& b) {
        return std::lexicographical_compare(
            a.sortKey.begin(), a.sortKey.end(), b.sortKey.begin(), b.sortKey.end(),
            [](char16_t x, char16_t y) { return foldCase(x) < foldCase(y); });
    };
    for (auto _ : state) {
        std::vector<UserEntry> rows;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::u16string& name = names[i];
            if (i % 40 == 39) {  // a line's last name: the duplicate scan
                benchmark::DoNotOptimize(std::find_if(rows.begin(), rows.end(), [&](auto& row) {
                    return equalsIgnoreCase(row.label, name);
                }));
            }
            // '@' and '+' become the key's status digits.
            std::u16string key = name;
            std::uint32_t flags = 0;
            if (name[0] == u'@') {
                key[0] = u'0';
                flags = 2;
            } else if (name[0] == u'+') {
                key[0] = u'1';
                flags = 1;
            }
            rows.push_back({name, flags, key});
            std::stable_sort(rows.begin(), rows.end(), less);
        }
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_NamesWithFullSortPerName)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kolu
