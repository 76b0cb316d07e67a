#include "protocol/channel_events.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "protocol/dispatcher.h"
#include "settings/settings.h"
#include "tests/logic/logic_util.h"
#include "tests/support/handler_env.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

using Names = std::vector<std::u16string>;
using Sounds = std::vector<std::string>;

constexpr std::uint32_t kMissing = 0xFFFFFFFF;  // reads as -1, like a missing value

// The client is "me", in #chan and #other, with a query tab open with bob;
// rank changes have sounds.
struct World {
    World() {
        // An entry of its own per colour, so a line given the wrong class shows.
        ColourArray distinct{};
        for (int i = 0; i < kColourCount; ++i) {
            distinct[i] = static_cast<Colour>(i + 1);
        }
        h.env.colours.set(distinct);
        h.state().currentNick = u"me";
        h.dispatch(u":me!m@home JOIN #chan");
        h.dispatch(u":me!m@home JOIN #other");
        h.tabs().dodaj_zakladke(u"bob");
        for (const char16_t* name : {u"@op", u"bob", u"+carol"}) {
            DodajDoListyOpt(h.tabs(), u"#chan", name);
        }
        DodajDoListyOpt(h.tabs(), u"#other", u"@bob");
        for (const char16_t* event : {u"op", u"deop", u"voice", u"devoice"}) {
            h.setSound(event, std::u16string(event) + u".wav");
        }
        h.env.sound.played.clear();
        h.clock().ticks += 1000;  // a sound played here doesn't mute the test's own
    }
    void set(std::u16string_view name, std::uint32_t value) {
        h.env.settings.putDword(kSettingsKey, name, value);
    }
    int tab(std::u16string_view name) { return h.tabs().znajdz_zakladke(name); }
    Colour colour(LineClass lineClass) { return h.env.colours.of(lineClass); }
    // Dispatches `raw`; `text` is then the last line of tab `name` ("" the status
    // tab), in the colour of `lineClass`.
    void shows(std::u16string_view raw, std::u16string_view name, std::u16string_view text,
               LineClass lineClass) {
        h.dispatch(raw);
        EXPECT_EQ(h.env.lastLine(name), text) << toUtf8(raw);
        EXPECT_EQ(h.lastColour(name.empty() ? 0 : tab(name)), colour(lineClass)) << toUtf8(raw);
    }

    test::HandlerEnv h;
};

class ChannelEventsTest : public ::testing::Test, protected World {};

TEST_F(ChannelEventsTest, OwnJoinMakesTheTabOrReusesItThenOthersJoinAndPartLines) {
    // The nick matches whatever its case.
    shows(u":ME!m@home JOIN :#new", u"#new", u"*** Now talking in #new", LineClass::Join);
    EXPECT_EQ(h.tabs().selected(), tab(u"#new"));
    EXPECT_EQ(h.soundsPlayed(), Sounds{"join.wav"});

    // Joining a channel whose tab exists (other case) reuses it, a member's again.
    h.tabs().markChannelsNotJoined(rgb(1, 2, 3));
    h.dispatch(u":me!m@home JOIN #CHAN");
    EXPECT_EQ(h.tabs().selected(), tab(u"#chan"));
    EXPECT_EQ(h.tabs().labelColourForPaint(h.tabs().selected()), 0u);

    // Others': short_jp is on unless 0 (missing reads -1); the address shows only when
    // show_adr is 1.
    const std::tuple<std::uint32_t, std::uint32_t, const char16_t*, const char16_t*> cases[] = {
        {kMissing, 1, u"*** Joins: dan (d@h.x)", u"*** Parts: dan (d@h.x)"},
        {0, 2, u"*** dan has joined #chan", u"*** dan has left #chan"},
    };
    for (const auto& [shortJp, showAdr, join, part] : cases) {
        set(u"short_jp", shortJp);
        set(u"show_adr", showAdr);
        shows(u":dan!d@h.x JOIN :#chan", u"#chan", join, LineClass::Join);
        shows(u":dan!d@h.x part #chan :see you", u"#chan", part, LineClass::Part);
    }
}

