#pragma once
// Builders and wiring several logic test files share.
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "protocol/reply.h"
#include "settings/error_log.h"
#include "tests/support/settings_env.h"

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

// errors.log in an installed settings folder, reporting to a recorded status tab.
struct StatusLog {
    StatusLog() {
        env.install();
        env.log.connectStatus([this](std::u16string_view text) { printer.addLine(u"", text, 0); },
                              &connected);
    }

    SettingsEnv env;
    RecordingPrinter printer;
    bool connected = true;
};

}  // namespace kolu::test
