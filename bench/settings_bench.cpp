// Reading one 32-bit setting through the settings operations, on a store filled
// with the first-run defaults and unchanged on disk: the cost every Part pays
// when it reads a setting at the moment of use.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/clock.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/settings.h"

namespace kolu {
namespace {

void BM_RegCzytajLONG(benchmark::State& state) {
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
        for (auto _ : state) {
            benchmark::DoNotOptimize(settings.RegCzytajLONG(u"whspmax"));
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RegCzytajLONG)->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kolu
