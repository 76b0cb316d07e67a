// Messages to and from the channels and queries: how they show, how long ones are cut,
// and nickname completion from the recent speakers.
#include "protocol/messages.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "commands/message_split.h"
#include "commands/nick_completion.h"
#include "platform/text.h"
#include "tests/support/handler_env.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

using Lines = std::vector<std::u16string>;
using Strings = std::vector<std::string>;  // lines sent, sounds played

const std::u16string kMark = u"\u0001";

std::u16string ctcp(std::u16string_view body) {
    return kMark + std::u16string(body) + kMark;
}

// A logged-in session ("me") with a #chan tab and sounds for the events.
class MessagesTest : public ::testing::Test {
  protected:
    MessagesTest() {
        h.state().currentNick = u"me";
        h.tabs().dodaj_zakladke(u"#chan");
        for (const char16_t* event : {u"query", u"notice", u"ping", u"highlight"}) {
            h.setSound(event, std::u16string(event) + u".wav");
        }
    }
    // Past the one-sound-a-second limit.
    void later() { h.clock().ticks += 1000; }
    Colour colourOf(LineClass lineClass) const { return h.env.colours.of(lineClass); }

    test::HandlerEnv h;
};

TEST_F(MessagesTest, MessagesAndNoticesGoToTheirTabAndAPrivateMessageOpensAQueryOnce) {
    h.dispatch(u":bob!u@host privmsg #Chan :hi there");  // commands in any case
    h.dispatch(u":bob!u@host PRIVMSG me :hi");
    h.dispatch(u":Bob!u@host PRIVMSG ME :again");
    // A notice to the client goes to the selected tab.
    ASSERT_TRUE(h.tabs().select(2));
    later();
    h.dispatch(u":bob!u@host NOTICE #chan :channel text");
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Notice));
    later();
    h.dispatch(u":bob!u@host NOTICE me :to me");
    EXPECT_EQ(h.lines(1), (Lines{u"<bob> hi there", u"-bob:#chan- channel text"}));
    EXPECT_EQ(h.lines(2), (Lines{u"<bob> hi", u"<Bob> again", u"-bob- to me"}));
    EXPECT_EQ(h.soundsPlayed(), (Strings{"query.wav", "notice.wav", "notice.wav"}));
    // Before login an empty target is not the client's: no tab for its sender.
    h.state().currentNick.clear();
    h.dispatch(u":eve!u@host PRIVMSG  :x");
    EXPECT_EQ(h.tabs().count(), 3);
}

TEST_F(MessagesTest, IgnoredSendersAreDroppedAndServerPingsShownOnlyWithHidepingZero) {
    h.settings().RegZapiszLONG(u"en_ignore", 1);
    h.settings().RegZapiszMsg(u"ignore", u"alice BOB ", kSpecialListSize);
    h.dispatch(u":bob!u@host PRIVMSG me :hi");
    h.dispatch(u":bob!u@host NOTICE #chan :hi");
    h.dispatch(u":bob!u@host PRIVMSG #chan :" + ctcp(u"PING 5"));
    h.dispatch(u":bob!u@host NOTICE me :" + ctcp(u"PING 5"));
    EXPECT_EQ(h.tabs().count(), 2);
    EXPECT_TRUE(h.soundsPlayed().empty());
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(u"ACTION smiles"));  // its query opens, empty
    EXPECT_TRUE(h.lines(u"bob").empty());

    // A server PING is shown only with hideping 0.
    h.settings().RegZapiszLONG(u"hideping", -1);
    h.dispatch(u"PING :abc");
    h.settings().RegZapiszLONG(u"hideping", 0);
    h.dispatch(u"PING :x");
    EXPECT_EQ(h.lines(0), Lines{u"PING? PONG!"});
    EXPECT_EQ(h.sockets.sentLines(), (Strings{"PONG :abc", "PONG :x"}));
}

