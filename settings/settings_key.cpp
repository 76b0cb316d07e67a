#include "settings/settings_key.h"

#include "settings/error_log.h"
#include "settings/string_value.h"

namespace kolu {

SettingsKey::SettingsKey(RegistryStore& store, ErrorLog& log, std::u16string_view path,
                         const char16_t* label, bool create)
    : m_store(store), m_log(log), m_label(label) {
    const long result = create ? m_store.createKey(path, m_key) : m_store.openKey(path, m_key);
    m_log.LogRegError(result, create ? u"RegCreateKeyEx" : u"RegOpenKeyEx", m_label);
}

long SettingsKey::close() {
    if (!m_key) {
        return kErrorSuccess;
    }
    const long result = m_store.closeKey(m_key);
    m_key = RegKey{};
    m_log.LogRegError(result, u"RegCloseKey", m_label);
    return result;
}

std::int32_t SettingsKey::readDword(std::u16string_view name, const char16_t* label) {
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    std::uint32_t type = 0;
    const long result = m_store.queryValue(m_key, name, &type, &value, &size);
    m_log.LogRegError(result, u"RegQueryValueEx", label);
    if (result != kErrorSuccess || type != kRegDword || size != sizeof value) {
        return -1;
    }
    return static_cast<std::int32_t>(value);
}

bool SettingsKey::readString(std::u16string_view name, std::uint32_t sizeBytes, std::u16string& out,
                             const char16_t* label) {
    std::u16string read;
    const long result = queryString(m_store, m_key, name, sizeBytes, read);
    m_log.LogRegError(result, u"RegQueryValueEx", label);
    if (result != kErrorSuccess) {
        return false;
    }
    out = std::move(read);
    return true;
}

bool SettingsKey::readColours(ColourArray& table, const char16_t* label) {
    unsigned char bytes[kColourTableBytes];
    std::uint32_t size = sizeof bytes;
    std::uint32_t type = 0;
    const long result = m_store.queryValue(m_key, u"kolory", &type, bytes, &size);
    m_log.LogRegError(result, u"RegQueryValueEx", label);
    if (result != kErrorSuccess || size != sizeof bytes) {
        return false;
    }
    for (int i = 0; i < kColourCount; ++i) {
        const unsigned char* p = bytes + 4 * i;
        table[i] = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<Colour>(p[3]) << 24);
    }
    return true;
}

void SettingsKey::writeDword(std::u16string_view name, std::int32_t value, const char16_t* label) {
    const auto raw = static_cast<std::uint32_t>(value);
    m_log.LogRegError(m_store.setValue(m_key, name, kRegDword, &raw, sizeof raw), u"RegSetValueEx",
                      label);
}

void SettingsKey::writeString(std::u16string_view name, std::u16string_view text,
                              std::uint32_t sizeBytes, const char16_t* label) {
    const std::string bytes = encodeStringValue(text, sizeBytes >= 2 ? sizeBytes / 2 - 1 : 0);
    m_log.LogRegError(m_store.setValue(m_key, name, kRegSz, bytes.data(),
                                       static_cast<std::uint32_t>(bytes.size())),
                      u"RegSetValueEx", label);
}

void SettingsKey::writeColours(const ColourArray& table, const char16_t* label) {
    const std::string bytes = colourTableBytes(table);
    m_log.LogRegError(m_store.setValue(m_key, u"kolory", kRegBinary, bytes.data(),
                                       static_cast<std::uint32_t>(bytes.size())),
                      u"RegSetValueEx", label);
}

long queryString(RegistryStore& store, RegKey key, std::u16string_view name,
                 std::uint32_t sizeBytes, std::u16string& out) {
    std::string bytes(sizeBytes, '\0');
    std::uint32_t size = sizeBytes;
    std::uint32_t type = 0;
    const long result = store.queryValue(key, name, &type, bytes.data(), &size);
    if (result != kErrorSuccess) {
        return result;
    }
    if (type != kRegSz) {
        return kErrorInvalidParameter;
    }
    out = decodeStringValue(std::string_view(bytes.data(), size));
    return kErrorSuccess;
}

std::string colourTableBytes(const ColourArray& table) {
    std::string bytes;
    for (Colour colour : table) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes += static_cast<char>((colour >> shift) & 0xFF);
        }
    }
    return bytes;
}

}  // namespace kolu
