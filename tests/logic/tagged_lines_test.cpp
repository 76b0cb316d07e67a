// Tagged lines: the time a server says a line was said, batches of lines, and own
// messages shown when the server echoes them.
#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/civil_time.h"
#include "platform/text.h"
#include "protocol/batches.h"
#include "protocol/session_state.h"
#include "tests/support/handler_env.h"
#include "tests/support/temp_dir.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

using Lines = std::vector<std::u16string>;
using Sounds = std::vector<std::string>;

// The client is "me" in #a (with alice, bob, carol) and #b (with bob, dave), the
// status tab shown; each event has a sound; the local zone is an hour ahead of UTC.
class TaggedLines : public ::testing::Test {
  protected:
    void SetUp() override {
        tzset();
        ColourArray distinct{};  // a colour per class, so a line of the wrong class shows
        for (int i = 0; i < kColourCount; ++i) {
            distinct[i] = static_cast<Colour>(i + 1);
        }
        h.env.colours.set(distinct);
        h.state().currentNick = u"me";
        h.dispatch(u":me!m@home JOIN #a");
        h.dispatch(u":me!m@home JOIN #b");
        for (const char16_t* name : {u"alice", u"bob", u"carol"}) {
            DodajDoListyOpt(h.tabs(), u"#a", name);
        }
        for (const char16_t* name : {u"bob", u"dave"}) {
            DodajDoListyOpt(h.tabs(), u"#b", name);
        }
        ASSERT_TRUE(h.tabs().select(0));
        for (const char16_t* event : {u"highlight", u"query", u"quit", u"join"}) {
            h.setSound(event, std::u16string(event) + u".wav");
        }
        h.env.settings.putString(kSettingsKey, u"hlights", u"me ");
        h.env.settings.putDword(kSettingsKey, u"en_hlights", 1);
        h.env.settings.putDword(kSettingsKey, u"tstamps", 1);
        h.state().connectedAtMs = *parseUtcStamp(u"2026-12-08T12:00:00Z");
        h.env.sound.played.clear();
        for (int tab = 0; tab < h.tabs().count(); ++tab) {
            h.tabs().setActivity(tab, 0);
        }
    }
    Colour colour(LineClass lineClass) { return h.env.colours.of(lineClass); }
    Colour activity(std::u16string_view tab) {
        return h.tabs().pobierz_lparam(h.tabs().znajdz_zakladke(tab))->activity;
    }

    // Declared first so it goes last: the zone is read again once TZ is put back.
    struct ZoneReread {
        ~ZoneReread() { tzset(); }
    } reread;
    test::ScopedEnv zone{"TZ", "CET-1"};
    test::HandlerEnv h;
};

TEST_F(TaggedLines, TimeTagStampsAndDatesTheLineAndItsLogAndABadOneIsIgnored) {
    h.env.settings.putDword(kSettingsKey, u"logchan", 1);
    // 23:30 UTC is half past midnight the next day here.
    h.dispatch(u"@time=2026-12-08T23:30:00.000Z :bob!b@h PRIVMSG #a :late");
    EXPECT_EQ(h.env.lastLine(u"#a"), u"[00:30] <bob> late");
    EXPECT_EQ(h.env.settings.read("#a.2026-12-09.txt"), "[00:30] <bob> late\r\n");

    // Untagged and badly tagged lines take the clock's time, as lines always did.
    h.clock().local = SystemTime{2007, 9, 0, 11, 20, 8, 0, 0};
    h.dispatch(u"@time=yesterday :bob!b@h PRIVMSG #a :bad");
    h.dispatch(u":bob!b@h PRIVMSG #a :plain");
    EXPECT_EQ(h.env.lines(u"#a"), (Lines{u"*** Now talking in #a", u"[00:30] <bob> late",
                                         u"[20:08] <bob> bad", u"[20:08] <bob> plain"}));
    EXPECT_EQ(h.env.settings.read("#a.2007-09-11.txt"),
              "[20:08] <bob> bad\r\n[20:08] <bob> plain\r\n");
}

