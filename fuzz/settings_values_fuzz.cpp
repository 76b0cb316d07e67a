// Arbitrary settings-file bytes as the store loads them, then the ignore,
// highlight and notify lists and the colour table read from them the way the
// options dialog and the lookups do. Beyond the sanitizers, it checks:
// - a list shows as exactly its blank-terminated entries (none holding a blank),
//   and a lookup of each entry finds the first entry equal to it regardless of
//   case; a list that can't be read shows as empty;
// - the colour table is the stored 96 bytes, low byte first, or the defaults
//   when the value has another size;
// - saving the pages and reading them back keeps the lists, colours and
//   switches, and a second save changes nothing more;
// - adding a name to a list and removing it again leaves the list as it was
//   (its last piece ended by a blank).
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "options/model/options_store.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "settings/colour_table.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "tests/support/fake_clock.h"

namespace {

using namespace kolu;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "settings_values_fuzz: broken: %s\n", what);
        std::abort();
    }
}

// One scratch folder for the process, emptied before every input.
class ScratchFolder {
  public:
    ScratchFolder() {
        namespace fs = std::filesystem;
        std::error_code error;
        const std::string base =
            fs::is_directory("/dev/shm", error) ? "/dev/shm" : fs::temp_directory_path().string();
        std::string pattern = base + "/kolu-values-fuzz-XXXXXX";
        require(mkdtemp(pattern.data()) != nullptr, "a scratch folder");
        m_path = pattern + "/";
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }

    const std::string& emptied() const {
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            std::filesystem::remove_all(entry.path());
        }
        return m_path;
    }

  private:
    std::string m_path;
};

bool hasSettingsKey(RegistryStore& store) {
    RegKey key;
    if (store.openKey(kSettingsKey, key) != kErrorSuccess) {
        return false;
    }
    store.closeKey(key);
    return true;
}

// The stored list when it reads as a string that fits its buffer, else nothing.
std::optional<std::u16string> storedList(Settings& settings, std::u16string_view name) {
    std::u16string list;
    if (!settings.RegCzytajMsg(name, list, kSpecialListSize)) {
        return std::nullopt;
    }
    return list;
}

void checkList(Settings& settings, std::u16string_view name,
               const std::vector<std::u16string>& entries) {
    const std::optional<std::u16string> stored = storedList(settings, name);
    if (!stored) {
        require(entries.empty(), "an unreadable list shows no entries");
        return;
    }
    std::u16string joined;
    for (const std::u16string& entry : entries) {
        require(entry.find(u' ') == std::u16string::npos, "an entry holds no blank");
        joined += entry + u' ';
    }
    const std::size_t lastBlank = stored->rfind(u' ');
    require(joined == stored->substr(0, lastBlank == std::u16string::npos ? 0 : lastBlank + 1),
            "the entries are the list's blank-terminated pieces");
    for (std::size_t i = 0; i < entries.size() && i < 32; ++i) {
        std::size_t first = 0;
        while (!equalsIgnoreCase(entries[first], entries[i])) {
            ++first;
        }
        require(Settings::RegSpListSzukaj(entries[i], *stored) == static_cast<int>(first),
                "a lookup finds the first entry equal regardless of case");
    }
}

void checkColours(RegistryStore& store, const ColourArray& colours) {
    ColourArray expected{};
    OpKoloryDomyslne(expected);
    RegKey key;
    if (store.openKey(kSettingsKey, key) == kErrorSuccess) {
        unsigned char bytes[kColourTableBytes + 1];
        std::uint32_t size = sizeof bytes;
        std::uint32_t type = 0;
        if (store.queryValue(key, u"kolory", &type, bytes, &size) == kErrorSuccess &&
            size == kColourTableBytes) {
            for (int i = 0; i < kColourCount; ++i) {
                const unsigned char* p = bytes + 4 * i;
                expected[i] = p[0] | p[1] << 8 | p[2] << 16 | static_cast<Colour>(p[3]) << 24;
            }
        }
        store.closeKey(key);
    }
    require(colours == expected, "the colours are the stored bytes or the defaults");
}

bool sameListsColoursSwitches(const OptionsPages& a, const OptionsPages& b) {
    return a.lists == b.lists && a.colours == b.colours && a.checks == b.checks;
}

bool samePages(const OptionsPages& a, const OptionsPages& b) {
    return sameListsColoursSwitches(a, b) && a.texts == b.texts && a.server == b.server &&
           a.fonts == b.fonts && a.bmpfile == b.bmpfile && a.bmpblend == b.bmpblend &&
           a.vga == b.vga && a.soundFiles == b.soundFiles && a.whspmax == b.whspmax;
}

// A name added to the notify list is found last, and removing it restores the list.
void checkAddAndRemove(Settings& settings) {
    constexpr std::u16string_view kName = u"FuzzAdded";
    const std::optional<std::u16string> before = storedList(settings, u"notify");
    if (!before || Settings::RegSpListSzukaj(kName, *before) >= 0) {
        return;
    }
    // A last piece without its blank becomes an entry first.
    const std::u16string terminated =
        before->empty() || before->back() == u' ' ? *before : *before + u' ';
    if (terminated.size() + kName.size() + 1 >= kSpecialListLimit) {
        return;
    }
    settings.RegSpListDodaj(kName, u"notify");
    const std::optional<std::u16string> added = storedList(settings, u"notify");
    require(added && *added == terminated + std::u16string(kName) + u' ', "the name is added last");
    settings.RegSpListUsun(kName, u"notify");
    require(storedList(settings, u"notify") == terminated, "removing it restores the list");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder scratch;
    const std::string& folder = scratch.emptied();
    const std::string file = folder + "registry";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data), size);

    const std::u16string home = fromUtf8(folder);
    RegistryStore store{file};
    test::FakeClock clock;
    test::FakeRandom random;
    ErrorLog log{store, clock, home};
    Settings settings{store, log, clock, random, home};
    const ServerListServices services{settings, log, clock, random};

    const OptionsPages pages = wczytaj_ustawienia(services);
    for (int i = 0; i < kSpecialListCount; ++i) {
        checkList(settings, kSpecialListSettings[i].name, pages.lists[i]);
    }
    checkColours(store, pages.colours);
    checkAddAndRemove(settings);

    // Without the settings key (a file that lacks it) there is nothing to save into.
    if (!zapisz_ustawienia(services, pages).settingsSaved) {
        require(!hasSettingsKey(store), "the pages are saved");
        return 0;
    }
    const OptionsPages reread = wczytaj_ustawienia(services);
    require(sameListsColoursSwitches(pages, reread), "lists, colours and switches read back");
    require(zapisz_ustawienia(services, reread).settingsSaved, "the pages are saved again");
    require(samePages(reread, wczytaj_ustawienia(services)), "a second save changes nothing");
    return 0;
}
