// Server lines through the dispatcher: the tokeniser, the answers to the client's questions
// (its nickname's among them), and the notify list that ISON answers update.
#include "protocol/query_replies.h"
#include "protocol/dispatcher.h"
#include "protocol/reply.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "commands/notify_list.h"
#include "platform/text.h"
#include "tests/logic/logic_util.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using Texts = std::vector<std::u16string>;
using Sent = std::vector<std::string>;

using Calls = std::vector<test::RecordingCommands::Call>;

TEST(Tokeniser, SplitsLinesIntoAtMostFourWordsReadsNumbersAndLearnsTheNickname) {
    const std::pair<std::u16string, std::vector<std::string>> cases[] = {
        {u":nick!user@host PRIVMSG #chan :hello there",
         {"nick!user@host", "PRIVMSG", "#chan", "hello there"}},
        // Unprefixed lines shift left; word 3 keeps its inner colons.
        {u"ERROR :Closing Link: host (Quit: bye)",
         {"ERROR", "Closing", "Link:", "host (Quit: bye)"}},
        {u"a  b", {"a", "", "b"}},
        // Only one colon is removed, from the start of any word.
        {u"a b c ::d e", {"a", "b", "c", ":d e"}},
        {u"a :b :c", {"a", "b", "c"}},
        {u":", {""}},
        // A blank after the third word starts an empty fourth only when more follows.
        {u"a b c ", {"a", "b", "c"}},
        {u"a b c  ", {"a", "b", "c", " "}},
        {u"", {}},
        {std::u16string(u"PING :a\0b c", 11), {"PING", std::string("a\0b", 3), "c"}},
    };
    // Handlers read words past the count: a reused reply must not show an older line's.
    Reply reply;
    for (const auto& [line, words] : cases) {
        const int count = static_cast<int>(words.size());
        EXPECT_EQ(tworz_odpowiedz(line, reply), count) << toUtf8(line);
        EXPECT_EQ(test::wordsOf(reply), words) << toUtf8(line);
        for (int i = count; i < Reply::kMaxWords; ++i) {
            EXPECT_TRUE(reply.words[i].empty()) << toUtf8(line) << " " << i;
        }
    }
    EXPECT_TRUE(reply.word(-1).empty());
    EXPECT_TRUE(reply.word(Reply::kMaxWords).empty());

    // A word's number is its leading digits, held at the limits.
    const std::pair<std::u16string, std::int32_t> numbers[] = {
        {u"5x", 5},
        {u"\t+7", 7},
        {u"-12", -12},
        {u"x5", 0},
        {u"-99999999999", -2147483647 - 1},
        {std::u16string(10000, u'9'), 2147483647},
    };
    for (const auto& [word, value] : numbers) {
        EXPECT_EQ(wordNumber(word), value) << toUtf8(word);
    }

    // The nickname is learnt from the login. Current nickname, line, then the current and
    // wanted ones (which start as "wanted").
    const std::tuple<std::u16string, std::u16string, std::u16string, std::u16string> logins[] = {
        {u"", u":srv 001 me :Welcome", u"me", u""},
        {u"me", u":srv 005 me2 :supported", u"me2", u"wanted"},
        {u"", u":srv 001", u"", u"wanted"},
        {u"", u":srv notice auth :x", u"", u"wanted"},
        {u"", u":srv 433 * kolu :in use", u"", u"wanted"},
        // Some servers address the client before any login reply.
        {u"", u":srv NOTICE me :hi", u"me", u""},
        {u"old", u":srv 100 me :hi", u"old", u"wanted"},
        {u"", u"NOTICE AUTH :*** Looking up your hostname", u"", u"wanted"},  // no prefix
        {u"", u":srv 001 " + std::u16string(10000, u'n'), std::u16string(kNickCapacity - 1, u'n'),
         u""},
    };
    for (const auto& [current, line, expectedCurrent, expectedWanted] : logins) {
        SessionState state;
        state.currentNick = current;
        state.wantedNick = u"wanted";
        TrackNickname(state, test::HandlerEnv::line(line));
        EXPECT_EQ(state.currentNick, expectedCurrent) << toUtf8(line);
        EXPECT_EQ(state.wantedNick, expectedWanted) << toUtf8(line);
    }
}

