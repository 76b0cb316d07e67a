#include "protocol/channel_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "protocol/dispatcher.h"
#include "settings/settings.h"
#include "tests/support/handler_env.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

using Handler = int (*)(HandlerContext&, const Reply&);
using Names = std::vector<std::u16string>;

constexpr std::uint32_t kMissing = 0xFFFFFFFF;  // reads as -1, like a missing value

// The client is "me", already in #chan and #other with a few members, and has a
// query tab open with bob.
struct World {
    World() {
        h.state().currentNick = u"me";
        run(reply_JOIN, u":me!m@home JOIN #chan");
        run(reply_JOIN, u":me!m@home JOIN #other");
        h.tabs().dodaj_zakladke(u"bob");
        for (const char16_t* name : {u"@op", u"bob", u"+carol"}) {
            DodajDoListyOpt(h.tabs(), u"#chan", name);
        }
        DodajDoListyOpt(h.tabs(), u"#other", u"@bob");
        h.env.sound.played.clear();
        h.clock().ticks += 1000;  // a sound played here doesn't mute the test's own
    }

    int run(Handler handler, std::u16string_view raw) {
        return handler(h.context, test::HandlerEnv::line(raw));
    }
    void set(std::u16string_view name, std::uint32_t value) {
        h.env.settings.putDword(kSettingsKey, name, value);
    }
    Names users(std::u16string_view channel) {
        Names out;
        if (const UserList* list = h.tabs().pobierz_hwndlist(channel)) {
            for (std::size_t i = 0; i < list->size(); ++i) {
                out.push_back(list->at(i).label);
            }
        }
        return out;
    }
    Names lines(std::u16string_view tab) { return tab.empty() ? h.lines(0) : h.lines(tab); }
    std::u16string last(std::u16string_view tab) {
        const Names all = lines(tab);
        return all.empty() ? u"" : all.back();
    }
    // The colour of the last line in a named tab ("" = status).
    Colour lastColour(std::u16string_view tab) {
        return h.lastColour(tab.empty() ? 0 : h.tabs().znajdz_zakladke(tab));
    }
    Colour colour(LineClass lineClass) { return h.env.colours.of(lineClass); }

    test::HandlerEnv h;
};

class ChannelEventsTest : public ::testing::Test, protected World {};

TEST_F(ChannelEventsTest, OwnJoinCreatesSelectsAndAimsTheNamesReply) {
    run(reply_JOIN, u":ME!m@home JOIN :#new");  // the nick matches whatever its case
    const int index = h.tabs().znajdz_zakladke(u"#new");
    ASSERT_GT(index, 0);
    EXPECT_EQ(h.tabs().selected(), index);
    EXPECT_EQ(lines(u"#new"), Names{u"*** Now talking in #new"});
    EXPECT_EQ(h.lastColour(index), colour(LineClass::Join));
    EXPECT_EQ(h.state().autoban.channel, u"#new");
    EXPECT_TRUE(users(u"#new").empty());
    EXPECT_EQ(h.soundsPlayed(), std::vector<std::string>{"join.wav"});

    // Joining a channel whose tab exists (other case) reuses and selects it,
    // and a tab left by a disconnect is a member's again.
    const int tabs = h.tabs().count();
    h.tabs().markChannelsNotJoined(rgb(1, 2, 3));
    run(reply_JOIN, u":me!m@home JOIN #CHAN");
    EXPECT_EQ(h.tabs().count(), tabs);
    EXPECT_EQ(h.tabs().selected(), h.tabs().znajdz_zakladke(u"#chan"));
    EXPECT_EQ(last(u"#chan"), u"*** Now talking in #CHAN");
    EXPECT_EQ(h.tabs().labelColourForPaint(h.tabs().selected()), 0u);
}

