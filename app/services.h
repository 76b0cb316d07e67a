#pragma once
// The services one running client owns and its windows share, created in
// start-up order: the settings store (after the install step), the error log,
// the settings and the windows' copy of the colour table, the word dictionary
// (its file made here, once), and the stored history.
#include <string>

#include "completion/dictionary.h"
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
    Dictionary dictionary;
    HistoryKeeper history;
};

}  // namespace kolu
