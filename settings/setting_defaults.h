#pragma once
// Every value of the settings key with its first-run default, in the order the
// first run writes them, and the event sounds with their first-run files.
#include <cstdint>
#include <string_view>

namespace kolu {

enum class SettingKind {
    Dword,
    Text,           // the fixed text below
    Nick,           // "kolu" + a random number 1..250
    AlterNick,      // "kolu" + a second random number
    Email,          // the default e-mail address
    InstallFolder,  // the installation folder
    Colours,        // the 96-byte colour table
};

// How the client reads a number that switches something on or off. Most
// switches are on unless they read 0, so a missing one (-1) is on; a few are on
// only when they read exactly 1. Every reader and the options dialog's check
// boxes go through switchIsOn, so the dialog shows what the client does.
enum class SwitchReading { OnlyWhenOne, UnlessZero };

struct SettingDefault {
    std::u16string_view name;
    SettingKind kind;
    std::uint32_t sizeBytes;  // strings: bytes used to read and write the value
    std::int32_t number;
    std::u16string_view text;
    SwitchReading reading = SwitchReading::OnlyWhenOne;
};

inline constexpr std::u16string_view kProgramName = u"Marvoline Kolu v1.3";

inline constexpr SettingDefault kSettingDefaults[] = {
    {u"server", SettingKind::Dword, 4, 0, {}},
    {u"nick", SettingKind::Nick, 120, 0, {}},
    {u"alternick", SettingKind::AlterNick, 120, 0, {}},
    {u"fullname", SettingKind::Text, 500, 0, kProgramName},
    {u"email", SettingKind::Email, 240, 0, {}},
    {u"short_jp", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"show_adr", SettingKind::Dword, 4, 0, {}},
    {u"rejoin", SettingKind::Dword, 4, 0, {}},
    {u"reconnect", SettingKind::Dword, 4, 0, {}},
    {u"hideping", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"skipmotd", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"splashscr", SettingKind::Dword, 4, 1, {}},
    {u"kolory", SettingKind::Colours, 96, 0, {}},
    {u"Fonts", SettingKind::Dword, 4, 34, {}},
    {u"bmp", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"bmpfile", SettingKind::Text, 500, 0, u""},
    {u"VGA", SettingKind::Dword, 4, 0, {}},
    {u"bmpblend", SettingKind::Dword, 4, 6, {}},
    {u"snd_enable", SettingKind::Dword, 4, 1, {}, SwitchReading::UnlessZero},
    {u"tstamps", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"partmsg", SettingKind::Text, 500, 0, kProgramName},
    {u"quitmsg", SettingKind::Text, 500, 0, kProgramName},
    {u"en_ignore", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"en_hlights", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"en_notify", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"not_whois", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"ignore", SettingKind::Text, 4002, 0, u""},
    {u"hlights", SettingKind::Text, 4002, 0, u""},
    {u"notify", SettingKind::Text, 4002, 0, u""},
    {u"logchan", SettingKind::Dword, 4, 0, {}},
    {u"logpriv", SettingKind::Dword, 4, 0, {}},
    {u"logstat", SettingKind::Dword, 4, 0, {}},
    {u"logpath", SettingKind::InstallFolder, 500, 0, {}},
    {u"debug", SettingKind::Dword, 4, 0, {}},
    {u"whsp_enable", SettingKind::Dword, 4, 1, {}, SwitchReading::UnlessZero},
    {u"whspteach", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"whspback", SettingKind::Dword, 4, 0, {}, SwitchReading::UnlessZero},
    {u"whspmax", SettingKind::Dword, 4, 2, {}},
    // Outbound pacing: lines that may go at once, then one per sendpace
    // milliseconds while more wait (what servers allow before they drop a flooder).
    {u"sendburst", SettingKind::Dword, 4, 5, {}},
    {u"sendpace", SettingKind::Dword, 4, 2000, {}},
    // Limits on other people's traffic (read with Settings::RegCzytajLimit).
    {u"qlimit", SettingKind::Dword, 4, 10, {}},      // new query tabs per qlimitsec
    {u"qlimitsec", SettingKind::Dword, 4, 30, {}},   // seconds
    {u"pinglimit", SettingKind::Dword, 4, 3, {}},    // CTCP PING replies per pinglimsec
    {u"pinglimsec", SettingKind::Dword, 4, 10, {}},  // seconds
    {u"sndgapms", SettingKind::Dword, 4, 1000, {}},  // between plays of one sound; 0: no limit
    {u"histmax", SettingKind::Dword, 4, 500, {}},    // lines the input line's history keeps
    // Negotiates capabilities and SASL with servers that offer them.
    {u"ircv3", SettingKind::Dword, 4, 1, {}, SwitchReading::UnlessZero},
    // The client's own check of a silent link: a PING after lagcheck seconds
    // without a byte from the server (0: none), the link given up after
    // lagtimeout seconds more (0: never); showlag prints each lag measured.
    {u"lagcheck", SettingKind::Dword, 4, 90, {}},
    {u"lagtimeout", SettingKind::Dword, 4, 120, {}},
    {u"showlag", SettingKind::Dword, 4, 0, {}},
    // The window's normal geometry (winw 0: none remembered yet) and its state:
    // 0 normal, 1 maximised, 2 full screen.
    {u"winx", SettingKind::Dword, 4, 0, {}},
    {u"winy", SettingKind::Dword, 4, 0, {}},
    {u"winw", SettingKind::Dword, 4, 0, {}},
    {u"winh", SettingKind::Dword, 4, 0, {}},
    {u"winstate", SettingKind::Dword, 4, 0, {}},
    // "Text size": 0 Automatic (the screen's DPI), else percent (100, 150, 200, 300).
    {u"textsize", SettingKind::Dword, 4, 0, {}},
    // Desktop notifications while the window is in the background, per kind.
    {u"ntf_hlight", SettingKind::Dword, 4, 1, {}, SwitchReading::UnlessZero},
    {u"ntf_priv", SettingKind::Dword, 4, 1, {}, SwitchReading::UnlessZero},
    {u"ntf_notify", SettingKind::Dword, 4, 1, {}, SwitchReading::UnlessZero},
    // The stored history: kept at all (read at start-up); lines each tab holds in
    // memory before the oldest are read back from the store instead; lines shown
    // again when a tab opens; rows older than histdays days (0: forever) or past
    // histmb megabytes are removed.
    {u"hist_enable", SettingKind::Dword, 4, 1, {}, SwitchReading::UnlessZero},
    {u"histlines", SettingKind::Dword, 4, 20000, {}},
    {u"histreplay", SettingKind::Dword, 4, 100, {}},
    {u"histdays", SettingKind::Dword, 4, 0, {}},
    {u"histmb", SettingKind::Dword, 4, 1024, {}},
};

constexpr const SettingDefault* findSetting(std::u16string_view name) {
    for (const SettingDefault& setting : kSettingDefaults) {
        if (setting.name == name) {
            return &setting;
        }
    }
    return nullptr;
}

constexpr bool switchIsOn(SwitchReading reading, std::int32_t value) {
    return reading == SwitchReading::UnlessZero ? value != 0 : value == 1;
}

// Whether the switch `name` reading `value` (-1 when missing) is on.
constexpr bool switchIsOn(std::u16string_view name, std::int32_t value) {
    const SettingDefault* setting = findSetting(name);
    return switchIsOn(setting ? setting->reading : SwitchReading::OnlyWhenOne, value);
}

// A switch named in the code, its reading found when the program is compiled
// (the readers ask for every line shown); a name not in the table above does
// not compile.
class SwitchName {
  public:
    consteval SwitchName(const char16_t* name)
        : m_name(name), m_reading(findSetting(name)->reading) {}

    std::u16string_view name() const { return m_name; }
    bool isOn(std::int32_t value) const { return switchIsOn(m_reading, value); }

  private:
    std::u16string_view m_name;
    SwitchReading m_reading;
};

struct SoundDefault {
    std::u16string_view event;
    std::u16string_view file;
};

// The thirteen events in order (also the rows of the sounds list).
inline constexpr SoundDefault kSoundDefaults[] = {
    {u"join", u"join.wav"},
    {u"part", u"part.wav"},
    {u"query", u""},
    {u"invite", u""},
    {u"notice", u"notice.wav"},
    {u"highlight", u"highlight.wav"},
    {u"quit", u"quit.wav"},
    {u"ping", u"ping.wav"},
    {u"kick", u"kick.wav"},
    {u"op", u"op.wav"},
    {u"deop", u""},
    {u"voice", u""},
    {u"devoice", u""},
};

}  // namespace kolu
