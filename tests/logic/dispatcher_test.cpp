#include "protocol/dispatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/handler_env.h"

namespace kolu {
namespace {

using test::HandlerEnv;

const std::u16string kMark = u"\u0001";

int dispatch(HandlerEnv& h, std::u16string_view raw) {
    return DispatchReply(h.context, HandlerEnv::line(raw));
}

struct RouteCase {
    std::u16string line;
    int row;
    std::string handler;
};

TEST(DispatcherTest, EachLineGoesToTheFirstMatchingRow) {
    const std::vector<RouteCase> cases = {
        {u":a!u@h JOIN :#chan", 1, "reply_JOIN"},
        {u":a!u@h join #chan", 1, "reply_JOIN"},
        {u":a!u@h PART #chan :bye", 2, "reply_PART"},
        {u":a!u@h NICK :new", 3, "reply_NICK"},
        {u"ERROR :Closing Link: host (Quit: x)", 4, "reply_Disconnected"},
        {u"error :closing LINK: host", 4, "reply_Disconnected"},
        {u"ERROR :Closing Link:", 4, "reply_Disconnected"},
        {u"ERROR :Closing link now", 14, "status"},
        {u"ERROR :Your host is trying to (re)connect too fast", 14, "status"},
        {u":a!u@h QUIT :gone", 5, "reply_QUIT"},
        {u":a!u@h TOPIC #chan :new topic", 6, "reply_TOPIC"},
        {u":a!u@h INVITE me :#chan", 7, "reply_INVITE"},
        {u":a!u@h KICK #chan b :out", 8, "reply_KICK"},
        {u":a!u@h MODE #chan +o b", 9, "reply_MODE"},
        {u":a!u@h NOTICE me :hi", 10, "reply_NOTICE"},
        {u":a!u@h NOTICE me :" + kMark + u"PING 1" + kMark, 10, "Parsuj_mIRC"},
        {u":a!u@h PRIVMSG #chan :hello there", 11, "reply_PRIVMSG"},
        {u":a!u@h privmsg #chan :hi", 11, "reply_PRIVMSG"},
        {u":a!u@h PRIVMSG #chan :" + kMark + u"ACTION waves" + kMark, 11, "Parsuj_mIRC"},
        {u":a!u@h PRIVMSG #chan :hi " + kMark, 11, "reply_PRIVMSG"},
        {u"PING :abc123", 12, "reply_PING"},
        {u"ping abc", 12, "reply_PING"},
        {u":srv PING :abc", 14, "status"},
        {u":srv 001 me :Welcome", 13, "reply_numeric"},
        {u":srv 433 * kolu :Nickname is already in use", 13, "reply_numeric"},
        {u":srv 5x me :text", 13, "reply_numeric"},
        {u":srv 000 me :text", 14, "status"},
        {u":srv -5 me :text", 14, "status"},
        {u":srv abc me :text", 14, "status"},
        {u":srv CAP * LS :multi-prefix", 14, "status"},
        {u"NOTICE AUTH :*** Looking up your hostname", 14, "status"},
        {u"JOIN", 14, "status"},
        // First match wins: earlier rows are tested before later ones.
        {u"PING JOIN x", 1, "reply_JOIN"},
        {u"ERROR QUIT x", 5, "reply_QUIT"},
        {u"PING PRIVMSG x :y", 11, "reply_PRIVMSG"},
        {u"PING 001 x", 12, "reply_PING"},
        {u"ERROR Closing Link: x", 4, "reply_Disconnected"},
    };
    for (const RouteCase& c : cases) {
        const ReplyRoute route = routeReply(HandlerEnv::line(c.line));
        EXPECT_EQ(route.row, c.row) << toUtf8(c.line);
        EXPECT_EQ(route.name, c.handler) << toUtf8(c.line);
    }
}

TEST(DispatcherTest, NumericsGoToTheirHandlers) {
    const std::vector<std::pair<std::int32_t, std::string>> cases = {
        {301, "UserIsAway"},     {303, "reply_ISON"},   {311, "HostFromWhoisAutoban"},
        {312, "HideWhois"},      {317, "HideWhois"},    {319, "HideWhois"},
        {338, "HideWhois"},      {318, "EndOfWhois"},   {331, "ShowNoTopic"},
        {332, "ShowTopic"},      {333, "TopicSetBy"},   {341, "ShowInvited"},
        {353, "wypelnij_liste"}, {366, "koniec_listy"}, {367, "ban2list"},
        {368, "EndOfBanList"},   {372, "ShowMotd"},     {375, "ShowMotd"},
        {376, "ShowMotd"},       {432, "NickClash"},    {433, "NickClash"},
        {1, "status"},           {5, "ServerFeatures"}, {302, "status"},
        {401, "status"},         {434, "status"},       {2147483647, "status"},
    };
    for (const auto& [number, handler] : cases) {
        EXPECT_EQ(routeNumeric(number).name, handler) << number;
    }
}

TEST(DispatcherTest, WordNumberReadsLeadingDigits) {
    const std::vector<std::pair<std::u16string, std::int32_t>> cases = {
        {u"001", 1},
        {u"433", 433},
        {u"PRIVMSG", 0},
        {u"", 0},
        {u"5x", 5},
        {u"+7", 7},
        {u"-12", -12},
        {u"\t42", 42},
        {u"x5", 0},
        {u"99999999999", 2147483647},
        {u"-99999999999", -2147483647 - 1},
        {std::u16string(10000, u'9'), 2147483647},
    };
    for (const auto& [word, value] : cases) {
        EXPECT_EQ(wordNumber(word), value) << toUtf8(word);
    }
}

struct TrackCase {
    std::u16string current;
    std::u16string line;
    std::u16string expectedCurrent;
    std::u16string expectedWanted;  // the wanted nickname starts as "wanted"
};

TEST(DispatcherTest, TrackNicknameLearnsTheNicknameFromLogin) {
    const std::vector<TrackCase> cases = {
        {u"", u":srv 001 me :Welcome", u"me", u""},
        {u"me", u":srv 005 me2 :supported", u"me2", u"wanted"},
        {u"", u":srv 099 x :y", u"x", u""},
        {u"", u":srv 0001 me", u"me", u""},
        {u"", u":srv 001", u"", u"wanted"},
        {u"", u":srv NOTICE AUTH :*** Looking up your hostname", u"", u"wanted"},
        {u"", u":srv notice auth :x", u"", u"wanted"},
        {u"", u":srv NOTICE * :*** Checking ident", u"", u"wanted"},
        {u"", u":srv 433 * kolu :in use", u"", u"wanted"},
        {u"", u":srv NOTICE me :hi", u"me", u""},
        {u"", u":srv 100 me :hi", u"me", u""},
        {u"old", u":srv NOTICE me :hi", u"old", u"wanted"},
        {u"", u"PING :x", u"", u"wanted"},
        {u"", u":srv 001 ME :Welcome", u"ME", u""},
        // Not nicknames: the placeholder of a login reply and unprefixed server lines.
        {u"", u":srv 020 * :Please wait while we process your connection", u"", u"wanted"},
        {u"", u"NOTICE AUTH :*** Looking up your hostname", u"", u"wanted"},
        {u"", u"ERROR :Closing Link: kolu (Bye)", u"", u"wanted"},
    };
    for (const TrackCase& c : cases) {
        HandlerEnv h;
        h.state().currentNick = c.current;
        h.state().wantedNick = u"wanted";
        EXPECT_EQ(TrackNickname(h.state(), HandlerEnv::line(c.line)), 1);
        EXPECT_EQ(h.state().currentNick, c.expectedCurrent) << toUtf8(c.line);
        EXPECT_EQ(h.state().wantedNick, c.expectedWanted) << toUtf8(c.line);
    }
}

TEST(DispatcherTest, TrackNicknameCutsAnOverlongNickToItsBuffer) {
    HandlerEnv h;
    TrackNickname(h.state(), HandlerEnv::line(u":srv 001 " + std::u16string(10000, u'n')));
    EXPECT_EQ(h.state().currentNick, std::u16string(kNickCapacity - 1, u'n'));
}

TEST(DispatcherTest, DispatchLearnsTheNicknameBeforeHandling) {
    HandlerEnv h;
    h.state().wantedNick = u"me";
    EXPECT_EQ(dispatch(h, u":srv 001 me :Welcome to the network"), 1);
    EXPECT_EQ(h.state().currentNick, u"me");
    EXPECT_TRUE(h.state().wantedNick.empty());
    EXPECT_EQ(h.lines().back(), u"Welcome to the network");
    EXPECT_EQ(h.lastColour(), h.env.colours.of(LineClass::Normal));
}

TEST(DispatcherTest, UnknownLinesAndNumericsShowWordThree) {
    HandlerEnv h;
    const std::size_t before = h.lines().size();
    dispatch(h, u":srv CAP * LS :multi-prefix sasl");
    dispatch(h, u":srv 401 me bob :No such nick");
    dispatch(h, u":srv PING :not a ping");
    dispatch(h, u"ERROR :Closing");
    const std::vector<std::u16string> lines = h.lines();
    ASSERT_EQ(lines.size(), before + 4);
    EXPECT_EQ(lines[before], u"LS :multi-prefix sasl");
    EXPECT_EQ(lines[before + 1], u"bob :No such nick");
    EXPECT_EQ(lines[before + 2], u"a ping");
    EXPECT_EQ(lines[before + 3], u"");
    EXPECT_TRUE(h.sentLines().empty());  // the prefixed PING is not answered
}

TEST(DispatcherTest, MessageOfTheDayFollowsSkipmotd) {
    struct Case {
        const char* label;
        void (*set)(HandlerEnv&);
        bool shown;
    };
    const std::vector<Case> cases = {
        {"0", [](HandlerEnv& h) { h.settings().RegZapiszLONG(u"skipmotd", 0); }, true},
        {"1", [](HandlerEnv& h) { h.settings().RegZapiszLONG(u"skipmotd", 1); }, false},
        {"-1", [](HandlerEnv& h) { h.settings().RegZapiszLONG(u"skipmotd", -1); }, false},
        // A value of another type reads as missing.
        {"missing",
         [](HandlerEnv& h) { h.env.settings.putString(kSettingsKey, u"skipmotd", u"0"); }, false},
    };
    for (const Case& c : cases) {
        HandlerEnv h;
        c.set(h);
        const std::size_t before = h.lines().size();
        dispatch(h, u":srv 375 me :- srv Message of the day -");
        dispatch(h, u":srv 372 me :- hello");
        dispatch(h, u":srv 376 me :End of MOTD");
        const std::vector<std::u16string> lines = h.lines();
        if (c.shown) {
            EXPECT_EQ(std::vector<std::u16string>(lines.begin() + before, lines.end()),
                      (std::vector<std::u16string>{u"- srv Message of the day -", u"- hello",
                                                   u"End of MOTD"}))
                << c.label;
        } else {
            EXPECT_EQ(lines.size(), before) << c.label;
        }
    }
}

class NickClashTest : public ::testing::Test {
  protected:
    NickClashTest() {
        h.state().wantedNick = u"kolu1";
        h.settings().RegZapiszMsg(u"alternick", u"kolu2", kAlternickSize);
    }
    void clash() { dispatch(h, u":srv 433 * kolu1 :Nickname is already in use"); }

