// A whole channel session against ngIRCd with a second user: each event is
// checked by the lines in each tab and by the channel's user list.
#include <gtest/gtest.h>

#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

using std::chrono::milliseconds;

class ChannelSession : public ::testing::Test {
  protected:
    void SetUp() override {
        env.useServer(server.port());
        env.setUser(u"kolu", u"me@example.org", u"Kolu Tester");
        env.settings.putDword(kSettingsKey, u"rejoin", 1);
        session().connection.connectCommand();
        ASSERT_NE(session().state.socket, kInvalidSocket) << server.log();
        ASSERT_TRUE(env.pollUntil([&] { return session().state.currentNick == u"kolu"; }))
            << server.log();
    }
    Session& session() { return env.session; }
    int tab(std::u16string_view name) { return session().tabs.znajdz_zakladke(name); }
    bool tabHas(std::u16string_view name, std::u16string_view line) {
        const int index = tab(name);
        if (index < 0) {
            return false;
        }
        for (const std::u16string& text : env.lines(index)) {
            if (text.find(line) != std::u16string::npos) {
                return true;
            }
        }
        return false;
    }
    bool waitInTab(std::u16string_view name, std::u16string_view line) {
        return env.pollUntil([&] { return tabHas(name, line); });
    }
    std::vector<std::u16string> users(std::u16string_view channel) {
        std::vector<std::u16string> labels;
        if (UserList* list = session().tabs.pobierz_hwndlist(channel)) {
            for (std::size_t i = 0; i < list->size(); ++i) {
                labels.push_back(list->at(i).label);
            }
        }
        return labels;
    }
    void type(std::u16string_view command) {
        session().commands.ParsujKomende(command, session().tabs.pobierz_nazwebiez());
    }

    test::NgircdFixture server;
    test::SessionEnv env;
    test::RawIrcClient other;
};

TEST_F(ChannelSession, EveryChannelEventLandsInItsTabAndList) {
    type(u"/join #kolu");
    ASSERT_TRUE(waitInTab(u"#kolu", u"*** Now talking in #kolu")) << server.log();
    ASSERT_TRUE(
        env.pollUntil([&] { return users(u"#kolu") == std::vector<std::u16string>{u"@kolu"}; }));

    ASSERT_TRUE(other.connect(server.host(), server.port()));
    ASSERT_TRUE(other.login("other"));
    ASSERT_TRUE(other.join("#kolu"));
    ASSERT_TRUE(waitInTab(u"#kolu", u"*** other has joined #kolu"));
    EXPECT_EQ(users(u"#kolu"), (std::vector<std::u16string>{u"@kolu", u"other"}));

    other.send("PRIVMSG #kolu :hello channel");
    EXPECT_TRUE(waitInTab(u"#kolu", u"<other> hello channel"));
    other.send(
        "PRIVMSG #kolu :\x01"
        "ACTION waves\x01");
    EXPECT_TRUE(waitInTab(u"#kolu", u"* other waves"));
    other.send("PRIVMSG kolu :just you and me");
    EXPECT_TRUE(waitInTab(u"other", u"<other> just you and me"));
    other.send("NOTICE kolu :psst");
    EXPECT_TRUE(env.pollUntil([&] {
        for (int i = 0; i < session().tabs.count(); ++i) {
            for (const std::u16string& line : env.lines(i)) {
                if (line == u"-other- psst") {
                    return true;
                }
            }
        }
        return false;
    }));

    other.changeNick("other2");
    EXPECT_TRUE(waitInTab(u"#kolu", u"other is now known as other2"));
    EXPECT_EQ(users(u"#kolu"), (std::vector<std::u16string>{u"@kolu", u"other2"}));

    session().connection.wys(session().state.socket, u"MODE #kolu +v other2");
    ASSERT_TRUE(env.pollUntil([&] {
        return users(u"#kolu") == std::vector<std::u16string>{u"@kolu", u"+other2"};
    }));
    session().connection.wys(session().state.socket, u"MODE #kolu +o other2");
    ASSERT_TRUE(env.pollUntil([&] {
        return users(u"#kolu") == std::vector<std::u16string>{u"@kolu", u"@other2"};
    }));
    EXPECT_TRUE(tabHas(u"#kolu", u"*** kolu sets mode: +o other2"));

    // Kicked with rejoin on: the tab goes, the client joins again, the tab comes back.
    other.send("KICK #kolu kolu :out you go");
    ASSERT_TRUE(env.pollUntil([&] {
        for (const std::u16string& line : env.lines(0)) {
            if (line == u"You were kicked by other2 (out you go)") {
                return true;
            }
        }
        return false;
    }));
    ASSERT_TRUE(waitInTab(u"#kolu", u"*** Now talking in #kolu")) << server.log();
    ASSERT_TRUE(env.pollUntil([&] { return users(u"#kolu").size() == 2; }));
    EXPECT_EQ(users(u"#kolu"), (std::vector<std::u16string>{u"@other2", u"kolu"}));

    other.send("PART #kolu :bye");
    EXPECT_TRUE(waitInTab(u"#kolu", u"*** other2 has left #kolu"));
    EXPECT_EQ(users(u"#kolu"), std::vector<std::u16string>{u"kolu"});

    ASSERT_TRUE(other.join("#kolu"));
    ASSERT_TRUE(env.pollUntil([&] { return users(u"#kolu").size() == 2; }));
    other.quit("gone fishing");
    EXPECT_TRUE(waitInTab(u"#kolu", u"*** other2 Quit ("));
    EXPECT_EQ(users(u"#kolu"), std::vector<std::u16string>{u"kolu"});

    type(u"/part #kolu");
    EXPECT_TRUE(env.pollUntil([&] { return tab(u"#kolu") < 0; }));
}

}  // namespace
}  // namespace kolu
