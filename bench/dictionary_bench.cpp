// The word-completion dictionary on a dict.dat taught 100,000 distinct words:
// one whisper lookup (what every keystroke costs) and teaching one sent line of
// 100 words. Both go through Dictionary, which opens and closes the file each time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "completion/dictionary.h"
#include "completion/word_listing.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/settings.h"

namespace kolu {
namespace {

constexpr std::size_t kWords = 100'000;

std::u16string randomWord(std::mt19937& random) {
    std::uniform_int_distribution<int> length(3, 10);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::u16string word(static_cast<std::size_t>(length(random)), u'a');
    for (char16_t& c : word) {
        c = static_cast<char16_t>(letter(random));
    }
    return word;
}

// A settings store, error log and dictionary folder holding the taught dict.dat,
// made once for all benchmarks and removed at exit.
struct TaughtDictionary {
    TaughtDictionary() {
        folder = (std::filesystem::temp_directory_path() / "kolu-bench-XXXXXX").string();
        if (!::mkdtemp(folder.data())) {
            std::abort();
        }
        folder += '/';
        store = std::make_unique<RegistryStore>(folder + "registry");
        log = std::make_unique<ErrorLog>(*store, clock, fromUtf8(folder));
        settings = std::make_unique<Settings>(*store, *log, clock, random, fromUtf8(folder));
        RegKey key;
        store->createKey(kSettingsKey, key);
        store->closeKey(key);
        settings->RegZapiszMsg(u"dictpath", fromUtf8(folder), kFolderValueSize);
        dictionary = std::make_unique<Dictionary>(*settings, *log);

        // Taught in memory through the same adding code, then written once.
        std::mt19937 generator(42);
        std::set<std::u16string> words;
        while (words.size() < kWords) {
            words.insert(randomWord(generator));
        }
        std::vector<std::u16string> order(words.begin(), words.end());
        std::shuffle(order.begin(), order.end(), generator);
        bytes.assign(kDictHeaderBytes, '\0');
        MemoryDictStore memory(bytes);
        for (const std::u16string& word : order) {
            DictScan scan;
            dictAddWord(memory, word, nullptr, scan);
        }
        writeFileAtomically(folder + "dict.dat", bytes);
    }
    ~TaughtDictionary() { std::filesystem::remove_all(folder); }

    std::string folder;
    SystemClock clock;
    CRandom random;
    std::unique_ptr<RegistryStore> store;
    std::unique_ptr<ErrorLog> log;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<Dictionary> dictionary;
    std::string bytes;
};

TaughtDictionary& taught() {
    static TaughtDictionary instance;
    return instance;
}

const std::u16string_view kPrefixes[] = {u"ka", u"st", u"qu", u"mor", u"zx", u"th", u"pre", u"ab"};

void BM_LookupPrefixMax5(benchmark::State& state) {
    Dictionary& dictionary = *taught().dictionary;
    std::size_t i = 0;
    std::size_t rows = 0;
    for (auto _ : state) {
        WordLookup result = dictionary.lookup(kPrefixes[i++ % std::size(kPrefixes)], 5);
        rows += result.words.size();
        benchmark::DoNotOptimize(result);
    }
    state.counters["file_MB"] = static_cast<double>(taught().bytes.size()) / 1e6;
    state.counters["rows"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LookupPrefixMax5)->Repetitions(10)->ReportAggregatesOnly(true);

// The same walk over the bytes in memory: what the reads of the file add.
void BM_LookupPrefixMax5InMemory(benchmark::State& state) {
    std::string bytes = taught().bytes;
    std::size_t i = 0;
    for (auto _ : state) {
        MemoryDictStore store(bytes);
        DictScan scan;
        WordLookup result =
            lookupWords(store, kPrefixes[i++ % std::size(kPrefixes)], 5, nullptr, scan);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_LookupPrefixMax5InMemory)->Repetitions(10)->ReportAggregatesOnly(true);

std::u16string lineOfWords(std::mt19937& generator) {
    std::u16string line;
    for (int i = 0; i < 100; ++i) {
        if (i > 0) {
            line += u' ';
        }
        // Longer than the taught words, so each one is new.
        line += randomWord(generator) + randomWord(generator);
    }
    return line;
}

void BM_TeachLineOf100NewWords(benchmark::State& state) {
    Dictionary& dictionary = *taught().dictionary;
    std::mt19937 generator(7);
    for (auto _ : state) {
        state.PauseTiming();
        const std::u16string line = lineOfWords(generator);
        state.ResumeTiming();
        dictionary.DbDodajTekst(line);
    }
}
BENCHMARK(BM_TeachLineOf100NewWords)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_TeachLineOf100KnownWords(benchmark::State& state) {
    Dictionary& dictionary = *taught().dictionary;
    std::mt19937 generator(9);
    const std::u16string line = lineOfWords(generator);
    dictionary.DbDodajTekst(line);
    for (auto _ : state) {
        dictionary.DbDodajTekst(line);
    }
}
BENCHMARK(BM_TeachLineOf100KnownWords)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kolu
