#include "protocol/dispatcher.h"
#include "protocol/reply.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/text.h"
#include "tests/logic/logic_util.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using test::HandlerEnv;
using Calls = std::vector<test::RecordingCommands::Call>;

TEST(Tokeniser, SplitsLinesIntoAtMostFourWords) {
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
        {u"a:b c:d", {"a:b", "c:d"}},
        {u":", {""}},
        {u" lead", {"", "lead"}},
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
}

TEST(DispatcherTest, WordNumberReadsLeadingDigitsAndHoldsAtTheLimits) {
    const std::pair<std::u16string, std::int32_t> cases[] = {
        {u"5x", 5},
        {u"\t+7", 7},
        {u"-12", -12},
        {u"x5", 0},
        {u"-99999999999", -2147483647 - 1},
        {std::u16string(10000, u'9'), 2147483647},
    };
    for (const auto& [word, value] : cases) {
        EXPECT_EQ(wordNumber(word), value) << toUtf8(word);
    }
}

TEST(DispatcherTest, TrackNicknameLearnsTheNicknameFromLogin) {
    // Current nickname, line, then the current and wanted ones (which start as "wanted").
    const std::tuple<std::u16string, std::u16string, std::u16string, std::u16string> cases[] = {
        {u"", u":srv 001 me :Welcome", u"me", u""},
        {u"me", u":srv 005 me2 :supported", u"me2", u"wanted"},
        {u"", u":srv 001", u"", u"wanted"},
        {u"", u":srv notice auth :x", u"", u"wanted"},
        {u"", u":srv 433 * kolu :in use", u"", u"wanted"},
        // Some servers address the client before any login reply.
        {u"", u":srv NOTICE me :hi", u"me", u""},
        {u"old", u":srv 100 me :hi", u"old", u"wanted"},
        {u"", u"NOTICE AUTH :*** Looking up your hostname", u"", u"wanted"},  // no prefix
    };
    for (const auto& [current, line, expectedCurrent, expectedWanted] : cases) {
        SessionState state;
        state.currentNick = current;
        state.wantedNick = u"wanted";
        TrackNickname(state, HandlerEnv::line(line));
        EXPECT_EQ(state.currentNick, expectedCurrent) << toUtf8(line);
        EXPECT_EQ(state.wantedNick, expectedWanted) << toUtf8(line);
    }
    SessionState state;
    TrackNickname(state, HandlerEnv::line(u":srv 001 " + std::u16string(10000, u'n')));
    EXPECT_EQ(state.currentNick, std::u16string(kNickCapacity - 1, u'n'));
}

TEST(DispatcherTest, UnknownLinesAndNumericsShowWordThree) {
    HandlerEnv h;
    h.dispatch(u":srv CAP * LS :multi-prefix sasl");
    h.dispatch(u":srv 401 me bob :No such nick");
    h.dispatch(u":srv PING :not a ping");
    h.dispatch(u"ERROR :Closing link now");
    h.dispatch(u":srv 000 me :zero");
    EXPECT_EQ(h.lines(),
              (std::vector<std::u16string>{u"LS :multi-prefix sasl", u"bob :No such nick",
                                           u"a ping", u"now", u"zero"}));
    EXPECT_TRUE(h.state().connected);
    EXPECT_TRUE(h.sockets.sentLines().empty());  // the prefixed PING is not answered
}

// Against a real server skipmotd 0 shows it; any other value, or none, hides it.
TEST(DispatcherTest, MessageOfTheDayIsHiddenUnlessSkipmotdIsZero) {
    for (const std::int32_t skip : {1, -1}) {
        HandlerEnv h;
        h.settings().RegZapiszLONG(u"skipmotd", skip);
        h.dispatch(u":srv 375 me :- srv Message of the day -");
        h.dispatch(u":srv 372 me :- hello");
        h.dispatch(u":srv 376 me :End of MOTD");
        EXPECT_TRUE(h.lines().empty()) << skip;
    }
}

TEST(NickClash, TriesTheAlternativeOnceThenAsks) {
    HandlerEnv h;
    h.state().wantedNick = u"kolu1";
    h.settings().RegZapiszMsg(u"alternick", u"kolu2", kAlternickSize);
    const auto clash = [&] { h.dispatch(u":srv 433 * kolu1 :Nickname is already in use"); };
    h.state().currentNick = u"me";  // after the login a clash only shows its text
    h.dispatch(u":srv 433 me kolu1 :Nickname is already in use");
    EXPECT_TRUE(h.commands.calls.empty());
    h.state().currentNick.clear();
    clash();
    EXPECT_EQ(h.commands.calls, (Calls{{u"/NICK kolu2", u""}}));
    EXPECT_TRUE(h.env.host.prompts.empty());

    h.env.host.textAnswers = {u"mine"};
    clash();
    ASSERT_EQ(h.env.host.prompts.size(), 1u);
    EXPECT_EQ(h.env.host.prompts[0].commandId, 432);
    EXPECT_EQ(h.commands.calls.back().command, u"/NICK mine");

    // The answer is the new wanted nickname; once that is taken too, the
    // alternative is tried again before asking.
    clash();
    EXPECT_EQ(h.commands.calls.back().command, u"/NICK kolu2");

    // Without a command line the nick lines are sent directly.
    h.context.commands = nullptr;
    h.env.host.textAnswers = {u"last"};
    clash();
    clash();
    EXPECT_EQ(h.sockets.sentLines(), (std::vector<std::string>{"NICK last", "NICK kolu2"}));
}

// The alternative (whatever its case) was tried, or there is none to try: the
// prompt decides, and cancelling or a blank answer disconnects for good.
TEST(NickClash, WithNoAlternativeLeftThePromptDecides) {
    const std::tuple<std::u16string, std::optional<std::u16string>, Calls> cases[] = {
        {u"kolu2", std::nullopt, {}},
        {u"kolu2", u"  ", {}},
        {u"", u"other", {{u"/NICK other", u""}}},
        {std::u16string(30, u'a'), u"other", {{u"/NICK other", u""}}},  // too long to read
    };
    for (const auto& [alternick, answer, calls] : cases) {
        HandlerEnv h;
        h.state().wantedNick = u"KOLU2";
        h.settings().RegZapiszMsg(u"alternick", alternick, 200);
        if (answer) {
            h.env.host.textAnswers = {*answer};
        }
        h.dispatch(u":srv 432 * kolu1 :Erroneous nickname");
        EXPECT_EQ(h.env.host.prompts.size(), 1u);
        EXPECT_EQ(h.commands.calls, calls) << toUtf8(alternick);
        EXPECT_EQ(h.state().connected, !calls.empty());
        EXPECT_EQ(h.state().userQuit, calls.empty());
    }
}

}  // namespace
}  // namespace kolu