TEST_F(TaggedLines, ReplayedLinesPlayNoSoundsAndLeaveTabsUncolouredNewOnesDo) {
    h.dispatch(u"@time=2026-12-08T11:59:00Z :bob!b@h PRIVMSG #a :hi me");
    h.dispatch(u"@time=2026-12-08T11:59:00Z :zoe!z@h PRIVMSG me :hello me");
    EXPECT_EQ(h.env.lastLine(u"#a"), u"[12:59] <bob> hi me");
    EXPECT_EQ(h.lastColour(h.tabs().znajdz_zakladke(u"#a")), colour(LineClass::Hlight));
    EXPECT_EQ(h.env.lastLine(u"zoe"), u"[12:59] <zoe> hello me");  // its tab opened
    EXPECT_EQ(activity(u"#a"), 0u);
    EXPECT_EQ(activity(u"zoe"), 0u);
    EXPECT_EQ(h.soundsPlayed(), Sounds{});

    h.dispatch(u"@time=2026-12-08T12:00:01Z :bob!b@h PRIVMSG #a :now me");
    h.dispatch(u"@time=2026-12-08T12:00:01Z :ann!a@h PRIVMSG me :new");
    EXPECT_EQ(activity(u"#a"), colour(LineClass::Hlight));
    EXPECT_EQ(activity(u"ann"), colour(LineClass::Normal));
    EXPECT_EQ(h.soundsPlayed(), (Sounds{"highlight.wav", "query.wav"}));
}

TEST_F(TaggedLines, NetsplitAndNetjoinShowOneLinePerChannelAndKeepTheListsRight) {
    h.state().caps.enable(u"batch");
    h.env.settings.putDword(kSettingsKey, u"tstamps", 0);
    h.dispatch(u"BATCH +s1 netsplit hub.example leaf.example");
    h.dispatch(u"@batch=s1 :alice!x@h QUIT :hub.example leaf.example");
    h.dispatch(u"@batch=s1 :bob!x@h QUIT :hub.example leaf.example");
    EXPECT_EQ(h.env.lastLine(u"#a"), u"*** Now talking in #a");  // nothing yet
    h.dispatch(u"BATCH -s1");
    EXPECT_EQ(h.env.lastLine(u"#a"), u"*** Netsplit: hub.example leaf.example (2 quit)");
    EXPECT_EQ(h.env.lastLine(u"#b"), u"*** Netsplit: hub.example leaf.example (1 quit)");
    EXPECT_EQ(h.lastColour(h.tabs().znajdz_zakladke(u"#b")), colour(LineClass::Quit));
    EXPECT_EQ(h.env.users(u"#a"), (Lines{u"carol"}));
    EXPECT_EQ(h.env.users(u"#b"), (Lines{u"dave"}));

    // A netjoin inside a history batch; the history's own lines show as they come.
    h.dispatch(u"BATCH +h chathistory #a");
    h.dispatch(u"@batch=h :carol!c@h PRIVMSG #a :before");
    h.dispatch(u"@batch=h BATCH +j netjoin hub.example leaf.example");
    h.dispatch(u"@batch=j :alice!x@h JOIN #a");
    h.dispatch(u"@batch=j :bob!x@h JOIN #b");
    h.dispatch(u"@batch=h :carol!c@h PRIVMSG #a :after");
    h.dispatch(u"BATCH -h");  // the netjoin left open ends with it
    h.dispatch(u"BATCH -h");  // unknown by now
    EXPECT_EQ(h.env.lines(u"#a"),
              (Lines{u"*** Now talking in #a", u"*** Netsplit: hub.example leaf.example (2 quit)",
                     u"<carol> before", u"<carol> after",
                     u"*** Netjoin: hub.example leaf.example (1 joined)"}));
    EXPECT_EQ(h.lastColour(h.tabs().znajdz_zakladke(u"#a")), colour(LineClass::Join));
    EXPECT_EQ(h.env.users(u"#a"), (Lines{u"alice", u"carol"}));
    EXPECT_EQ(h.env.users(u"#b"), (Lines{u"bob", u"dave"}));
    EXPECT_EQ(h.soundsPlayed(), Sounds{});  // one summary, no sound per person

    // One never closed is summed up when the connection ends.
    h.dispatch(u"BATCH +s2 netsplit a.example b.example");
    h.dispatch(u"@batch=s2 :dave!x@h QUIT :a.example b.example");
    h.env.session.connection.rozlacz();
    EXPECT_EQ(h.env.lines(u"#b").end()[-2], u"*** Netsplit: a.example b.example (1 quit)");
    EXPECT_EQ(h.state().batches.openCount(), 0u);
}

