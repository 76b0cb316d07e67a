#pragma once
// The services one running client owns, created in start-up order: the
// settings store (after the install step), the error log, the settings and the
// main window's copy of the colour table, and the stored history.
#include <string>

#include "gui/history_keeper.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "platform/sockets.h"
#include "platform/sound.h"
#include "settings/colour_table.h"
#include "settings/error_log.h"
#include "settings/install_step.h"
#include "settings/settings.h"

namespace kolu {

struct Services {
    explicit Services(const std::string& dataFolder, const std::string& registryPath);

    SystemClock clock;
    CRandom random;
    PosixSocketLayer sockets;
    CanberraSound sound;
    RegistryStore store;
    InstallReport install;
    ErrorLog log;
    Settings settings;
    ColourTable colours;
    HistoryKeeper history;
};

}  // namespace kolu
