// The server's answers to the client's questions: names filling a joined
// channel, WHOIS (and the ban by host it completes), away, ISON, topic,
// invitation, and the ban list offered for removal.
#include "protocol/query_replies.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "connection/notify_hooks.h"
#include "platform/text.h"
#include "tests/support/handler_env.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

using Texts = std::vector<std::u16string>;
using Sent = std::vector<std::string>;

class RecordingNotify final : public NotifyHooks {
  public:
    std::vector<std::u16string> updates;
    void NotifyList_Ison() override {}
    void NotifyList_Reset() override {}
    void NotifyList_Update(std::u16string_view online) override { updates.emplace_back(online); }
};

class QueryRepliesTest : public ::testing::Test {
  protected:
    using Handler = int (*)(HandlerContext&, const Reply&);

    void SetUp() override { env.state().wantedNick.clear(); }

    int handle(Handler handler, std::u16string_view line) {
        return handler(env.context, test::HandlerEnv::line(line));
    }
    Texts status() { return env.lines(0); }
    Texts rows(std::u16string_view channel) {
        Texts out;
        const UserList* list = env.tabs().pobierz_hwndlist(channel);
        for (std::size_t i = 0; list && i < list->size(); ++i) {
            out.push_back(list->at(i).label);
        }
        return out;
    }
    Colour colour(LineClass lineClass) { return env.env.colours.of(lineClass); }
    // Joins the channel as the client's own JOIN does: its tab, and the names
    // reply awaited for it.
    void joined(std::u16string_view channel) {
        env.tabs().dodaj_zakladke(channel);
        env.state().autoban.channel = channel;
    }

    test::HandlerEnv env;
};

TEST_F(QueryRepliesTest, NamesFillOnlyTheJustJoinedChannel) {
    joined(u"#chan");
    env.tabs().dodaj_zakladke(u"#other");
    const Texts before = status();
    handle(wypelnij_liste, u":srv 353 me = #chan :@Adam bob +alice @carol");
    handle(wypelnij_liste, u":srv 353 me = #chan :dave");
    handle(wypelnij_liste, u":srv 353 me = #other :x y");
    EXPECT_EQ(rows(u"#chan"), (Texts{u"@Adam", u"@carol", u"+alice", u"bob", u"dave"}));
    EXPECT_TRUE(rows(u"#other").empty());

    handle(koniec_listy, u":srv 366 me #chan :End of /NAMES list.");
    EXPECT_EQ(env.state().autoban.channel, u"");
    // A /names typed later is only printed.
    handle(wypelnij_liste, u":srv 353 me = #chan :eve");
    EXPECT_EQ(rows(u"#chan").size(), 5u);

    const Texts all = status();
    const Texts printed(all.begin() + static_cast<std::ptrdiff_t>(before.size()), all.end());
    EXPECT_EQ(printed, (Texts{u"= #chan :@Adam bob +alice @carol", u"= #chan :dave",
                              u"= #other :x y", u"#chan :End of /NAMES list.", u"= #chan :eve"}));
    EXPECT_EQ(env.lastColour(0), colour(LineClass::Normal));
}

TEST_F(QueryRepliesTest, OnlyTheLastNameOfALineIsCheckedForADuplicate) {
    struct Case {
        std::u16string_view line;
        Texts rows;
    };
    const Case cases[] = {
        {u":srv 353 me = #c :a b A", {u"a", u"b"}},
        {u":srv 353 me = #c :a A b", {u"a", u"A", u"b"}},
        {u":srv 353 me @ #c :@a b +a", {u"@a", u"b"}},
        {u":srv 353 me * &c :x #c :y", {u"y"}},         // the channel is found from its '#'
        {u":srv 353 me = #c :a  b @ +", {u"a", u"b"}},  // empty and prefix-only names skipped
        {u":srv 353 me = #c :", {}},
        {u":srv 353 me = #c", {}},
        {u":srv 353 me :", {}},
        {u":srv 353 me :::", {}},
    };
    for (const Case& c : cases) {
        env.tabs().usun_zakladkeT(u"#c");
        joined(u"#c");
        handle(wypelnij_liste, c.line);
        EXPECT_EQ(rows(u"#c"), c.rows) << std::string(c.line.begin(), c.line.end());
    }
}

TEST_F(QueryRepliesTest, NamesOfAnAmpersandChannel) {
    joined(u"&local");
    handle(wypelnij_liste, u":srv 353 me = &local :@op user");
    EXPECT_EQ(rows(u"&local"), (Texts{u"@op", u"user"}));
}

