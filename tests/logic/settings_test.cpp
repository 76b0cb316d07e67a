// The settings store and errors.log; the settings fuzz corpus replay covers the
// colours and the special lists' round trips.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "platform/error_text.h"
#include "platform/files.h"
#include "settings/install_step.h"
#include "tests/logic/logic_util.h"
#include "tests/support/fake_socket_layer.h"

namespace kolu {
namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override { env.install(); }
    std::u16string text(std::u16string_view name, std::uint32_t size = kSpecialListSize) {
        std::u16string value = u"<missing>";
        env.settings.RegCzytajMsg(name, value, size);
        return value;
    }
    test::SettingsEnv env;
};

// A store from an older version lacks the limits: missing or out of range reads the default.
TEST_F(SettingsTest, NumbersRoundTripAndALimitOutOfRangeOrMissingReadsItsDefault) {
    EXPECT_EQ(env.settings.RegCzytajLONG(u"qlimit"), -1);
    EXPECT_EQ(env.settings.RegCzytajLimit(u"qlimit", 1, 100), 10);
    for (auto [stored, read] : {std::pair{0, 10}, {101, 10}, {-5, 10}, {100, 100}}) {
        env.settings.RegZapiszLONG(u"qlimit", stored);
        EXPECT_EQ(env.settings.RegCzytajLimit(u"qlimit", 1, 100), read) << stored;
    }
}

TEST_F(SettingsTest, StringsRoundTripCutAtAWholeCharacterAndAFailedReadLeavesTheBuffer) {
    EXPECT_EQ(text(u"nick", 120), u"<missing>");
    // 10 bytes hold 4 characters and the terminator; the pair must not be split.
    env.settings.RegZapiszMsg(u"nick", u"abc\U0001F600", 10);
    EXPECT_EQ(text(u"nick", 10), u"abc");
    // A value longer than the read size is not read.
    env.settings.RegZapiszMsg(u"partmsg", std::u16string(100, u'x'), 500);
    EXPECT_EQ(text(u"partmsg", 120), u"<missing>");
}

TEST_F(SettingsTest, WithoutTheKeyNothingIsWrittenNorCreated) {
    test::SettingsEnv bare;
    bare.settings.RegZapiszLONG(u"tstamps", 1);
    bare.settings.RegTworzKlucz();
    EXPECT_FALSE(bare.hasValue(kSettingsKey, u"tstamps"));
    EXPECT_FALSE(fileExists(bare.dir.file("registry")));
    // A missing installation folder falls back to the data folder.
    EXPECT_EQ(bare.settings.CzytajInstallDir(), fromUtf8(bare.dir.path()));
}

TEST_F(SettingsTest, FirstRunDrawsTheNicknamesAndFillsTheDerivedValues) {
    env.clock.ticks = 4242;
    env.random.values = {249, 1000};  // -> 250 and 1
    env.settings.setDefaultEmail(u"ala@localhost");
    env.settings.RegTworzKlucz();
    EXPECT_EQ(env.random.seeded, 4242u);
    EXPECT_EQ(text(u"nick"), u"kolu250");
    EXPECT_EQ(text(u"alternick"), u"kolu1");
    EXPECT_EQ(text(u"email"), u"ala@localhost");
    EXPECT_EQ(text(u"logpath"), fromUtf8(env.dir.path()));
}

