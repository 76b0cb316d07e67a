// What the tap-and-hold menus' items send and show over a whole session; the
// widgets' tests open the menus and take op and ban/kick to a server.
#include "commands/context_menus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using Sent = std::vector<std::string>;
using Texts = std::vector<std::u16string>;

// Answers each menu with the next scripted id (0 once they run out).
class ScriptedWindow final : public ContextMenuWindow {
  public:
    std::vector<int> choices;

    int track(const ContextMenu&) override {
        const int id = choices.empty() ? 0 : choices.front();
        choices.erase(choices.begin(), choices.begin() + (choices.empty() ? 0 : 1));
        return id;
    }
    void setAutoScroll(bool) override {}
};

class ContextMenusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Logged in: the autoban nickname shares the login's wanted-nickname storage.
        env.state().currentNick = u"me";
        env.state().wantedNick.clear();
        env.settings().RegZapiszLONG(u"whspteach", 0);
        env.settings().RegZapiszMsg(u"partmsg", u"bye now", 500);
        env.tabs().select(env.tabs().dodaj_zakladke(u"#a"));
    }
    void onUser(std::u16string_view label, int id) {
        window.choices = {id};
        EXPECT_EQ(menus.ContextProc(window, label), 1);
    }
    void onChannel(int id) {
        window.choices = {id};
        EXPECT_EQ(menus.ChContextProc(window, u"#a"), 1);
    }
    void answer(std::u16string text) { env.env.host.textAnswers.push_back(std::move(text)); }
    void whoisAnswer(std::u16string_view nick, std::u16string_view host) {
        env.env.session.dispatcher.DispatchReply(test::HandlerEnv::line(
            u":srv 311 me " + std::u16string(nick) + u" ~u " + std::u16string(host) + u" * :Real"));
    }
    Sent sent() {
        Sent lines = env.sockets.sentLines();
        env.sockets.sent.clear();
        return lines;
    }

    test::HandlerEnv env;
    ContextMenus menus{{env.state(), env.env.session.connection, env.env.session.commands,
                        env.settings(), env.tabs(), env.env.session.output, env.env.colours,
                        env.env.host, env.settings().errorLog()}};
    ScriptedWindow window;
};

TEST_F(ContextMenusTest, UserListLinesActOnTheNicknameWithoutItsRank) {
    onUser(u"@+x", 40307);  // every leading rank symbol goes (multi-prefix)
    onUser(u"~x", 40307);   // not a rank until the server says so
    EXPECT_EQ(sent(), (Sent{"MODE #a +o x", "MODE #a +o ~x"}));

    env.tabs().setMemberRanks(*MemberRanks::parse(u"(qaohv)~&@%+"));
    onUser(u"~%x", 40311);
    EXPECT_EQ(sent(), Sent{"KICK #a x"});
    EXPECT_EQ(expandContextLine(u"MODE %c +o %n %x%", u"#a", u"%n"), u"MODE #a +o %n %x%");

    // Query opens a tab without selecting it.
    const int selected = env.tabs().selected();
    onUser(u"@newbie", 40304);
    EXPECT_GT(env.tabs().znajdz_zakladke(u"newbie"), 0);
    EXPECT_EQ(env.tabs().selected(), selected);
}

TEST_F(ContextMenusTest, PromptedItemsSendTheAnswerAndCancelSendsNothing) {
    answer(u"");
    onUser(u"@bob", 40312);
    answer(u"spam");
    onUser(u"@bob", 40312);
    answer(u"back soon");
    window.choices = {40501, 40502};
    menus.StatusContextProc(window);
    menus.StatusContextProc(window);
    EXPECT_EQ(sent(), (Sent{"KICK #a bob", "KICK #a bob :spam", "AWAY :back soon", "AWAY"}));
    // No scripted answer: each prompt is cancelled.
    onUser(u"bob", 40315);
    onChannel(40421);
    window.choices = {40501};
    menus.StatusContextProc(window);
    EXPECT_TRUE(sent().empty());
    EXPECT_FALSE(env.state().autoban.kickLine.has_value());
    EXPECT_EQ(env.state().wantedNick, u"");
    EXPECT_EQ(env.env.host.prompts.size(), 6u);
}

