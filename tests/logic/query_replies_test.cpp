// The server's answers to the client's questions, through the dispatcher.
#include "protocol/query_replies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "protocol/dispatcher.h"
#include "tests/support/handler_env.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

using Texts = std::vector<std::u16string>;
using Sent = std::vector<std::string>;

class QueryRepliesTest : public ::testing::Test {
  protected:
    QueryRepliesTest() {
        env.state().currentNick = u"me";
        env.state().wantedNick.clear();
    }
    // As the client's own JOIN does: the tab, and the names reply awaited for it.
    void joined(std::u16string_view channel) {
        env.tabs().usun_zakladkeT(channel);
        env.tabs().dodaj_zakladke(channel);
        env.state().autoban.channel = channel;
    }
    // A ban by host waits for the WHOIS of `nick`.
    void banning(std::u16string_view nick, std::optional<std::u16string> kick = {}) {
        env.state().wantedNick = nick;
        env.state().autoban = {u"#chan", kick.has_value(), kick};
    }

    test::HandlerEnv env;
};

TEST_F(QueryRepliesTest, NamesFillOnlyTheJustJoinedChannel) {
    joined(u"#chan");
    env.tabs().dodaj_zakladke(u"&other");
    env.dispatch(u":srv 353 me = #chan :@Adam bob +alice");
    env.dispatch(u":srv 353 me = &other :x y");
    env.dispatch(u":srv 366 me #chan :End of /NAMES list.");
    env.dispatch(u":srv 353 me = #chan :eve");  // a /names typed later is only printed
    EXPECT_EQ(env.env.users(u"#chan"), (Texts{u"@Adam", u"+alice", u"bob"}));
    EXPECT_TRUE(env.env.users(u"&other").empty());
    EXPECT_EQ(env.lines(), (Texts{u"= #chan :@Adam bob +alice", u"= &other :x y",
                                  u"#chan :End of /NAMES list.", u"= #chan :eve"}));
}

TEST_F(QueryRepliesTest, OnlyTheLastNameOfALineIsCheckedForADuplicate) {
    const std::u16string huge(10000, u'n');
    const std::pair<std::u16string, Texts> cases[] = {
        {u":srv 353 me = #c :a b A", {u"a", u"b"}},
        {u":srv 353 me * &c :x #c :y", {u"y"}},         // the channel is found from its '#'
        {u":srv 353 me = #c :a  b @ +", {u"a", u"b"}},  // empty and prefix-only names skipped
        {u":srv 353 me :::", {}},
        // Too long to be found again: no duplicate test hits.
        {u":srv 353 me = #c :" + huge + u" @" + huge + u" " + huge, {u"@" + huge, huge, huge}},
        {u":srv 353 me = " + huge, {}},
        {u":srv 353 me = #" + huge + u" :a", {}},
    };
    for (const auto& [line, expected] : cases) {
        joined(u"#c");
        env.dispatch(line);
        EXPECT_EQ(env.env.users(u"#c"), expected) << toUtf8(line.substr(0, 40));
    }
    env.dispatch(u":srv 366 me");  // no channel: the names are still awaited
    EXPECT_EQ(env.state().autoban.channel, u"#c");
}

TEST_F(QueryRepliesTest, WhoisIsPrintedWithUserAtHostUnlessABanAwaitsIt) {
    env.state().wantedNick = u"bob";  // without a ban request: printed anyway
    env.dispatch(u":srv 311 me bob ~b host.example * :Bob B");
    env.dispatch(u":srv 312 me bob irc.example :A server");
    env.dispatch(u":srv 318 me bob :End of /WHOIS list.");
    banning(u"bob");
    env.dispatch(u":srv 311 me carol ~c host.example * :Carol C");
    env.dispatch(u":srv 311 me bob ~b");  // awaited, but without a host
    EXPECT_EQ(env.lines(),
              (Texts{u"bob ~b@host.example * :Bob B", u"bob irc.example :A server",
                     u"bob :End of /WHOIS list.", u"carol ~c@host.example * :Carol C", u"bob ~b"}));
    EXPECT_EQ(env.lastColour(0), env.env.colours.of(LineClass::Whois));
    EXPECT_TRUE(env.sockets.sentLines().empty());
}

TEST_F(QueryRepliesTest, BanByHostSendsTheBanThenTheWaitingKick) {
    banning(u"bob", u"KICK #chan bob");
    env.dispatch(u":srv 311 me BOB ~b bob.example.org * :Bob");
    env.dispatch(u":srv 319 me bob :#chan @#other");
    EXPECT_EQ(env.sockets.sentLines(),
              (Sent{"MODE #chan +b *!*@bob.example.org", "KICK #chan bob"}));
    EXPECT_FALSE(env.state().autoban.kickLine.has_value());
    env.dispatch(u":srv 318 me bob :End of /WHOIS list.");
    EXPECT_TRUE(env.lines().empty());
    EXPECT_EQ(env.state().wantedNick, u"");
    // The request is over: the next WHOIS of bob is shown.
    env.dispatch(u":srv 311 me bob ~b h * :Bob");
    EXPECT_EQ(env.lines(), (Texts{u"bob ~b@h * :Bob"}));

    // A kick line that isn't to follow the ban keeps waiting for its own.
    banning(u"bob", u"KICK #chan bob");
    env.state().autoban.kickAfterBan = false;
    env.dispatch(u":srv 311 me bob u h");
    EXPECT_EQ(env.sockets.sentLines().back(), "MODE #chan +b *!*@h");
    EXPECT_EQ(env.state().autoban.kickLine, u"KICK #chan bob");
}

