// The colour editor's arithmetic and state: the colour field's cells, the shade
// strip, and which slot a palette choice lands in.
#include <gtest/gtest.h>

#include "options/model/colour_editor.h"

namespace kolu {
namespace {

TEST(ColourField, CellsRunRoundTheCircleAndFadeTowardGrey) {
    EXPECT_EQ(OpKolorKomorki(0, 0), rgb(255, 0, 0));
    EXPECT_EQ(OpKolorKomorki(4, 0), rgb(255, 255, 0));
    EXPECT_EQ(OpKolorKomorki(8, 0), rgb(0, 255, 0));
    EXPECT_EQ(OpKolorKomorki(12, 5), rgb(64, 191, 191));
    EXPECT_EQ(OpKolorKomorki(20, 3), rgb(216, 39, 216));             // truncation toward zero
    EXPECT_EQ(OpKolorKomorki(129 / 8, 73 / 8), rgb(116, 116, 140));  // the initial cell
    for (int column = 0; column < kBigPalColumns; ++column) {
        const Colour grey = OpKolorKomorki(column, 9);
        for (unsigned channel : {redOf(grey), greenOf(grey), blueOf(grey)}) {
            EXPECT_GE(channel, 116u) << column;
            EXPECT_LE(channel, 140u) << column;
        }
    }
    // The selected cell's outline inverts its column's pure colour, whatever the row.
    EXPECT_EQ(bigPalOutline(2), rgb(0, 127, 255));
}

TEST(ShadeStrip, LightShadesThenTheBaseThenDarkOnes) {
    const auto shades = OpOdcienie(rgb(255, 0, 0));
    EXPECT_EQ(shades[0], rgb(255, 217, 217));
    EXPECT_EQ(shades[7], rgb(255, 0, 0));
    EXPECT_EQ(shades[8], rgb(224, 0, 0));
    EXPECT_EQ(shades[15], rgb(7, 0, 0));
}

TEST(ColourEditor, AChoiceLandsInTheOpenSwatchsSlotOnly) {
    ColourEditor editor;
    editor.defaults();
    ColourArray table = editor.table();
    EXPECT_FALSE(editor.store(0x123456)) << "no swatch open: nothing stored";
    EXPECT_EQ(editor.table(), table);

    editor.useList(ColourEditor::kUserListColours, 1);  // "Voice color" on the list's background
    EXPECT_EQ(editor.textSlot(), kVoiceColour);
    EXPECT_EQ(editor.backgroundSlot(), kUserListBackground);
    editor.toggleSwatch(ColourEditor::Swatch::Background);
    EXPECT_TRUE(editor.paletteShown());
    EXPECT_TRUE(editor.store(0x123456));
    table[kUserListBackground] = 0x123456;
    EXPECT_EQ(editor.table(), table);
    EXPECT_FALSE(editor.paletteShown());
    EXPECT_EQ(editor.openSwatch(), ColourEditor::Swatch::None);

    editor.useList(ColourEditor::kInputColour, 0);
    editor.toggleSwatch(ColourEditor::Swatch::Text);
    editor.useList(ColourEditor::kLineClassList, 16);  // a list tap closes the palette
    EXPECT_FALSE(editor.paletteShown());
    EXPECT_TRUE(editor.store(0x654321));
    EXPECT_EQ(editor.table()[kFirstLineClass + 16], 0x654321u);
}

}  // namespace
}  // namespace kolu