    HandlerEnv h;
};

TEST_F(NickClashTest, TriesTheAlternativeOnceThenAsks) {
    clash();
    EXPECT_EQ(h.lines().back(), u"kolu1 :Nickname is already in use");
    EXPECT_EQ(h.state().wantedNick, u"kolu2");
    EXPECT_EQ(h.commands.calls,
              (std::vector<test::RecordingCommands::Call>{{u"/NICK kolu2", u""}}));
    EXPECT_TRUE(h.env.host.prompts.empty());

    h.env.host.textAnswers = {u"mine"};
    clash();
    ASSERT_EQ(h.env.host.prompts.size(), 1u);
    EXPECT_EQ(h.env.host.prompts[0].commandId, 432);
    EXPECT_EQ(h.env.host.prompts[0].title, u"Nickname already in use");
    EXPECT_EQ(h.env.host.prompts[0].prompt, u"Enter a new nick:");
    EXPECT_EQ(h.state().wantedNick, u"mine");
    ASSERT_EQ(h.commands.calls.size(), 2u);
    EXPECT_EQ(h.commands.calls[1].command, u"/NICK mine");
    EXPECT_TRUE(h.state().connected);

    // The answer is the new wanted nickname; once that is taken too, the
    // alternative is tried again before asking.
    clash();
    EXPECT_EQ(h.commands.calls.back().command, u"/NICK kolu2");
}

TEST_F(NickClashTest, CancellingThePromptOrAnEmptyAnswerDisconnectsWithoutReconnecting) {
    for (const std::optional<std::u16string>& answer :
         {std::optional<std::u16string>(), std::optional<std::u16string>(u"  ")}) {
        HandlerEnv fresh;
        fresh.settings().RegZapiszMsg(u"alternick", u"kolu2", kAlternickSize);
        fresh.state().wantedNick = u"KOLU2";  // the alternative, whatever its case, was tried
        if (answer) {
            fresh.env.host.textAnswers = {*answer};
        }
        dispatch(fresh, u":srv 433 * kolu1 :Nickname is already in use");
        EXPECT_EQ(fresh.env.host.prompts.size(), 1u);
        EXPECT_TRUE(fresh.commands.calls.empty());
        EXPECT_FALSE(fresh.state().connected);
        EXPECT_TRUE(fresh.state().userQuit);
        EXPECT_TRUE(fresh.sentLines().empty());
    }
}

TEST_F(NickClashTest, MissingOrEmptyAlternativeGoesStraightToThePrompt) {
    const std::vector<std::u16string> values = {u"", std::u16string(30, u'a')};  // 30 doesn't fit
    for (const std::u16string& value : values) {
        HandlerEnv env;
        env.state().wantedNick = u"kolu1";
        env.settings().RegZapiszMsg(u"alternick", value, 200);
        env.env.host.textAnswers = {u"other"};
        dispatch(env, u":srv 432 * kolu1 :Erroneous nickname");
        EXPECT_EQ(env.env.host.prompts.size(), 1u) << value.size();
        EXPECT_EQ(env.state().wantedNick, u"other");
        EXPECT_EQ(env.commands.calls,
                  (std::vector<test::RecordingCommands::Call>{{u"/NICK other", u""}}));
    }
}

TEST_F(NickClashTest, OutOfMemoryIsReportedAndGoesNoFurther) {
    h.env.settings.putDword(kSettingsKey, u"debug", 1);
    h.state().wantedNick = u"kolu2";
    h.env.host.outOfMemory = true;
    EXPECT_NO_THROW(clash());
    EXPECT_NE(h.env.settings.decodedLog().find("NickClash\t\tLocalAlloc : 0"), std::string::npos);
}

TEST_F(NickClashTest, AfterLoginOnlyShowsTheText) {
    h.state().currentNick = u"me";
    dispatch(h, u":srv 433 me kolu1 :Nickname is already in use");
    EXPECT_EQ(h.lines().back(), u"kolu1 :Nickname is already in use");
    EXPECT_TRUE(h.commands.calls.empty());
    EXPECT_TRUE(h.env.host.prompts.empty());
    EXPECT_EQ(h.state().wantedNick, u"kolu1");
}

TEST_F(NickClashTest, WithoutACommandLineTheNickLineIsSentDirectly) {
    h.context.commands = nullptr;
    clash();
    h.env.host.textAnswers = {u"mine"};
    clash();
    EXPECT_EQ(h.sentLines(), (std::vector<std::string>{"NICK kolu2", "NICK mine"}));
}

TEST_F(NickClashTest, SessionDispatcherSendsTheAlternative) {
    // The session's own context has no command line attached yet.
    h.env.session.state.wantedNick = u"kolu1";
    h.env.session.dispatcher.DispatchReply(HandlerEnv::line(u":srv 433 * kolu1 :in use"));
    EXPECT_EQ(h.sentLines(), std::vector<std::string>{"NICK kolu2"});
}

TEST(DispatcherTest, HostileLinesDoNotCrash) {
    const std::u16string big(10000, u'x');
    const std::u16string nul(1, u'\0');
    std::vector<std::u16string> lines = {
        u":",
        u":::",
        u"::: :: :",
        u" ",
        u"  ",
        u"PING",
        u"PING :",
        u":a PRIVMSG",
        u":a PRIVMSG #c",
        u":a PRIVMSG #c :",
        u":a PRIVMSG me :" + kMark,
        u":a PRIVMSG me :" + kMark + kMark,
        u":a PRIVMSG me :" + kMark + u" " + kMark,
        u":a NOTICE me :" + kMark + u"PING " + kMark,
        u":a NOTICE me :" + kMark + u"PING",
        u":a PRIVMSG #../../x :hi",
        u":a!b@c PRIVMSG me :hi\rthere",
        u":srv 001 me :welcome",
        u"ERROR :Closing Link:",
        u":a JOIN",
        u":a KICK",
        u":a MODE",
        u":a MODE #c",
        u":a MODE #c +ooo",
        u":a TOPIC",
        u":a NICK",
        u":a QUIT",
        u":a INVITE",
        u":a PART",
        big,
        big + u" " + big + u" " + big + u" " + big,
        u":" + big + u" PRIVMSG me :" + big,
        u":a PRIVMSG " + big + u" :" + big,
        u":a" + nul + u"b PRIVMSG me :x" + nul + u"y",
        u"PING :" + nul + u"x",
        u":a PRIVMSG me :" + kMark + u"ACTION " + big + kMark,
        u":a PRIVMSG me :" + kMark + u"PING " + big + kMark,
        u":a NOTICE me :" + kMark + u"PING " + big + kMark,
    };
    for (int numeric : {1,   5,   301, 303, 311, 312, 317, 318, 319, 331, 332, 333,
                        338, 341, 353, 366, 367, 368, 372, 375, 376, 401, 432, 433}) {
        std::string digits = std::to_string(numeric);
        std::u16string number(digits.begin(), digits.end());
        lines.push_back(u":srv " + number);
        lines.push_back(u":srv " + number + u" me");
        lines.push_back(u":srv " + number + u" me :");
        lines.push_back(u":srv " + number + u" me " + big);
        lines.push_back(u":srv " + number + u" me = #c :" + big);
        lines.push_back(u":srv " + number + u" " + big + u" " + big + u" " + big);
    }
    HandlerEnv h;
    h.env.host.textAnswers = {u"n1", u"n2", u"n3"};
    for (const std::u16string& line : lines) {
        EXPECT_EQ(dispatch(h, line), 1);
    }
    // Everything sent is whole lines without a stray CR or NUL.
    for (const std::string& sent : h.sentLines()) {
        EXPECT_EQ(sent.find_first_of(std::string("\r\0", 2)), std::string::npos);
    }
}

}  // namespace
}  // namespace kolu
