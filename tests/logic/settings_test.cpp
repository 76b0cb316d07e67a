#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

class SettingsValues : public ::testing::Test {
  protected:
    void SetUp() override { env.install(); }
    test::SettingsEnv env;
};

TEST_F(SettingsValues, NumbersRoundTripAndMissingReadsMinusOne) {
    EXPECT_EQ(env.settings.RegCzytajLONG(u"tstamps"), -1);
    env.settings.RegZapiszLONG(u"tstamps", 1);
    env.settings.RegZapiszLONG(u"server", 7);
    env.settings.RegZapiszLONG(u"negative", -5);
    EXPECT_EQ(env.settings.RegCzytajLONG(u"tstamps"), 1);
    EXPECT_EQ(env.settings.RegCzytajLONG(u"SERVER"), 7);
    EXPECT_EQ(env.settings.RegCzytajLONG(u"negative"), -5);
}

// A store from an older version lacks the limits: missing or out of range reads the default.
TEST_F(SettingsValues, ALimitOutOfRangeOrMissingReadsItsDefault) {
    EXPECT_EQ(env.settings.RegCzytajLimit(u"qlimit", 1, 100), 10);
    env.settings.RegZapiszLONG(u"qlimit", 0);
    EXPECT_EQ(env.settings.RegCzytajLimit(u"qlimit", 1, 100), 10);
    env.settings.RegZapiszLONG(u"qlimit", 101);
    EXPECT_EQ(env.settings.RegCzytajLimit(u"qlimit", 1, 100), 10);
    env.settings.RegZapiszLONG(u"qlimit", 100);
    EXPECT_EQ(env.settings.RegCzytajLimit(u"qlimit", 1, 100), 100);
}

TEST_F(SettingsValues, NothingIsWrittenWithoutTheKey) {
    test::SettingsEnv bare;  // no settings key
    bare.settings.RegZapiszLONG(u"tstamps", 1);
    EXPECT_EQ(bare.settings.RegCzytajLONG(u"tstamps"), -1);
    EXPECT_FALSE(bare.hasValue(kSettingsKey, u"tstamps"));
}

TEST_F(SettingsValues, StringsRoundTripAndAFailedReadLeavesTheBuffer) {
    std::u16string buffer = u"untouched";
    EXPECT_FALSE(env.settings.RegCzytajMsg(u"nick", buffer, 120));
    EXPECT_EQ(buffer, u"untouched");
    env.settings.RegZapiszMsg(u"nick", u"\u0141ukasz\U0001F600", 120);
    EXPECT_TRUE(env.settings.RegCzytajMsg(u"nick", buffer, 120));
    EXPECT_EQ(buffer, u"\u0141ukasz\U0001F600");
}

TEST_F(SettingsValues, WritesAreCutToTheSizeAtAWholeCharacter) {
    // 10 bytes hold 4 characters and the terminator; the pair must not be split.
    env.settings.RegZapiszMsg(u"nick", u"abc\U0001F600", 10);
    std::u16string buffer;
    env.settings.RegCzytajMsg(u"nick", buffer, 10);
    EXPECT_EQ(buffer, u"abc");
}

TEST_F(SettingsValues, AValueLongerThanTheReadSizeIsNotRead) {
    env.settings.RegZapiszMsg(u"partmsg", std::u16string(100, u'x'), 500);
    std::u16string buffer;
    EXPECT_FALSE(env.settings.RegCzytajMsg(u"partmsg", buffer, 120));
    EXPECT_TRUE(buffer.empty());
}

TEST_F(SettingsValues, SettingsWrittenByOneStoreAreReadByTheNext) {
    env.settings.RegZapiszLONG(u"whspmax", 4);
    RegistryStore reopened(env.dir.file("registry"));
    RegKey key;
    ASSERT_EQ(reopened.openKey(kSettingsKey, key), kErrorSuccess);
    std::uint32_t value = 0, size = 4;
    EXPECT_EQ(reopened.queryValue(key, u"whspmax", nullptr, &value, &size), kErrorSuccess);
    EXPECT_EQ(value, 4u);
    reopened.closeKey(key);
}

TEST_F(SettingsValues, FoldersAlwaysEndInASlash) {
    env.putString(kInstallKey, u"InstallDir", u"/opt/kolu");
    env.putString(kSettingsKey, u"dictpath", u"/var/dict/");
    EXPECT_EQ(env.settings.CzytajInstallDir(), u"/opt/kolu/");
    EXPECT_EQ(env.settings.CzytajDictPath(), u"/var/dict/");
}

TEST_F(SettingsValues, AMissingInstallFolderFallsBackToTheDataFolder) {
    test::SettingsEnv bare;
    EXPECT_EQ(bare.settings.CzytajInstallDir(), fromUtf8(bare.dir.path()));
}

TEST_F(SettingsValues, BackgroundPictureAndSoundsAreInTheInstallFolder) {
    std::u16string path = u"unchanged";
    EXPECT_EQ(env.settings.CzytajBmpFile(path), 0);
    EXPECT_EQ(path, u"unchanged");
    env.settings.RegZapiszMsg(u"bmpfile", u"waves.bmp", 500);
    EXPECT_EQ(env.settings.CzytajBmpFile(path), 1);
    EXPECT_EQ(path, fromUtf8(env.dir.path()) + u"waves.bmp");

    env.putString(kSoundsKey, u"join", u"join.wav");
    env.putString(kSoundsKey, u"query", u"");
    std::u16string sound = u"none";
    env.settings.RegWczytajDzwiek(u"query", sound);
    EXPECT_EQ(sound, u"none");
    env.settings.RegWczytajDzwiek(u"join", sound);
    EXPECT_EQ(sound, fromUtf8(env.dir.path()) + u"join.wav");
}

TEST_F(SettingsValues, InstallFilesAreListedByPatternAndAnEmptyListIsReported) {
    env.putDword(kSettingsKey, u"debug", 1);
    EXPECT_TRUE(env.settings.listInstallFiles(u"*.wav").empty());
    EXPECT_NE(env.decodedLog().find("Pliki2Combo\t\tFindFirstFileW : "), std::string::npos);
    writeFileAtomically(env.dir.file("a.wav"), "x");
    writeFileAtomically(env.dir.file("b.WAV"), "x");
    writeFileAtomically(env.dir.file("c.bmp"), "x");
    auto names = env.settings.listInstallFiles(u"*.wav");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"a.wav", u"b.WAV"}));
}

TEST_F(SettingsValues, ColoursAreReadAsTwentyFourLittleEndianEntries) {
    ColourArray table{};
    table.fill(0x123456);
    EXPECT_FALSE(env.settings.RegCzytajKolory(table));
    EXPECT_EQ(table[5], 0x123456u);  // untouched on failure

    unsigned char bytes[96];
    for (int i = 0; i < 96; ++i) {
        bytes[i] = static_cast<unsigned char>(i);
    }
    RegKey key;
    env.store.openKey(kSettingsKey, key);
    env.store.setValue(key, u"kolory", kRegBinary, bytes, sizeof bytes);
    env.store.closeKey(key);
    ASSERT_TRUE(env.settings.RegCzytajKolory(table));
    EXPECT_EQ(table[0], 0x03020100u);
    EXPECT_EQ(table[23], 0x5F5E5D5Cu);
}

}  // namespace
}  // namespace kolu
