#pragma once
// A settings store, error log and settings in a fresh temporary folder, with a fixed clock.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "settings/string_value.h"
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
    void install() {
        putString(kInstallKey, u"InstallDir", fromUtf8(dir.path()));
        RegKey key;
        store.createKey(kSettingsKey, key);
        store.closeKey(key);
    }
    // The decoded errors.log of the installation folder ("" when absent).
    std::string decodedLog() const { return xorWithLogKey(dir.read("errors.log")); }
    std::size_t logCount(std::string_view text) const {
        const std::string log = decodedLog();
        std::size_t n = 0;
        for (std::size_t at = log.find(text); at != log.npos; at = log.find(text, at + 1)) {
            ++n;
        }
        return n;
    }
    // A file in the installation folder; reading one that is absent fails the test.
    std::string read(const std::string& name) const {
        std::string bytes;
        EXPECT_EQ(readWholeFile(dir.file(name), bytes), 0) << name;
        return bytes;
    }
    void write(const std::string& name, std::string_view bytes) {
        EXPECT_EQ(writeFileAtomically(dir.file(name), bytes), 0) << name;
    }
    // Raw value access for checks that must not go through the code under test.
    void putDword(std::u16string_view key, std::u16string_view name, std::uint32_t value) {
        put(key, name, kRegDword, std::string(reinterpret_cast<const char*>(&value), 4));
    }
    void putString(std::u16string_view key, std::u16string_view name, std::u16string_view text) {
        put(key, name, kRegSz, encodeStringValue(text));
    }

  private:
    void put(std::u16string_view key, std::u16string_view name, std::uint32_t type,
             const std::string& bytes) {
        RegKey handle;
        store.createKey(key, handle);
        store.setValue(handle, name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
        store.closeKey(handle);
    }
};

}  // namespace kolu::test
