// First start: the settings key created by the install step is filled with every
// default, in a fixed order, and the sounds key with the event sounds.
#include <string>

#include "platform/clock.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/setting_defaults.h"
#include "settings/settings.h"
#include "settings/settings_key.h"
#include "settings/string_value.h"

namespace kolu {

int Settings::RegTworzKlucz() {
    RegKey key;
    long result = m_store.openKey(kSettingsKey, key);
    m_log.LogRegError(result, u"RegOpenKeyEx", u"RegTworzKlucz");
    if (result != kErrorSuccess) {
        return 1;  // the install step creates the key
    }
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    if (m_store.queryValue(key, u"server", &type, nullptr, &size) == kErrorFileNotFound) {
        RegTworzRejestr(key);
    }
    m_log.LogRegError(m_store.closeKey(key), u"RegCloseKey", u"RegTworzKlucz");
    return 1;
}

int Settings::RegTworzRejestr(RegKey key) {
    m_random.seed(m_clock.tickCount());
    const std::u16string nick = u"kolu" + decimalText(m_random.next() % 250 + 1);
    const std::u16string alternick = u"kolu" + decimalText(m_random.next() % 250 + 1);
    ColourArray colours;
    OpKoloryDomyslne(colours);
    const std::string colourBytes = colourTableBytes(colours);

    for (const SettingDefault& setting : kSettingDefaults) {
        std::string bytes;
        std::uint32_t type = kRegSz;
        switch (setting.kind) {
            case SettingKind::Dword: {
                type = kRegDword;
                std::uint32_t value = static_cast<std::uint32_t>(setting.number);
                bytes.assign(reinterpret_cast<const char*>(&value), sizeof value);
                break;
            }
            case SettingKind::Text:
                bytes = encodeStringValue(setting.text);
                break;
            case SettingKind::Nick:
                bytes = encodeStringValue(nick);
                break;
            case SettingKind::AlterNick:
                bytes = encodeStringValue(alternick);
                break;
            case SettingKind::Email:
                bytes = encodeStringValue(m_defaultEmail);
                break;
            case SettingKind::InstallFolder:
                bytes = encodeStringValue(CzytajInstallDir());
                break;
            case SettingKind::Colours:
                type = kRegBinary;
                bytes = colourBytes;
                break;
        }
        long result = m_store.setValue(key, setting.name, type, bytes.data(),
                                       static_cast<std::uint32_t>(bytes.size()));
        m_log.LogRegError(result, u"RegSetValueEx", u"RegTworzRejestr");
    }
    return RegTworzDzwieki();
}

int Settings::RegTworzDzwieki() {
    RegKey key;
    long result = m_store.createKey(kSoundsKey, key);
    m_log.LogRegError(result, u"RegCreateKeyEx", u"RegTworzDzwieki");
    if (result != kErrorSuccess) {
        return 1;
    }
    for (const SoundDefault& sound : kSoundDefaults) {
        std::string bytes = encodeStringValue(sound.file);
        result = m_store.setValue(key, sound.event, kRegSz, bytes.data(),
                                  static_cast<std::uint32_t>(bytes.size()));
        m_log.LogRegError(result, u"RegSetValueEx", u"RegTworzDzwieki");
    }
    m_log.LogRegError(m_store.closeKey(key), u"RegCloseKey", u"RegTworzDzwieki");
    return 1;
}

}  // namespace kolu
