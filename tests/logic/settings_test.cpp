// The settings store, errors.log, the options dialog's save and the files shipped for the
// installation; the settings fuzz corpus replay covers the colours' and special lists' round trips.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <tuple>

#include "connection/connection.h"
#include "options/model/options_store.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "resources/tools/picture_designs.h"
#include "resources/tools/sound_designs.h"
#include "servers/port_list.h"
#include "servers/server_list.h"
#include "settings/install_step.h"
#include "settings/settings_key.h"
#include "tests/logic/logic_util.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/file_size_limit.h"

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
TEST_F(SettingsTest, ValuesRoundTripTheFirstRunFillsThemWithTheKeyAndSpecialListsHoldWholeEntries) {
    EXPECT_EQ(env.settings.RegCzytajLONG(u"qlimit"), -1);
    EXPECT_EQ(env.settings.RegCzytajLimit(u"qlimit", 1, 100), 10);
    for (auto [stored, read] : {std::pair{0, 10}, {101, 10}, {-5, 10}, {100, 100}}) {
        env.settings.RegZapiszLONG(u"qlimit", stored);
        EXPECT_EQ(env.settings.RegCzytajLimit(u"qlimit", 1, 100), read) << stored;
    }

    EXPECT_EQ(text(u"nick", 120), u"<missing>");  // a failed read leaves the buffer
    // 10 bytes hold 4 characters and the terminator; the pair must not be split.
    env.settings.RegZapiszMsg(u"nick", u"abc\U0001F600", 10);
    EXPECT_EQ(text(u"nick", 10), u"abc");
    env.settings.RegZapiszMsg(u"partmsg", std::u16string(100, u'x'), 500);
    EXPECT_EQ(text(u"partmsg", 120), u"<missing>");

    // The first run draws the nicknames and fills the derived values.
    env.clock.ticks = 4242;
    env.random.values = {249, 1000};  // -> 250 and 1
    env.settings.RegTworzKlucz();
    EXPECT_EQ(env.random.seeded, 4242u);
    EXPECT_EQ(text(u"nick"), u"kolu250");
    EXPECT_EQ(text(u"alternick"), u"kolu1");
    EXPECT_EQ(text(u"logpath"), fromUtf8(env.dir.path()));

    test::SettingsEnv bare;
    bare.settings.RegZapiszLONG(u"tstamps", 1);
    bare.settings.RegTworzKlucz();
    RegKey key;
    EXPECT_EQ(bare.store.openKey(kSettingsKey, key), kErrorFileNotFound);
    EXPECT_FALSE(fileExists(bare.dir.file("registry")));

    // The settings fuzz corpus replay finds every listed entry; these are misses, and a fold.
    const std::tuple<std::u16string_view, std::u16string_view, int> cases[] = {
        {u"bob", u"alice bob", -1},
        {u"bobby", u"alice bob ", -1},
        {u"\u00c9mile", u"\u00e9mile ", 0}};
    for (const auto& [name, list, expected] : cases) {
        EXPECT_EQ(Settings::RegSpListSzukaj(name, list), expected) << toUtf8(list);
    }
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

    env.putString(kSettingsKey, u"ignore", std::u16string(1990, u'a') + u" ");  // 1991 characters
    env.settings.RegSpListDodaj(u"1234567", u"ignore");  // 1991 + 8 = 1999 < 2000: fits
    env.settings.RegSpListDodaj(u"x", u"ignore");        // would make 2001
    EXPECT_EQ(text(u"ignore").size(), 1999u);
    const std::u16string huge = test::repeat(u"nicka ", 600);
    env.putString(kSettingsKey, u"ignore", huge);
    env.settings.RegSpListDodaj(u"newcomer", u"ignore");  // too long to read: never replaced
    env.settings.RegSpListUsun(u"nicka", u"ignore");
    EXPECT_EQ(text(u"ignore", 100000), huge);
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
    EXPECT_EQ(env.dir.mode("data/servers.txt"), 0600u);  // it holds passwords

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

class ErrorLogTest : public ::testing::Test, protected test::StatusLog {};

// Only debug 1 writes the log, but a socket error ends the connection whatever the setting.
TEST_F(ErrorLogTest,
       EntriesAreStampedEncodedAndCutWholeAndASocketErrorDisconnectsEvenWithoutDebug) {
    env.putDword(kSettingsKey, u"debug", 2);
    env.log.LogError(u"op", u"debug 2", 1);
    test::FakeSocketLayer sockets;
    sockets.error = kWsaEconnreset;
    env.log.LogSocketError(sockets, u"recv", u"odb");
    EXPECT_FALSE(connected);
    EXPECT_FALSE(fileExists(env.dir.file("errors.log")));

    connected = true;
    env.putDword(kSettingsKey, u"debug", 1);
    env.log.LogError(u"CreateFileW", u"loguj", 2);
    const std::string first =
        "[2007.9.11][20:08]  loguj\t\tCreateFileW : 2\t\t" + toUtf8(errorText(2));
    EXPECT_EQ(env.decodedLog(), first);
    EXPECT_EQ(env.read("errors.log").find("loguj"), std::string::npos);  // encoded

    env.log.LogError(u"op", std::u16string(300, u'\u0142'), 1);  // two bytes each
    const std::string entry = env.decodedLog().substr(first.size());
    const std::size_t entryEnd = entry.find(toUtf8(errorText(1)));
    EXPECT_LE(entryEnd, 255u);  // found, and within the limit
    // The cut text is still valid UTF-8: it decodes without falling back.
    EXPECT_EQ(toUtf8(fromUtf8(entry.substr(0, entryEnd))), entry.substr(0, entryEnd));

    // The socket error was cleared: code 0 is logged and the connection stays.
    env.log.LogSocketError(sockets, u"select", u"odbierz");
    EXPECT_TRUE(connected);
    const test::PrintedLine shown{u"", u"*** [10054] Software caused connection abort", 0};
    EXPECT_EQ(printer.lines, std::vector{shown});  // the first error's only
    EXPECT_NE(env.decodedLog().find("odbierz\t\tselect : 0\t\t"), std::string::npos);
}

class OptionsStoreTest : public SettingsTest {
  protected:
    void SetUp() override {
        SettingsTest::SetUp();
        env.settings.RegTworzKlucz();
        env.write("servers.txt", "A\tirc.a\t6667\t\r\nB\tirc.b\t7000\tpw\r\n");
    }
    ServerListServices services() { return {env.settings, env.log, env.clock, env.random}; }
};

TEST_F(OptionsStoreTest, WhatTheDialogsOwnRoundTripDoesNotReachIsStoredAndAnUnreadListKept) {
    env.settings.RegZapiszLONG(u"whspmax", 9);  // the list has no entry for it
    OptionsPages pages = wczytaj_ustawienia(services());
    EXPECT_EQ(pages.whspmax, 2);
    pages.chosenServer = pages.servers.server(1);
    // 61 characters: 59 are kept, and the trailing blank goes.
    pages.texts[1110] = std::u16string(58, u'n') + u"  x";
    pages.lists[2] = {u"alice", u"", u"bob"};  // an empty entry survives as it was read
    EXPECT_EQ(zapisz_ustawienia(services(), pages).problem, u"");

    const OptionsPages again = wczytaj_ustawienia(services());
    EXPECT_EQ(again.server, 1);
    EXPECT_EQ(again.text(1110), std::u16string(58, u'n'));
    EXPECT_EQ(again.lists[2], pages.lists[2]);
    EXPECT_EQ(env.read("servers.txt"), "A\tirc.a\t6667\t\r\nB\tirc.b\t7000\tpw\r\n");

    // A folder in servers.txt's place (even for root): `server` indexes the list that stays.
    ASSERT_EQ(::unlink(env.dir.file("servers.txt").c_str()), 0);
    ASSERT_EQ(::mkdir(env.dir.file("servers.txt").c_str(), 0700), 0);
    pages.chosenServer = pages.servers.server(0);
    const OptionsSaveResult unreplaced = zapisz_ustawienia(services(), pages);
    EXPECT_TRUE(unreplaced.settingsSaved);
    EXPECT_NE(unreplaced.problem.find(u"could not be replaced"), std::u16string::npos);
    EXPECT_EQ(env.settings.RegCzytajLONG(u"server"), 1);

    // A list read from that folder is never saved over it, and the chosen server stays.
    const OptionsSaveResult result = zapisz_ustawienia(services(), wczytaj_ustawienia(services()));
    EXPECT_TRUE(result.settingsSaved);
    EXPECT_NE(result.problem.find(u"server list was not saved"), std::u16string::npos);
    EXPECT_EQ(env.settings.RegCzytajLONG(u"server"), 1);
}

TEST_F(OptionsStoreTest, AFailedWriteChangesNeitherFile) {
    const std::string oldSettings = env.read("registry");
    const std::string oldServers = env.read("servers.txt");
    OptionsPages pages = wczytaj_ustawienia(services());
    pages.texts[1110] = u"changed";
    pages.chosenServer = pages.servers.server(1);
    SrvUsunRekord(pages.servers, pages.servers.server(0));
    // Large enough for the new servers.txt, too small for the settings file; the last time
    // with an earlier write waiting, which the failed save must not take back.
    for (const auto& [limit, earlierWrite] :
         {std::pair{rlim_t{200}, false}, {rlim_t{4}, false}, {rlim_t{200}, true}}) {
        OptionsSaveResult result;
        {
            test::FileSizeLimit full(limit);
            ASSERT_TRUE(full.set());
            if (earlierWrite) {
                env.settings.RegZapiszLONG(u"tstamps", 1);  // not committed: it waits
            }
            result = zapisz_ustawienia(services(), pages);
        }
        EXPECT_FALSE(result.settingsSaved) << limit;
        EXPECT_NE(result.problem.find(u"Nothing was changed."), std::u16string::npos) << limit;
        EXPECT_EQ(env.read("registry"), oldSettings) << limit;
        EXPECT_EQ(env.read("servers.txt"), oldServers) << limit;
        EXPECT_NE(wczytaj_ustawienia(services()).text(1110), u"changed") << limit;
        std::vector<std::string> leftovers;
        listFolder(env.dir.path(), "*.tmp", leftovers);
        EXPECT_TRUE(leftovers.empty()) << limit;
    }
    EXPECT_EQ(env.settings.RegCzytajLONG(u"tstamps"), 1);
    // Once there is room the same save goes through; the chosen server moved up.
    EXPECT_TRUE(zapisz_ustawienia(services(), pages).settingsSaved);
    EXPECT_EQ(env.read("servers.txt"), "B\tirc.b\t7000\tpw\r\n");
    EXPECT_EQ(env.settings.RegCzytajLONG(u"server"), 0);
}

// An untouched OK keeps what the client does: a switch stays as the client reads it, and a
// value too long for its page's buffer (shown empty) stays whole until its field gets a text.
TEST_F(OptionsStoreTest, AnUntouchedSaveKeepsTheSwitchesAsReadAndTheValuesTooLongToShow) {
    env.putDword(kSettingsKey, u"skipmotd", 2);  // on: read as anything but 0
    env.putDword(kSettingsKey, u"show_adr", 2);  // off: read as 1 only
    const std::u16string part(300, u'p');
    const std::u16string ignored = test::repeat(u"nicka ", 400);
    const std::u16string sound(260, u's');
    env.putString(kSettingsKey, u"partmsg", part);
    env.putString(kSettingsKey, u"nick", std::u16string(70, u'n'));
    env.putString(kSettingsKey, u"ignore", ignored);
    env.putString(kSoundsKey, u"join", sound);
    OptionsPages pages = wczytaj_ustawienia(services());
    EXPECT_TRUE(pages.check(1208));
    EXPECT_FALSE(pages.check(1202));
    EXPECT_EQ(pages.text(1603), u"");
    pages.texts[1110] = u"edited";
    ASSERT_EQ(zapisz_ustawienia(services(), pages).problem, u"");

    EXPECT_TRUE(env.settings.switchOn(u"skipmotd"));
    EXPECT_FALSE(env.settings.switchOn(u"show_adr"));
    EXPECT_EQ(text(u"partmsg", 1000), part);
    EXPECT_EQ(text(u"ignore", 10000), ignored);
    EXPECT_EQ(text(u"nick", 120), u"edited");
    SettingsKey sounds(env.store, env.log, kSoundsKey, u"test");
    std::u16string joinSound;
    sounds.readString(u"join", 1000, joinSound, u"test");
    EXPECT_EQ(joinSound, sound);
}

using namespace std::string_literals;

// The servers fuzz corpus replays this file through the parser's own checks.
TEST(ShippedFiles, EveryServerLineFitsTheDialogAndTheEncodersWriteCanonicalFiles) {
    std::string text;
    ASSERT_EQ(readWholeFile(std::string(KOLU_SOURCE_DIR) + "/resources/servers.txt", text), 0);
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) {
        return c == '\t' || c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F);
    })) << "the list must stay plain ASCII";
    const ServerList list = SrvTworzListe(text);
    EXPECT_EQ(serverFileText(list), text) << "every line whole, in four fields, ending in CR LF";
    for (const ServerRecord& line : list.servers()) {
        SCOPED_TRACE(toUtf8(line.network + u" " + line.server));
        EXPECT_TRUE(!line.network.empty() && line.network.size() <= 59u);
        EXPECT_TRUE(!line.server.empty() && line.server.size() <= 119u);
        EXPECT_LE(line.ports.size(), 59u);
        PortList ports;
        EXPECT_GT(SrvTworzTbPortow(line.ports, ports), 0);
    }
    EXPECT_NE(text.find("Local\t127.0.0.1\t6667\t\r\n"), std::string::npos);

    const auto wav = tools::encodeWav({0, 1000, -2});
    // PCM, mono, 22050 Hz, 44100 bytes a second, 16 bits; then 6 bytes of samples.
    EXPECT_EQ(std::string(wav.begin(), wav.end()),
              "RIFF*\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0\x44\xAC\0\0\x02\0\x10\0"
              "data\x06\0\0\0\0\0\xE8\x03\xFE\xFF"s);

    // 3 x 2: file and info headers (78 bytes, pixels at 54; one plane, 24 bits, 72 dpi), then
    // rows padded to 12 bytes, bottom up, each pixel blue, green, red.
    tools::Picture picture(3, 2, {0, 0, 0});
    picture.set(0, 0, {10, 20, 30});  // top left
    picture.set(2, 1, {40, 50, 60});  // bottom right
    const auto bmp = tools::encodeBmp24(picture);
    EXPECT_EQ(std::string(bmp.begin(), bmp.end()),
              "BM\x4E\0\0\0\0\0\0\0\x36\0\0\0"
              "\x28\0\0\0\x03\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x18\0\0\0"
              "\x13\x0B\0\0\x13\x0B\0\0\0\0\0\0\0\0\0\0"
              "\0\0\0\0\0\0\x3C\x32\x28\0\0\0\x1E\x14\x0A\0\0\0\0\0\0\0\0\0"s);
}

// The help page tells how long the connection waits before it reopens.
TEST(ShippedFiles, TheHelpPageStatesTheWaitsBeforeAReconnect) {
    std::string help;
    ASSERT_EQ(readWholeFile(std::string(KOLU_SOURCE_DIR) + "/resources/help/help.html", help), 0);
    const auto says = [&](const std::string& text) { return help.find(text) != std::string::npos; };
    EXPECT_TRUE(says("ends within a minute") && Connection::kLongConnectionMs == 60000);
    EXPECT_TRUE(says("Reconnecting in " + std::to_string(Connection::kRetryIntervalMs / 1000)));
    EXPECT_TRUE(says("up to " + std::to_string(Connection::kLongestRetryMs / 1000) + " seconds"));
}

}  // namespace
}  // namespace kolu
