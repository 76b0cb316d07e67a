#pragma once
// Builders and wiring several logic test files share.
#include <string>
#include <string_view>

#include "connection/error_log.h"
#include "tests/support/settings_env.h"
#include "ui/colour_table.h"

namespace kolu::test {

inline std::u16string repeat(std::u16string_view piece, int times) {
    std::u16string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

// errors.log in an installed settings folder, reporting to a recorded status
// tab in the default colours, as the connection wires it.
struct StatusLog {
    StatusLog() {
        env.install();
        ColourArray defaults{};
        OpKoloryDomyslne(defaults);
        colours.set(defaults);
        env.log.connectStatus(&printer, &colours, &connected);
    }

    SettingsEnv env;
    RecordingPrinter printer;
    ColourTable colours;
    bool connected = true;
};

}  // namespace kolu::test
