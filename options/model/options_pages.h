#pragma once
// What the options dialog shows on its pages, as plain values: the dialog fills
// its controls from an OptionsPages that wczytaj_ustawienia read from the
// settings, and hands one back to zapisz_ustawienia when the user accepts it.
// Control ids are the dialog's own, so the tables below tie each control to its
// setting in one place.
#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "servers/server_list.h"
#include "settings/colour_table.h"

namespace kolu {

enum class OptionsPage { Connection, Options, Colors, Sounds, Info, Files };

// A check box and the 32-bit setting it shows: checked as the client reads the
// value (switchIsOn), stored as 1 or 0.
struct CheckSetting {
    int id;
    std::u16string_view name;
    OptionsPage page;
};

inline constexpr CheckSetting kCheckSettings[] = {
    {1201, u"short_jp", OptionsPage::Options},  {1202, u"show_adr", OptionsPage::Options},
    {1203, u"rejoin", OptionsPage::Options},    {1206, u"reconnect", OptionsPage::Options},
    {1207, u"hideping", OptionsPage::Options},  {1208, u"skipmotd", OptionsPage::Options},
    {1209, u"splashscr", OptionsPage::Options}, {1210, u"ircv3", OptionsPage::Options},
    {1211, u"showlag", OptionsPage::Options},   {1212, u"ntf_hlight", OptionsPage::Options},
    {1213, u"ntf_priv", OptionsPage::Options},  {1214, u"ntf_notify", OptionsPage::Options},
    {1401, u"bmp", OptionsPage::Colors},        {1501, u"snd_enable", OptionsPage::Sounds},
    {1601, u"tstamps", OptionsPage::Info},      {1611, u"en_ignore", OptionsPage::Info},
    {1613, u"en_hlights", OptionsPage::Info},   {1615, u"en_notify", OptionsPage::Info},
    {1617, u"not_whois", OptionsPage::Info},    {1701, u"logchan", OptionsPage::Files},
    {1702, u"logpriv", OptionsPage::Files},     {1703, u"logstat", OptionsPage::Files},
    {1704, u"debug", OptionsPage::Files},       {1709, u"whsp_enable", OptionsPage::Files},
    {1710, u"whspteach", OptionsPage::Files},   {1711, u"whspback", OptionsPage::Files},
    {1716, u"hist_enable", OptionsPage::Files},
};

// A text field and the string setting it edits. The field takes fieldLimit - 1
// characters (its limit counts the terminator); the names lose trailing blanks.
struct TextSetting {
    int id;
    std::u16string_view name;
    std::uint32_t sizeBytes;
    int fieldLimit;
    OptionsPage page;
    bool trimRight;
};

inline constexpr TextSetting kTextSettings[] = {
    {1110, u"nick", 120, 60, OptionsPage::Connection, true},
    {1112, u"alternick", 120, 60, OptionsPage::Connection, true},
    {1114, u"fullname", 500, 250, OptionsPage::Connection, true},
    {1116, u"email", 240, 120, OptionsPage::Connection, true},
    {1603, u"partmsg", 500, 250, OptionsPage::Info, false},
    {1605, u"quitmsg", 500, 250, OptionsPage::Info, false},
    {1705, u"logpath", 500, 250, OptionsPage::Files, false},
};

// A special list's drop-down list, its setting and its Add prompt's id.
struct SpecialListSetting {
    int id;
    std::u16string_view name;
};

inline constexpr SpecialListSetting kSpecialListSettings[] = {
    {1612, u"ignore"},
    {1614, u"hlights"},
    {1616, u"notify"},
};
inline constexpr int kSpecialListCount = 3;
inline constexpr int kSoundEventCount = 13;
inline constexpr int kSmallestFontSize = 11;  // font index 0; index 15 is 26
inline constexpr int kMaxWhispers = 5;
// "Keep for" on the Files page: days of history, 0 for ever.
inline constexpr int kHistoryDayChoices[] = {0, 7, 30, 90, 365};

struct OptionsPages {
    // Connection: the dialog's own server list; `server` as read, and on saving
    // the record of the chosen server entry (null: none chosen).
    ServerList servers;
    std::int32_t server = -1;
    const ServerRecord* chosenServer = nullptr;

    std::map<int, bool> checks;           // by check box id
    std::map<int, std::u16string> texts;  // by text field id
    // String values, by name, that could not be read (too long for their page's
    // buffer, or missing): shown empty, and left as they are while still empty.
    std::set<std::u16string, std::less<>> unreadTexts;   // of the settings key
    std::set<std::u16string, std::less<>> unreadSounds;  // of the sounds key

    // Colors
    ColourArray colours{};
    std::int32_t fonts = 34;               // bits 4-7 text view, 0-3 user list
    std::vector<std::u16string> pictures;  // "*.bmp" of the installation folder
    std::u16string bmpfile;                // the chosen picture, "" for the first
    int bmpblend = 6;                      // 0 to 10
    int vga = 0;                           // 0 QVGA, 1 Real-VGA
    std::int32_t textsize = 0;             // "Text size": one of kTextSizes

    // Sounds: each event's file ("" none), and the "*.wav" files to choose from.
    std::array<std::u16string, kSoundEventCount> soundFiles;
    std::vector<std::u16string> wavFiles;

    // Info: the entries of the ignore, highlight and notify lists.
    std::array<std::vector<std::u16string>, kSpecialListCount> lists;

    // Files
    int whspmax = 2;  // 1 to 5
    std::int32_t histdays = 0;  // days the history keeps; 0 forever

    bool check(int id) const {
        const auto it = checks.find(id);
        return it != checks.end() && it->second;
    }
    const std::u16string& text(int id) const;
};

// OpRejestrDoListy's split: every piece followed by a blank, in order (two blanks
// in a row give an empty entry; a piece after the last blank is not one).
std::vector<std::u16string> splitSpecialList(std::u16string_view list);
// OpListaDoRejestru's join: each entry followed by one blank.
std::u16string joinSpecialList(const std::vector<std::u16string>& entries);
// Adds `entry` unless it is empty or holds a blank (the stored list would split
// it), is already an entry (regardless of case), or would take the stored list
// to its 2000-character limit.
enum class SpecialListAdd { Added, Invalid, Duplicate, Full };
SpecialListAdd addSpecialListEntry(std::vector<std::u16string>& entries, std::u16string entry);

}  // namespace kolu
