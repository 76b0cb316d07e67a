#include "tests/support/settings_env.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "settings/string_value.h"

namespace kolu::test {

void SettingsEnv::install() {
    putString(kInstallKey, u"InstallDir", fromUtf8(dir.path()));
    RegKey key;
    store.createKey(kSettingsKey, key);
    store.closeKey(key);
}

std::string SettingsEnv::decodedLog() const {
    std::string bytes;
    if (readWholeFile(dir.file("errors.log"), bytes) != 0) {
        return "";
    }
    return xorWithLogKey(bytes);
}

std::size_t SettingsEnv::logCount(std::string_view text) const {
    const std::string log = decodedLog();
    std::size_t n = 0;
    for (std::size_t at = log.find(text); at != log.npos; at = log.find(text, at + 1)) {
        ++n;
    }
    return n;
}

std::string SettingsEnv::read(const std::string& name) const {
    std::string bytes;
    EXPECT_EQ(readWholeFile(dir.file(name), bytes), 0) << name;
    return bytes;
}

void SettingsEnv::write(const std::string& name, std::string_view bytes) {
    EXPECT_EQ(writeFileAtomically(dir.file(name), bytes), 0) << name;
}

void SettingsEnv::putDword(std::u16string_view key, std::u16string_view name, std::uint32_t value) {
    RegKey handle;
    store.createKey(key, handle);
    store.setValue(handle, name, kRegDword, &value, sizeof value);
    store.closeKey(handle);
}

void SettingsEnv::putString(std::u16string_view key, std::u16string_view name,
                            std::u16string_view text) {
    RegKey handle;
    store.createKey(key, handle);
    std::string bytes = encodeStringValue(text);
    store.setValue(handle, name, kRegSz, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    store.closeKey(handle);
}

bool SettingsEnv::hasValue(std::u16string_view key, std::u16string_view name) {
    RegKey handle;
    if (store.openKey(key, handle) != kErrorSuccess) {
        return false;
    }
    std::uint32_t size = 0;
    bool present = store.queryValue(handle, name, nullptr, nullptr, &size) == kErrorSuccess;
    store.closeKey(handle);
    return present;
}

}  // namespace kolu::test
