#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>
#include "options/model/options_store.h"
#include "platform/files.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/settings_env.h"

namespace kolu {
namespace {

class OptionsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.settings.RegTworzKlucz();
        env.write("servers.txt", "A\tirc.a\t6667\t\r\nB\tirc.b\t7000\tpw\r\n");
    }
    ServerListServices services() { return {env.settings, env.log, env.clock, env.random}; }

    test::SettingsEnv env;
};

TEST_F(OptionsStoreTest, WhatTheDialogsOwnRoundTripDoesNotReachIsStoredAndRead) {
    env.settings.RegZapiszLONG(u"whspmax", 9);  // the list has no entry for it
    OptionsPages pages = wczytaj_ustawienia(services());
    EXPECT_EQ(pages.whspmax, 2);
    pages.chosenServer = pages.servers.server(1);
    // 61 characters: 59 are kept, and the trailing blank goes.
    pages.texts[1110] = std::u16string(58, u'n') + u"  x";
    pages.colours[kFirstLineClass] = 0x123456;
    pages.fonts = 0x51;
    pages.soundFiles[2] = u"query.wav";
    pages.lists[2] = {u"alice", u"", u"bob"};  // an empty entry survives as it was read
    EXPECT_EQ(zapisz_ustawienia(services(), pages).problem, u"");

    const OptionsPages again = wczytaj_ustawienia(services());
    EXPECT_EQ(again.server, 1);
    EXPECT_EQ(again.text(1110), std::u16string(58, u'n'));
    EXPECT_EQ(again.colours, pages.colours);
    EXPECT_EQ(again.fonts, 0x51);
    EXPECT_EQ(again.soundFiles[2], u"query.wav");
    EXPECT_EQ(again.lists[2], pages.lists[2]);
    EXPECT_EQ(env.read("servers.txt"), "A\tirc.a\t6667\t\r\nB\tirc.b\t7000\tpw\r\n");
}

TEST_F(OptionsStoreTest, AFailedWriteChangesNeitherFile) {
    const std::string oldSettings = env.read("registry");
    const std::string oldServers = env.read("servers.txt");
    OptionsPages pages = wczytaj_ustawienia(services());
    pages.texts[1110] = u"changed";
    pages.chosenServer = pages.servers.server(1);
    SrvUsunRekord(pages.servers, pages.servers.server(0));
    // Large enough for the new servers.txt, too small for the settings file.
    for (rlim_t limit : {rlim_t{200}, rlim_t{4}}) {
        OptionsSaveResult result;
        {
            test::FileSizeLimit full(limit);
            ASSERT_TRUE(full.set());
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
    // Once there is room the same save goes through; the chosen server moved up.
    EXPECT_TRUE(zapisz_ustawienia(services(), pages).settingsSaved);
    EXPECT_EQ(env.read("servers.txt"), "B\tirc.b\t7000\tpw\r\n");
    EXPECT_EQ(env.settings.RegCzytajLONG(u"server"), 0);
}

TEST_F(OptionsStoreTest, AnUnreadableServerListIsNeverSavedOverItsFile) {
    // A folder in its place can't be read, even by root.
    ASSERT_EQ(::unlink(env.dir.file("servers.txt").c_str()), 0);
    ASSERT_EQ(::mkdir(env.dir.file("servers.txt").c_str(), 0700), 0);
    OptionsPages pages = wczytaj_ustawienia(services());
    pages.texts[1110] = u"changed";
    const OptionsSaveResult result = zapisz_ustawienia(services(), pages);
    EXPECT_TRUE(result.settingsSaved);
    EXPECT_NE(result.problem.find(u"server list was not saved"), std::u16string::npos);
    EXPECT_EQ(env.settings.RegCzytajLONG(u"server"), 0);
    struct stat st {};
    ASSERT_EQ(::stat(env.dir.file("servers.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

}  // namespace
}  // namespace kolu
