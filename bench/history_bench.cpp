// The history database at the size a year of busy channels gives: 1,000,000
// chat lines over 20 tabs on two networks, with one rare word in 7 of them.
// Searching for that word (the store's own connection, and a connection opened
// for the search as the search window's thread does), the replay of a tab's
// last 100 lines, reopening the file, the rate lines are written at and the
// rate the word index catches up at after them.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "history/history_store.h"
#include "platform/text.h"

namespace kolu {
namespace {

constexpr std::int64_t kLines = 1000000;
constexpr int kTabs = 20;
constexpr const char16_t* kRareWord = u"xylophonist";
constexpr std::int64_t kStartMs = 1780000000000;

std::string madeFolder() {
    std::string folder = (std::filesystem::temp_directory_path() / "kolu-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        std::abort();
    }
    return folder + '/';
}

// Chat-like text: 3 to 20 words from a vocabulary of 5,000 made-up words whose
// use falls off as in speech (a few very common, most rare), some capitalised,
// with punctuation.
class ChatText {
  public:
    ChatText() : m_random(7) {
        const char* syllables[] = {"ka", "lo", "mi", "ne", "ru", "sta", "pe",  "do", "ri",
                                   "an", "el", "ko", "tu", "va", "zi",  "ghe", "or", "is"};
        std::uniform_int_distribution<int> pick(0, std::size(syllables) - 1);
        std::uniform_int_distribution<int> parts(1, 4);
        for (int i = 0; i < 5000; ++i) {
            std::u16string word;
            for (int n = parts(m_random); n > 0; --n) {
                word += fromUtf8(syllables[pick(m_random)]);
            }
            m_words.push_back(std::move(word));
        }
    }
    std::u16string line() {
        std::uniform_int_distribution<int> count(3, 20);
        std::u16string text;
        for (int n = count(m_random); n > 0; --n) {
            // Zipf-like: the square of a uniform number favours the first words.
            const double u = std::uniform_real_distribution<double>(0, 1)(m_random);
            std::u16string word = m_words[static_cast<std::size_t>(u * u * m_words.size())];
            if (m_random() % 10 == 0) {
                word[0] = static_cast<char16_t>(word[0] - 32);
            }
            text += text.empty() ? u"" : u" ";
            text += word;
            if (m_random() % 8 == 0) {
                text += m_random() % 2 ? u"," : u"!";
            }
        }
        return text;
    }
    const std::u16string& commonWord() const { return m_words[0]; }
    std::u16string nick() { return u"nick" + decimalText(m_random() % 300); }

  private:
    std::mt19937 m_random;
    std::vector<std::u16string> m_words;
};

// The database, built once for every benchmark here and removed at exit.
struct BigHistory {
    BigHistory() : folder(madeFolder()) {
        store.open(folder + HistoryStore::kFileName, {});
        ChatText chat;
        for (std::int64_t i = 0; i < kLines; ++i) {
            const int tab = static_cast<int>(i % 7 == 0 ? 0 : i % kTabs);  // #chan0 is the busiest
            std::u16string text = chat.line();
            if (i % 142857 == 1000) {
                text += u" ";
                text += kRareWord;
            }
            store.add(tab < 12 ? u"Libera" : u"OFTC", u"#chan" + decimalText(tab),
                      kStartMs + i * 1000, 0, chat.nick(), text);
            if (store.queued() >= HistoryStore::kFlushLines) {
                store.flush();
            }
        }
        store.waitIndexed();  // searchFile finds indexed lines only
    }
    ~BigHistory() {
        store.close();
        std::filesystem::remove_all(folder);
    }
    std::string path() const { return folder + HistoryStore::kFileName; }