TEST(Batches, OpenBatchesAreBoundedAndLinesOfOnesNotOpenedAreNotTaken) {
    Batches batches;
    for (std::size_t i = 0; i < Batches::kMaxOpen; ++i) {
        EXPECT_TRUE(
            batches.open(u"r" + decimalText(static_cast<long long>(i)), u"netsplit", u"", u""));
    }
    for (std::u16string_view refused : {u"late", u"r0", u""}) {  // one too many, open, none
        EXPECT_FALSE(batches.open(refused, u"netsplit", u"", u""));
    }
    const std::u16string late = u"late", first = u"r0";
    EXPECT_FALSE(batches.startLine(&late, u"QUIT"));
    EXPECT_FALSE(batches.collect(u"#a", u"x", 0));
    EXPECT_FALSE(batches.startLine(&first, u"PRIVMSG"));  // only quits are summed up
    EXPECT_TRUE(batches.startLine(&first, u"QUIT"));
    for (std::size_t i = 0; i < Batches::kMaxTabs; ++i) {
        EXPECT_TRUE(batches.collect(u"#" + decimalText(static_cast<long long>(i)), u"x", 0));
    }
    EXPECT_FALSE(batches.collect(u"#more", u"x", 0));  // printed as usual
    EXPECT_TRUE(batches.collect(u"#0", u"x", 0));

    // Batches that name each other as parents can't make a line's lookup run for ever.
    Batches loop;
    loop.open(u"x", u"chathistory", u"", u"y");
    loop.open(u"y", u"chathistory", u"", u"x");
    const std::u16string x = u"x";
    EXPECT_FALSE(loop.startLine(&x, u"QUIT"));
}

TEST(PendingEchoes, LinesAreMatchedAsTheServerSendsThemBack) {
    PendingEchoes echoes;
    // Sent as typed: any case, runs of blanks.
    EXPECT_TRUE(echoes.await(u"notice  #Chan   :two  words", {u"#chan", u"shown", 5}, 0));
    EXPECT_FALSE(echoes.await(u"JOIN #chan", {u"#chan", u"no", 1}, 0));
    EXPECT_FALSE(echoes.take(u"PRIVMSG", u"#chan", u"two  words"));  // another command
    EXPECT_FALSE(echoes.take(u"NOTICE", u"#chan", u"two words"));    // another text
    const std::optional<LineEcho> echo = echoes.take(u"NOTICE", u"#CHAN", u"two  words");
    ASSERT_TRUE(echo);
    EXPECT_EQ(std::tie(echo->tab, echo->text, echo->colour),
              std::make_tuple(std::u16string(u"#chan"), std::u16string(u"shown"), 5u));
    EXPECT_EQ(echoes.size(), 0u);
}

// Own messages with echo-message: sent through the command line, shown when
// the server sends them back, exactly as they were shown on sending before.
class OwnEchoes : public TaggedLines {
  protected:
    void SetUp() override {
        TaggedLines::SetUp();
        h.env.settings.putDword(kSettingsKey, u"tstamps", 0);
        ASSERT_TRUE(h.tabs().select(h.tabs().znajdz_zakladke(u"#a")));
    }
    void type(std::u16string_view line, std::u16string_view tab) {
        h.env.session.commands.ParsujKomende(line, tab);
    }
};

