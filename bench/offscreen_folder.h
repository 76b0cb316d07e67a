#pragma once
// The window benchmarks run offscreen over a throw-away XDG folder, never over
// the user's own settings; the folder goes when the run ends.
#include <stdlib.h>

#include <QDir>
#include <string>

#include "platform/sound.h"

namespace kolu::bench {

class OffscreenFolder {
  public:
    OffscreenFolder() {
        if (!mkdtemp(m_path.data())) {
            m_path.clear();
            return;
        }
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
            setenv(name, m_path.c_str(), 1);
        }
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    ~OffscreenFolder() {
        if (made()) {
            QDir(QString::fromStdString(m_path)).removeRecursively();
        }
    }
    OffscreenFolder(const OffscreenFolder&) = delete;
    OffscreenFolder& operator=(const OffscreenFolder&) = delete;

    bool made() const { return !m_path.empty(); }

  private:
    std::string m_path = "/tmp/kolu-bench-XXXXXX";
};

class SilentSound final : public SoundPlayer {
  public:
    int playFileAsync(const std::string&) override { return 0; }
};

}  // namespace kolu::bench