TEST_F(QueryRepliesTest, HostileNamesReplies) {
    joined(u"#c");
    const std::u16string huge(10000, u'n');
    handle(wypelnij_liste, u":srv 353 me = #c :" + huge + u" @" + huge + u" " + huge);
    ASSERT_EQ(rows(u"#c").size(), 3u);  // too long to be found again: no duplicate test hits
    EXPECT_EQ(rows(u"#c")[0].size(), 10001u);
    handle(wypelnij_liste, u":srv 353 me = " + huge);  // no channel at all
    handle(wypelnij_liste, u":srv 353 me = #" + huge + u" :a");
    handle(koniec_listy, u":srv 366 me");
    handle(koniec_listy, u":srv 366");
    EXPECT_EQ(rows(u"#c").size(), 3u);
    EXPECT_EQ(env.state().autoban.channel, u"#c");
}

TEST_F(QueryRepliesTest, WhoisOfSomeoneElseIsPrintedWithUserAtHost) {
    env.state().wantedNick = u"bob";
    env.state().autoban.channel = u"#chan";
    handle(HostFromWhoisAutoban, u":srv 311 me carol ~c host.example * :Carol C");
    handle(HideWhois, u":srv 312 me carol irc.example :A server");
    handle(HideWhois, u":srv 317 me carol 30 1700000000 :seconds idle");
    handle(EndOfWhois, u":srv 318 me carol :End of /WHOIS list.");
    handle(HostFromWhoisAutoban, u":srv 311 me odd");
    EXPECT_EQ(status(),
              (Texts{u"carol ~c@host.example * :Carol C", u"carol irc.example :A server",
                     u"carol 30 1700000000 :seconds idle", u"carol :End of /WHOIS list.", u"odd"}));
    EXPECT_EQ(env.lastColour(0), colour(LineClass::Whois));
    EXPECT_TRUE(env.sentLines().empty());
    EXPECT_EQ(env.state().autoban.channel, u"#chan");
}

TEST_F(QueryRepliesTest, WhoisWithoutABanRequestIsPrintedEvenForTheWantedNick) {
    env.state().wantedNick = u"bob";
    handle(HostFromWhoisAutoban, u":srv 311 me bob ~b host * :Bob");
    handle(EndOfWhois, u":srv 318 me bob :End");
    EXPECT_EQ(status(), (Texts{u"bob ~b@host * :Bob", u"bob :End"}));
    EXPECT_EQ(env.state().wantedNick, u"bob");
}

TEST_F(QueryRepliesTest, BanByHostSendsTheBanThenTheWaitingKick) {
    env.state().wantedNick = u"bob";
    env.state().autoban = {u"#chan", true, u"KICK #chan bob"};
    handle(HostFromWhoisAutoban, u":srv 311 me BOB ~b bob.example.org * :Bob");
    handle(HideWhois, u":srv 319 me bob :#chan @#other");
    handle(HideWhois, u":srv 338 me bob 1.2.3.4 :actually using host");
    EXPECT_EQ(env.sentLines(), (Sent{"MODE #chan +b *!*@bob.example.org", "KICK #chan bob"}));
    EXPECT_FALSE(env.state().autoban.kickAfterBan);
    EXPECT_FALSE(env.state().autoban.kickLine.has_value());
    handle(EndOfWhois, u":srv 318 me bob :End of /WHOIS list.");
    EXPECT_TRUE(status().empty());
    EXPECT_EQ(env.state().wantedNick, u"");
    EXPECT_EQ(env.state().autoban.channel, u"");
    // The request is over: the next WHOIS of bob is shown.
    handle(HostFromWhoisAutoban, u":srv 311 me bob ~b bob.example.org * :Bob");
    EXPECT_EQ(status(), (Texts{u"bob ~b@bob.example.org * :Bob"}));
}