TEST_F(ChannelEventsTest, NickChangeRenamesInEveryChannelHoldingTheUserAndOurOwnFitsItsBuffer) {
    shows(u":bob!b@h NICK :rob", u"#other", u"bob is now known as rob", LineClass::Nick);
    EXPECT_EQ(h.env.users(u"#other"), Names{u"@rob"});
    // The query tab keeps its name and gets no line; the status tab neither.
    EXPECT_TRUE(h.lines(u"bob").empty());
    h.dispatch(u":carol!c@h NICK carla");  // only in #chan
    h.dispatch(u":bob!b@h NICK");          // no new nickname
    h.dispatch(u":me!m@home NICK :");
    EXPECT_EQ(h.state().currentNick, u"me");
    EXPECT_EQ(h.env.users(u"#chan"), (Names{u"@op", u"+carla", u"rob"}));

    // Our own prints in the status tab and our channels, and fits its buffer.
    h.state().wantedNick = u"autoban-target";
    h.dispatch(u":Me!m@home NICK :zed");
    EXPECT_EQ(h.state().currentNick, u"zed");
    EXPECT_EQ(h.state().wantedNick, u"autoban-target");  // only emptied before login
    EXPECT_EQ(h.lines(0), Names{u"Your nick is now zed"});
    EXPECT_EQ(h.lines(u"#other").size(), 2u);
    h.dispatch(u":zed!m@home PART #other");  // later events of the new nickname are our own
    EXPECT_EQ(tab(u"#other"), -1);

    // The buffer holds 255 characters and never half a one.
    const std::u16string longNick = std::u16string(254, u'n') + u"\U0001F600xx";
    h.dispatch(u":zed!m@home NICK :" + longNick);
    EXPECT_EQ(h.state().currentNick, longNick.substr(0, 254));
    EXPECT_EQ(h.env.lastLine(u""), u"Your nick is now " + longNick);
}

TEST_F(ChannelEventsTest, QuitPrintsInEachChannelOfTheUserOnlyThenClosingTopicAndInvite) {
    set(u"show_adr", 1);
    shows(u":bob!b@h.x QUIT", u"#chan", u"*** bob (b@h.x) Quit ()", LineClass::Quit);
    shows(u":carol QUIT :gone", u"#chan", u"*** carol () Quit (gone)", LineClass::Quit);
    h.dispatch(u":zoe!z@h QUIT :bye");
    EXPECT_EQ(h.lines(u"#other"),
              (Names{u"*** Now talking in #other", u"*** bob (b@h.x) Quit ()"}));
    EXPECT_TRUE(h.lines(u"bob").empty());
    EXPECT_TRUE(h.lines(0).empty());
    EXPECT_EQ(h.soundsPlayed(), Sounds{"quit.wav"});  // once a second

    // show_adr 0 hides the address in the closing line; the invitation always shows it.
    set(u"show_adr", 0);
    using enum LineClass;
    shows(u"ERROR :Closing Link: me[h.x] (Quit: bye)", u"", u"Closing Link:", Info2);
    EXPECT_FALSE(h.state().connected);
    shows(u":bob!b@h TOPIC #chan :fresh: topic here", u"#chan",
          u"bob changes topic to 'fresh: topic here'", Topic);
    shows(u":bob!b@h.x INVITE me :#secret", u"", u"bob (b@h.x) invites you to join #secret",
          Invite);
    // A reason's inner colons are its own.
    shows(u":op!o@h QUIT :back :soon", u"#chan", u"*** op Quit (back :soon)", Quit);
}

// Without " :" the victim is the first word; alone it is also the reason.
TEST_F(ChannelEventsTest, KickOfSomeoneElse) {
    set(u"rejoin", 1);
    shows(u":op!o@h KICK #chan bob", u"#chan", u"bob was kicked by op (bob)", LineClass::Kick);
    shows(u":op!o@h KICK #chan carol flood", u"#chan", u"carol was kicked by op (flood)",
          LineClass::Kick);
    EXPECT_EQ(h.env.users(u"#chan"), Names{u"@op"});
    EXPECT_TRUE(h.sockets.sentLines().empty());
}

TEST_F(ChannelEventsTest, BeingKickedRemovesTheTabAndRejoinsOnlyWhenAsked) {
    for (const std::uint32_t rejoin : {1u, 2u, kMissing}) {
        h.dispatch(u":me!m@home JOIN #chan");
        h.sockets.sent.clear();
        set(u"rejoin", rejoin);
        shows(u":op!o@h KICK #chan ME :out", u"", u"You were kicked by op (out)", LineClass::Kick);
        EXPECT_EQ(tab(u"#chan"), -1);
        EXPECT_EQ(h.sockets.sentLines(), rejoin == 1 ? std::vector<std::string>{"JOIN #chan"}
                                                     : std::vector<std::string>{});
    }
    set(u"rejoin", 1);  // "JOIN " alone would be malformed
    h.dispatch(u":op!o@h KICK  me :x");
    EXPECT_TRUE(h.sockets.sentLines().empty());
}

