// Several main windows in one client: windows.txt brings them back, and two windows on two
// real ngIRCd keep their lines, logs and connections apart.
#include <gtest/gtest.h>

#include "gui/main_window.h"
#include "gui/window_set.h"
#include "platform/files.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/widgets/widget_util.h"

namespace kolu {
namespace {

using Names = std::vector<std::u16string>;

class WindowSetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.install();
        env.settings.RegTworzKlucz();
        env.settings.RegZapiszLONG(u"sendpace", 0);  // the clock stands still
        env.settings.RegZapiszLONG(u"splashscr", 0);
        env.settings.RegZapiszMsg(u"nick", u"kolu", 120);
        env.settings.RegZapiszMsg(u"email", u"me@example.org", 240);
    }
    MainWindowServices services() {
        return {{env.settings, env.log, sockets, sound, env.clock, env.random},
                colours,
                nullptr,
                &dictionary};
    }

    test::SettingsEnv env;
    PosixSocketLayer sockets;
    test::RecordingSound sound;
    ColourTable colours = test::defaultColours();
    Dictionary dictionary{env.settings, env.log};
};

TEST_F(WindowSetTest, WindowsTxtBringsBackEachWindowsServerAndChannelsAndLeavesOutBadLines) {
    env.settings.RegZapiszLONG(u"rejoin", 1);
    env.settings.RegZapiszLONG(u"server", 2);
    env.write("windows.txt", "1\t#a  &b\r\nx\t#c\r\n0\t#ok nochannel\r\n\r\n0\t\n");
    {
        WindowSet set(services(), env.dir.path());
        set.openAtStart();
        ASSERT_EQ(set.count(), 2);
        Session& first = set.window(0)->session();
        EXPECT_EQ(first.server, 1);
        EXPECT_EQ(first.channelNames(), (Names{u"#a", u"&b"}));
        EXPECT_FALSE(first.tabs.pobierz_lparam(1)->joined);  // until the welcome joins it
        EXPECT_EQ(set.window(1)->session().server, 0);
        set.showWelcome();
        const Names status = test::tabLines(first.tabs, 0);
        EXPECT_TRUE(test::anyLineHas(status, u"windows.txt: line 2 is not a window"));
        EXPECT_TRUE(test::anyLineHas(status, u"windows.txt: line 3 is not a window"));
        EXPECT_FALSE(test::anyLineHas(status, u"line 4"));

        const MainWindow* made = &set.openWindow();  // on the `server` setting
        KOLU_WAIT_FOR(set.mostRecent() == made, 5000);
        set.window(1)->close();
        EXPECT_EQ(env.read("windows.txt"), "1\t#a &b\r\n2\t\r\n");
        set.closeAll();  // Exit keeps every window for the next start
        EXPECT_EQ(set.count(), 0);
        EXPECT_EQ(env.read("windows.txt"), "1\t#a &b\r\n2\t\r\n");
    }
    env.settings.RegZapiszLONG(u"rejoin", 0);  // the windows and servers only
    WindowSet again(services(), env.dir.path());
    again.openAtStart();
    ASSERT_EQ(again.count(), 2);
    EXPECT_EQ(again.window(0)->session().server, 1);
    EXPECT_EQ(again.window(0)->session().tabs.count(), 1);
    EXPECT_EQ(again.window(1)->session().server, 2);
}

// Windows A and B from windows.txt, each on its own ngIRCd, where `other` waits in #same;
// each window's restored #same is joined as it connects. Channel logs go to `logs`.
class TwoNetworks : public WindowSetTest {
  protected:
    void SetUp() override {
        WindowSetTest::SetUp();
        writeFileAtomically(env.dir.file("servers.txt"),
                            "NetA\t127.0.0.1\t" + std::to_string(servers[0].port()) +
                                "\t\r\nNetB\t127.0.0.1\t" + std::to_string(servers[1].port()) +
                                "\t\r\n",
                            0600);
        env.settings.RegZapiszLONG(u"rejoin", 1);
        env.settings.RegZapiszLONG(u"logchan", 1);
        env.settings.RegZapiszMsg(u"logpath", fromUtf8(logs.path()), 250);
        env.write("windows.txt", "0\t#same\r\n1\t#same\r\n");
        set.openAtStart();
        ASSERT_EQ(set.count(), 2);
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(others[i].connect("127.0.0.1", servers[i].port()));
            ASSERT_TRUE(others[i].login("other"));
            ASSERT_TRUE(others[i].join("#same"));
            set.window(i)->handleCommand(MainWindow::kConnectId);
        }
        for (int i = 0; i < 2; ++i) {
            KOLU_WAIT_EQ(test::memberLabels(session(i).tabs, u"#same").size(), std::size_t{2},
                         15000);
        }
    }
    Session& session(int i) { return set.window(i)->session(); }
    bool shows(int i, std::u16string_view text) {
        return test::anyLineHas(test::tabLines(session(i).tabs, 1), text);
    }

    test::NgircdFixture servers[2];
    test::RawIrcClient others[2];
    test::TempDir logs;
    WindowSet set{services(), env.dir.path()};
};

TEST_F(TwoNetworks, ALineShowsAndIsLoggedOnlyInItsNetworksWindowAndExitQuitsBoth) {
    others[0].send("PRIVMSG #same :only on A");
    others[1].send("PRIVMSG #same :only on B");
    KOLU_WAIT_FOR(shows(0, u"<other> only on A") && shows(1, u"<other> only on B"), 10000);
    EXPECT_FALSE(shows(0, u"only on B"));
    EXPECT_FALSE(shows(1, u"only on A"));
    // The first window's log keeps its name; the second's begins with its network.
    const std::vector<std::string> names = logs.names();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE(names[0].starts_with("#same.")) << names[0];
    EXPECT_TRUE(names[1].starts_with("NetB.#same.")) << names[1];
    EXPECT_NE(logs.read(names[0]).find("only on A"), std::string::npos);
    EXPECT_EQ(logs.read(names[0]).find("only on B"), std::string::npos);
    EXPECT_NE(logs.read(names[1]).find("only on B"), std::string::npos);
    EXPECT_EQ(logs.read(names[1]).find("only on A"), std::string::npos);

    set.window(1)->handleCommand(MainWindow::kExitId);
    EXPECT_EQ(set.count(), 0);
    for (test::RawIrcClient& other : others) {
        EXPECT_TRUE(other.waitFor([](const std::string& line) {
            return test::RawIrcClient::commandOf(line) == "QUIT" &&
                   test::RawIrcClient::nickOf(line) == "kolu";
        })) << other.transcript();
    }
}

TEST_F(TwoNetworks, AServerThatStopsLeavesTheOtherWindowConnectedWithItsTabs) {
    const Names before = test::tabLines(session(1).tabs, 1);
    servers[0].stop();
    KOLU_WAIT_FOR(session(0).state.socket == kInvalidSocket, 15000);
    EXPECT_TRUE(session(1).state.connected);
    EXPECT_EQ(session(1).channelNames(), Names{u"#same"});
    EXPECT_TRUE(session(1).tabs.pobierz_lparam(1)->joined);
    EXPECT_EQ(test::tabLines(session(1).tabs, 1), before);
    others[1].send("PRIVMSG #same :still here");
    KOLU_WAIT_FOR(shows(1, u"<other> still here"), 10000);
}

}  // namespace
}  // namespace kolu
