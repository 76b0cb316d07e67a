#include "options/model/colour_editor.h"

namespace kolu {
namespace {

constexpr int kUp[4] = {0, 64, 128, 192};
constexpr int kDown[4] = {255, 192, 128, 64};

struct Channels {
    int red, green, blue;
};

Channels baseChannels(int column) {
    const int step = column % 4;
    switch (column / 4) {
        case 0:
            return {255, kUp[step], 0};
        case 1:
            return {kDown[step], 255, 0};
        case 2:
            return {0, 255, kUp[step]};
        case 3:
            return {0, kDown[step], 255};
        case 4:
            return {kUp[step], 0, 255};
        default:
            return {255, 0, kDown[step]};
    }
}

}  // namespace

Colour bigPalBase(int column) {
    const Channels c = baseChannels(column);
    return rgb(c.red, c.green, c.blue);
}

Colour OpKolorKomorki(int column, int row) {
    const Channels c = baseChannels(column);
    const int level = 100 - 10 * row;
    // C++ division truncates toward zero, as the rule asks.
    auto toward = [level](int v) { return static_cast<unsigned>(128 + ((v - 128) * level) / 100); };
    return rgb(toward(c.red), toward(c.green), toward(c.blue));
}

Colour bigPalOutline(int column) {
    return inverseColour(bigPalBase(column));
}

std::array<Colour, kShadeCount> OpOdcienie(Colour base) {
    const unsigned channels[3] = {redOf(base), greenOf(base), blueOf(base)};
    std::array<Colour, kShadeCount> shades{};
    for (int k = 0; k < 8; ++k) {
        unsigned light[3];
        unsigned dark[3];
        for (int i = 0; i < 3; ++i) {
            const unsigned v = channels[i];
            light[i] = v + ((255 - v) / 8) * static_cast<unsigned>(7 - k);
            dark[i] = v - (v / 8) * static_cast<unsigned>(k + 1);
        }
        shades[k] = rgb(light[0], light[1], light[2]);
        shades[8 + k] = rgb(dark[0], dark[1], dark[2]);
    }
    return shades;
}

Colour inverseColour(Colour colour) {
    return rgb(255 - redOf(colour), 255 - greenOf(colour), 255 - blueOf(colour));
}

int ColourEditor::firstTextEntry(int list) {
    switch (list) {
        case kUserListColours:
            return kOperatorColour;
        case kInputColour:
            return kInputText;
        default:
            return kFirstLineClass;
    }
}

int ColourEditor::backgroundEntry(int list) {
    switch (list) {
        case kUserListColours:
            return kUserListBackground;
        case kInputColour:
            return kInputBackground;
        default:
            return kTextViewBackground;
    }
}

void ColourEditor::useList(int list, int item) {
    m_paletteShown = false;
    m_textSlot = firstTextEntry(list) + item;
    m_backgroundSlot = backgroundEntry(list);
    m_lastList = list;
}

void ColourEditor::toggleSwatch(Swatch swatch) {
    m_paletteShown = !m_paletteShown;
    m_open = swatch;
}

bool ColourEditor::store(Colour colour) {
    bool stored = true;
    switch (m_open) {
        case Swatch::Text:
            m_table[m_textSlot] = colour;
            break;
        case Swatch::Background:
            m_table[m_backgroundSlot] = colour;
            break;
        case Swatch::None:
            stored = false;
            break;
    }
    m_open = Swatch::None;
    m_paletteShown = false;
    return stored;
}

void ColourEditor::defaults() {
    OpKoloryDomyslne(m_table);
}

}  // namespace kolu
