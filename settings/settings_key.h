#pragma once
// One key of the settings store opened for one operation (or one options page
// save), its values read and written through it, every store call's result
// handed to the error log under the operation's label. Closing it commits what
// was written through it.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "settings/colour_table.h"

namespace kolu {

class ErrorLog;

class SettingsKey {
  public:
    // Opens `path`; with `create`, creates it when missing.
    SettingsKey(RegistryStore& store, ErrorLog& log, std::u16string_view path,
                const char16_t* label, bool create = false);
    ~SettingsKey() { close(); }
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    explicit operator bool() const { return static_cast<bool>(m_key); }
    RegKey key() const { return m_key; }
    // Closes the key; the commit's result (kErrorSuccess when nothing was open).
    long close();

    // A 32-bit value; -1 when missing or of another type.
    std::int32_t readDword(std::u16string_view name, const char16_t* label);
    // A string value read with a buffer of `sizeBytes`; `out` is left as it was
    // on failure. Returns whether it was read.
    bool readString(std::u16string_view name, std::uint32_t sizeBytes, std::u16string& out,
                    const char16_t* label);
    // `kolory`; the table is left as it was on failure.
    bool readColours(ColourArray& table, const char16_t* label);

    void writeDword(std::u16string_view name, std::int32_t value, const char16_t* label);
    // Text beyond sizeBytes / 2 - 1 characters is cut at a whole character.
    void writeString(std::u16string_view name, std::u16string_view text, std::uint32_t sizeBytes,
                     const char16_t* label);
    void writeColours(const ColourArray& table, const char16_t* label);

  private:
    RegistryStore& m_store;
    ErrorLog& m_log;
    const char16_t* m_label;
    RegKey m_key;
};

// Reads a string value of an open key, stopping at its first terminator: the
// store's result, kErrorInvalidParameter for a value of another type.
long queryString(RegistryStore& store, RegKey key, std::u16string_view name,
                 std::uint32_t sizeBytes, std::u16string& out);

// The 96 bytes of `kolory`: each colour's four bytes, low byte first.
std::string colourTableBytes(const ColourArray& table);

}  // namespace kolu
