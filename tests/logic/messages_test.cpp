#include "protocol/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "protocol/dispatcher.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using test::HandlerEnv;
using Lines = std::vector<std::u16string>;
using Sent = std::vector<std::string>;

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
        h.setSound(u"query", u"query.wav");
        h.env.sound.played.clear();
    }
    void receive(std::u16string_view raw) { DispatchReply(h.context, HandlerEnv::line(raw)); }
    Colour colourOf(LineClass lineClass) const { return h.env.colours.of(lineClass); }
    void ignore(std::u16string_view list) {
        h.settings().RegZapiszLONG(u"en_ignore", 1);
        h.settings().RegZapiszMsg(u"ignore", list, kSpecialListSize);
    }
    int statusLines() { return static_cast<int>(h.lines(0).size()); }

    HandlerEnv h;
};

TEST_F(MessagesTest, ChannelMessageShowsInItsTab) {
    receive(u":bob!u@host PRIVMSG #Chan :hi there");
    EXPECT_EQ(h.lines(u"#chan"), Lines{u"<bob> hi there"});
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Normal));
    EXPECT_EQ(h.tabs().count(), 2);
    EXPECT_TRUE(h.soundsPlayed().empty());

    const int before = statusLines();
    receive(u":bob!u@host PRIVMSG #other :lost");
    EXPECT_EQ(h.lines(0).back(), u"<bob> lost");  // no such tab: the status tab
    EXPECT_EQ(statusLines(), before + 1);
    EXPECT_EQ(h.tabs().count(), 2);
}

TEST_F(MessagesTest, PrivateMessageOpensAQueryTabOnce) {
    receive(u":bob!u@host PRIVMSG me :hi");
    receive(u":Bob!u@host PRIVMSG ME :again");
    ASSERT_EQ(h.tabs().count(), 3);
    EXPECT_EQ(h.tabs().pobierz_nazwe(2, 3), u"bob");
    EXPECT_EQ(h.lines(2), (Lines{u"<bob> hi", u"<Bob> again"}));
    EXPECT_EQ(h.soundsPlayed(), std::vector<std::string>{"query.wav"});

    // Before login an empty target is not the client's: no tab for its sender.
    h.state().currentNick.clear();
    receive(u":eve!u@host PRIVMSG  :x");
    EXPECT_EQ(h.tabs().count(), 3);
}

TEST_F(MessagesTest, IgnoredSendersAreDropped) {
    ignore(u"alice BOB ");
    const int before = statusLines();
    receive(u":bob!u@host PRIVMSG me :hi");
    receive(u":bob!u@host PRIVMSG #chan :hi");
    receive(u":bob!u@host NOTICE me :hi");
    receive(u":bob!u@host NOTICE #chan :hi");
    receive(u":bob!u@host PRIVMSG #chan :" + ctcp(u"ACTION waves"));
    receive(u":bob!u@host PRIVMSG #chan :" + ctcp(u"PING 5"));
    receive(u":bob!u@host NOTICE me :" + ctcp(u"PING 5"));
    EXPECT_EQ(h.tabs().count(), 2);
    EXPECT_TRUE(h.lines(1).empty());
    EXPECT_EQ(statusLines(), before);
    EXPECT_TRUE(h.soundsPlayed().empty());
    EXPECT_TRUE(h.sentLines().empty());

    // The list is not in force while en_ignore is 0.
    h.settings().RegZapiszLONG(u"en_ignore", 0);
    receive(u":bob!u@host PRIVMSG #chan :hi");
    EXPECT_EQ(h.lines(1), Lines{u"<bob> hi"});
}

TEST_F(MessagesTest, NoticesFollowTheLoginAndTheirTarget) {
    h.setSound(u"notice", u"notice.wav");
    h.tabs().dodaj_zakladke(u"bob");
    h.tabs().select(2);
    h.env.sound.played.clear();

    receive(u":bob!u@host NOTICE #chan :channel text");
    EXPECT_EQ(h.lines(1), Lines{u"-bob:#chan- channel text"});
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Notice));

    h.clock().ticks += 1000;  // one sound a second
    receive(u":bob!u@host NOTICE #nowhere :lost");
    EXPECT_EQ(h.lines(0).back(), u"-bob:#nowhere- lost");

    h.clock().ticks += 1000;
    receive(u":bob!u@host NOTICE me :to me");
    EXPECT_EQ(h.lines(2), Lines{u"-bob- to me"});  // the selected tab
    EXPECT_EQ(h.soundsPlayed(),
              (std::vector<std::string>{"notice.wav", "notice.wav", "notice.wav"}));

    // Before the login completes: the selected tab, no sound.
    h.state().currentNick.clear();
    h.env.sound.played.clear();
    reply_NOTICE(h.context, HandlerEnv::line(u":irc.example.net NOTICE AUTH :*** Looking up"));
    EXPECT_EQ(h.lines(2).back(), u"-irc.example.net- *** Looking up");
    EXPECT_TRUE(h.soundsPlayed().empty());
}