// Ten new query tabs per 30 s: past them a new sender's lines go to the status
// tab under one note; senders with a tab keep it. The window slides.
TEST_F(MessagesTest, NewQueryTabsAreLimitedPerThirtySeconds) {
    h.dispatch(u":n0!u@host PRIVMSG me :hi");
    h.clock().ticks += 29999;
    for (char16_t c = u'1'; c <= u'9'; ++c) {
        h.dispatch(u":n" + std::u16string(1, c) + u"!u@host PRIVMSG me :hi");
    }
    h.dispatch(u":eve!u@host PRIVMSG me :one");
    h.dispatch(u":eve!u@host PRIVMSG me :two");
    h.dispatch(u":n0!u@host PRIVMSG me :still here");
    EXPECT_EQ(h.lines(0), (Lines{u"*** Too many new private conversations: messages from new "
                                 u"senders are shown here for a while",
                                 u"<eve> one", u"<eve> two"}));
    EXPECT_EQ(h.lines(u"n0").back(), u"<n0> still here");

    h.clock().ticks += 1;  // 30 s after the first tab
    h.dispatch(u":eve!u@host PRIVMSG me :three");
    EXPECT_EQ(h.lines(u"eve"), Lines{u"<eve> three"});
    h.dispatch(u":zed!u@host PRIVMSG me :x");  // the limit is reached again: noted again
    EXPECT_EQ(h.lines(0).size(), 5u);
}

TEST_F(MessagesTest, CtcpPingIsAnsweredWithItsArgumentThreeTimesPerTenSecondsButNotItsReply) {
    h.dispatch(u":bob!u@host PRIVMSG #chan :" + ctcp(u"ping 7"));
    later();
    // Nothing after the argument's closing mark goes back.
    h.dispatch(u":eve!u@host PRIVMSG me :" + ctcp(u"PING 1") + u"DCC SEND x 1 2 3" + kMark);
    EXPECT_EQ(h.soundsPlayed(), (Strings{"ping.wav", "ping.wav"}));
    EXPECT_EQ(h.lines(1), Lines{u"[bob:#chan PING]"});
    EXPECT_EQ(h.tabs().count(), 2);  // a private request opens no tab

    // A reply shows the round trip, past 2038 too; a junk argument counts from 1970.
    h.clock().utc = {2040, 1, 0, 1, 0, 0, 3, 0};
    h.dispatch(u":bob!u@host NOTICE me :" + ctcp(u"PING 2208988800"));
    h.clock().utc = {1970, 1, 4, 1, 0, 0, 10, 0};
    h.dispatch(u":bob!u@host NOTICE me :" + ctcp(u"PING junk"));
    EXPECT_EQ(h.lines(0),
              (Lines{u"[eve PING]", u"[bob PING reply]: 3secs", u"[bob PING reply]: 10secs"}));

    h.clock().ticks += 8999;  // 9.999 s after the first request
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 2"));
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 3"));
    h.clock().ticks += 1;
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 4"));
    // Neither the replies nor the fourth request in ten seconds are answered.
    EXPECT_EQ(h.sockets.sentLines(),
              (Strings{"NOTICE bob :\x01PING 7\x01", "NOTICE eve :\x01PING 1\x01",
                       "NOTICE bob :\x01PING 2\x01", "NOTICE bob :\x01PING 4\x01"}));
}

