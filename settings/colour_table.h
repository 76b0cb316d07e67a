#pragma once
// The client's 24 colours: backgrounds and text colours of the input line, user
// list and text view, then the 17 line colour classes events are printed in.
// The main window keeps one copy, read from the settings at start-up and again
// after the options dialog is accepted.
#include <array>
#include <cstdint>
#include <string_view>

namespace kolu {

class Settings;

// 0x00BBGGRR, red in the low byte.
using Colour = std::uint32_t;

constexpr Colour rgb(unsigned red, unsigned green, unsigned blue) {
    return (red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16);
}
constexpr unsigned redOf(Colour c) {
    return c & 0xFF;
}
constexpr unsigned greenOf(Colour c) {
    return (c >> 8) & 0xFF;
}
constexpr unsigned blueOf(Colour c) {
    return (c >> 16) & 0xFF;
}

// Line colour classes, in table order (entry 7 + class).
enum class LineClass {
    Action,
    Ping,
    Invite,
    Join,
    Part,
    Topic,
    Whois,
    Mode,
    Normal,
    Notice,
    Notify,
    Hlight,
    Nick,
    Kick,
    Quit,
    Info,
    Info2,
};
constexpr int kLineClassCount = 17;

// Entries before the line classes.
enum ColourIndex : int {
    kInputBackground = 0,
    kInputText = 1,
    kUserListBackground = 2,
    kOperatorColour = 3,
    kVoiceColour = 4,
    kUserColour = 5,
    kTextViewBackground = 6,
    kFirstLineClass = 7,
};
constexpr int kColourCount = 24;
constexpr std::uint32_t kColourTableBytes = kColourCount * 4;

// Colours outside the table.
constexpr Colour kLocalMessageColour = 0x800000;  // hints and errors of typed commands
constexpr Colour kHiddenTabGrey = 0x808080;       // label of a hidden tab after a colour-0 line

using ColourArray = std::array<Colour, kColourCount>;

// The name the options dialog shows for a line class ("Action" ... "Info2").
std::u16string_view lineClassName(LineClass lineClass);

// Fills the table with the first-run defaults; returns 1.
int OpKoloryDomyslne(ColourArray& table);

// The main window's copy of the table.
class ColourTable {
  public:
    Colour operator[](int index) const { return m_entries[index]; }
    Colour of(LineClass lineClass) const {
        return m_entries[kFirstLineClass + static_cast<int>(lineClass)];
    }
    const ColourArray& entries() const { return m_entries; }
    void set(const ColourArray& entries) { m_entries = entries; }

    // Reads `kolory`; when it can't be read the copy keeps what it held
    // (all black at start-up). Returns whether it was read.
    bool reload(Settings& settings);

  private:
    ColourArray m_entries{};
};

}  // namespace kolu