TEST_F(ContextMenusTest, ParsedItemsAreEchoedLikeTypedCommands) {
    answer(u"hi there");
    onUser(u"@bob", 40316);
    EXPECT_EQ(sent(), Sent{"NOTICE bob :hi there"});
    onUser(u"+bob", 40301);
    EXPECT_EQ(sent().at(0).substr(0, 19), "PRIVMSG bob :\x01PING ");
    EXPECT_EQ(env.lines(u"#a").back(), u"-> [bob] PING");
}

TEST_F(ContextMenusTest, BanAsksForTheWhoisAnswerAndAWaitingKickLineStays) {
    onUser(u"eve", 40313);  // Ban alone kicks nobody
    whoisAnswer(u"eve", u"eve.example");
    EXPECT_EQ(sent(), (Sent{"WHOIS eve", "MODE #a +b *!*@eve.example"}));

    answer(u"spam");
    onUser(u"@bob", 40315);
    onUser(u"carol", 40314);
    EXPECT_EQ(sent(), (Sent{"WHOIS bob", "WHOIS carol"}));
    whoisAnswer(u"carol", u"carol.example");
    EXPECT_EQ(sent(), (Sent{"MODE #a +b *!*@carol.example", "KICK #a bob :spam"}));
    EXPECT_FALSE(env.state().autoban.kickLine.has_value());
    // The next request may set its own line again.
    answer(u"");
    onUser(u"dave", 40315);
    EXPECT_EQ(env.state().autoban.kickLine, u"KICK #a dave");
}

TEST_F(ContextMenusTest, IgnoreAndUnignoreChangeTheListAndSaySo) {
    onUser(u"@bob", 40305);
    onUser(u"carol", 40306);  // not listed: still reported
    onUser(u"+bob", 40306);
    EXPECT_LT(env.settings().RegSpListJest(u"bob", u"", u"ignore"), 0);
    const Texts shown = env.lines(u"#a");
    EXPECT_EQ(Texts(shown.end() - 3, shown.end()),
              (Texts{u"*** Added bob to ignore list", u"*** Removed carol from ignore list",
                     u"*** Removed bob from ignore list"}));
    EXPECT_EQ(env.lastColour(1), env.env.colours.of(LineClass::Info2));
    // From a query tab, the line goes to that tab, whichever tab is current.
    env.tabs().dodaj_zakladke(u"zed");
    window.choices = {40305};
    menus.QueryContextProc(window, u"zed");
    EXPECT_EQ(env.lines(u"zed"), Texts{u"*** Added zed to ignore list"});
    EXPECT_TRUE(sent().empty());
}

TEST_F(ContextMenusTest, ChannelModesKeyBanListAndClose) {
    onChannel(40418);
    answer(u"s3cret");
    onChannel(40421);
    EXPECT_EQ(sent(), (Sent{"MODE #a +l 20", "MODE #a +k s3cret"}));

    // Remove ban asks for the list; the request waits for it with no nickname.
    env.state().wantedNick = u"left over";
    onChannel(40423);
    EXPECT_EQ(sent(), Sent{"MODE #a +b"});
    EXPECT_EQ(env.state().autoban.channel, u"#a");
    EXPECT_EQ(env.state().wantedNick, u"");

    // Close on the tab leaves the channel; the tab waits for the server.
    window.choices = {40499};
    menus.tabContextProc(window, 1);
    EXPECT_EQ(sent(), Sent{"PART #a :bye now"});
    EXPECT_EQ(env.tabs().znajdz_zakladke(u"#a"), 1);
}

}  // namespace
}  // namespace kolu
