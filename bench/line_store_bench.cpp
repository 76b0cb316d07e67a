// The text view's line store: adding a line to a view that already holds 1k, 10k
// and 100k lines (the cost must not grow with the history), the full re-measure a
// width change costs, the old way of recounting every line at each add for
// comparison, and the memory of 100,000 lines of 80 characters.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fixed_metrics.h"
#include "ui/text_lines.h"
#include "ui/text_wrap.h"

namespace kolu {
namespace {

constexpr int kBatch = 1000;  // lines added per timed iteration
constexpr int kWidth = 480;   // 80 characters of 6 px per row

// IRC-like lines of 40..119 characters with blanks between words.
std::vector<std::u16string> sampleLines() {
    std::vector<std::u16string> lines;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 256; ++i) {
        std::u16string text = u"[12:34] <nick> ";
        seed = seed * 1103515245u + 12345u;
        const std::size_t length = 40 + (seed >> 16) % 80;
        while (text.size() < length) {
            seed = seed * 1103515245u + 12345u;
            text += (seed >> 16) % 6 == 0 ? u' ' : static_cast<char16_t>(u'a' + (seed >> 16) % 26);
        }
        lines.push_back(std::move(text));
    }
    return lines;
}

std::unique_ptr<TextLines> filledStore(const TextMetrics& metrics,
                                       const std::vector<std::u16string>& samples,
                                       std::int64_t count) {
    auto lines = std::make_unique<TextLines>(&metrics, kWidth);
    for (std::int64_t i = 0; i < count; ++i) {
        lines->append(samples[i % samples.size()], 0);
    }
    return lines;
}

// The store holds between N and 2N lines while it is measured.
void BM_AppendLine(benchmark::State& state) {
    const test::FixedMetrics metrics;
    const std::vector<std::u16string> samples = sampleLines();
    const std::int64_t stored = state.range(0);
    std::unique_ptr<TextLines> lines = filledStore(metrics, samples, stored);
    std::size_t next = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            benchmark::DoNotOptimize(lines->append(samples[next++ % samples.size()], 0));
        }
        if (static_cast<std::int64_t>(lines->lineCount()) >= 2 * stored) {
            state.PauseTiming();
            lines = filledStore(metrics, samples, stored);
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_AppendLine)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// What adding a line cost when the whole history was re-measured each time.
void BM_AppendWithFullRecount(benchmark::State& state) {
    const test::FixedMetrics metrics;
    const std::vector<std::u16string> samples = sampleLines();
    std::vector<std::u16string> history;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        history.push_back(samples[i % samples.size()]);
    }
    for (auto _ : state) {
        history.push_back(samples[history.size() % samples.size()]);
        std::int64_t total = 0;
        for (const std::u16string& line : history) {
            total += wrappedHeight(line, kWidth, metrics);
        }
        benchmark::DoNotOptimize(total);
        history.pop_back();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendWithFullRecount)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// A resize: every stored line wrapped again, once.
void BM_WidthChange100k(benchmark::State& state) {
    const test::FixedMetrics metrics;
    std::unique_ptr<TextLines> lines = filledStore(metrics, sampleLines(), 100000);
    int width = kWidth;
    for (auto _ : state) {
        width = width == kWidth ? 240 : kWidth;
        lines->setWidth(width);
        benchmark::DoNotOptimize(lines->totalHeight());
    }
}
BENCHMARK(BM_WidthChange100k)->Unit(benchmark::kMillisecond);

// Memory of 100,000 lines of 80 characters: the store's own count of what it
// holds allocated, and the heap growth malloc reports while the store is filled.
void BM_Memory100kLinesOf80(benchmark::State& state) {
    const test::FixedMetrics metrics;
    const std::u16string text(80, u'x');
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        auto lines = std::make_unique<TextLines>(&metrics, kWidth);
        for (int i = 0; i < 100000; ++i) {
            lines->append(text, 0);
        }
        const std::size_t after = mallinfo2().uordblks;
        state.counters["store_MB"] = static_cast<double>(lines->memoryBytes()) / 1e6;
        state.counters["heap_MB"] = static_cast<double>(after - before) / 1e6;
        state.counters["text_MB"] = 100000.0 * 80 * sizeof(char16_t) / 1e6;
    }
}
BENCHMARK(BM_Memory100kLinesOf80)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kolu