// Beside the four words, the parameters: one marked with ':' is the last and
// runs to the end; without the mark the last word is the last parameter.
TEST(Tokeniser, ParametersEndAtTheColonMarkedOneOrTheLastWord) {
    using Params = std::vector<std::string>;
    const std::tuple<std::u16string, std::string, std::string, Params> cases[] = {
        {u":op!u@h MODE #t +o :raw", "op!u@h", "MODE", {"#t", "+o", "raw"}},
        {u":srv 332 me #u word", "srv", "332", {"me", "#u", "word"}},
        {u":n PRIVMSG #c :a :b  c", "n", "PRIVMSG", {"#c", "a :b  c"}},
        {u"ERROR :You must log in", "", "ERROR", {"You must log in"}},
        {u":srv 005 me A  B :", "srv", "005", {"me", "A", "", "B", ""}},
        {u"PING x", "", "PING", {"x"}},
        {u":", "", "", {}},
        {u"@t=1 :n PRIVMSG #c :a b", "n", "PRIVMSG", {"#c", "a b"}},
    };
    Reply reply;
    for (const auto& [line, source, command, params] : cases) {
        tworz_odpowiedz(line, reply);
        Params got;
        for (std::size_t i = 0; i < reply.params.size(); ++i) {
            got.push_back(toUtf8(reply.params[i]));
        }
        EXPECT_EQ(toUtf8(reply.params.source()), source) << toUtf8(line);
        EXPECT_EQ(toUtf8(reply.params.command()), command) << toUtf8(line);
        EXPECT_EQ(got, params) << toUtf8(line);
        EXPECT_TRUE(reply.params[params.size()].empty());
    }
    tworz_odpowiedz(u":op MODE #t +ov  :a b", reply);
    EXPECT_EQ(reply.params.from(1), u"+ov  a b");
}

// A leading tag section goes to the reply's tags; the words are those of the rest.
TEST(Tokeniser, TagSectionsAreUnescapedAndLeaveTheRestOfTheLineAsIfUntagged) {
    using Tags = std::vector<std::pair<std::u16string, std::optional<std::u16string>>>;
    const std::tuple<std::u16string, std::vector<std::string>, Tags> cases[] = {
        {u"@time=1;+draft/r=x;v.org/k=v :n!u@h PRIVMSG #c :hi",
         {"n!u@h", "PRIVMSG", "#c", "hi"},
         {{u"time", u"1"}, {u"+draft/r", u"x"}, {u"v.org/k", u"v"}, {u"Time", std::nullopt}}},
        {uR"(@a=\:\s\\\r\n;b=\b\;c=end\ PING x)",
         {"PING", "x"},
         {{u"a", u"; \\\r\n"}, {u"b", u"b"}, {u"c", u"end"}}},
        // A later duplicate wins; no value and an empty value are both empty.
        {u"@k=1;flag;k=2;e=;v=a=b PING",
         {"PING"},
         {{u"k", u"2"}, {u"flag", u""}, {u"e", u""}, {u"v", u"a=b"}}},
        // Malformed: nothing after the section, empty names, stray ';', extra blanks.
        {u"@", {}, {}},
        {u"@a=b;c", {}, {{u"a", u"b"}}},
        {u"@;;=v;x=1; PING x", {"PING", "x"}, {{u"", std::nullopt}, {u"x", u"1"}}},
        {u"@a   :srv 001 me :hi", {"srv", "001", "me", "hi"}, {{u"a", u""}}},
        {u"@a=1 @b=2 PING", {"@b=2", "PING"}, {}},
        {u"@" + test::repeat(u"k;", 1000) + u" PING x", {"PING", "x"}, {{u"k", u""}}},
        // An untagged line keeps no tags from the line before.
        {u"PING :@k", {"PING", "@k"}, {{u"k", std::nullopt}}},
    };
    Reply reply;
    for (const auto& [line, words, tags] : cases) {
        EXPECT_EQ(tworz_odpowiedz(line, reply), static_cast<int>(words.size())) << toUtf8(line);
        EXPECT_EQ(test::wordsOf(reply), words) << toUtf8(line);
        for (const auto& [key, value] : tags) {
            const std::u16string* found = reply.tags.find(key);
            EXPECT_EQ(found ? std::optional(*found) : std::nullopt, value) << toUtf8(line);
        }
    }
}

