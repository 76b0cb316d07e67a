#include "settings/settings.h"

#include <cstring>

#include "connection/error_log.h"
#include "platform/files.h"
#include "platform/text.h"
#include "settings/string_value.h"

namespace kolu {
namespace {

// One opened key for one operation, its open and close results reported under
// the operation's label.
class ScopedKey {
  public:
    ScopedKey(RegistryStore& store, ErrorLog& log, std::u16string_view path, const char16_t* label)
        : m_store(store), m_log(log), m_label(label) {
        long result = m_store.openKey(path, m_key);
        m_log.LogRegError(result, u"RegOpenKeyEx", m_label);
    }
    ~ScopedKey() {
        if (m_key) {
            m_log.LogRegError(m_store.closeKey(m_key), u"RegCloseKey", m_label);
        }
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    explicit operator bool() const { return static_cast<bool>(m_key); }
    RegKey key() const { return m_key; }

  private:
    RegistryStore& m_store;
    ErrorLog& m_log;
    const char16_t* m_label;
    RegKey m_key;
};

// Reads a string value of an open key, stopping at its first terminator.
long queryString(RegistryStore& store, RegKey key, std::u16string_view name,
                 std::uint32_t sizeBytes, std::u16string& out) {
    std::string bytes(sizeBytes, '\0');
    std::uint32_t size = sizeBytes;
    std::uint32_t type = 0;
    long result = store.queryValue(key, name, &type, bytes.data(), &size);
    if (result != kErrorSuccess) {
        return result;
    }
    if (type != kRegSz) {
        return kErrorInvalidParameter;
    }
    out = decodeStringValue(std::string_view(bytes.data(), size));
    return kErrorSuccess;
}

std::u16string withTrailingSlash(std::u16string folder) {
    if (folder.empty() || folder.back() != u'/') {
        folder += u'/';
    }
    return folder;
}

}  // namespace

Settings::Settings(RegistryStore& store, ErrorLog& log, const Clock& clock, Random& random,
                   std::u16string fallbackInstallDir)
    : m_store(store),
      m_log(log),
      m_clock(clock),
      m_random(random),
      m_fallbackInstallDir(withTrailingSlash(std::move(fallbackInstallDir))) {}

std::int32_t Settings::RegCzytajLONG(std::u16string_view name) {
    ScopedKey key(m_store, m_log, kSettingsKey, u"RegCzytajLONG");
    if (!key) {
        return -1;
    }
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    std::uint32_t type = 0;
    long result = m_store.queryValue(key.key(), name, &type, &value, &size);
    m_log.LogRegError(result, u"RegQueryValueEx", u"RegCzytajLONG");
    if (result != kErrorSuccess || type != kRegDword || size != sizeof value) {
        return -1;
    }
    return static_cast<std::int32_t>(value);
}

void Settings::RegZapiszLONG(std::u16string_view name, std::int32_t value) {
    ScopedKey key(m_store, m_log, kSettingsKey, u"RegZapiszLONG");
    if (!key) {
        return;
    }
    std::uint32_t raw = static_cast<std::uint32_t>(value);
    m_log.LogRegError(m_store.setValue(key.key(), name, kRegDword, &raw, sizeof raw),
                      u"RegSetValueEx", u"RegZapiszLONG");
}

bool Settings::RegCzytajMsg(std::u16string_view name, std::u16string& buffer,
                            std::uint32_t sizeBytes) {
    ScopedKey key(m_store, m_log, kSettingsKey, u"RegCzytajMsg");
    if (!key) {
        return false;
    }
    std::u16string read;
    long result = queryString(m_store, key.key(), name, sizeBytes, read);
    m_log.LogRegError(result, u"RegQueryValueEx", u"RegCzytajMsg");
    if (result != kErrorSuccess) {
        return false;
    }
    buffer = std::move(read);
    return true;
}

void Settings::RegZapiszMsg(std::u16string_view name, std::u16string_view text,
                            std::uint32_t sizeBytes) {
    ScopedKey key(m_store, m_log, kSettingsKey, u"RegZapiszMsg");
    if (!key) {
        return;
    }
    std::string bytes = encodeStringValue(text, sizeBytes >= 2 ? sizeBytes / 2 - 1 : 0);
    m_log.LogRegError(m_store.setValue(key.key(), name, kRegSz, bytes.data(),
                                       static_cast<std::uint32_t>(bytes.size())),
                      u"RegSetValueEx", u"RegZapiszMsg");
}

bool Settings::RegCzytajKolory(ColourArray& table) {
    ScopedKey key(m_store, m_log, kSettingsKey, u"RegCzytajKolory");
    if (!key) {
        return false;
    }
    unsigned char bytes[kColourTableBytes];
    std::uint32_t size = sizeof bytes;
    std::uint32_t type = 0;
    long result = m_store.queryValue(key.key(), u"kolory", &type, bytes, &size);
    m_log.LogRegError(result, u"RegQueryValueEx", u"RegCzytajKolory");
    if (result != kErrorSuccess || size != sizeof bytes) {
        return false;
    }
    for (int i = 0; i < kColourCount; ++i) {
        const unsigned char* p = bytes + 4 * i;
        table[i] = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<Colour>(p[3]) << 24);
    }
    return true;
}

std::u16string Settings::readFolder(RegKey key, std::u16string_view name, const char16_t* label) {
    std::u16string folder;
    long result = queryString(m_store, key, name, kFolderValueSize, folder);
    m_log.LogRegError(result, u"RegQueryValueEx", label);
    return folder;
}

std::u16string Settings::CzytajInstallDir() {
    std::u16string folder;
    {
        ScopedKey key(m_store, m_log, kInstallKey, u"CzytajInstallDir");
        if (key) {
            folder = readFolder(key.key(), u"InstallDir", u"CzytajInstallDir");
        }
    }
    // An unreadable value must not make every file land in the root folder.
    return folder.empty() ? m_fallbackInstallDir : withTrailingSlash(std::move(folder));
}

std::u16string Settings::CzytajDictPath() {
    std::u16string folder;
    {
        ScopedKey key(m_store, m_log, kSettingsKey, u"CzytajDictPath");
        if (key) {
            folder = readFolder(key.key(), u"dictpath", u"CzytajDictPath");
        }
    }
    return folder.empty() ? CzytajInstallDir() : withTrailingSlash(std::move(folder));
}

int Settings::CzytajBmpFile(std::u16string& path) {
    std::u16string file;
    RegCzytajMsg(u"bmpfile", file, 500);
    if (file.empty()) {
        return 0;
    }
    path = CzytajInstallDir() + file;
    return 1;
}

std::vector<std::u16string> Settings::listInstallFiles(std::u16string_view pattern) {
    std::vector<std::string> names;
    int error = listFolder(toUtf8(CzytajInstallDir()), toUtf8(pattern), names);
    std::vector<std::u16string> result;
    if (error != 0) {
        m_log.LogError(u"FindFirstFileW", u"Pliki2Combo", error);
        return result;
    }
    for (const std::string& name : names) {
        result.push_back(fromUtf8(name));
    }
    return result;
}

void Settings::RegWczytajDzwiek(std::u16string_view event, std::u16string& path) {
    std::u16string file;
    {
        ScopedKey key(m_store, m_log, kSoundsKey, u"RegWczytajDzwiek");
        if (!key) {
            return;
        }
        long result = queryString(m_store, key.key(), event, kSoundValueSize, file);
        m_log.LogRegError(result, u"RegQueryValueEx", u"RegWczytajDzwiek");
    }
    if (!file.empty()) {
        path = CzytajInstallDir() + file;
    }
}

}  // namespace kolu
