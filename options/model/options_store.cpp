#include "options/model/options_store.h"

#include <algorithm>
#include <set>

#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/text.h"
#include "protocol/string_ops.h"
#include "servers/server_choice.h"
#include "settings/error_log.h"
#include "settings/setting_defaults.h"
#include "settings/settings.h"
#include "settings/settings_key.h"
#include "ui/display_scale.h"

namespace kolu {
namespace {

constexpr unsigned kServersFileMode = 0600;  // servers.txt holds passwords

// The open settings and sounds keys a load or save works through.
struct PageKeys {
    SettingsKey& settings;
    SettingsKey& sounds;
};

void readChecks(PageKeys keys, OptionsPages& pages, OptionsPage page, const char16_t* label) {
    for (const CheckSetting& check : kCheckSettings) {
        if (check.page == page) {
            pages.checks[check.id] =
                switchIsOn(check.name, keys.settings.readDword(check.name, label));
        }
    }
}

void writeChecks(PageKeys keys, const OptionsPages& pages, OptionsPage page,
                 const char16_t* label) {
    for (const CheckSetting& check : kCheckSettings) {
        if (check.page == page) {
            keys.settings.writeDword(check.name, pages.check(check.id) ? 1 : 0, label);
        }
    }
}

// A string value for a control. One that can't be read (missing, too long for
// the page's buffer, or not a string) shows empty and is remembered in `unread`,
// so that saving an untouched page leaves it as it is.
std::u16string readShown(SettingsKey& key, std::u16string_view name, std::uint32_t sizeBytes,
                         std::set<std::u16string, std::less<>>& unread, const char16_t* label) {
    std::u16string text;
    if (!key.readString(name, sizeBytes, text, label)) {
        unread.emplace(name);
    }
    return text;
}

// Writes what a control holds, unless it still shows empty a value that could not be read.
void writeShown(SettingsKey& key, std::u16string_view name, std::u16string_view text,
                std::uint32_t sizeBytes, const std::set<std::u16string, std::less<>>& unread,
                const char16_t* label) {
    if (!text.empty() || !unread.contains(name)) {
        key.writeString(name, text, sizeBytes, label);
    }
}

void readTexts(PageKeys keys, OptionsPages& pages, OptionsPage page, const char16_t* label) {
    for (const TextSetting& setting : kTextSettings) {
        if (setting.page == page) {
            pages.texts[setting.id] =
                readShown(keys.settings, setting.name, setting.sizeBytes, pages.unreadTexts, label);
        }
    }
}

void writeTexts(PageKeys keys, const OptionsPages& pages, OptionsPage page, const char16_t* label) {
    for (const TextSetting& setting : kTextSettings) {
        if (setting.page != page) {
            continue;
        }
        std::u16string text(cutAtWholeChar(pages.text(setting.id),
                                           static_cast<std::size_t>(setting.fieldLimit - 1)));
        if (setting.trimRight) {
            TrimRight(text);
        }
        writeShown(keys.settings, setting.name, text, setting.sizeBytes, pages.unreadTexts, label);
    }
}

void RegOpCzytajConnection(PageKeys keys, OptionsPages& pages) {
    pages.server = keys.settings.readDword(u"server", u"RegOpCzytajConnection");
    readTexts(keys, pages, OptionsPage::Connection, u"RegOpCzytajConnection");
}

void RegOpCzytajOptions(PageKeys keys, OptionsPages& pages) {
    readChecks(keys, pages, OptionsPage::Options, u"RegOpCzytajOptions");
}

void RegOpCzytajColors(PageKeys keys, OptionsPages& pages, Settings& settings) {
    const char16_t* label = u"RegOpCzytajColors";
    if (!keys.settings.readColours(pages.colours, label)) {
        OpKoloryDomyslne(pages.colours);
    }
    pages.fonts = keys.settings.readDword(u"Fonts", label);
    if (pages.fonts < 0) {
        pages.fonts = 34;  // as the main window reads a missing value
    }
    readChecks(keys, pages, OptionsPage::Colors, label);
    pages.pictures = settings.listInstallFiles(u"*.bmp");
    keys.settings.readString(u"bmpfile", 500, pages.bmpfile, label);
    pages.bmpblend = std::clamp(keys.settings.readDword(u"bmpblend", label), 0, 10);
    pages.vga = keys.settings.readDword(u"VGA", label) == 1 ? 1 : 0;
    const std::int32_t textsize = keys.settings.readDword(u"textsize", label);
    pages.textsize = fixedTextScale(textsize) > 0 ? textsize : 0;
}

void RegOpCzytajSounds(PageKeys keys, OptionsPages& pages, Settings& settings) {
    readChecks(keys, pages, OptionsPage::Sounds, u"RegOpCzytajSounds");
    if (keys.sounds) {
        for (int i = 0; i < kSoundEventCount; ++i) {
            pages.soundFiles[i] = readShown(keys.sounds, kSoundDefaults[i].event, kSoundValueSize,
                                            pages.unreadSounds, u"RegWczytajDzwieki");
        }
    }
    pages.wavFiles = {u""};
    for (std::u16string& file : settings.listInstallFiles(u"*.wav")) {
        pages.wavFiles.push_back(std::move(file));
    }
}

void RegOpCzytajInfo(PageKeys keys, OptionsPages& pages) {
    const char16_t* label = u"RegOpCzytajInfo";
    readChecks(keys, pages, OptionsPage::Info, label);
    readTexts(keys, pages, OptionsPage::Info, label);
    for (int i = 0; i < kSpecialListCount; ++i) {
        pages.lists[i] = splitSpecialList(readShown(keys.settings, kSpecialListSettings[i].name,
                                                    kSpecialListSize, pages.unreadTexts, label));
    }
}

void RegOpCzytajFiles(PageKeys keys, OptionsPages& pages) {
    const char16_t* label = u"RegOpCzytajFiles";
    readChecks(keys, pages, OptionsPage::Files, label);
    readTexts(keys, pages, OptionsPage::Files, label);
    const std::int32_t whispers = keys.settings.readDword(u"whspmax", label);
    // A value the list can't show would be saved back as 0 (no whispers at all).
    pages.whspmax = whispers >= 1 && whispers <= kMaxWhispers ? whispers : 2;
    pages.histdays = std::max(0, keys.settings.readDword(u"histdays", label));
}

// The names. servers.txt and `server`, the position in it, are stored by the caller.
void RegOpZapiszConnection(PageKeys keys, const OptionsPages& pages) {
    writeTexts(keys, pages, OptionsPage::Connection, u"RegOpZapiszConnection");
}

void RegOpZapiszOptions(PageKeys keys, const OptionsPages& pages) {
    writeChecks(keys, pages, OptionsPage::Options, u"RegOpZapiszOptions");
}

void RegOpZapiszColors(PageKeys keys, const OptionsPages& pages) {
    const char16_t* label = u"RegOpZapiszColors";
    keys.settings.writeColours(pages.colours, label);
    keys.settings.writeDword(u"Fonts", pages.fonts, label);
    writeChecks(keys, pages, OptionsPage::Colors, label);
    keys.settings.writeString(u"bmpfile", pages.bmpfile, 500, label);
    keys.settings.writeDword(u"bmpblend", std::clamp(pages.bmpblend, 0, 10), label);
    keys.settings.writeDword(u"VGA", pages.vga == 1 ? 1 : 0, label);
    keys.settings.writeDword(u"textsize", pages.textsize, label);
}

void RegOpZapiszSounds(PageKeys keys, const OptionsPages& pages) {
    writeChecks(keys, pages, OptionsPage::Sounds, u"RegOpZapiszSounds");
    if (keys.sounds) {
        for (int i = 0; i < kSoundEventCount; ++i) {
            writeShown(keys.sounds, kSoundDefaults[i].event, pages.soundFiles[i], kSoundValueSize,
                       pages.unreadSounds, u"RegZapiszDzwieki");
        }
    }
}

void RegOpZapiszInfo(PageKeys keys, const OptionsPages& pages) {
    const char16_t* label = u"RegOpZapiszInfo";
    writeChecks(keys, pages, OptionsPage::Info, label);
    writeTexts(keys, pages, OptionsPage::Info, label);
    for (int i = 0; i < kSpecialListCount; ++i) {
        writeShown(keys.settings, kSpecialListSettings[i].name, joinSpecialList(pages.lists[i]),
                   kSpecialListSize, pages.unreadTexts, label);
    }
}

void RegOpZapiszFiles(PageKeys keys, const OptionsPages& pages) {
    const char16_t* label = u"RegOpZapiszFiles";
    writeChecks(keys, pages, OptionsPage::Files, label);
    writeTexts(keys, pages, OptionsPage::Files, label);
    keys.settings.writeDword(u"whspmax", std::clamp(pages.whspmax, 1, kMaxWhispers), label);
    keys.settings.writeDword(u"histdays", std::max(0, pages.histdays), label);
}

std::u16string storeFailureText(long result) {
    switch (result) {
        case kErrorDiskFull:
            return u"the disk is full";
        case kErrorAccessDenied:
            return u"access denied";
        default:
            return u"write error " + fromUtf8(std::to_string(result));
    }
}

// The settings file could not be written: none of the page values was kept.
OptionsSaveResult settingsNotWritten(long result) {
    return {false, u"The options could not be saved: the settings file could not be written (" +
                       storeFailureText(result) + u").\r\nNothing was changed."};
}

// `server` indexes servers.txt, so it is stored only once the new list is in place.
std::u16string RegSrvIdxZapisz(const ServerListServices& services, const OptionsPages& pages) {
    const int position = chosenServerPosition(pages.servers, pages.chosenServer);
    if (position < 0) {
        return u"";
    }
    SettingsKey key(services.settings.store(), services.log, kSettingsKey, u"RegSrvIdxZapisz");
    if (!key) {
        return u"The options were saved, but the chosen server could not be stored.";
    }
    key.writeDword(u"server", position, u"RegSrvIdxZapisz");
    // Not committed, it still waits in the store, which commits it with its next write.
    if (const long result = key.close()) {
        return u"The options were saved, but the chosen server could not be written yet (" +
               storeFailureText(result) + u").";
    }
    return u"";
}

}  // namespace

OptionsPages wczytaj_ustawienia(const ServerListServices& services) {
    Settings& settings = services.settings;
    OptionsPages pages;
    pages.servers = SrvCzytajPlik(services);
    SettingsKey settingsKey(settings.store(), services.log, kSettingsKey, u"wczytaj_ustawienia");
    SettingsKey soundsKey(settings.store(), services.log, kSoundsKey, u"RegWczytajDzwieki");
    if (!settingsKey) {
        OpKoloryDomyslne(pages.colours);
        return pages;
    }
    const PageKeys keys{settingsKey, soundsKey};
    RegOpCzytajConnection(keys, pages);
    RegOpCzytajOptions(keys, pages);
    RegOpCzytajColors(keys, pages, settings);
    RegOpCzytajSounds(keys, pages, settings);
    RegOpCzytajInfo(keys, pages);
    RegOpCzytajFiles(keys, pages);
    return pages;
}

OptionsSaveResult zapisz_ustawienia(const ServerListServices& services, const OptionsPages& pages) {
    Settings& settings = services.settings;
    RegistryStore& store = settings.store();
    OptionsSaveResult outcome;

    // Values an earlier write left waiting are committed on their own first: a
    // failed save takes back all that waits, and that must be its own values only.
    if (const long result = store.commitUnsaved()) {
        services.log.LogRegError(result, u"RegCloseKey", u"zapisz_ustawienia");
        return settingsNotWritten(result);
    }

    // servers.txt first, beside the old file: nothing is replaced yet.
    StagedFile serversFile;
    bool listSaved = pages.servers.readError() == 0;
    if (!listSaved) {
        services.log.LogError(u"CreateFileW", u"SrvZapiszPlik", pages.servers.readError());
        outcome.problem =
            u"servers.txt could not be read when the options were opened, so the server list "
            u"was not saved.";
    } else if (const int rc = serversFile.stage(serversFilePath(settings),
                                                serverFileText(pages.servers), kServersFileMode)) {
        services.log.LogError(u"WriteFile", u"SrvZapiszPlik", rc);
        outcome.problem = u"The options could not be saved: servers.txt could not be written (" +
                          errorPhrase(rc) + u").\r\nNothing was changed.";
        return outcome;
    }

    SettingsKey settingsKey(store, services.log, kSettingsKey, u"zapisz_ustawienia");
    if (!settingsKey) {
        outcome.problem = u"The options could not be saved: the settings could not be opened.";
        return outcome;
    }
    SettingsKey soundsKey(store, services.log, kSoundsKey, u"RegZapiszDzwieki", true);
    const PageKeys keys{settingsKey, soundsKey};
    RegOpZapiszConnection(keys, pages);
    RegOpZapiszOptions(keys, pages);
    RegOpZapiszColors(keys, pages);
    RegOpZapiszSounds(keys, pages);
    RegOpZapiszInfo(keys, pages);
    RegOpZapiszFiles(keys, pages);
    // Every value reaches the file in one commit, at the first close.
    long result = soundsKey.close();
    const long settingsResult = settingsKey.close();
    if (result == kErrorSuccess) {
        result = settingsResult;
    }
    if (store.hasUnsaved()) {
        store.discardUnsaved();
        return settingsNotWritten(result);
    }
    outcome.settingsSaved = true;
    if (listSaved) {
        if (const int rc = serversFile.commit()) {
            services.log.LogError(u"MoveFileW", u"SrvZapiszPlik", rc);
            outcome.problem = u"The settings were saved, but servers.txt could not be replaced (" +
                              errorPhrase(rc) + u"), so the chosen server was kept.";
        } else {
            outcome.problem = RegSrvIdxZapisz(services, pages);
        }
    }
    return outcome;
}

}  // namespace kolu