// skipmotd 0 shows the message of the day (tested against a real server); all else hides it.
TEST(DispatcherTest, UnknownLinesShowWordThreeTheMotdIsHiddenAndANickClashTriesTheAlternative) {
    test::HandlerEnv h;
    for (const std::int32_t skip : {1, -1}) {
        h.settings().RegZapiszLONG(u"skipmotd", skip);
        h.dispatch(u":srv 375 me :- srv Message of the day -");
        h.dispatch(u":srv 372 me :- hello");
        h.dispatch(u":srv 376 me :End of MOTD");
    }
    h.dispatch(u"@+typing=active :bob!u@h TAGMSG #chan");  // nothing to show
    h.dispatch(u":srv 401 me bob :No such nick");
    h.dispatch(u":srv PING :not a ping");
    h.dispatch(u"ERROR :Closing link now");
    h.dispatch(u"ERROR :You must log in with SASL to join this server");
    h.dispatch(u":srv 000 me :zero");
    EXPECT_EQ(h.lines(), (Texts{u"bob :No such nick", u"a ping", u"Closing link now",
                                u"You must log in with SASL to join this server", u"zero"}));

    // A nickname clash tries the alternative once, then asks.
    h.state().wantedNick = u"kolu1";
    h.settings().RegZapiszMsg(u"alternick", u"kolu2", kAlternickSize);
    const auto clash = [&] { h.dispatch(u":srv 433 * kolu1 :Nickname is already in use"); };
    h.state().currentNick = u"me";  // after the login a clash only shows its text
    h.dispatch(u":srv 433 me kolu1 :Nickname is already in use");
    h.state().currentNick.clear();
    clash();  // the alternative, without asking
    h.env.host.textAnswers = {u"mine"};
    clash();
    // The answer becomes the wanted nickname; when that is taken too, the alternative is next.
    clash();
    ASSERT_EQ(h.env.host.prompts.size(), 1u);
    EXPECT_EQ(h.env.host.prompts[0].commandId, 432);
    EXPECT_EQ(h.commands.calls,
              (Calls{{u"/NICK kolu2", u""}, {u"/NICK mine", u""}, {u"/NICK kolu2", u""}}));

    // Without a command line the nick lines are sent directly.
    h.context.commands = nullptr;
    h.env.host.textAnswers = {u"last"};
    clash();
    clash();
    EXPECT_EQ(h.sockets.sentLines(), (Sent{"NICK last", "NICK kolu2"}));  // no PONG to srv

    // The alternative (whatever its case) was tried, or there is none to try: the
    // prompt decides, and cancelling or a blank answer disconnects for good.
    const std::tuple<std::u16string, std::optional<std::u16string>, Calls> cases[] = {
        {u"kolu2", std::nullopt, {}},
        {u"kolu2", u"  ", {}},
        {u"", u"other", {{u"/NICK other", u""}}},
        {std::u16string(30, u'a'), u"other", {{u"/NICK other", u""}}},  // too long to read
    };
    for (const auto& [alternick, answer, calls] : cases) {
        test::HandlerEnv fresh;
        fresh.state().wantedNick = u"KOLU2";
        fresh.settings().RegZapiszMsg(u"alternick", alternick, 200);
        fresh.env.host.textAnswers = {answer};
        fresh.dispatch(u":srv 432 * kolu1 :Erroneous nickname");
        EXPECT_EQ(fresh.env.host.prompts.size(), 1u);
        EXPECT_EQ(fresh.commands.calls, calls) << toUtf8(alternick);
        EXPECT_EQ(fresh.state().connected, !calls.empty());
        EXPECT_EQ(fresh.state().userQuit, calls.empty());
    }
}

