#pragma once
// Filling the options pages from the settings and storing them back. Each page
// has a reader and a writer, called in page order on the settings key opened
// once. Saving is whole or nothing: servers.txt is staged first, every value is
// committed in one write of the settings file, and only then does the new
// servers.txt replace the old one, followed by `server`, the chosen position in
// it; when either write fails, both files keep what they held and the store
// forgets the values it could not save.
#include <string>

#include "options/model/options_pages.h"
#include "servers/server_list.h"

namespace kolu {

class Settings;

// Reads every page (and loads the dialog's own server list).
OptionsPages wczytaj_ustawienia(const ServerListServices& services);

struct OptionsSaveResult {
    // False: nothing was changed, and the dialog stays open.
    bool settingsSaved = false;
    // What to tell the user when anything could not be saved; "" when all was.
    std::u16string problem;
};

// Stores every page; the server list of `pages` is written to servers.txt.
OptionsSaveResult zapisz_ustawienia(const ServerListServices& services, const OptionsPages& pages);

}  // namespace kolu