TEST_F(ChannelEventsTest, OwnPartRemovesTheTabSilently) {
    const Names status = lines(u"");
    run(reply_PART, u":me!m@home PART #chan :bye");
    EXPECT_EQ(h.tabs().znajdz_zakladke(u"#chan"), -1);
    EXPECT_EQ(h.tabs().selected(), 0);
    EXPECT_EQ(lines(u""), status);
    EXPECT_EQ(h.soundsPlayed(), std::vector<std::string>{"part.wav"});
}

// Other people's joins and parts in every short_jp / show_adr combination.
TEST_F(ChannelEventsTest, JoinAndPartLinesInBothFormsWithAndWithoutAddress) {
    struct Case {
        std::uint32_t shortJp;
        std::uint32_t showAdr;
        const char16_t* join;
        const char16_t* part;
    };
    const Case cases[] = {
        {kMissing, 1, u"*** Joins: dan (d@host.example)", u"*** Parts: dan (d@host.example)"},
        {kMissing, 0, u"*** Joins: dan", u"*** Parts: dan"},
        {1, kMissing, u"*** Joins: dan", u"*** Parts: dan"},
        {2, 2, u"*** Joins: dan", u"*** Parts: dan"},
        {0, 0, u"*** dan has joined #chan", u"*** dan has left #chan"},
        {0, 1, u"*** dan (d@host.example) has joined #chan",
         u"*** dan (d@host.example) has left #chan"},
        {0, kMissing, u"*** dan has joined #chan", u"*** dan has left #chan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "short_jp " << int(c.shortJp) << " show_adr " << int(c.showAdr));
        set(u"short_jp", c.shortJp);
        set(u"show_adr", c.showAdr);
        run(reply_JOIN, u":dan!d@host.example JOIN :#chan");
        EXPECT_EQ(last(u"#chan"), c.join);
        EXPECT_EQ(lastColour(u"#chan"), colour(LineClass::Join));
        EXPECT_EQ(users(u"#chan"), (Names{u"@op", u"+carol", u"bob", u"dan"}));
        run(reply_PART, u":dan!d@host.example PART #chan :see you");
        EXPECT_EQ(last(u"#chan"), c.part);
        EXPECT_EQ(lastColour(u"#chan"), colour(LineClass::Part));
        EXPECT_EQ(users(u"#chan"), (Names{u"@op", u"+carol", u"bob"}));
    }
}

TEST_F(ChannelEventsTest, JoinOfAListedUserKeepsOneRowAndUnknownChannelsPrintInStatus) {
    run(reply_JOIN, u":bob!b@h JOIN #chan");
    EXPECT_EQ(users(u"#chan"), (Names{u"@op", u"+carol", u"bob"}));
    set(u"short_jp", 0);
    run(reply_JOIN, u":dan!d@h JOIN #nowhere");
    run(reply_PART, u":dan!d@h PART #nowhere");
    EXPECT_EQ(lines(u"").size(), 2u);
    EXPECT_EQ(last(u""), u"*** dan has left #nowhere");
}

TEST_F(ChannelEventsTest, AnEmptySourceIsNobody) {
    const Names before = lines(u"#chan");
    run(reply_JOIN, u": JOIN #chan");
    run(reply_PART, u": PART #chan");
    EXPECT_EQ(lines(u"#chan"), before);
    EXPECT_EQ(users(u"#chan"), (Names{u"@op", u"+carol", u"bob"}));
    EXPECT_TRUE(h.soundsPlayed().empty());

    // Before the login the client's nickname is empty too: still nobody's.
    h.state().currentNick.clear();
    const int tabs = h.tabs().count();
    const int selected = h.tabs().selected();
    run(reply_JOIN, u": JOIN #x");
    run(reply_NICK, u": NICK :someone");
    EXPECT_EQ(h.tabs().count(), tabs);
    EXPECT_EQ(h.tabs().selected(), selected);
    EXPECT_TRUE(h.state().currentNick.empty());
}

TEST_F(ChannelEventsTest, NickChangeRenamesInEveryChannelHoldingTheUser) {
    run(reply_NICK, u":bob!b@h NICK :rob");
    EXPECT_EQ(users(u"#chan"), (Names{u"@op", u"+carol", u"rob"}));
    EXPECT_EQ(users(u"#other"), Names{u"@rob"});
    EXPECT_EQ(last(u"#chan"), u"bob is now known as rob");
    EXPECT_EQ(last(u"#other"), u"bob is now known as rob");
    EXPECT_EQ(lastColour(u"#other"), colour(LineClass::Nick));
    // The query tab keeps its name and gets no line; the status tab neither.
    EXPECT_GT(h.tabs().znajdz_zakladke(u"bob"), 0);
    EXPECT_TRUE(lines(u"bob").empty());
    EXPECT_TRUE(lines(u"").empty());

    // carol is only in #chan.
    run(reply_NICK, u":carol!c@h NICK carla");
    EXPECT_EQ(last(u"#chan"), u"carol is now known as carla");
    EXPECT_EQ(last(u"#other"), u"bob is now known as rob");
    EXPECT_EQ(users(u"#chan"), (Names{u"@op", u"+carla", u"rob"}));
}

TEST_F(ChannelEventsTest, OwnNickChangePrintsInStatusAndOwnChannels) {
    DodajDoListyOpt(h.tabs(), u"#chan", u"@me");
    h.state().wantedNick = u"autoban-target";
    run(reply_NICK, u":Me!m@home NICK :zed");
    EXPECT_EQ(h.state().currentNick, u"zed");
    EXPECT_EQ(h.state().wantedNick, u"autoban-target");  // only emptied before login
    EXPECT_EQ(lines(u""), Names{u"Your nick is now zed"});
    EXPECT_EQ(h.lastColour(0), colour(LineClass::Nick));
    EXPECT_EQ(last(u"#chan"), u"Your nick is now zed");
    EXPECT_EQ(lines(u"#other"), Names{u"*** Now talking in #other"});
    EXPECT_EQ(users(u"#chan"), (Names{u"@op", u"@zed", u"+carol", u"bob"}));

    // Later events of the new nickname count as the client's own.
    run(reply_PART, u":zed!m@home PART #other");
    EXPECT_EQ(h.tabs().znajdz_zakladke(u"#other"), -1);
}

// The current nickname lives in a buffer of 256 characters whichever line sets
// it: an own NICK to a longer name keeps what fits, never half a character.
TEST_F(ChannelEventsTest, OwnNickChangeKeepsWhatTheNicknameBufferHolds) {
    std::u16string longNick(254, u'n');
    longNick += u"\U0001F600";  // a pair across the limit
    longNick += std::u16string(100, u'x');
    run(reply_NICK, u":me!m@home NICK :" + longNick);
    EXPECT_EQ(h.state().currentNick, longNick.substr(0, 254));
    EXPECT_EQ(lines(u""), Names{u"Your nick is now " + longNick});
}

TEST_F(ChannelEventsTest, NickWithoutANewNicknameChangesNothing) {
    run(reply_NICK, u":bob!b@h NICK");
    run(reply_NICK, u":me!m@home NICK :");
    EXPECT_EQ(h.state().currentNick, u"me");
    EXPECT_EQ(users(u"#chan"), (Names{u"@op", u"+carol", u"bob"}));
    EXPECT_TRUE(lines(u"").empty());
}

TEST_F(ChannelEventsTest, QuitReasonsAndWhereTheyPrint) {
    struct Case {
        const char16_t* raw;
        std::uint32_t showAdr;
        const char16_t* text;
    };
    const Case cases[] = {
        {u":bob!b@h.example QUIT :Leaving", 0, u"*** bob Quit (Leaving)"},
        {u":bob!b@h.example QUIT :Client exited", 0, u"*** bob Quit (Client exited)"},
        {u":bob!b@h.example QUIT :Ping timeout: 240 seconds", 0,
         u"*** bob Quit (Ping timeout: 240 seconds)"},
        {u":bob!b@h.example QUIT", kMissing, u"*** bob Quit ()"},
        {u":bob!b@h.example QUIT :Leaving", 1, u"*** bob (b@h.example) Quit (Leaving)"},
        {u":bob QUIT :gone", 1, u"*** bob () Quit (gone)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "line " << testing::PrintToString(std::u16string(c.raw)));
        dodaj_do_listy(h.tabs(), u"#chan", u"bob");
        dodaj_do_listy(h.tabs(), u"#other", u"@bob");
        const std::size_t chanLines = lines(u"#chan").size();
        set(u"show_adr", c.showAdr);
        run(reply_QUIT, c.raw);
        EXPECT_EQ(last(u"#chan"), c.text);
        EXPECT_EQ(last(u"#other"), c.text);
        EXPECT_EQ(lines(u"#chan").size(), chanLines + 1);
        EXPECT_EQ(lastColour(u"#chan"), colour(LineClass::Quit));
        EXPECT_EQ(users(u"#chan"), (Names{u"@op", u"+carol"}));
        EXPECT_TRUE(users(u"#other").empty());
    }
    EXPECT_TRUE(lines(u"bob").empty());
    EXPECT_TRUE(lines(u"").empty());
}

TEST_F(ChannelEventsTest, QuitOfAStrangerPrintsNothing) {
    run(reply_QUIT, u":zoe!z@h QUIT :bye");
    EXPECT_TRUE(lines(u"").empty());
    EXPECT_EQ(lines(u"#chan"), Names{u"*** Now talking in #chan"});
    EXPECT_EQ(h.soundsPlayed(), std::vector<std::string>{"quit.wav"});
}

TEST_F(ChannelEventsTest, ClosingLineWithAndWithoutAddress) {
    set(u"show_adr", 0);
    run(reply_Disconnected, u"ERROR :Closing Link: me[host.example] (Quit: bye)");
    EXPECT_EQ(last(u""), u"Closing Link:");
    EXPECT_EQ(h.lastColour(0), colour(LineClass::Info2));
    EXPECT_FALSE(h.state().connected);

    h.state().connected = true;
    set(u"show_adr", 1);
    run(reply_Disconnected, u"ERROR :Closing Link: me[host.example] (Quit: bye)");
    EXPECT_EQ(last(u""), u"Closing Link: me[host.example] (Quit: bye)");
    EXPECT_FALSE(h.state().connected);
}

TEST_F(ChannelEventsTest, TopicAndInviteLines) {
    run(reply_TOPIC, u":bob!b@h TOPIC #chan :fresh: topic here");
    EXPECT_EQ(last(u"#chan"), u"bob changes topic to 'fresh: topic here'");
    EXPECT_EQ(lastColour(u"#chan"), colour(LineClass::Topic));
    run(reply_TOPIC, u":bob!b@h TOPIC #elsewhere :x");
    EXPECT_EQ(last(u""), u"bob changes topic to 'x'");

    h.setSound(u"invite", u"invite.wav");
    set(u"show_adr", 0);  // the invitation always shows the address
    run(reply_INVITE, u":bob!b@h.example INVITE me :#secret");
    EXPECT_EQ(last(u""), u"bob (b@h.example) invites you to join #secret");
    EXPECT_EQ(h.lastColour(0), colour(LineClass::Invite));
    EXPECT_EQ(h.soundsPlayed(), std::vector<std::string>{"invite.wav"});
}

TEST(ChannelEvents, KickOfSomeoneElse) {
    struct Case {
        const char16_t* raw;
        const char16_t* text;
        Names left;
    };
    const Case cases[] = {
        {u":op!o@h KICK #chan bob :flooding again",
         u"bob was kicked by op (flooding again)",
         {u"@op", u"+carol"}},
        {u":op!o@h KICK #chan carol :", u"carol was kicked by op ()", {u"@op", u"bob"}},
        // Without " :" the victim is the first word; alone it is also the reason.
        {u":op!o@h KICK #chan bob", u"bob was kicked by op (bob)", {u"@op", u"+carol"}},
        {u":op!o@h KICK #chan bob flood", u"bob was kicked by op (flood)", {u"@op", u"+carol"}},
        {u":op!o@h KICK #chan zoe :who?",
         u"zoe was kicked by op (who?)",
         {u"@op", u"+carol", u"bob"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(std::u16string(c.raw)));
        World w;
        w.set(u"rejoin", 1);
        w.run(reply_KICK, c.raw);
        EXPECT_EQ(w.last(u"#chan"), c.text);
        EXPECT_EQ(w.lastColour(u"#chan"), w.colour(LineClass::Kick));
        EXPECT_EQ(w.users(u"#chan"), c.left);
        EXPECT_EQ(w.h.tabs().count(), 4);
        EXPECT_TRUE(w.h.sentLines().empty());
    }
}

TEST_F(ChannelEventsTest, BeingKickedRemovesTheTabAndRejoinsWhenAsked) {
    for (const std::uint32_t rejoin : {1u, 0u, kMissing}) {
        SCOPED_TRACE(testing::Message() << "rejoin " << int(rejoin));
        run(reply_JOIN, u":me!m@home JOIN #chan");
        h.sockets.sent.clear();
        h.env.sound.played.clear();
        h.clock().ticks += 1000;
        set(u"rejoin", rejoin);
        run(reply_KICK, u":op!o@h KICK #chan ME :out");
        EXPECT_EQ(h.tabs().znajdz_zakladke(u"#chan"), -1);
        EXPECT_EQ(h.tabs().selected(), 0);
        EXPECT_EQ(last(u""), u"You were kicked by op (out)");
        EXPECT_EQ(h.lastColour(0), colour(LineClass::Kick));
        EXPECT_EQ(h.soundsPlayed(), std::vector<std::string>{"kick.wav"});
        EXPECT_EQ(h.sentLines(), rejoin == 1 ? std::vector<std::string>{"JOIN #chan"}
                                             : std::vector<std::string>{});
    }
    // The server's answer to the rejoin recreates the tab.
    run(reply_JOIN, u":me!m@home JOIN #chan");
    EXPECT_GT(h.tabs().znajdz_zakladke(u"#chan"), 0);
}

TEST_F(ChannelEventsTest, KickFromANamelessChannelSendsNoEmptyJoin) {
    set(u"rejoin", 1);
    run(reply_KICK, u":op!o@h KICK : me :x");
    EXPECT_TRUE(h.sentLines().empty());
    EXPECT_EQ(last(u""), u"You were kicked by op (x)");
}

// Texts composed in the fixed buffers are cut at 255 characters, never inside a
// surrogate pair; texts without such a buffer are kept whole.
TEST_F(ChannelEventsTest, LongWordsAreCutAtAWholeCharacter) {
    const std::u16string longNick(10000, u'n');
    set(u"show_adr", 1);
    set(u"short_jp", 1);
    run(reply_JOIN, u":" + longNick + u"!u@h JOIN #other");
    EXPECT_EQ(last(u"#other"), u"*** Joins: " + longNick.substr(0, 255));

    std::u16string smileys;
    for (int i = 0; i < 200; ++i) {
        smileys += u"\U0001F600";
    }
    run(reply_JOIN, u":" + smileys + u" JOIN #other");
    EXPECT_EQ(last(u"#other"), u"*** Joins: " + smileys.substr(0, 254));

    set(u"show_adr", 0);
    const std::u16string reason(10000, u'r');
    run(reply_QUIT, u":bob!b@h QUIT :" + reason);
    EXPECT_EQ(last(u"#chan"), u"*** " + (u"bob Quit (" + reason).substr(0, 255));

    run(reply_KICK, u":op!o@h KICK #chan carol :" + reason);
    EXPECT_EQ(last(u"#chan"), (u"carol was kicked by op (" + reason).substr(0, 255));
    EXPECT_EQ(users(u"#chan"), Names{u"@op"});

    run(reply_TOPIC, u":op!o@h TOPIC #chan :" + reason);
    EXPECT_EQ(last(u"#chan"), u"op changes topic to '" + reason + u"'");
}

TEST_F(ChannelEventsTest, ChannelNamesThatLookLikePathsAreJustNames) {
    run(reply_JOIN, u":me!m@home JOIN #../../x");
    const int index = h.tabs().znajdz_zakladke(u"#../../x");
    ASSERT_GT(index, 0);
    EXPECT_EQ(lines(u"#../../x"), Names{u"*** Now talking in #../../x"});
    run(reply_JOIN, u":dan!d@h JOIN #../../x");
    EXPECT_EQ(users(u"#../../x"), Names{u"dan"});
    run(reply_PART, u":me!m@home PART #../../x");
    EXPECT_EQ(h.tabs().znajdz_zakladke(u"#../../x"), -1);
}

// Every handler over malformed lines: nothing crashes, the client's own tabs and
// its nickname survive, and no line is sent.
TEST(ChannelEvents, HostileLinesAreHarmless) {
    const Handler handlers[] = {reply_JOIN,  reply_PART,   reply_NICK, reply_QUIT,
                                reply_TOPIC, reply_INVITE, reply_KICK, reply_Disconnected};
    const std::u16string huge(10000, u'x');
    const std::u16string lines[] = {
        u"",
        u":",
        u"::",
        u": : : :",
        u":bob!b@h",
        u":bob!b@h JOIN",
        u":bob!b@h KICK #chan",
        u":bob!b@h KICK #chan :",
        u":bob!b@h KICK #chan  :",
        u":! X : :::",
        u":" + huge + u" X " + huge + u" " + huge,
        u":bob!" + huge + u" X #chan :" + huge,
        std::u16string(u":b\0b!b@h X #ch\0an :a\rb\0c", 24),
    };
    for (const std::u16string& raw : lines) {
        SCOPED_TRACE(testing::Message() << "line of " << raw.size() << " characters");
        World w;
        w.set(u"rejoin", 1);
        w.set(u"show_adr", 1);
        for (const Handler handler : handlers) {
            EXPECT_EQ(w.run(handler, raw), 1);
        }
        EXPECT_EQ(w.h.state().currentNick, u"me");
        EXPECT_GT(w.h.tabs().znajdz_zakladke(u"#chan"), 0);
        EXPECT_GT(w.h.tabs().znajdz_zakladke(u"#other"), 0);
        EXPECT_TRUE(w.h.sentLines().empty());
        for (const std::u16string& name : w.users(u"#chan")) {
            EXPECT_FALSE(name.empty());
        }
    }
}

// A server announcing five ranks: every member of #t holds some, one several.
struct RankedWorld : World {
    RankedWorld() {
        set(u"show_adr", 0);
        set(u"short_jp", 1);
        dispatch(u":srv 005 me CHANTYPES=# PREFIX=(qaohv)~&@%+ NICKLEN=30 :are supported");
        dispatch(u":me!m@home JOIN #t");
        dispatch(u":srv 353 me = #t :+vic %hal ~own @+multi &adm plain ~%@&+all @opa");
    }
    void dispatch(std::u16string_view raw) {
        DispatchReply(h.context, test::HandlerEnv::line(raw));
    }
};

TEST(ChannelRanks, NamesOfEveryRankSortHighestFirstAndKeepTheHighest) {
    RankedWorld w;
    EXPECT_EQ(w.users(u"#t"),
              (Names{u"~all", u"~own", u"&adm", u"@multi", u"@opa", u"%hal", u"+vic", u"plain"}));
    // Each is found by its bare nickname: a JOIN of a listed member adds no row.
    w.dispatch(u":multi!m@h JOIN #t");
    w.dispatch(u":all!a@h JOIN #t");
    EXPECT_EQ(w.users(u"#t").size(), 8u);
}

TEST(ChannelRanks, HalfopsAndOwnersLeaveAndRenameLikeAnyone) {
    struct Case {
        const char16_t* raw;
        const char16_t* line;
        Names left;
    };
    const Names withoutHal{u"~all", u"~own", u"&adm", u"@multi", u"@opa", u"+vic", u"plain"};
    const Names withoutOwn{u"~all", u"&adm", u"@multi", u"@opa", u"%hal", u"+vic", u"plain"};
    const Case cases[] = {
        {u":hal!h@x QUIT :bye", u"*** hal Quit (bye)", withoutHal},
        {u":own!o@x QUIT :bye", u"*** own Quit (bye)", withoutOwn},
        {u":hal!h@x PART #t", u"*** Parts: hal", withoutHal},
        {u":own!o@x PART #t :later", u"*** Parts: own", withoutOwn},
        {u":hal!h@x NICK :Half",
         u"hal is now known as Half",
         {u"~all", u"~own", u"&adm", u"@multi", u"@opa", u"%Half", u"+vic", u"plain"}},
        {u":own!o@x NICK :boss",
         u"own is now known as boss",
         {u"~all", u"~boss", u"&adm", u"@multi", u"@opa", u"%hal", u"+vic", u"plain"}},
        {u":adm!a@x KICK #t hal :out", u"hal was kicked by adm (out)", withoutHal},
        {u":adm!a@x KICK #t own :out", u"own was kicked by adm (out)", withoutOwn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(std::u16string(c.raw)));
        RankedWorld w;
        w.dispatch(c.raw);
        EXPECT_EQ(w.last(u"#t"), c.line);
        EXPECT_EQ(w.users(u"#t"), c.left);
    }
}

TEST(ChannelRanks, ModesOfEveryRankTakeAMemberAndShowTheHighestHeld) {
    RankedWorld w;
    w.dispatch(u":adm!a@x MODE #t +hk vic key");
    EXPECT_EQ(w.users(u"#t"),
              (Names{u"~all", u"~own", u"&adm", u"@multi", u"@opa", u"%hal", u"%vic", u"plain"}));
    w.dispatch(u":adm!a@x MODE #t -h+q vic plain");
    EXPECT_EQ(w.users(u"#t"),
              (Names{u"~all", u"~own", u"~plain", u"&adm", u"@multi", u"@opa", u"%hal", u"+vic"}));
    // multi keeps its voice once no longer an operator.
    w.dispatch(u":adm!a@x MODE #t -qo plain multi");
    EXPECT_EQ(w.users(u"#t"),
              (Names{u"~all", u"~own", u"&adm", u"@opa", u"%hal", u"+multi", u"+vic", u"plain"}));
}

// Names that are rank symbols alone make no row either.
TEST(ChannelRanks, ABadPrefixKeepsTheRanksKnownSoFar) {
    RankedWorld w;
    for (const char16_t* value :
         {u"(qaohv)~&@%", u"(ov@+", u"ov)@+", u"(ov)@a", u"(ov)@ ", u"(ov)@,", u"(ov)@#", u"(oo)@+",
          u"(ov)@@", u"(abcdefghijk)!\"$%&'*-./;", u"", u"(", u")"}) {
        w.dispatch(u":srv 005 me PREFIX=" + std::u16string(value) + u" :are supported");
    }
    w.dispatch(u":srv 353 me = #t :%new ~ ~% @ &");
    EXPECT_EQ(w.users(u"#t").size(), 9u);
    EXPECT_EQ(w.users(u"#t")[6], u"%new");
}

}  // namespace
}  // namespace kolu