class QueryRepliesTest : public ::testing::Test {
  protected:
    QueryRepliesTest() { env.state().currentNick = u"me"; }  // logged in
    test::HandlerEnv env;
};

TEST_F(QueryRepliesTest, NamesFillOnlyTheJustJoinedChannelAndSkipALastDuplicate) {
    // As the client's own JOIN does: the tab, and the names reply awaited for it.
    env.tabs().dodaj_zakladke(u"#chan");
    env.tabs().dodaj_zakladke(u"&other");
    env.state().autoban.channel = u"#chan";
    env.dispatch(u":srv 353 me = #chan :@Adam bob +alice");
    env.dispatch(u":srv 353 me = &other :x y");
    env.dispatch(u":srv 366 me #chan :End of /NAMES list.");
    env.dispatch(u":srv 353 me = #chan :eve");  // a /names typed later is only printed
    EXPECT_EQ(env.env.users(u"#chan"), (Texts{u"@Adam", u"+alice", u"bob"}));
    EXPECT_TRUE(env.env.users(u"&other").empty());
    EXPECT_EQ(env.lines(), (Texts{u"= #chan :@Adam bob +alice", u"= &other :x y",
                                  u"#chan :End of /NAMES list.", u"= #chan :eve"}));

    // Only the last name of a line is checked for a duplicate.
    const std::u16string huge(10000, u'n');
    const std::pair<std::u16string, Texts> cases[] = {
        {u":srv 353 me = #c :a b A", {u"a", u"b"}},
        // The names are the last parameter, with or without a colon, after the channel.
        {u":srv 353 me = #c y", {u"y"}},
        {u":srv 353 me #c :x y", {u"x", u"y"}},
        {u":srv 353 me = #c :a  b @ +", {u"a", u"b"}},  // empty and prefix-only names skipped
        {u":srv 353 me :::", {}},
        // Too long to be found again: no duplicate test hits.
        {u":srv 353 me = #c :" + huge + u" @" + huge + u" " + huge, {u"@" + huge, huge, huge}},
        {u":srv 353 me = " + huge, {}},
        {u":srv 353 me = #" + huge + u" :a", {}},
    };
    for (const auto& [line, expected] : cases) {
        env.tabs().usun_zakladkeT(u"#c");
        env.tabs().dodaj_zakladke(u"#c");
        env.state().autoban.channel = u"#c";
        env.dispatch(line);
        EXPECT_EQ(env.env.users(u"#c"), expected) << toUtf8(line.substr(0, 40));
    }
    env.dispatch(u":srv 366 me");  // no channel: the names are still awaited
    EXPECT_EQ(env.state().autoban.channel, u"#c");
}

TEST_F(QueryRepliesTest, WhoisIsPrintedWithUserAtHostUnlessABanAwaitsItThenTheBanIsSent) {
    env.state().wantedNick = u"bob";  // without a ban request: printed anyway
    env.dispatch(u":srv 311 me bob ~b host.example * :Bob B");
    env.dispatch(u":srv 312 me bob irc.example :A server");
    env.dispatch(u":srv 318 me bob :End of /WHOIS list.");
    // A ban by host (of the wanted nickname) now awaits the WHOIS.
    env.state().autoban = {u"#chan", true, u"KICK #chan bob"};
    env.dispatch(u":srv 311 me carol ~c host.example * :Carol C");
    env.dispatch(u":srv 311 me bob ~b");  // awaited, but without a host
    // A ban by host sends the ban, then the kick line waiting for it.
    env.dispatch(u":srv 311 me BOB ~b bob.example.org * :Bob");
    env.dispatch(u":srv 319 me bob :#chan @#other");
    env.dispatch(u":srv 318 me bob :End of /WHOIS list.");
    EXPECT_EQ(env.state().wantedNick, u"");
    // The request is over: the next WHOIS of bob is the next line shown.
    env.dispatch(u":srv 311 me bob ~b h * :Bob");
    EXPECT_EQ(env.lines(), (Texts{u"bob ~b@host.example * :Bob B", u"bob irc.example :A server",
                                  u"bob :End of /WHOIS list.", u"carol ~c@host.example * :Carol C",
                                  u"bob ~b", u"bob ~b@h * :Bob"}));
    EXPECT_EQ(env.lastColour(0), env.env.colours.of(LineClass::Whois));

    // A kick line that isn't to follow the ban keeps waiting for its own.
    env.state().wantedNick = u"bob";
    env.state().autoban = {u"#chan", false, u"KICK #chan bob"};
    env.dispatch(u":srv 311 me bob u h");
    EXPECT_EQ(env.sockets.sentLines(),
              (Sent{"MODE #chan +b *!*@bob.example.org", "KICK #chan bob", "MODE #chan +b *!*@h"}));
    EXPECT_EQ(env.state().autoban.kickLine, u"KICK #chan bob");
}

