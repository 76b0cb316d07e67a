#include <gtest/gtest.h>

#include "tests/support/settings_env.h"
#include "ui/colour_table.h"
#include "ui/time_stamp.h"

namespace kolu {
namespace {

TEST(ColourTable, DefaultsGiveTheDocumentedLineColours) {
    ColourArray defaults{};
    EXPECT_EQ(OpKoloryDomyslne(defaults), 1);
    ColourTable table;
    table.set(defaults);
    EXPECT_EQ(table.of(LineClass::Join), 0x00FF00u);
    EXPECT_EQ(table.of(LineClass::Notice), 0x000080u);
    EXPECT_EQ(table.of(LineClass::Hlight), 0xFF00FFu);
    EXPECT_EQ(table.of(LineClass::Normal), 0u);
    EXPECT_EQ(table.of(LineClass::Action), 0x800080u);
    EXPECT_EQ(table.of(LineClass::Info2), 0x00FF00u);
    EXPECT_EQ(table[kInputBackground], rgb(255, 233, 217));
    EXPECT_EQ(table[kUserListBackground], rgb(241, 255, 217));
    EXPECT_EQ(table[kTextViewBackground], rgb(255, 241, 217));
    EXPECT_EQ(lineClassName(LineClass::Info2), u"Info2");
    EXPECT_EQ(lineClassName(LineClass::Hlight), u"Hlight");
}

TEST(ColourTable, ReloadTakesChangesAndKeepsTheCopyWhenUnreadable) {
    test::SettingsEnv env;
    ColourTable table;
    EXPECT_FALSE(table.reload(env.settings));
    EXPECT_EQ(table.of(LineClass::Join), 0u);  // all black until read

    env.install();
    env.settings.RegTworzKlucz();
    ASSERT_TRUE(table.reload(env.settings));
    EXPECT_EQ(table.of(LineClass::Notice), 0x000080u);

    ColourArray changed = table.entries();
    changed[kFirstLineClass + static_cast<int>(LineClass::Notice)] = 0x0000FF;
    unsigned char bytes[96];
    for (int i = 0; i < 24; ++i) {
        for (int b = 0; b < 4; ++b) {
            bytes[4 * i + b] = static_cast<unsigned char>(changed[i] >> (8 * b));
        }
    }
    RegKey key;
    env.store.openKey(kSettingsKey, key);
    env.store.setValue(key, u"kolory", kRegBinary, bytes, sizeof bytes);
    env.store.closeKey(key);
    ASSERT_TRUE(table.reload(env.settings));
    EXPECT_EQ(table.of(LineClass::Notice), 0x0000FFu);
}

TEST(TimeStamps, PadHoursAndMinutesButNotTheDate) {
    SystemTime t;
    t.year = 2007, t.month = 9, t.day = 11, t.hour = 20, t.minute = 8;
    EXPECT_EQ(timeStamp(t), u"[20:08] ");
    EXPECT_EQ(errorLogStamp(t), u"[2007.9.11][20:08] ");
    t.hour = 9, t.minute = 5;
    EXPECT_EQ(timeStamp(t), u"[09:05] ");
    t.hour = 0, t.minute = 0, t.month = 12, t.day = 1;
    EXPECT_EQ(timeStamp(t), u"[00:00] ");
    EXPECT_EQ(errorLogStamp(t), u"[2007.12.1][00:00] ");
}

}  // namespace
}  // namespace kolu