TEST_F(MessagesTest, ActionsShowInChannelAndQueryOtherCtcpIsIgnoredAndHighlightsMatch) {
    h.dispatch(u":bob!u@host PRIVMSG #chan :" + ctcp(u"ACTION waves at you"));
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(u"action smiles"));
    EXPECT_EQ(h.lines(u"bob"), Lines{u"* bob smiles"});

    for (const std::u16string& text : {
             ctcp(u"VERSION"),       // no argument
             kMark + u"PING 5",      // no closing mark
             ctcp(u"TIME now"),      // not understood
             ctcp(u"PING") + u" 5",  // the blank is after the mark
         }) {
        h.dispatch(u":bob!u@host PRIVMSG #chan :" + text);
        h.dispatch(u":bob!u@host NOTICE #chan :" + text);
    }
    h.dispatch(u":bob!u@host NOTICE #chan :" + ctcp(u"ACTION waves"));  // an action in a notice
    EXPECT_EQ(h.lines(1), Lines{u"* bob waves at you"});
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Action));
    EXPECT_TRUE(h.lines(0).empty());
    EXPECT_TRUE(h.sockets.sentLines().empty());

    // Highlights match entries as substrings, ignoring case.
    const std::tuple<std::int32_t, std::u16string, std::u16string, bool> cases[] = {
        {1, u" bob  \u00c9t\u00e9 ", u"un \u00e9T\u00c9 chaud", true},  // empty entries skipped
        {1, u"ann", u"ann", false},  // no blank after it: not an entry
        {0, u"ann ", u"ann", false},
        {-1, u"ann ", u"joanna", true},  // a missing switch leaves highlighting on
        {1, std::u16string(260, u'a') + u" ", std::u16string(250, u'a'), true},  // cut to 250
    };
    for (const auto& [enabled, list, text, highlighted] : cases) {
        h.settings().RegZapiszLONG(u"en_hlights", enabled);
        h.settings().RegZapiszMsg(u"hlights", list, kSpecialListSize);
        h.env.sound.played.clear();
        later();
        EXPECT_EQ(HighlightLine(h.context, text, 0x123456),
                  highlighted ? colourOf(LineClass::Hlight) : 0x123456)
            << toUtf8(list) << " / " << toUtf8(text);
        EXPECT_EQ(h.soundsPlayed(), highlighted ? Strings{"highlight.wav"} : Strings{});
    }
    h.settings().RegZapiszMsg(u"hlights", u"kolu ", kSpecialListSize);
    h.dispatch(u":bob!u@host PRIVMSG #chan :" + ctcp(u"ACTION pokes KOLU"));
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Hlight));
}

// Messages cut to fit one relayed IRC line: 512 bytes with CR LF, after the
// server's ":nick!user@host " with room for 10 bytes of user and 63 of host.
using Text = std::u16string;
const Text kSay = u"PRIVMSG #a :", kAct = u"PRIVMSG #a :\u0001ACTION ";

std::string relayed(const Text& nick, const Text& line) {
    return ":" + toUtf8(nick) + "!" + std::string(10, 'u') + "@" + std::string(63, 'h') + " " +
           toUtf8(line) + "\r\n";
}

