// Reading one setting the way the client does at every use: open the settings key,
// query a DWORD, close the key, on a store whose file is unchanged (so each open
// costs one stat of the file and no parsing).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/registry.h"

namespace kolu {
namespace {

constexpr std::u16string_view kSettings = u"SOFTWARE\\Marvoline\\Kolu";

// A store shaped like the client's: 38 settings and the 13-entry sounds subkey.
void fillLikeTheClient(RegistryStore& store) {
    RegKey key;
    store.createKey(kSettings, key);
    for (int i = 0; i < 37; ++i) {
        const std::uint32_t value = static_cast<std::uint32_t>(i);
        const std::u16string name = u"setting" +
                                    std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                                    std::u16string(1, static_cast<char16_t>(u'0' + i / 26));
        store.setValue(key, name, kRegDword, &value, sizeof value);
    }
    const std::uint32_t debug = 0;
    store.setValue(key, u"debug", kRegDword, &debug, sizeof debug);
    store.closeKey(key);
    store.createKey(u"SOFTWARE\\Marvoline\\Kolu\\sounds", key);
    const char16_t file[] = u"join.wav";
    for (int i = 0; i < 13; ++i) {
        const std::u16string name = u"event" + std::u16string(1, static_cast<char16_t>(u'a' + i));
        store.setValue(key, name, kRegSz, file, sizeof file);
    }
    store.closeKey(key);
}

void BM_OpenQueryDwordClose(benchmark::State& state) {
    std::string folder = (std::filesystem::temp_directory_path() / "kolu-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    {
        RegistryStore store(folder + "/registry");
        fillLikeTheClient(store);
        for (auto _ : state) {
            RegKey key;
            std::uint32_t value = 0, type = 0, size = sizeof value;
            benchmark::DoNotOptimize(store.openKey(kSettings, key));
            benchmark::DoNotOptimize(store.queryValue(key, u"debug", &type, &value, &size));
            benchmark::DoNotOptimize(store.closeKey(key));
            benchmark::DoNotOptimize(value);
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_OpenQueryDwordClose)->Repetitions(10)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kolu
