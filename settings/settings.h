#pragma once
// The settings store's operations: one value read or written at the moment of
// use (nothing is cached here), the first-run defaults, and the special lists
// (ignore, highlight, notify) kept as strings of blank-terminated entries.
// Every failed store call is reported to the error log under the operation's name.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "settings/colour_table.h"
#include "settings/setting_defaults.h"

namespace kolu {

class ErrorLog;
class Clock;
class Random;

inline constexpr std::u16string_view kSettingsKey = u"SOFTWARE\\Marvoline\\Kolu";
inline constexpr std::u16string_view kSoundsKey = u"SOFTWARE\\Marvoline\\Kolu\\sounds";
inline constexpr std::u16string_view kInstallKey = u"SOFTWARE\\Apps\\Marvoline Kolu";

// Sizes in bytes of the string values, as read and written.
inline constexpr std::uint32_t kSoundValueSize = 500;
// Folders (InstallDir, dictpath) are read with room for a full path.
inline constexpr std::uint32_t kFolderValueSize = 1024;
// A special list holds fewer than 2000 characters, blanks included; it is read
// and written with room for all of them and the terminator, so an addition the
// limit allows is never cut off when the list is stored.
inline constexpr std::size_t kSpecialListLimit = 2000;
inline constexpr std::uint32_t kSpecialListSize = (kSpecialListLimit + 1) * 2;

class Settings {
  public:
    // `fallbackInstallDir` (ending in '/') stands in when `InstallDir` can't be read,
    // so nothing is ever written relative to the root folder.
    Settings(RegistryStore& store, ErrorLog& log, const Clock& clock, Random& random,
             std::u16string fallbackInstallDir);

    // A 32-bit value of the settings key; -1 when the key or the value is missing.
    std::int32_t RegCzytajLONG(std::u16string_view name);
    void RegZapiszLONG(std::u16string_view name, std::int32_t value);
    // A number setting within [low, high]; its first-run default when it is missing
    // (a store written by an older version lacks it) or out of range.
    std::int32_t RegCzytajLimit(std::u16string_view name, std::int32_t low, std::int32_t high);
    // An on/off setting as the client reads it (switchIsOn).
    bool switchOn(SwitchName name);

    // Reads a string value stored in at most `sizeBytes` bytes into `buffer`; on any
    // failure `buffer` is left as it was. Returns whether it was read.
    bool RegCzytajMsg(std::u16string_view name, std::u16string& buffer, std::uint32_t sizeBytes);
    // Writes a string value; text beyond sizeBytes / 2 - 1 characters is cut at a
    // whole character.
    void RegZapiszMsg(std::u16string_view name, std::u16string_view text, std::uint32_t sizeBytes);

    // Reads `kolory` (96 bytes); the table is untouched on failure.
    bool RegCzytajKolory(ColourArray& table);

    // The installation folder, always ending in '/'.
    std::u16string CzytajInstallDir();
    // The dictionary folder, always ending in '/'.
    std::u16string CzytajDictPath();
    // 1 and installation folder + `bmpfile` when a picture is chosen; 0 otherwise.
    int CzytajBmpFile(std::u16string& path);
    // Names of the installation folder's files matching `pattern` ("*.wav"), in the
    // order the file system lists them; a folder with none is reported.
    std::vector<std::u16string> listInstallFiles(std::u16string_view pattern);
    // Installation folder + the event's sound file; `path` untouched when none is set.
    void RegWczytajDzwiek(std::u16string_view event, std::u16string& path);

    // Position of `name` among the list's entries, -1 when absent.
    static int RegSpListSzukaj(std::u16string_view name, std::u16string_view list);
    // -1 when `enableName` is not "" and reads 0; otherwise the position in the list.
    int RegSpListJest(std::u16string_view name, std::u16string_view enableName,
                      std::u16string_view listName);
    int RegSpListDodaj(std::u16string_view name, std::u16string_view listName);
    int RegSpListUsun(std::u16string_view name, std::u16string_view listName);

    // First-run check at start-up: fills an existing settings key without `server`.
    int RegTworzKlucz();
    // Writes every default in order through the open settings key, then the sounds.
    int RegTworzRejestr(RegKey key);
    int RegTworzDzwieki();

    // The store and log behind these operations, for callers that write a whole
    // set of values through one opened key (the options dialog).
    RegistryStore& store() { return m_store; }
    ErrorLog& errorLog() { return m_log; }
    // The clock behind the store, for callers that limit how often they act.
    const Clock& clock() const { return m_clock; }

    // The default e-mail address written on the first run.
    void setDefaultEmail(std::u16string email) { m_defaultEmail = std::move(email); }

  private:
    bool readSpecialList(std::u16string_view listName, std::u16string& list, const char16_t* label);
    std::u16string readFolder(RegKey key, std::u16string_view name, const char16_t* label);

    RegistryStore& m_store;
    ErrorLog& m_log;
    const Clock& m_clock;
    Random& m_random;
    std::u16string m_fallbackInstallDir;
    std::u16string m_defaultEmail = u"kolu@localhost";
};

}  // namespace kolu