TEST_F(QueryRepliesTest, BanListLinesNotAwaitedArePrintedAndTheAwaitedListOfferedForRemoval) {
    env.dispatch(u":srv 367 me #chan m1 op 1");
    env.dispatch(u":srv 368 me #chan :End of Channel Ban List");
    env.state().wantedNick = u"bob";  // a ban by host waits: its channel's ban lines are printed
    env.state().autoban.channel = u"#chan";
    env.dispatch(u":srv 367 me #chan m2 op 1");
    env.state().wantedNick.clear();
    env.dispatch(u":srv 367 me #other m3");
    env.dispatch(u":srv 367 me #chan");  // without a mask

    // The ban list of #chan is now awaited.
    env.dispatch(u":srv 367 me #CHAN *!*@a.example op 1700000000");
    env.dispatch(u":srv 367 me #chan bad!*@* op 1700000001");
    // Units 126 and 127 are a pair: it doesn't fit a mask's 127.
    env.dispatch(u":srv 367 me #chan " + std::u16string(126, u'm') + u"\U0001F600zz");
    env.dispatch(u":srv 368 me #chan :End of Channel Ban List");
    EXPECT_EQ(env.lines(), (Texts{u"#chan m1 op 1", u"#chan :End of Channel Ban List",
                                  u"#chan m2 op 1", u"#other m3", u"#chan"}));  // not awaited
    EXPECT_EQ(env.env.host.started, (std::vector<TimerId>{kBanListTimer}));     // only now
    env.env.host.pickAnswers = {1};
    koniec_banlisty(env.context);
    ASSERT_EQ(env.env.host.prompts.size(), 1u);
    EXPECT_EQ(env.env.host.prompts[0].title, u"#chan banlist");
    EXPECT_EQ(env.env.host.prompts[0].items,
              (Texts{u"*!*@a.example", u"bad!*@*", std::u16string(126, u'm')}));
    EXPECT_EQ(env.commands.calls, (Calls{{u"/MODE #chan -b bad!*@*", u"#chan"}}));
    EXPECT_EQ(env.state().autoban.channel, u"");

    // Cancelled or out of range, nothing is removed (and the list is emptied all the
    // same: m2 is the only entry left); without a command line the removal is sent directly.
    env.context.commands = nullptr;
    for (const std::optional<int> pick :
         {std::optional<int>(), std::optional<int>(5), std::optional<int>(0)}) {
        env.state().autoban.channel = u"#chan";
        env.dispatch(pick == 0 ? u":srv 367 me #chan m2" : u":srv 367 me #chan m1");
        env.env.host.pickAnswers = {pick};
        koniec_banlisty(env.context);
    }
    EXPECT_EQ(env.sockets.sentLines(), (Sent{"MODE #chan -b m2"}));
}

