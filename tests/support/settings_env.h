#pragma once
// A settings store, error log and settings in a fresh temporary folder, with a fixed clock.
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"
#include "ui/line_printer.h"

namespace kolu::test {

struct PrintedLine {
    std::u16string target;
    std::u16string text;
    Colour colour;
    bool operator==(const PrintedLine&) const = default;
};

class RecordingPrinter final : public LinePrinter {
  public:
    std::vector<PrintedLine> lines;
    int addLine(std::u16string_view target, std::u16string_view text, Colour colour) override {
        lines.push_back({std::u16string(target), std::u16string(text), colour});
        return static_cast<int>(lines.size());
    }
};

struct SettingsEnv {
    TempDir dir;
    RegistryStore store{dir.file("registry")};
    FakeClock clock;
    FakeRandom random;
    ErrorLog log{store, clock, fromUtf8(dir.path())};
    Settings settings{store, log, clock, random, fromUtf8(dir.path())};

    // Creates the settings key (as the install step does) and the installation folder value.
    void install();
    // The decoded errors.log of the installation folder ("" when absent).
    std::string decodedLog() const;
    std::size_t logCount(std::string_view text) const;
    // A file in the installation folder; reading one that is absent fails the test.
    std::string read(const std::string& name) const;
    void write(const std::string& name, std::string_view bytes);
    // Raw value access for checks that must not go through the code under test.
    void putDword(std::u16string_view key, std::u16string_view name, std::uint32_t value);
    void putString(std::u16string_view key, std::u16string_view name, std::u16string_view text);
    bool hasValue(std::u16string_view key, std::u16string_view name);
};

}  // namespace kolu::test
