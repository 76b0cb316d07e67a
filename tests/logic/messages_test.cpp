#include "protocol/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/text.h"
#include "protocol/dispatcher.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using test::HandlerEnv;
using Lines = std::vector<std::u16string>;
using Sent = std::vector<std::string>;
using Sounds = std::vector<std::string>;

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
        h.env.sound.played.clear();
    }
    // Past the one-sound-a-second limit.
    void later() { h.clock().ticks += 1000; }
    Colour colourOf(LineClass lineClass) const { return h.env.colours.of(lineClass); }
    void highlight(std::int32_t enabled, std::u16string_view list) {
        h.settings().RegZapiszLONG(u"en_hlights", enabled);
        h.settings().RegZapiszMsg(u"hlights", list, kSpecialListSize);
    }

    HandlerEnv h;
};

TEST_F(MessagesTest, MessagesGoToTheirTabAndAPrivateOneOpensAQueryOnce) {
    h.dispatch(u":bob!u@host privmsg #Chan :hi there");  // commands in any case
    h.dispatch(u":bob!u@host PRIVMSG #other :lost");
    EXPECT_EQ(h.lines(u"#chan"), Lines{u"<bob> hi there"});
    EXPECT_EQ(h.lines(0), Lines{u"<bob> lost"});  // no such tab: the status tab
    h.dispatch(u":bob!u@host PRIVMSG me :hi");
    h.dispatch(u":Bob!u@host PRIVMSG ME :again");
    EXPECT_EQ(h.lines(u"bob"), (Lines{u"<bob> hi", u"<Bob> again"}));
    EXPECT_EQ(h.soundsPlayed(), Sounds{"query.wav"});
    // Before login an empty target is not the client's: no tab for its sender.
    h.state().currentNick.clear();
    h.dispatch(u":eve!u@host PRIVMSG  :x");
    EXPECT_EQ(h.tabs().count(), 3);
}

TEST_F(MessagesTest, IgnoredSendersAreDropped) {
    h.settings().RegZapiszLONG(u"en_ignore", 1);
    h.settings().RegZapiszMsg(u"ignore", u"alice BOB ", kSpecialListSize);
    h.dispatch(u":bob!u@host PRIVMSG me :hi");
    h.dispatch(u":bob!u@host NOTICE #chan :hi");
    h.dispatch(u":bob!u@host PRIVMSG #chan :" + ctcp(u"PING 5"));
    h.dispatch(u":bob!u@host NOTICE me :" + ctcp(u"PING 5"));
    EXPECT_EQ(h.tabs().count(), 2);
    EXPECT_TRUE(h.lines(1).empty());
    EXPECT_TRUE(h.lines(0).empty());
    EXPECT_TRUE(h.soundsPlayed().empty());
    EXPECT_TRUE(h.sockets.sentLines().empty());
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(u"ACTION smiles"));
    EXPECT_TRUE(h.lines(u"bob").empty());
}

TEST_F(MessagesTest, NoticesFollowTheirTarget) {
    h.tabs().dodaj_zakladke(u"bob");
    h.tabs().select(2);
    h.env.sound.played.clear();  // the new tab's
    h.dispatch(u":bob!u@host NOTICE #chan :channel text");
    EXPECT_EQ(h.lines(1), Lines{u"-bob:#chan- channel text"});
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Notice));
    later();
    h.dispatch(u":bob!u@host NOTICE me :to me");
    EXPECT_EQ(h.lines(2), Lines{u"-bob- to me"});  // the selected tab
    EXPECT_EQ(h.soundsPlayed(), (Sounds{"notice.wav", "notice.wav"}));
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
    EXPECT_EQ(h.tabs().count(), 12);
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

// A server PING is shown only when hideping is 0.
TEST_F(MessagesTest, PingsAreAnsweredAndEchoedTokensNeverCarryALineEnd) {
    h.settings().RegZapiszLONG(u"hideping", -1);
    h.dispatch(u"PING :abc\rQUIT :bye");
    EXPECT_TRUE(h.lines(0).empty());
    h.settings().RegZapiszLONG(u"hideping", 0);
    h.dispatch(std::u16string(u"PING :x") + u'\0' + u"QUIT");
    EXPECT_EQ(h.lines(0), Lines{u"PING? PONG!"});
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 1\rQUIT :bye"));
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(std::u16string(u"PING 2") + u'\0' + u"QUIT"));
    EXPECT_EQ(h.sockets.sentLines(),
              (Sent{"PONG :abc", "PONG :x", "NOTICE bob :\x01PING 1", "NOTICE bob :\x01PING 2"}));
}

