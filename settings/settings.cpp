#include "settings/settings.h"

#include <cstring>

#include "platform/files.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/setting_defaults.h"
#include "settings/settings_key.h"
#include "settings/string_value.h"

namespace kolu {
namespace {

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
    SettingsKey key(m_store, m_log, kSettingsKey, u"RegCzytajLONG");
    return key ? key.readDword(name, u"RegCzytajLONG") : -1;
}

std::int32_t Settings::RegCzytajLimit(std::u16string_view name, std::int32_t low,
                                      std::int32_t high) {
    std::int32_t fallback = low;
    for (const SettingDefault& setting : kSettingDefaults) {
        if (setting.name == name) {
            fallback = setting.number;
        }
    }
    const std::int32_t value = RegCzytajLONG(name);
    return value >= low && value <= high ? value : fallback;
}

bool Settings::switchOn(SwitchName name) {
    return name.isOn(RegCzytajLONG(name.name()));
}

void Settings::RegZapiszLONG(std::u16string_view name, std::int32_t value) {
    SettingsKey key(m_store, m_log, kSettingsKey, u"RegZapiszLONG");
    if (key) {
        key.writeDword(name, value, u"RegZapiszLONG");
    }
}

bool Settings::RegCzytajMsg(std::u16string_view name, std::u16string& buffer,
                            std::uint32_t sizeBytes) {
    SettingsKey key(m_store, m_log, kSettingsKey, u"RegCzytajMsg");
    return key && key.readString(name, sizeBytes, buffer, u"RegCzytajMsg");
}

void Settings::RegZapiszMsg(std::u16string_view name, std::u16string_view text,
                            std::uint32_t sizeBytes) {
    SettingsKey key(m_store, m_log, kSettingsKey, u"RegZapiszMsg");
    if (key) {
        key.writeString(name, text, sizeBytes, u"RegZapiszMsg");
    }
}

bool Settings::RegCzytajKolory(ColourArray& table) {
    SettingsKey key(m_store, m_log, kSettingsKey, u"RegCzytajKolory");
    return key && key.readColours(table, u"RegCzytajKolory");
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
        SettingsKey key(m_store, m_log, kInstallKey, u"CzytajInstallDir");
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
        SettingsKey key(m_store, m_log, kSettingsKey, u"CzytajDictPath");
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
        SettingsKey key(m_store, m_log, kSoundsKey, u"RegWczytajDzwiek");
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
