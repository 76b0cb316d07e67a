#pragma once
// The View page's colour editor as plain state: the dialog's working copy of the
// colour table, which entry the text and background slots point at, which
// swatch has the quick palette open; and the arithmetic of the quick palette,
// the colour field (BigPal) and the shade strip (GreyPal).
#include <array>

#include "settings/colour_table.h"

namespace kolu {

// The quick palette, in button order (button i has command id 601 + i).
inline constexpr std::array<Colour, 16> kQuickPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x0080FF, 0x800080, 0x808080, 0xC0C0C0,
};

// The colour field: 24 columns once round the colour circle, 10 rows from the
// pure colour toward grey 128.
inline constexpr int kBigPalColumns = 24;
inline constexpr int kBigPalRows = 10;
inline constexpr int kBigPalCell = 8;  // pixels, scaled
// The pure colour of column `column` (row 0).
Colour bigPalBase(int column);
// OpKolorKomorki: each channel v of the base becomes 128 + ((v - 128) * L) / 100
// with L = 100 - 10 * row, truncating toward zero, kept to its low 8 bits.
Colour OpKolorKomorki(int column, int row);
// The outline of a selected cell: 255 - v per channel of its column's base.
Colour bigPalOutline(int column);

// OpOdcienie: 16 shades of `base`, cells 0-7 light to the base, 8-15 darker.
inline constexpr int kShadeCount = 16;
std::array<Colour, kShadeCount> OpOdcienie(Colour base);
// The outline of a selected shade: its inverse.
Colour inverseColour(Colour colour);

class ColourEditor {
  public:
    enum class Swatch { None, Text, Background };
    // The preview lists, by control id.
    static constexpr int kLineClassList = 1301;
    static constexpr int kUserListColours = 1302;
    static constexpr int kInputColour = 1303;

    const ColourArray& table() const { return m_table; }
    void setTable(const ColourArray& table) { m_table = table; }
    int textSlot() const { return m_textSlot; }
    int backgroundSlot() const { return m_backgroundSlot; }
    Colour textColour() const { return m_table[m_textSlot]; }
    Colour backgroundColour() const { return m_table[m_backgroundSlot]; }
    Swatch openSwatch() const { return m_open; }
    bool paletteShown() const { return m_paletteShown; }
    int lastList() const { return m_lastList; }

    // The table entries of list `id`: its first item's text colour and its background.
    static int firstTextEntry(int list);
    static int backgroundEntry(int list);

    // A tap on item `item` of a preview list (OpUstawKolorListy): the palette
    // closes; the slots point at that item's colour and the list's background.
    void useList(int list, int item);
    // A tap on a swatch: the palette opens over it, or closes when it was shown.
    void toggleSwatch(Swatch swatch);
    void hidePalette() { m_paletteShown = false; }
    // A colour for the open swatch's slot (a quick palette button or the
    // "Select color" dialog); the palette closes and no swatch stays open.
    // Returns false when no swatch was open (nothing stored).
    bool store(Colour colour);
    // "Default": the table's first-run colours.
    void defaults();

  private:
    ColourArray m_table{};
    int m_textSlot = kFirstLineClass;
    int m_backgroundSlot = kTextViewBackground;
    Swatch m_open = Swatch::None;
    bool m_paletteShown = false;
    int m_lastList = kLineClassList;
};

}  // namespace kolu