// Texts composed in the fixed buffers are cut at 255 characters, never inside a
// pair; texts without such a buffer (the topic) are kept whole.
TEST_F(ChannelEventsTest, LongWordsAreCutAtAWholeCharacterAndMalformedLinesChangeNothingOfOurs) {
    set(u"show_adr", 0);
    set(u"short_jp", 1);
    const std::u16string smileys = test::repeat(u"\U0001F600", 200);
    h.dispatch(u":" + smileys + u" JOIN #other");
    EXPECT_EQ(h.env.lastLine(u"#other"), u"*** Joins: " + smileys.substr(0, 254));
    const std::u16string reason(10000, u'r');
    h.dispatch(u":bob!b@h QUIT :" + reason);
    EXPECT_EQ(h.env.lastLine(u"#chan"), u"*** " + (u"bob Quit (" + reason).substr(0, 255));
    h.dispatch(u":op!o@h KICK #chan carol :" + reason);
    EXPECT_EQ(h.env.lastLine(u"#chan"), (u"carol was kicked by op (" + reason).substr(0, 255));
    h.dispatch(u":op!o@h TOPIC #chan :" + reason);
    EXPECT_EQ(h.env.lastLine(u"#chan"), u"op changes topic to '" + reason + u"'");

    // Malformed lines of every channel event are nobody's own.
    set(u"rejoin", 1);
    const std::u16string huge(10000, u'x');
    for (const char16_t* command : {u"JOIN", u"PART", u"NICK", u"KICK", u"MODE"}) {
        for (const std::u16string& rest : {std::u16string(u" :"), std::u16string(u" #chan  :"),
                                           std::u16string(u" #ch\0an :a\rb", 12)}) {
            h.dispatch(u":" + huge + u" " + command + rest);
        }
    }
    EXPECT_EQ(h.state().currentNick, u"me");
    EXPECT_TRUE(h.sockets.sentLines().empty());
    EXPECT_EQ(std::ranges::count(h.env.users(u"#chan"), u""), 0);  // no nameless member
    // An empty source is nobody, even before the login when our own nickname is
    // empty too (straight to the handlers: the dispatcher would learn a nickname).
    h.state().currentNick.clear();
    for (const char16_t* raw : {u": JOIN #x", u": PART #chan", u": NICK :someone"}) {
        routeReply(test::HandlerEnv::line(raw)).handler(h.context, test::HandlerEnv::line(raw));
    }
    EXPECT_EQ(h.tabs().count(), 4);
    EXPECT_TRUE(h.state().currentNick.empty());
}

// The rows show which parameter each mode took.
TEST(ModeParser, StatusChangesOfChannelModes) {
    const std::tuple<std::u16string, Names, Sounds> cases[] = {
        {u"-o+v op bob", {u"+bob", u"+carol", u"op"}, {"deop.wav", "voice.wav"}},
        // A mode string without a sign removes.
        {u"ov op carol", {u"bob", u"carol", u"op"}, {"deop.wav", "devoice.wav"}},
        // Masks, keys and limits take their parameter; modes without one take none.
        {u"+blntv bob 10 bob", {u"@op", u"+bob", u"+carol"}, {"voice.wav"}},
        // Missing parameters read as empty; a trailing one loses its colon.
        {u"+ovvvv bob", {u"@bob", u"@op", u"+carol"}, {"op.wav"}},
        {u"+o :bob", {u"@bob", u"@op", u"+carol"}, {"op.wav"}},
        {u"+ov  bob", {u"@op", u"+bob", u"+carol"}, {"voice.wav"}},
        {u"+o dave", {u"@op", u"+carol", u"bob"}, {}},
    };
    for (const auto& [modes, users, sounds] : cases) {
        SCOPED_TRACE(testing::PrintToString(modes));
        World w;
        w.h.dispatch(u":srv.example MODE #chan " + modes);
        EXPECT_EQ(w.h.lastColour(w.tab(u"#chan")), w.colour(LineClass::Mode));
        EXPECT_EQ(w.h.env.users(u"#chan"), users);
        EXPECT_EQ(w.h.soundsPlayed(), sounds);
    }
}