TEST_F(QueryRepliesTest, AwayTopicInvitationAndIsonAnswers) {
    env.tabs().dodaj_zakladke(u"#chan");
    env.setSound(u"invite", u"invite.wav");
    env.dispatch(u":srv 301 me bob :gone fishing :)");
    env.dispatch(u":srv 301 me bob");
    env.dispatch(u":srv 301 me raw gone");  // a last parameter without its colon
    env.dispatch(u":srv 332 me #CHAN :hello : world");
    env.dispatch(u":srv 333 me #chan alice!a@h :1700000000");
    env.dispatch(u":srv 331 me #chan :No topic is set.");
    env.dispatch(u":srv 332 me #chan word");
    EXPECT_EQ(env.lines(u"#chan"),
              (Texts{u"Topic is 'hello : world'", u"Set by alice!a@h 1700000000",
                     u"No topic is set.", u"Topic is 'word'"}));
    EXPECT_EQ(env.lastColour(1), env.env.colours.of(LineClass::Topic));
    // Without a tab or a separator they go to the status tab as they came.
    env.dispatch(u":srv 332 me #gone :topic");
    env.dispatch(u":srv 331 me #chan no colon");
    env.dispatch(u":srv 341 me bob #chan");
    // Until a notify list is attached ISON answers go nowhere (a real server's test has one).
    env.dispatch(u":srv 303 me :alice bob");
    EXPECT_EQ(env.lines(),
              (Texts{u"bob is away: gone fishing :)", u"raw is away: gone", u"#gone :topic",
                     u"#chan no colon", u"bob has been invited to  #chan"}));
    EXPECT_EQ(env.soundsPlayed(), (Sent{"invite.wav"}));
}

class NotifyListTest : public QueryRepliesTest {
  protected:
    NotifyListTest() { env.settings().RegZapiszLONG(u"not_whois", 0); }
    void watch(std::u16string_view list) {
        env.settings().RegZapiszMsg(u"notify", list, kSpecialListSize);
        notify.NotifyList_Delete();
        notify.NotifyList_Load();
    }
    Texts takeLines() {
        Texts texts;
        for (const test::PrintedLine& line : printer.lines) {
            EXPECT_EQ(line.target, u"");
            EXPECT_EQ(line.colour, env.env.colours.of(LineClass::Notify));
            texts.push_back(line.text);
        }
        printer.lines.clear();
        return texts;
    }

    test::RecordingPrinter printer;
    NotifyList notify{
        {env.state(), env.env.session.connection, printer, env.settings(), env.env.colours},
        &env.commands};
};

TEST_F(NotifyListTest, NamesSplitAndCutWholeArrivalsAndDeparturesShownOnceAndNobodyLookedUp) {
    // Blanks part the names; one too long is cut whole, here before a surrogate pair.
    const std::u16string cut(62, u'p');
    Texts names;
    for (const NotifyEntry& entry :
         NotifyList::NotifyList_Create(u" a  " + cut + u"\U0001F600 b")) {
        names.push_back(entry.name);
    }
    EXPECT_EQ(names, (Texts{u"a", cut, u"b"}));

    watch(u"Alice bob ");
    notify.NotifyList_Update(u"alice");
    EXPECT_EQ(takeLines(), Texts{u"*** alice is on IRC"});  // the answer's spelling
    notify.NotifyList_Update(u"BOB alice");
    EXPECT_EQ(takeLines(), Texts{u"*** BOB is on IRC"});
    notify.NotifyList_Update(u"");
    EXPECT_EQ(takeLines(), (Texts{u"*** alice has left IRC", u"*** BOB has left IRC"}));
    notify.NotifyList_Update(u"alice");
    notify.NotifyList_Reset();  // the connection closed
    notify.NotifyList_Update(u"alice");
    EXPECT_EQ(takeLines(), (Texts{u"*** alice is on IRC", u"*** alice is on IRC"}));

    // A reload follows the setting; a long nickname is watched under its first 63 characters.
    watch(u"N" + std::u16string(69, u'x') + u" ");
    notify.NotifyList_Update(u"n" + std::u16string(69, u'x'));
    EXPECT_EQ(takeLines(), Texts{u"*** n" + std::u16string(62, u'x') + u" is on IRC"});
    notify.NotifyList_Update(u"N" + std::u16string(62, u'x'));
    EXPECT_EQ(takeLines(), Texts{});
    // With not_whois off nobody was looked up (on, the MONITOR tests' ISON run looks newcomers up).
    EXPECT_TRUE(env.commands.calls.empty());
}

}  // namespace
}  // namespace kolu
