// The text view's per-paint and per-scroll work over a store of 10 or 1,000,000
// lines: finding the lines in view and wrapping them, one line-down step, the
// hit-testing of a drag with the copied text, and adding a line with the view's
// line tops kept in step. None of them may grow with the history. The linear walk
// from the newest line that the indexed search replaces is measured for comparison.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/fixed_metrics.h"
#include "ui/text_lines.h"
#include "ui/text_view_layout.h"
#include "ui/text_wrap.h"

namespace kolu {
namespace {

constexpr int kWidth = 480;         // 80 characters of 6 px per row
constexpr int kClientHeight = 640;  // about 49 rows of 13 px

std::uint32_t next(std::uint32_t& seed) {
    seed = seed * 1103515245u + 12345u;
    return seed >> 16;
}

// IRC-like lines of 40..119 characters with blanks between words.
std::vector<std::u16string> sampleLines() {
    std::vector<std::u16string> lines;
    std::uint32_t seed = 12345;
    for (int i = 0; i < 256; ++i) {
        std::u16string text = u"[12:34] <nick> ";
        const std::size_t length = 40 + next(seed) % 80;
        while (text.size() < length) {
            const std::uint32_t r = next(seed);
            text += r % 6 == 0 ? u' ' : static_cast<char16_t>(u'a' + r % 26);
        }
        lines.push_back(std::move(text));
    }
    return lines;
}

const test::FixedMetrics& metrics() {
    static const test::FixedMetrics fixed;
    return fixed;
}

// One filled store and its line tops per size, built once.
struct View {
    std::unique_ptr<TextLines> lines;
    LineTops tops;
    int largest = 0;
};
View& viewOf(std::int64_t count) {
    static std::map<std::int64_t, View> views;
    View& view = views[count];
    if (!view.lines) {
        const std::vector<std::u16string> samples = sampleLines();
        view.lines = std::make_unique<TextLines>(&metrics(), kWidth);
        for (std::int64_t i = 0; i < count; ++i) {
            view.lines->append(samples[i % samples.size()], 0);
        }
        view.tops.sync(*view.lines);
        view.largest = largestPosition(view.lines->totalHeight(), kClientHeight);
    }
    return view;
}

// What a refresh does before drawing: the lines in view and their rows.
void BM_VisibleLinesAndRows(benchmark::State& state) {
    View& view = viewOf(state.range(0));
    std::uint32_t seed = 99;
    std::size_t rows = 0;
    for (auto _ : state) {
        const int scroll =
            view.largest > 0 ? static_cast<int>(next(seed) * 65536u % view.largest) : 0;
        for (const PlacedLine& line : placeLines(view.tops, scroll, kClientHeight)) {
            rows += wrapRows(view.lines->line(line.index).text, kWidth, metrics()).size();
        }
    }
    benchmark::DoNotOptimize(rows);
    state.SetItemsProcessed(state.iterations());
    state.counters["rows"] = static_cast<double>(rows) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_VisibleLinesAndRows)->Arg(10)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// One SB_LINEDOWN and the lines it brings into view, walking down the document.
void BM_LineDownStep(benchmark::State& state) {
    View& view = viewOf(state.range(0));
    int scroll = 0;
    std::size_t placed = 0;
    for (auto _ : state) {
        const ScrollStep step =
            scrollStep(scroll, ScrollRequest::LineDown, 0, 13, kClientHeight, view.largest, scroll);
        scroll = step.position >= view.largest ? 0 : step.position;
        placed += placeLines(view.tops, scroll, kClientHeight).size();
    }
    benchmark::DoNotOptimize(placed);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LineDownStep)->Arg(10)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// A drag over a few lines (hit-testing both ends) and the text it copies.
void BM_DragSelectionAndCopy(benchmark::State& state) {
    View& view = viewOf(state.range(0));
    std::uint32_t seed = 7;
    std::size_t copied = 0;
    for (auto _ : state) {
        const int scroll =
            view.largest > 0 ? static_cast<int>(next(seed) * 65536u % view.largest) : 0;
        const std::vector<PlacedLine> placed = placeLines(view.tops, scroll, kClientHeight);
        const SelectionLayout selection = layoutSelection(
            *view.lines, placed, metrics(), kWidth, {100, 200}, {300, 260 + int(next(seed) % 300)});
        copied +=
            selectedText(*view.lines, selection.startLine, selection.startOffset, selection.count)
                .size();
    }
    benchmark::DoNotOptimize(copied);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DragSelectionAndCopy)->Arg(10)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Adding a line as the view sees it: the store measures it, the tops take it.
void BM_AppendAndSyncTops(benchmark::State& state) {
    const std::vector<std::u16string> samples = sampleLines();
    auto lines = std::make_unique<TextLines>(&metrics(), kWidth);
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        lines->append(samples[i % samples.size()], 0);
    }
    LineTops tops;
    tops.sync(*lines);
    std::size_t i = 0;
    for (auto _ : state) {
        lines->append(samples[i++ % samples.size()], 0);
        tops.sync(*lines);
    }
    benchmark::DoNotOptimize(tops.total());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendAndSyncTops)->Arg(10)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// For comparison: finding the bottom line by walking back from the newest line,
// with the view in the middle of the document.
void BM_BottomLineByWalk(benchmark::State& state) {
    View& view = viewOf(state.range(0));
    const std::int64_t bottomOfView = view.tops.total() / 2;
    for (auto _ : state) {
        std::int64_t y = view.tops.total();
        std::size_t index = view.lines->lineCount();
        while (y > bottomOfView && index > 0) {
            --index;
            y -= view.lines->lineHeight(index);
        }
        benchmark::DoNotOptimize(index);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BottomLineByWalk)->Arg(100)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kolu