TEST_F(QueryRepliesTest, BanWithoutKick) {
    struct Case {
        bool kickAfterBan;
        std::optional<std::u16string> kickLine;
        Sent sent;
        std::optional<std::u16string> kickLineAfter;
    };
    const Case cases[] = {
        {false, std::nullopt, {"MODE #c +b *!*@h"}, std::nullopt},
        {false, u"KICK #c bob", {"MODE #c +b *!*@h"}, u"KICK #c bob"},  // waits for its ban
        {true, std::nullopt, {"MODE #c +b *!*@h"}, std::nullopt},
    };
    for (const Case& c : cases) {
        test::HandlerEnv fresh;
        fresh.state().wantedNick = u"bob";
        fresh.state().autoban = {u"#c", c.kickAfterBan, c.kickLine};
        HostFromWhoisAutoban(fresh.context, test::HandlerEnv::line(u":srv 311 me bob u h"));
        EXPECT_EQ(fresh.sentLines(), c.sent);
        EXPECT_FALSE(fresh.state().autoban.kickAfterBan);
        EXPECT_EQ(fresh.state().autoban.kickLine, c.kickLineAfter);
    }
}

TEST_F(QueryRepliesTest, AwaitedWhoisWithoutAHostIsPrinted) {
    env.state().wantedNick = u"bob";
    env.state().autoban.channel = u"#chan";
    handle(HostFromWhoisAutoban, u":srv 311 me bob ~b");
    EXPECT_TRUE(env.sentLines().empty());
    EXPECT_EQ(status(), (Texts{u"bob ~b"}));
}

TEST_F(QueryRepliesTest, BanListOfThreeRemovingTheSecond) {
    env.tabs().dodaj_zakladke(u"#chan");
    env.state().autoban.channel = u"#chan";
    handle(ban2list, u":srv 367 me #chan *!*@a.example op 1700000000");
    handle(ban2list, u":srv 367 me #chan bad!*@* op 1700000001");
    handle(ban2list, u":srv 367 me #chan *!*@c.example");
    EXPECT_EQ(env.state().banList.size(), 3u);
    handle(EndOfBanList, u":srv 368 me #chan :End of Channel Ban List");
    EXPECT_TRUE(status().empty());
    EXPECT_EQ(env.env.host.started, (std::vector<TimerId>{kBanListTimer}));

    env.env.host.pickAnswers = {1};
    koniec_banlisty(env.context);
    ASSERT_EQ(env.env.host.prompts.size(), 1u);
    const test::FakeHost::Prompt& prompt = env.env.host.prompts[0];
    EXPECT_EQ(prompt.commandId, 368);
    EXPECT_EQ(prompt.title, u"#chan banlist");
    EXPECT_EQ(prompt.prompt, u"Select ban to remove:");
    EXPECT_EQ(prompt.items, (Texts{u"*!*@a.example", u"bad!*@*", u"*!*@c.example"}));
    using Call = test::RecordingCommands::Call;
    EXPECT_EQ(env.commands.calls, (std::vector<Call>{{u"/MODE #chan -b bad!*@*", u"#chan"}}));
    EXPECT_EQ(env.env.host.focusRequests, 1);
    EXPECT_TRUE(env.state().banList.empty());
    EXPECT_EQ(env.state().autoban.channel, u"");
    EXPECT_EQ(env.state().pickedIndex, -1);
}

TEST_F(QueryRepliesTest, BanListCancelledOrWithoutCommandLine) {
    env.state().autoban.channel = u"#chan";
    handle(ban2list, u":srv 367 me #chan m1 op 1");
    koniec_banlisty(env.context);  // no scripted answer: cancelled
    EXPECT_TRUE(env.commands.calls.empty());
    EXPECT_TRUE(env.state().banList.empty());
    EXPECT_EQ(env.env.host.focusRequests, 1);

    env.context.commands = nullptr;
    env.state().autoban.channel = u"#chan";
    handle(ban2list, u":srv 367 me #CHAN m1 op 1");
    handle(ban2list, u":srv 367 me #chan m2 op 1");
    env.env.host.pickAnswers = {1};
    koniec_banlisty(env.context);
    EXPECT_EQ(env.sentLines(), (Sent{"MODE #chan -b m2"}));

    env.state().autoban.channel = u"#chan";
    handle(ban2list, u":srv 367 me #chan m1");
    env.env.host.pickAnswers = {5};  // out of range: nothing removed
    koniec_banlisty(env.context);
    EXPECT_EQ(env.sentLines().size(), 1u);
    EXPECT_TRUE(env.state().banList.empty());
}