TEST_F(OwnEchoes, ShownOnceWhenEchoedInTheTabTypedInAndAtTheServersTime) {
    h.state().caps.enable(u"echo-message");
    Lines expected = h.env.lines(u"#a");
    for (const char16_t* line :
         {u"/me waves", u"/notice #b psst", u"/msg #a hi all", u"/msg nobody hello"}) {
        type(line, u"#a");
    }
    EXPECT_EQ(h.env.lines(u"#a"), expected);  // nothing until the server echoes
    h.env.settings.putDword(kSettingsKey, u"tstamps", 1);
    const char16_t* echoes[] = {u"PRIVMSG #a :\u0001ACTION waves\u0001", u"NOTICE #b :psst",
                                u"PRIVMSG #a :hi all", u"PRIVMSG nobody :hello"};
    for (const char16_t* echo : echoes) {
        h.dispatch(u"@time=2026-12-08T11:00:00Z :me!m@home " + std::u16string(echo));
    }
    expected.insert(expected.end(), {u"[12:00] * me waves", u"[12:00] -> -#b- psst",
                                     u"[12:00] <me> hi all", u"[12:00] -> *nobody* hello"});
    EXPECT_EQ(h.env.lines(u"#a"), expected);
    EXPECT_EQ(h.state().echoes.size(), 0u);

    // The same messages sent from another client of the account: own lines in their tabs.
    for (const char16_t* echo : echoes) {
        h.dispatch(u":me!m@home " + std::u16string(echo));
    }
    h.dispatch(u":me!m@home NOTICE #a :\u0001PING 1\u0001");
    expected.insert(expected.end(), {u"[20:08] * me waves", u"[20:08] <me> hi all"});
    EXPECT_EQ(h.env.lines(u"#a"), expected);
    EXPECT_EQ(h.env.lastLine(u"#b"), u"[20:08] -> -#b- psst");
    EXPECT_EQ(h.env.lastLine(u""), u"[20:08] -> *nobody* hello");
}

TEST_F(OwnEchoes, RefusedAndUnansweredEchoesDoNotPileUpAndSelfMessagesDoNotDouble) {
    h.state().caps.enable(u"echo-message");
    type(u"/msg #gone hi", u"#a");
    EXPECT_EQ(h.state().echoes.size(), 1u);
    h.dispatch(u":srv 404 me #gone :Cannot send to channel");
    EXPECT_EQ(h.state().echoes.size(), 0u);
    EXPECT_EQ(h.env.lastLine(u""), u"#gone :Cannot send to channel");  // printed as ever

    for (int i = 0; i < 100; ++i) {
        type(u"/msg #a line " + decimalText(i), u"#a");
    }
    EXPECT_EQ(h.state().echoes.size(), PendingEchoes::kMaxWaiting);
    h.dispatch(u":me!m@home PRIVMSG #a :line 99");  // the newest still waits
    EXPECT_EQ(h.env.lastLine(u"#a"), u"<me> line 99");
    h.clock().ticks += PendingEchoes::kMaxWaitMs + 1;
    type(u"/msg #a late", u"#a");  // the old ones have waited too long
    EXPECT_EQ(h.state().echoes.size(), 1u);

    // A note to oneself, sent back by the server twice: shown once.
    h.tabs().dodaj_zakladke(u"me");
    type(u"/msg me note", u"me");
    h.dispatch(u":me!m@home PRIVMSG me :note");
    h.dispatch(u":me!m@home PRIVMSG me :note");
    EXPECT_EQ(h.env.lines(u"me"), Lines{u"<me> note"});

    // Without the capability an own message from the server is handled as it always was.
    h.state().caps.disable(u"echo-message");
    h.dispatch(u":me!m@home PRIVMSG #a :old way");
    EXPECT_EQ(h.env.lastLine(u"#a"), u"<me> old way");
}

}  // namespace
}  // namespace kolu