TEST_F(MessagesTest, ServerPingIsAnswered) {
    struct Case {
        std::int32_t hideping;
        bool shown;
    };
    for (const Case& c : {Case{0, true}, Case{1, false}, Case{-1, false}}) {
        HandlerEnv env;
        env.settings().RegZapiszLONG(u"hideping", c.hideping);
        const std::size_t before = env.lines().size();
        DispatchReply(env.context, HandlerEnv::line(u"PING :irc.example.net"));
        EXPECT_EQ(env.sentLines(), Sent{"PONG :irc.example.net"});
        EXPECT_EQ(env.lines().size(), before + (c.shown ? 1 : 0)) << c.hideping;
        if (c.shown) {
            EXPECT_EQ(env.lines().back(), u"PING? PONG!");
            EXPECT_EQ(env.lastColour(), env.env.colours.of(LineClass::Ping));
        }
    }
}

// Ten new query tabs per 30 s: past them a new sender's lines go to the status
// tab under one note; senders with a tab keep it. The window slides.
TEST_F(MessagesTest, NewQueryTabsAreLimitedPerThirtySeconds) {
    receive(u":n0!u@host PRIVMSG me :hi");
    h.clock().ticks += 29999;
    for (char16_t c = u'1'; c <= u'9'; ++c) {
        receive(u":n" + std::u16string(1, c) + u"!u@host PRIVMSG me :hi");
    }
    ASSERT_EQ(h.tabs().count(), 12);
    const Lines before = h.lines(0);
    receive(u":eve!u@host PRIVMSG me :one");
    receive(u":eve!u@host PRIVMSG me :two");
    receive(u":n0!u@host PRIVMSG me :still here");
    EXPECT_EQ(h.tabs().count(), 12);
    Lines expected = before;
    expected.insert(expected.end(), {u"*** Too many new private conversations: messages from new "
                                     u"senders are shown here for a while",
                                     u"<eve> one", u"<eve> two"});
    EXPECT_EQ(h.lines(0), expected);
    EXPECT_EQ(h.lines(u"n0").back(), u"<n0> still here");

    h.clock().ticks += 1;  // 30 s after the first tab
    receive(u":eve!u@host PRIVMSG me :three");
    EXPECT_EQ(h.lines(u"eve"), Lines{u"<eve> three"});
    receive(u":zed!u@host PRIVMSG me :x");  // the limit is reached again: noted again
    ASSERT_EQ(h.lines(0).size(), expected.size() + 2);
    EXPECT_EQ(h.lines(0).back(), u"<zed> x");
}

TEST_F(MessagesTest, EchoedTokensNeverCarryALineEnd) {
    receive(u"PING :abc\rQUIT :bye");
    receive(std::u16string(u"PING :x") + u'\0' + u"QUIT");
    receive(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 1\rQUIT :bye"));
    receive(std::u16string(u":bob!u@host PRIVMSG me :") + kMark + u"PING 2" + u'\0' + u"QUIT" +
            kMark);
    EXPECT_EQ(h.sentLines(),
              (Sent{"PONG :abc", "PONG :x", "NOTICE bob :\x01PING 1", "NOTICE bob :\x01PING 2"}));
    for (const std::string& piece : h.sockets.sent) {
        EXPECT_EQ(piece.find_first_of(std::string("\r\0", 2)), std::string::npos);
    }
}

TEST_F(MessagesTest, CtcpPingRequestIsAnsweredWithItsArgumentOnly) {
    h.setSound(u"ping", u"ping.wav");
    receive(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 1189534078"));
    h.clock().ticks += 1000;  // one sound a second
    receive(u":bob!u@host PRIVMSG #chan :" + ctcp(u"ping 7"));
    h.clock().ticks += 1000;
    // Nothing after the argument's closing mark goes back.
    receive(u":eve!u@host PRIVMSG me :" + ctcp(u"PING 1") + u"DCC SEND x 1 2 3" + kMark);
    EXPECT_EQ(h.sentLines(), (Sent{"NOTICE bob :\x01PING 1189534078\x01",
                                   "NOTICE bob :\x01PING 7\x01", "NOTICE eve :\x01PING 1\x01"}));
    EXPECT_EQ(h.soundsPlayed(), (std::vector<std::string>{"ping.wav", "ping.wav", "ping.wav"}));
    EXPECT_EQ(h.lines(1), Lines{u"[bob:#chan PING]"});
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Ping));
    const Lines status = h.lines(0);
    ASSERT_GE(status.size(), 2u);
    EXPECT_EQ(status[status.size() - 2], u"[bob PING]");
    EXPECT_EQ(status.back(), u"[eve PING]");
    EXPECT_EQ(h.tabs().count(), 2);  // a private request opens no tab
}