TEST(MessageSplit, CutsAtTheLastBlankThatFitsOrInsideAWordWithoutAndLosesNothing) {
    const std::size_t r = 512 - relayed(u"me", kSay).size();  // text bytes of a line from "me"
    const std::size_t a = 512 - relayed(u"me", kAct + kMark).size();
    auto x = [](std::size_t n) { return Text(n, u'x'); };
    struct Case {
        const char* name;
        Text text;
        std::vector<Text> pieces;
        Text nick = u"me", head = kSay, tail = u"";
    } cases[] = {
        {"exactly the room", x(r - 2) + u" b", {x(r - 2) + u" b"}},
        {"one byte over", x(r - 1) + u" b", {x(r - 1), u"b"}},
        {"blank just past the room", x(r) + u" b", {x(r), u"b"}},
        {"word longer than a piece", u"a " + x(r + 3), {u"a", x(r), u"xxx"}},
        {"leading blank is no cut", u" " + x(r), {u" " + x(r - 1), u"x"}},
        {"two bytes straddle", x(r - 1) + u"\u00e9", {x(r - 1), u"\u00e9"}},
        {"surrogate pair straddles", x(r - 3) + u"\U0001F600", {x(r - 3), u"\U0001F600"}},
        {"action marks take room", x(a - 2) + u" bc", {x(a - 2), u"bc"}, u"me", kAct, kMark},
        {"long nickname", x(r - 40) + u" " + x(30), {x(r - 40), x(30)}, Text(30, u'n')},
        {"no room at all", u"hi", {}, u"me", u"PRIVMSG " + Text(430, u'#') + u" :"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(splitMessage(c.text, c.nick, c.head, c.tail), c.pieces) << c.name;
    }

    // Random texts: every piece fits and blanks join them back.
    const Text chars[] = {u" ", u"a", u"\u00f3", u"\u20ac", u"\U0001F600"};
    std::mt19937 random(7);
    for (std::size_t round = 0; round < 200; ++round) {
        const Text nick(1 + round % 30, u'n'), head = round % 2 ? kAct : kSay;
        const Text tail = round % 2 ? kMark : u"";
        Text text = u"a";
        while (text.size() < 500 + 10 * round || text.back() == u' ') {
            text += chars[random() % 5];
        }
        Text joined;
        for (const Text& piece : splitMessage(text, nick, head, tail)) {
            ASSERT_FALSE(piece.empty());
            ASSERT_LE(relayed(nick, head + piece + tail).size(), 512u);
            ASSERT_EQ(fromUtf8(toUtf8(piece)), piece);  // no character cut in two
            joined += (joined.empty() ? u"" : u" ") + piece;
        }
        EXPECT_EQ(joined, text);
    }
}

// The client is also in #kolu; speakers are noted by the real handlers.
class NickCompletionTest : public MessagesTest {
  protected:
    NickCompletionTest() {
        h.dispatch(u":me!m@home JOIN #kolu");
        for (const char16_t* name : {u"@Amy", u"+adam", u"al", u"Alice", u"bob"}) {
            DodajDoListyOpt(h.tabs(), u"#kolu", name);
        }
    }
    // The lines left by `tabs` Tabs on `text`, the caret at its end.
    Lines cycle(std::u16string_view text, int tabs) {
        Lines shown;
        std::optional<CompletedLine> line = CompletedLine{std::u16string(text), text.size()};
        while (tabs-- > 0 && (line = nicks.complete(line->text, line->caret, false))) {
            shown.push_back(line->text);
        }
        return shown;
    }

    NickCompletion nicks{h.tabs()};
};

TEST_F(NickCompletionTest, RecentSpeakersFirstThenMembersInListOrderWrappingAround) {
    h.dispatch(u":al!a@h PRIVMSG #kolu :hello");
    h.dispatch(u":Alice!a@h PRIVMSG #kolu :\u0001ACTION waves\u0001");
    // Neither a private line nor one from outside the channel counts.
    h.dispatch(u":adam!a@h PRIVMSG me :psst");
    h.dispatch(u":ann!a@h PRIVMSG #kolu :from outside");
    EXPECT_EQ(cycle(u"A", 5), (Lines{u"Alice: ", u"al: ", u"Amy: ", u"adam: ", u"Alice: "}));
    // Leaving forgets a speaker; a new nickname is remembered as recent.
    h.dispatch(u":al!a@h PART #kolu");
    h.dispatch(u":al!a@h JOIN #kolu");
    h.dispatch(u":Amy!a@h PRIVMSG #kolu :one");
    EXPECT_EQ(cycle(u"a", 4), (Lines{u"Amy: ", u"Alice: ", u"adam: ", u"al: "}));
    h.dispatch(u":adam!a@h PRIVMSG #kolu :two");
    h.dispatch(u":adam!a@h NICK :Ava");
    EXPECT_EQ(cycle(u"a", 2), (Lines{u"Ava: ", u"Amy: "}));
}

TEST_F(NickCompletionTest, OnlyTheLineAsTheLastTabLeftItCyclesAndNoCaretSplitsACharacter) {
    ASSERT_EQ(cycle(u"a", 1), (Lines{u"Amy: "}));
    // Edited since: the word before the caret is completed afresh, and what follows stays.
    const CompletedLine edited = nicks.complete(u"Amy: BO?", 7, false).value();
    EXPECT_EQ(edited.text, u"Amy: bob ?");
    EXPECT_EQ(edited.caret, 9u);
    // A caret inside a surrogate pair or past the end.
    DodajDoListyOpt(h.tabs(), u"#kolu", u"b\U0001F600n");
    EXPECT_EQ(nicks.complete(u"b\U0001F600", 2, false).value().text, u"bob: \U0001F600");
    EXPECT_EQ(nicks.complete(u"bo", 99, false).value().text, u"bob: ");

    // A query offers its nickname and the status tab nothing.
    ASSERT_TRUE(h.tabs().select(h.tabs().dodaj_zakladke(u"Carol")));
    EXPECT_EQ(cycle(u"c", 2), (Lines{u"Carol: ", u"Carol: "}));
    EXPECT_EQ(cycle(u"a", 1), Lines{});
    ASSERT_TRUE(h.tabs().select(0));
    EXPECT_EQ(cycle(u"a", 1), Lines{});
}

}  // namespace
}  // namespace kolu