TEST_F(ChannelEventsTest, ModesOfUsersAndUnknownChannelsPrintInTheStatusTab) {
    shows(u":ME MODE me :-w+x", u"", u"*** ME sets mode: -w+x", LineClass::Mode);
    h.dispatch(u":op!o@h MODE #elsewhere +o bob");
    // A query tab has no list.
    shows(u":op!o@h MODE bob +o bob", u"", u"*** op sets mode: +o bob", LineClass::Mode);
    EXPECT_EQ(h.env.users(u"#chan"), (Names{u"@op", u"+carol", u"bob"}));
    // Overlong: the line is cut at a whole character, every mode still walked.
    h.dispatch(u":op MODE #chan +" + std::u16string(10000, u'o') + u" bob");
    EXPECT_EQ(h.env.users(u"#chan"), (Names{u"@bob", u"@op", u"+carol"}));
    const std::u16string pairs = test::repeat(u"\U0001F600", 300);
    h.dispatch(u":op MODE #x +oo " + pairs);
    EXPECT_EQ(h.env.lastLine(u""), (u"*** op sets mode: +oo " + pairs).substr(0, 254));
}

// Which modes take a parameter follows the server's 005; each welcome forgets it.
TEST_F(ChannelEventsTest, ModesTakeTheParametersTheServerAnnounces) {
    const auto mode = [&](std::u16string_view change) {
        h.dispatch(u":op!o@h MODE #chan " + std::u16string(change));
        return h.env.users(u"#chan");
    };
    // A limit takes its parameter only when set.
    EXPECT_EQ(mode(u"-l+v bob"), (Names{u"@op", u"+bob", u"+carol"}));
    h.dispatch(u":srv 005 me EXCEPTS INVEX=J :are supported by this server");
    EXPECT_EQ(mode(u"+eo bad!*@* bob"), (Names{u"@bob", u"@op", u"+carol"}));
    EXPECT_EQ(mode(u"+J-o x!*@* bob"), (Names{u"@op", u"+bob", u"+carol"}));
    h.dispatch(u":srv 001 me :Welcome");
    EXPECT_EQ(mode(u"+eo x!*@* carol"), (Names{u"@op", u"+bob", u"+carol"}));
    // Groups past the fourth are not read; a value of fewer than four is no value.
    h.dispatch(u":srv 005 me CHANMODES=beI,k,fl,imnpst,Z CHANMODES=b,k :are supported");
    EXPECT_EQ(mode(u"+fZe-f+o 5:10 m!*@* carol"), (Names{u"@carol", u"@op", u"+bob"}));
}

// A server announcing five ranks: every member of #t holds some, one several.
TEST_F(ChannelEventsTest, NamesOfEveryRankSortHighestFirstAndKeepTheHighest) {
    h.dispatch(u":srv 005 me CHANTYPES=# PREFIX=(qaohv)~&@%+ NICKLEN=30 :are supported");
    h.dispatch(u":me!m@home JOIN #t");
    h.dispatch(u":srv 353 me = #t :+vic %hal ~own @+multi &adm plain ~%@&+all @opa");
    // Each is found by its bare nickname: a JOIN of a listed member adds no row.
    h.dispatch(u":multi!m@h JOIN #t");
    h.dispatch(u":all!a@h JOIN #t");
    h.dispatch(u":hal!h@x QUIT :bye");
    h.dispatch(u":own!o@x NICK :boss");
    EXPECT_EQ(h.env.users(u"#t"),
              (Names{u"~all", u"~boss", u"&adm", u"@multi", u"@opa", u"+vic", u"plain"}));

    // Modes of every rank take a member and show the highest held.
    h.dispatch(u":adm!a@x MODE #t +hk-h+q vic key vic plain");
    EXPECT_EQ(h.env.users(u"#t"),
              (Names{u"~all", u"~boss", u"~plain", u"&adm", u"@multi", u"@opa", u"+vic"}));
    // multi keeps its voice once no longer an operator.
    h.dispatch(u":adm!a@x MODE #t -qo plain multi");
    EXPECT_EQ(h.env.users(u"#t"),
              (Names{u"~all", u"~boss", u"&adm", u"@opa", u"+multi", u"+vic", u"plain"}));

    // A bad PREFIX keeps the ranks known so far; names that are rank symbols alone make no row.
    for (const char16_t* value :
         {u"(qaohv)~&@%", u"(ov@+", u"ov)@+", u"(ov)@a", u"(ov)@ ", u"(ov)@,", u"(ov)@#", u"(oo)@+",
          u"(ov)@@", u"(abcdefghijk)!\"$%&'*-./;", u"", u"(", u")"}) {
        h.dispatch(u":srv 005 me PREFIX=" + std::u16string(value) + u" :are supported");
    }
    h.dispatch(u":srv 353 me = #t :%new ~ ~% @ &");
    EXPECT_EQ(h.env.users(u"#t"),
              (Names{u"~all", u"~boss", u"&adm", u"@opa", u"%new", u"+multi", u"+vic", u"plain"}));
}

}  // namespace
}  // namespace kolu