TEST(InstallStep, CopiesWhatIsMissingKeepsWhatTheUserHasAndReportsAMissingResource) {
    test::SettingsEnv env;
    const std::string data = env.dir.path() + "data/";
    std::map<std::string, std::string> shipped{
        {"servers.txt", "list\r\n"}, {"join.wav", "RIFF"}, {"help/help.html", "<html>"}};
    const auto run = [&] {
        return runInstallStep(env.store, data, {"servers.txt", "join.wav", "help/help.html"},
                              [&](const std::string& name, std::string& bytes) {
                                  const bool found = shipped.contains(name);
                                  bytes = found ? shipped[name] : "";
                                  return found;
                              });
    };
    EXPECT_EQ(run().copied.size(), 3u);
    EXPECT_EQ(env.settings.CzytajDictPath(), fromUtf8(data));
    EXPECT_EQ(env.read("data/help/help.html"), "<html>");
    struct stat info {};
    ASSERT_EQ(stat((data + "servers.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);  // it holds passwords

    writeFileAtomically(data + "servers.txt", "mine\r\n");
    std::remove((data + "join.wav").c_str());
    std::remove((data + "help/help.html").c_str());
    shipped.erase("help/help.html");
    const InstallReport report = run();
    EXPECT_EQ(report.copied, std::vector<std::string>{"join.wav"});
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_NE(report.failures[0].find("help.html"), std::string::npos);
    EXPECT_EQ(env.read("data/servers.txt"), "mine\r\n");
}

// The settings fuzz corpus replay finds every entry of its lists; these are the misses.
TEST(SpecialListSearch, FindsWholeBlankTerminatedEntriesIgnoringCase) {
    const std::tuple<std::u16string_view, std::u16string_view, int> cases[] = {
        {u"Bob", u"x  bob ", 2},
        {u"bob", u"alice bob", -1},
        {u"bo", u"alice bob ", -1},
        {u"bobby", u"alice bob ", -1},
        {u"\u00c9mile", u"\u00e9mile ", 0}};
    for (const auto& [name, list, expected] : cases) {
        EXPECT_EQ(Settings::RegSpListSzukaj(name, list), expected) << toUtf8(list);
    }
}

using SpecialLists = SettingsTest;

TEST_F(SpecialLists, AddAppendsOnceSwitchesIgnoreOnAndRemoveTakesOnlyTheExactEntry) {
    env.putDword(kSettingsKey, u"en_ignore", 0);
    env.settings.RegSpListDodaj(u"dave", u"ignore");
    EXPECT_EQ(text(u"ignore"), u"dave ");
    EXPECT_EQ(env.settings.RegCzytajLONG(u"en_ignore"), 1);
    env.putString(kSettingsKey, u"ignore", u"bob alice");  // edited by hand: unterminated
    env.settings.RegSpListDodaj(u"carol", u"ignore");
    env.settings.RegSpListDodaj(u"BOB", u"ignore");
    env.settings.RegSpListUsun(u"bo", u"ignore");
    EXPECT_EQ(text(u"ignore"), u"bob alice carol ");
    env.settings.RegSpListUsun(u"BOB", u"ignore");
    EXPECT_EQ(text(u"ignore"), u"alice carol ");
}

TEST_F(SpecialLists, AddRefusesToReachTheLimitAndAnUnreadableListIsNotOverwritten) {
    env.putString(kSettingsKey, u"ignore", std::u16string(1990, u'a') + u" ");  // 1991 characters
    env.settings.RegSpListDodaj(u"1234567", u"ignore");  // 1991 + 8 = 1999 < 2000: fits
    EXPECT_EQ(text(u"ignore").size(), 1999u);
    env.settings.RegSpListDodaj(u"x", u"ignore");  // would make 2001
    EXPECT_EQ(text(u"ignore").size(), 1999u);

    // Longer than its read buffer (edited by hand): never replaced by the one entry added.
    const std::u16string huge = test::repeat(u"nicka ", 600);
    env.putString(kSettingsKey, u"ignore", huge);
    env.settings.RegSpListDodaj(u"newcomer", u"ignore");
    env.settings.RegSpListUsun(u"nicka", u"ignore");
    EXPECT_EQ(text(u"ignore", 100000), huge);
}

class ErrorLogTest : public ::testing::Test, protected test::StatusLog {
  protected:
    void debug(std::uint32_t value) { env.putDword(kSettingsKey, u"debug", value); }

    test::FakeSocketLayer sockets;
};

TEST_F(ErrorLogTest, EntriesHaveStampLabelOperationCodeAndMessageAndAreNotPlainText) {
    debug(1);
    env.log.LogError(u"CreateFileW", u"loguj", 2);
    const std::string expected = "[2007.9.11][20:08]  loguj\t\tCreateFileW : 2\t\t";
    EXPECT_EQ(env.decodedLog(), expected + toUtf8(errorText(2)));
    std::string raw;
    ASSERT_EQ(readWholeFile(env.dir.file("errors.log"), raw), 0);
    EXPECT_EQ(raw.find("loguj"), std::string::npos);
}

TEST_F(ErrorLogTest, OverlongEntriesAreCutAtAWholeCharacter) {
    debug(1);
    env.log.LogError(u"op", std::u16string(300, u'\u0142'), 1);  // two bytes each
    const std::string log = env.decodedLog();
    const std::size_t entryEnd = log.find(toUtf8(errorText(1)));
    ASSERT_NE(entryEnd, std::string::npos);
    EXPECT_LE(entryEnd, 255u);
    // The cut text is still valid UTF-8: it decodes without falling back.
    EXPECT_EQ(toUtf8(fromUtf8(log.substr(0, entryEnd))), log.substr(0, entryEnd));
}

// Only debug 1 writes the log.
TEST_F(ErrorLogTest, ASocketErrorEndsTheConnectionEvenWithoutDebugButCodeZeroDoesNot) {
    debug(2);
    env.log.LogError(u"op", u"debug 2", 1);
    sockets.error = kWsaEconnreset;
    env.log.LogSocketError(sockets, u"recv", u"odb");
    EXPECT_FALSE(connected);
    EXPECT_EQ(sockets.error, 0);
    const test::PrintedLine shown{u"", u"*** [10054] Software caused connection abort", 0};
    EXPECT_EQ(printer.lines, std::vector{shown});
    EXPECT_FALSE(fileExists(env.dir.file("errors.log")));

    connected = true;
    debug(1);
    env.log.LogSocketError(sockets, u"select", u"odbierz");
    EXPECT_TRUE(connected);
    EXPECT_EQ(printer.lines.size(), 1u);
    EXPECT_NE(env.decodedLog().find("odbierz\t\tselect : 0\t\t"), std::string::npos);
}

}  // namespace
}  // namespace kolu