TEST_F(QueryRepliesTest, BanListLinesNotAwaitedArePrinted) {
    handle(ban2list, u":srv 367 me #chan m1 op 1");
    handle(EndOfBanList, u":srv 368 me #chan :End of Channel Ban List");
    // A ban by host is waiting (nickname set): its channel's ban lines are printed.
    env.state().wantedNick = u"bob";
    env.state().autoban.channel = u"#chan";
    handle(ban2list, u":srv 367 me #chan m2 op 1");
    handle(EndOfBanList, u":srv 368 me #chan :End");
    // Awaited for another channel, or without a mask.
    env.state().wantedNick.clear();
    handle(ban2list, u":srv 367 me #other m3");
    handle(ban2list, u":srv 367 me #chan");
    EXPECT_EQ(status(), (Texts{u"#chan m1 op 1", u"#chan :End of Channel Ban List",
                               u"#chan m2 op 1", u"#chan :End", u"#other m3", u"#chan"}));
    EXPECT_TRUE(env.state().banList.empty());
    EXPECT_TRUE(env.env.host.started.empty());
}

TEST_F(QueryRepliesTest, LongBanFieldsAreCutAtAWholeCharacter) {
    env.state().autoban.channel = u"#c";
    std::u16string mask(126, u'm');
    mask += u"\U0001F600";  // units 126 and 127: the pair doesn't fit 127
    mask += std::u16string(50, u'z');
    handle(ban2list, u":srv 367 me #c " + mask);
    ASSERT_EQ(env.state().banList.size(), 1u);
    EXPECT_EQ(env.state().banList[0].mask, std::u16string(126, u'm'));
}

TEST_F(QueryRepliesTest, IsonGoesToTheNotifyListUnlessTheUserAsked) {
    RecordingNotify notify;
    handle(reply_ISON, u":srv 303 me :alice bob");  // no notify list attached yet
    env.context.notify = &notify;
    handle(reply_ISON, u":srv 303 me :alice bob");
    EXPECT_EQ(notify.updates, (Texts{u"alice bob"}));
    EXPECT_TRUE(status().empty());

    env.state().userIsonPending = true;
    handle(reply_ISON, u":srv 303 me :carol");
    EXPECT_FALSE(env.state().userIsonPending);
    EXPECT_EQ(notify.updates.size(), 1u);
    EXPECT_EQ(status(), (Texts{u"ison: carol"}));
    EXPECT_EQ(env.lastColour(0), colour(LineClass::Normal));
    handle(reply_ISON, u":srv 303 me :");
    EXPECT_EQ(notify.updates, (Texts{u"alice bob", u""}));
}

TEST_F(QueryRepliesTest, Away) {
    handle(UserIsAway, u":srv 301 me bob :gone fishing :)");
    handle(UserIsAway, u":srv 301 me bob");
    EXPECT_EQ(status(), (Texts{u"bob is away: gone fishing :)"}));
}

TEST_F(QueryRepliesTest, TopicAnswersGoToTheChannelTab) {
    env.tabs().dodaj_zakladke(u"#chan");
    handle(ShowTopic, u":srv 332 me #CHAN :hello : world");
    handle(TopicSetBy, u":srv 333 me #chan alice!a@h 1700000000");
    handle(ShowNoTopic, u":srv 331 me #chan :No topic is set.");
    EXPECT_EQ(env.lines(u"#chan"), (Texts{u"Topic is 'hello : world'",
                                          u"Set by alice!a@h 1700000000", u"No topic is set."}));
    EXPECT_EQ(env.lastColour(1), colour(LineClass::Topic));
    EXPECT_TRUE(status().empty());
}

TEST_F(QueryRepliesTest, TopicAnswersWithoutTabOrSeparatorGoToTheStatusTab) {
    env.tabs().dodaj_zakladke(u"#chan");
    handle(ShowTopic, u":srv 332 me #gone :topic");
    handle(ShowTopic, u":srv 332 me #chan");
    handle(ShowNoTopic, u":srv 331 me #chan no colon");
    handle(TopicSetBy, u":srv 333 me #chan");
    EXPECT_EQ(status(), (Texts{u"#gone :topic", u"#chan", u"#chan no colon", u"#chan"}));
    EXPECT_EQ(env.lastColour(0), colour(LineClass::Topic));
    EXPECT_TRUE(env.lines(u"#chan").empty());
}

TEST_F(QueryRepliesTest, InvitationConfirmed) {
    env.setSound(u"invite", u"invite.wav");
    handle(ShowInvited, u":srv 341 me bob #chan");
    EXPECT_EQ(status(), (Texts{u"bob has been invited to  #chan"}));
    EXPECT_EQ(env.soundsPlayed(), (std::vector<std::string>{"invite.wav"}));
    EXPECT_EQ(env.lastColour(0), colour(LineClass::Normal));
}

}  // namespace
}  // namespace kolu