TEST_F(MessagesTest, CtcpPingIsAnsweredThreeTimesPerTenSeconds) {
    receive(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 1"));
    h.clock().ticks += 9999;
    for (const char16_t* argument : {u"PING 2", u"PING 3", u"PING 4"}) {
        receive(u":bob!u@host PRIVMSG me :" + ctcp(argument));
    }
    EXPECT_EQ(h.sentLines().size(), 3u);
    EXPECT_EQ(h.lines(0).back(), u"[bob PING]");  // still shown
    h.clock().ticks += 1;
    receive(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 5"));
    EXPECT_EQ(h.sentLines().back(), "NOTICE bob :\x01PING 5\x01");
}

TEST_F(MessagesTest, CtcpPingReplyShowsTheRoundTrip) {
    struct Case {
        SystemTime utc;
        std::u16string sent;
        std::u16string shown;
    };
    // Expected seconds worked out independently of the client.
    const std::vector<Case> cases = {
        {{2007, 9, 2, 11, 18, 8, 0, 0}, u"1189534078", u"[bob PING reply]: 2secs"},
        {{2000, 3, 3, 1, 0, 0, 5, 0}, u"951868800", u"[bob PING reply]: 5secs"},
        {{2024, 2, 4, 29, 23, 59, 59, 0}, u"1709251199", u"[bob PING reply]: 0secs"},
        {{2040, 1, 0, 1, 0, 0, 3, 0}, u"2208988800", u"[bob PING reply]: 3secs"},  // past 2038
        {{1970, 1, 4, 1, 0, 0, 10, 0}, u"junk", u"[bob PING reply]: 10secs"},
    };
    for (const Case& c : cases) {
        h.clock().utc = c.utc;
        receive(u":bob!u@host NOTICE me :" + ctcp(u"PING " + c.sent));
        EXPECT_EQ(h.lines(0).back(), c.shown) << toUtf8(c.sent);
        EXPECT_EQ(h.lastColour(0), colourOf(LineClass::Ping));
    }
    EXPECT_TRUE(h.sentLines().empty());
}

TEST_F(MessagesTest, ActionsShowInChannelAndQuery) {
    receive(u":bob!u@host PRIVMSG #chan :" + ctcp(u"ACTION waves at you"));
    EXPECT_EQ(h.lines(1), Lines{u"* bob waves at you"});
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Action));

    receive(u":bob!u@host PRIVMSG me :" + ctcp(u"action smiles"));
    ASSERT_EQ(h.tabs().count(), 3);
    EXPECT_EQ(h.lines(2), Lines{u"* bob smiles"});
    EXPECT_EQ(h.soundsPlayed(), std::vector<std::string>{"query.wav"});
}

TEST_F(MessagesTest, IgnoredPrivateActionStillOpensTheQuery) {
    ignore(u"bob ");
    receive(u":bob!u@host PRIVMSG me :" + ctcp(u"ACTION smiles"));
    ASSERT_EQ(h.tabs().count(), 3);
    EXPECT_TRUE(h.lines(2).empty());
}

TEST_F(MessagesTest, OtherCtcpIsIgnored) {
    const std::size_t before = h.lines(0).size();
    for (const std::u16string& text : {
             ctcp(u"VERSION"),                 // no argument
             ctcp(u"PING"),                    // no argument
             kMark + u"ACTION waves",          // no closing mark
             kMark + u"PING 5",                // no closing mark
             ctcp(u"TIME now"),                // not understood
             ctcp(u"VERSION") + u" trailing",  // the blank is after the mark
             ctcp(u"PING") + u" 5",            // the blank is after the mark
         }) {
        receive(u":bob!u@host PRIVMSG #chan :" + text);
        receive(u":bob!u@host NOTICE #chan :" + text);
    }
    receive(u":bob!u@host NOTICE #chan :" + ctcp(u"ACTION waves"));  // an action in a notice
    EXPECT_TRUE(h.lines(1).empty());
    EXPECT_EQ(h.lines(0).size(), before);
    EXPECT_TRUE(h.sentLines().empty());
}