    std::string folder;
    HistoryStore store;
};

BigHistory& bigHistory() {
    static BigHistory history;
    return history;
}

void BM_SearchRareWord(benchmark::State& state) {
    HistoryStore& store = bigHistory().store;
    std::size_t found = 0;
    for (auto _ : state) {
        found = store.search(kRareWord, 500).size();
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_SearchRareWord)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_SearchFileRareWord(benchmark::State& state) {
    const std::string path = bigHistory().path();
    std::size_t found = 0;
    for (auto _ : state) {
        found = HistoryStore::searchFile(path, kRareWord, 500).size();
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_SearchFileRareWord)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// The most used word, in about one line of seven: the limit ends the search.
void BM_SearchCommonWord(benchmark::State& state) {
    HistoryStore& store = bigHistory().store;
    const std::u16string word = ChatText().commonWord();
    std::size_t found = 0;
    for (auto _ : state) {
        found = store.search(word, 500).size();
    }
    state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_SearchCommonWord)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_LastLines100(benchmark::State& state) {
    HistoryStore& store = bigHistory().store;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.lastLines(u"OFTC", u"#CHAN13", 100));
    }
}
BENCHMARK(BM_LastLines100)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Open (schema read, statements prepared, the last id read) and close.
void BM_OpenClose(benchmark::State& state) {
    const std::string path = bigHistory().path();
    for (auto _ : state) {
        HistoryStore store;
        benchmark::DoNotOptimize(store.open(path, {}));
    }
}
BENCHMARK(BM_OpenClose)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Batches of 1000 lines added and handed to the writer thread, into a file of its
// own: the rate of a flood, in wall time (the last batch written is timed too;
// its words are indexed later, untimed).
// With `wait`, each batch is waited for: one transaction of 1000 lines at a time,
// as when the writer keeps up with the lines. The CPU column is the adding
// thread's; `cpu_all_us_per_line` counts the writer thread's too.
void addFlush1000(benchmark::State& state, bool wait) {
    const std::string folder = madeFolder();
    {
        HistoryStore store;
        store.open(folder + HistoryStore::kFileName, {});
        ChatText chat;
        std::vector<std::u16string> texts;
        for (int i = 0; i < 4096; ++i) {
            texts.push_back(chat.line());
        }
        std::int64_t n = 0;
        timespec start{}, end{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
        for (auto _ : state) {
            for (int i = 0; i < 1000; ++i, ++n) {
                store.add(u"Libera", u"#chan" + decimalText(n % kTabs), kStartMs + n, 0, u"nick",
                          texts[n % texts.size()]);
            }
            store.flush();
            if (wait || n == static_cast<std::int64_t>(state.max_iterations) * 1000) {
                store.waitWritten();
            }
        }
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
        state.SetItemsProcessed(n);
        const double cpuUs =
            (end.tv_sec - start.tv_sec) * 1e6 + (end.tv_nsec - start.tv_nsec) / 1e3;
        state.counters["cpu_all_us_per_line"] =
            cpuUs / static_cast<double>(std::max<std::int64_t>(n, 1));
    }
    std::filesystem::remove_all(folder);
}

void BM_AddFlush1000(benchmark::State& state) {
    addFlush1000(state, false);
}
BENCHMARK(BM_AddFlush1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()  // wall time: commits and checkpoints are file writes
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_AddFlushWait1000(benchmark::State& state) {
    addFlush1000(state, true);
}
BENCHMARK(BM_AddFlushWait1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// The word index's catch-up after a flood of 100,000 lines (written, untimed):
// waitIndexed(), which sets it going without the pause it waits for otherwise.
void BM_IndexCatchUp100k(benchmark::State& state) {
    const std::string folder = madeFolder();
    {
        HistoryStore store;
        store.open(folder + HistoryStore::kFileName, {});
        ChatText chat;
        std::int64_t n = 0;
        for (auto _ : state) {
            state.PauseTiming();
            for (int i = 0; i < 100000; ++i, ++n) {
                store.add(u"Libera", u"#chan" + decimalText(n % kTabs), kStartMs + n, 0, u"nick",
                          chat.line());
                if (store.queued() >= HistoryStore::kFlushLines) {
                    store.flush();
                }
            }
            store.flush();
            store.waitWritten();
            state.ResumeTiming();
            store.waitIndexed();
        }
        state.SetItemsProcessed(n);
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_IndexCatchUp100k)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kolu
