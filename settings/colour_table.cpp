#include "settings/colour_table.h"

#include "settings/settings.h"

namespace kolu {
namespace {

constexpr std::u16string_view kLineClassNames[kLineClassCount] = {
    u"Action", u"Ping",   u"Invite", u"Join", u"Part", u"Topic", u"Whois", u"Mode",  u"Normal",
    u"Notice", u"Notify", u"Hlight", u"Nick", u"Kick", u"Quit",  u"Info",  u"Info2",
};

constexpr ColourArray kDefaults = {
    0xD9E9FF, 0x000000, 0xD9FFF1, 0x000000, 0x000000, 0x000000, 0xD9F1FF, 0x800080,
    0x0000FF, 0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00, 0x000000, 0x00FF00, 0x000000,
    0x000080, 0x0080FF, 0xFF00FF, 0x00FF00, 0x00FF00, 0x800000, 0x800000, 0x00FF00,
};

}  // namespace

std::u16string_view lineClassName(LineClass lineClass) {
    return kLineClassNames[static_cast<int>(lineClass)];
}

int OpKoloryDomyslne(ColourArray& table) {
    table = kDefaults;
    return 1;
}

bool ColourTable::reload(Settings& settings) {
    ColourArray read = m_entries;
    if (!settings.RegCzytajKolory(read)) {
        return false;
    }
    m_entries = read;
    return true;
}

}  // namespace kolu
