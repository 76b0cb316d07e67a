#pragma once
// Shared by the settings store's tests: a store file in a fresh folder, and helpers
// that write or read one value the way the settings code does (open, one call, close).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/registry_internal.h"
#include "tests/support/temp_dir.h"

namespace kolu::test {

inline constexpr std::u16string_view kSettingsKey = u"SOFTWARE\\Marvoline\\Kolu";

// A string value's bytes: UTF-16LE, with the terminator unless told otherwise.
inline std::string wide(std::u16string_view text, bool terminator = true) {
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    if (terminator) {
        bytes.append(2, '\0');
    }
    return bytes;
}

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Rewrites a file in place, as an editor that keeps the inode does.
inline void spit(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Sets the commit's failpoint for one test.
struct FailpointGuard {
    explicit FailpointGuard(int (*hook)(std::size_t)) {
        registry_detail::g_afterPartialWrite = hook;
    }
    ~FailpointGuard() { registry_detail::g_afterPartialWrite = nullptr; }
};

struct ReadValue {
    long result = -1;
    std::uint32_t type = 0;
    std::string bytes;
};

class RegistryStoreTest : public ::testing::Test {
  protected:
    // Writes one value through its own key; returns what closing the key returned.
    static long put(RegistryStore& store, std::u16string_view key, std::u16string_view name,
                    std::uint32_t type, const std::string& bytes) {
        RegKey handle;
        EXPECT_EQ(store.createKey(key, handle), kErrorSuccess);
        EXPECT_EQ(store.setValue(handle, name, type, bytes.data(),
                                 static_cast<std::uint32_t>(bytes.size())),
                  kErrorSuccess);
        return store.closeKey(handle);
    }
    static ReadValue get(RegistryStore& store, RegKey handle, std::u16string_view name) {
        ReadValue read;
        std::uint32_t size = 0;
        read.result = store.queryValue(handle, name, &read.type, nullptr, &size);
        if (read.result == kErrorSuccess) {
            read.bytes.resize(size);
            read.result = store.queryValue(handle, name, nullptr, read.bytes.data(), &size);
        }
        return read;
    }
    static ReadValue get(RegistryStore& store, std::u16string_view key, std::u16string_view name) {
        RegKey handle;
        ReadValue read;
        read.result = store.openKey(key, handle);
        if (read.result == kErrorSuccess) {
            read = get(store, handle, name);
            EXPECT_EQ(store.closeKey(handle), kErrorSuccess);
        }
        return read;
    }

    TempDir m_dir;
    const std::string m_path = m_dir.file("kolu/registry");  // its folder does not exist yet
};

}  // namespace kolu::test
