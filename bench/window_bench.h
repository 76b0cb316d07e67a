#pragma once
// What the window's benchmark programs share: a sound player that plays nothing,
// and a main() that runs the benchmarks offscreen over a throw-away XDG folder.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <string>

#include "platform/sound.h"
#include "resources/shipped_resources.h"

namespace kolu::bench {

class SilentSound final : public SoundPlayer {
  public:
    int playFileAsync(const std::string&) override { return 0; }
};

// Offscreen, and never over the user's own settings.
inline int runOffscreen(int argc, char** argv) {
    char xdg[] = "/tmp/kolu-bench-XXXXXX";
    if (!mkdtemp(xdg)) {
        return 1;
    }
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
        setenv(name, xdg, 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    koluInitResources();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QDir(QString::fromLocal8Bit(xdg)).removeRecursively();
    return 0;
}

}  // namespace kolu::bench