// A handler that runs out of memory reports it under its own name and drops
// the line; nothing escapes to the poll tick.
TEST_F(MessagesTest, OutOfMemoryIsReportedUnderTheHandlersName) {
    h.env.settings.putDword(kSettingsKey, u"debug", 1);
    h.settings().RegZapiszLONG(u"en_hlights", 1);
    h.settings().RegZapiszMsg(u"hlights", u"kolu ", kSpecialListSize);
    for (const char16_t* event : {u"notice", u"ping", u"highlight"}) {
        h.setSound(event, u"x.wav");
    }
    h.env.sound.outOfMemory = true;
    EXPECT_NO_THROW(receive(u":bob!u@host NOTICE #chan :hi"));
    EXPECT_NO_THROW(receive(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 5")));
    EXPECT_NO_THROW(receive(u":bob!u@host PRIVMSG #chan :hey kolu"));
    // A highlight that can't be completed leaves the line its own colour.
    EXPECT_EQ(h.lines(1), Lines{u"<bob> hey kolu"});
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Normal));
    const std::string log = h.env.settings.decodedLog();
    for (const std::string label : {"reply_NOTICE", "reply_mIRC_PING", "HighlightLine"}) {
        EXPECT_NE(log.find(label + "\t\tLocalAlloc : 0"), std::string::npos) << label;
    }
}

struct HighlightCase {
    std::int32_t enabled;
    std::u16string list;
    std::u16string text;
    bool highlighted;
};

TEST(HighlightLineTest, MatchesEntriesAsSubstringsIgnoringCase) {
    const std::u16string longEntry(260, u'a');
    const std::vector<HighlightCase> cases = {
        {1, u"ann ", u"hi joanna", true},
        {1, u"ANN ", u"Hi JoAnNa", true},
        {1, u"\u00c9t\u00e9 ", u"un \u00e9t\u00e9 chaud", true},
        {1, u"bob ann ", u"only ann here", true},
        {1, u"bob ann ", u"nobody", false},
        {1, u"ann", u"ann", false},  // no blank after it: not an entry
        {1, u"", u"ann", false},
        {1, u"bob  ", u"anything", false},  // empty entries are skipped
        {1, u" bob  ann ", u"hi ann", true},
        {0, u"ann ", u"ann", false},
        {-1, u"ann ", u"ann", true},  // a missing switch leaves highlighting on
        {1, longEntry + u" ", std::u16string(250, u'a'), true},  // entries are cut to 250
    };
    for (const HighlightCase& c : cases) {
        HandlerEnv h;
        h.settings().RegZapiszLONG(u"en_hlights", c.enabled);
        h.settings().RegZapiszMsg(u"hlights", c.list, kSpecialListSize);
        h.env.sound.played.clear();
        const Colour given = 0x123456;
        const Colour got = HighlightLine(h.context, c.text, given);
        EXPECT_EQ(got, c.highlighted ? h.env.colours.of(LineClass::Hlight) : given)
            << toUtf8(c.list) << " / " << toUtf8(c.text);
        EXPECT_EQ(h.soundsPlayed(), c.highlighted ? std::vector<std::string>{"highlight.wav"}
                                                  : std::vector<std::string>{});
    }
}

TEST_F(MessagesTest, HighlightedMessagesAndActionsUseTheHighlightColour) {
    h.settings().RegZapiszLONG(u"en_hlights", 1);
    h.settings().RegZapiszMsg(u"hlights", u"kolu ", kSpecialListSize);
    receive(u":bob!u@host PRIVMSG #chan :hey KOLU!");
    h.clock().ticks += 1000;  // one sound a second
    receive(u":bob!u@host PRIVMSG #chan :" + ctcp(u"ACTION pokes kolu"));
    receive(u":bob!u@host PRIVMSG #chan :plain");
    ASSERT_EQ(h.lines(1).size(), 3u);
    const TextLines* text = h.tabs().pobierz_hwndtxtbiez(1);
    EXPECT_EQ(text->line(0).colour, colourOf(LineClass::Hlight));
    EXPECT_EQ(text->line(1).colour, colourOf(LineClass::Hlight));
    EXPECT_EQ(text->line(2).colour, colourOf(LineClass::Normal));
    EXPECT_EQ(h.soundsPlayed(), (std::vector<std::string>{"highlight.wav", "highlight.wav"}));
}

}  // namespace
}  // namespace kolu