TEST_F(MessagesTest, CtcpPingIsAnsweredWithItsArgumentOnlyThreeTimesPerTenSeconds) {
    h.dispatch(u":bob!u@host PRIVMSG #chan :" + ctcp(u"ping 7"));
    later();
    // Nothing after the argument's closing mark goes back.
    h.dispatch(u":eve!u@host PRIVMSG me :" + ctcp(u"PING 1") + u"DCC SEND x 1 2 3" + kMark);
    EXPECT_EQ(h.sockets.sentLines(),
              (Sent{"NOTICE bob :\x01PING 7\x01", "NOTICE eve :\x01PING 1\x01"}));
    EXPECT_EQ(h.soundsPlayed(), (Sounds{"ping.wav", "ping.wav"}));
    EXPECT_EQ(h.lines(1), Lines{u"[bob:#chan PING]"});
    EXPECT_EQ(h.lines(0), Lines{u"[eve PING]"});
    EXPECT_EQ(h.tabs().count(), 2);  // a private request opens no tab

    h.clock().ticks += 8999;  // 9.999 s after the first
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 2"));
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 3"));
    EXPECT_EQ(h.sockets.sentLines().size(), 3u);
    h.clock().ticks += 1;
    h.dispatch(u":bob!u@host PRIVMSG me :" + ctcp(u"PING 4"));
    EXPECT_EQ(h.sockets.sentLines().back(), "NOTICE bob :\x01PING 4\x01");
}

TEST_F(MessagesTest, CtcpPingReplyShowsTheRoundTrip) {
    // 2040-01-01 00:00:03 UTC, past 2038; a junk argument counts from 1970.
    h.clock().utc = {2040, 1, 0, 1, 0, 0, 3, 0};
    h.dispatch(u":bob!u@host NOTICE me :" + ctcp(u"PING 2208988800"));
    EXPECT_EQ(h.lines(0).back(), u"[bob PING reply]: 3secs");
    h.clock().utc = {1970, 1, 4, 1, 0, 0, 10, 0};
    h.dispatch(u":bob!u@host NOTICE me :" + ctcp(u"PING junk"));
    EXPECT_EQ(h.lines(0).back(), u"[bob PING reply]: 10secs");
    EXPECT_TRUE(h.sockets.sentLines().empty());  // a reply is not answered
}

TEST_F(MessagesTest, ActionsShowInChannelAndQueryAndOtherCtcpIsIgnored) {
    h.dispatch(u":bob!u@host PRIVMSG #chan :" + ctcp(u"ACTION waves at you"));
    EXPECT_EQ(h.lines(1), Lines{u"* bob waves at you"});
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Action));
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
    EXPECT_EQ(h.lines(1).size(), 1u);
    EXPECT_TRUE(h.lines(0).empty());
    EXPECT_TRUE(h.sockets.sentLines().empty());
}

TEST_F(MessagesTest, HighlightsMatchEntriesAsSubstringsIgnoringCase) {
    const std::tuple<std::int32_t, std::u16string, std::u16string, bool> cases[] = {
        {1, u" bob  \u00c9t\u00e9 ", u"un \u00e9T\u00c9 chaud", true},  // empty entries skipped
        {1, u"ann", u"ann", false},  // no blank after it: not an entry
        {0, u"ann ", u"ann", false},
        {-1, u"ann ", u"joanna", true},  // a missing switch leaves highlighting on
        {1, std::u16string(260, u'a') + u" ", std::u16string(250, u'a'), true},  // cut to 250
    };
    for (const auto& [enabled, list, text, highlighted] : cases) {
        highlight(enabled, list);
        h.env.sound.played.clear();
        later();
        EXPECT_EQ(HighlightLine(h.context, text, 0x123456),
                  highlighted ? colourOf(LineClass::Hlight) : 0x123456)
            << toUtf8(list) << " / " << toUtf8(text);
        EXPECT_EQ(h.soundsPlayed(), highlighted ? Sounds{"highlight.wav"} : Sounds{});
    }
    highlight(1, u"kolu ");
    h.dispatch(u":bob!u@host PRIVMSG #chan :" + ctcp(u"ACTION pokes KOLU"));
    EXPECT_EQ(h.lastColour(1), colourOf(LineClass::Hlight));
}

}  // namespace
}  // namespace kolu
