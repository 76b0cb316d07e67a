#pragma once
// The main() of the window's benchmark programs: the benchmarks run offscreen
// over a throw-away XDG folder.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "bench/offscreen_folder.h"
#include "resources/shipped_resources.h"

namespace kolu::bench {

// Offscreen, and never over the user's own settings.
inline int runOffscreen(int argc, char** argv) {
    const OffscreenFolder folder;
    if (!folder.made()) {
        return 1;
    }
    QApplication app(argc, argv);
    koluInitResources();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace kolu::bench