TEST_F(QueryRepliesTest, TheBanListIsOfferedForRemoval) {
    joined(u"#chan");
    env.dispatch(u":srv 367 me #CHAN *!*@a.example op 1700000000");
    env.dispatch(u":srv 367 me #chan bad!*@* op 1700000001");
    // Units 126 and 127 are a pair: it doesn't fit a mask's 127.
    const std::u16string longMask = std::u16string(126, u'm') + u"\U0001F600" + u"zz";
    env.dispatch(u":srv 367 me #chan " + longMask);
    env.dispatch(u":srv 368 me #chan :End of Channel Ban List");
    EXPECT_TRUE(env.lines().empty());
    EXPECT_EQ(env.env.host.started, (std::vector<TimerId>{kBanListTimer}));
    env.env.host.pickAnswers = {1};
    koniec_banlisty(env.context);
    ASSERT_EQ(env.env.host.prompts.size(), 1u);
    EXPECT_EQ(env.env.host.prompts[0].title, u"#chan banlist");
    EXPECT_EQ(env.env.host.prompts[0].items,
              (Texts{u"*!*@a.example", u"bad!*@*", std::u16string(126, u'm')}));
    using Call = test::RecordingCommands::Call;
    EXPECT_EQ(env.commands.calls, (std::vector<Call>{{u"/MODE #chan -b bad!*@*", u"#chan"}}));
    EXPECT_TRUE(env.state().banList.empty());
    EXPECT_EQ(env.state().autoban.channel, u"");

    // Cancelled or out of range, nothing is removed; without a command line the
    // removal is sent directly.
    env.context.commands = nullptr;
    for (const std::optional<int> pick : {std::optional<int>(), std::optional<int>(5)}) {
        env.state().autoban.channel = u"#chan";
        env.dispatch(u":srv 367 me #chan m1");
        env.env.host.pickAnswers = {pick};
        koniec_banlisty(env.context);
    }
    env.state().autoban.channel = u"#chan";
    env.dispatch(u":srv 367 me #chan m2 op 1");
    env.env.host.pickAnswers = {0};
    koniec_banlisty(env.context);
    EXPECT_EQ(env.sockets.sentLines(), (Sent{"MODE #chan -b m2"}));
}

TEST_F(QueryRepliesTest, BanListLinesNotAwaitedArePrinted) {
    env.dispatch(u":srv 367 me #chan m1 op 1");
    env.dispatch(u":srv 368 me #chan :End of Channel Ban List");
    banning(u"bob");  // a ban by host is waiting: its channel's ban lines are printed
    env.dispatch(u":srv 367 me #chan m2 op 1");
    env.state().wantedNick.clear();
    env.dispatch(u":srv 367 me #other m3");
    env.dispatch(u":srv 367 me #chan");  // without a mask
    EXPECT_EQ(env.lines(), (Texts{u"#chan m1 op 1", u"#chan :End of Channel Ban List",
                                  u"#chan m2 op 1", u"#other m3", u"#chan"}));
    EXPECT_TRUE(env.state().banList.empty());
    EXPECT_TRUE(env.env.host.started.empty());
}

// Who takes the answers is checked against a real server; before a notify list is
// attached, its answers go nowhere.
TEST_F(QueryRepliesTest, IsonNotAskedByTheUserIsNotShown) {
    env.dispatch(u":srv 303 me :alice bob");
    EXPECT_TRUE(env.lines().empty());
}

TEST_F(QueryRepliesTest, AwayTopicAndInvitationAnswers) {
    env.tabs().dodaj_zakladke(u"#chan");
    env.setSound(u"invite", u"invite.wav");
    env.dispatch(u":srv 301 me bob :gone fishing :)");
    env.dispatch(u":srv 301 me bob");
    env.dispatch(u":srv 332 me #CHAN :hello : world");
    env.dispatch(u":srv 333 me #chan alice!a@h 1700000000");
    env.dispatch(u":srv 331 me #chan :No topic is set.");
    EXPECT_EQ(env.lines(u"#chan"), (Texts{u"Topic is 'hello : world'",
                                          u"Set by alice!a@h 1700000000", u"No topic is set."}));
    EXPECT_EQ(env.lastColour(1), env.env.colours.of(LineClass::Topic));
    // Without a tab or a separator they go to the status tab as they came.
    env.dispatch(u":srv 332 me #gone :topic");
    env.dispatch(u":srv 331 me #chan no colon");
    env.dispatch(u":srv 341 me bob #chan");
    EXPECT_EQ(env.lines(), (Texts{u"bob is away: gone fishing :)", u"#gone :topic",
                                  u"#chan no colon", u"bob has been invited to  #chan"}));
    EXPECT_EQ(env.soundsPlayed(), (std::vector<std::string>{"invite.wav"}));
}

}  // namespace
}  // namespace kolu
