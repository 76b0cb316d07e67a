#pragma once
// Builders and wiring several logic test files share.
#include <string>
#include <string_view>
#include <vector>

#include "connection/error_log.h"
#include "platform/text.h"
#include "protocol/reply.h"
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

// A parsed line's words in UTF-8.
inline std::vector<std::string> wordsOf(const Reply& reply) {
    std::vector<std::string> words;
    for (int i = 0; i < reply.count; ++i) {
        words.push_back(toUtf8(reply.word(i)));
    }
    return words;
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
