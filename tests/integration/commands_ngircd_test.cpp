// The command line and the notify list against a real IRC server, with a second
// raw connection playing the other user: what it receives must be exactly what
// the user typed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "commands/command_parser.h"
#include "commands/input_line_model.h"
#include "commands/notify_list.h"
#include "platform/text.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

using std::chrono::milliseconds;
using test::RawIrcClient;

int countLines(const std::vector<std::u16string>& lines, std::u16string_view text) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

bool hasLineStartingWith(const std::vector<std::u16string>& lines, std::u16string_view start) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::u16string& line) { return line.starts_with(start); });
}

// What the other user receives from the client: the parameters of the first
// line of `command` sent by kolutest.
std::vector<std::string> receivedFromClient(RawIrcClient& other, const std::string& command,
                                            test::Millis timeout = test::kDefaultWait) {
    const auto line = other.waitFor(
        [&](const std::string& received) {
            return RawIrcClient::commandOf(received) == command &&
                   RawIrcClient::nickOf(received) == "kolutest";
        },
        timeout);
    return line ? RawIrcClient::paramsOf(*line) : std::vector<std::string>{};
}

class CommandsAgainstNgircd : public ::testing::Test {
  protected:
    void start(test::NgircdOptions options = {}) {
        server = std::make_unique<test::NgircdFixture>(options);
        env.useServer(server->port());
        env.setUser(u"kolutest", u"me@example.org", u"Kolu Tester");
        env.session.notify.NotifyList_Load();  // the list was set after the session started
        env.session.connection.connectCommand();
        ASSERT_NE(env.session.state.socket, kInvalidSocket) << server->log();
        ASSERT_TRUE(env.pollUntil([&] { return env.session.state.currentNick == u"kolutest"; }))
            << server->log();
    }
    void connectOther(RawIrcClient& other, const std::string& nick) {
        ASSERT_TRUE(other.connect(server->host(), server->port()));
        ASSERT_TRUE(other.login(nick));
    }
    int type(std::u16string_view text) {
        input.setText(text);
        return env.session.commands.parsuj(input);
    }
    // Joins through the command line and shows the channel's tab.
    void joinAndSelect(RawIrcClient& other, std::u16string_view channel) {
        env.session.tabs.select(0);
        type(u"/join " + std::u16string(channel));
        ASSERT_EQ(receivedFromClient(other, "JOIN"), std::vector<std::string>{toUtf8(channel)})
            << other.transcript();
        env.pollUntil([&] { return env.session.tabs.znajdz_zakladke(channel) != -1; },
                      milliseconds(1000));
        env.session.tabs.select(env.session.tabs.dodaj_zakladke(channel));
    }
    std::vector<std::u16string> statusLines() { return env.lines(0); }

    // Kolu and `other` in `channel`, which is Kolu's selected tab.
    void startWithOtherIn(RawIrcClient& other, std::u16string_view channel,
                          test::NgircdOptions options = {}) {
        start(options);
        connectOther(other, "other");
        ASSERT_TRUE(other.join(toUtf8(channel)));
        joinAndSelect(other, channel);
    }

    test::SessionEnv env;
    std::unique_ptr<test::NgircdFixture> server;
    InputLineModel input;
};

TEST_F(CommandsAgainstNgircd, TypedMessagesAndActionsReachTheChannelExactly) {
    RawIrcClient other;
    startWithOtherIn(other, u"#kolu");
    const int tab = env.session.tabs.znajdz_zakladke(u"#kolu");

    type(u"hello  there, za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105   ");
    EXPECT_EQ(receivedFromClient(other, "PRIVMSG"),
              (std::vector<std::string>{"#kolu",
                                        "hello  there, za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87"
                                        " g\xC4\x99\xC5\x9Bl\xC4\x85"}))
        << other.transcript();
    type(u"/me waves at other");
    EXPECT_EQ(receivedFromClient(other, "PRIVMSG"),
              (std::vector<std::string>{"#kolu",
                                        "\x01"
                                        "ACTION waves at other\x01"}))
        << other.transcript();
    type(u"/msg other just for you");
    EXPECT_EQ(receivedFromClient(other, "PRIVMSG"),
              (std::vector<std::string>{"other", "just for you"}));

    const std::vector<std::u16string> lines = env.lines(tab);
    EXPECT_EQ(countLines(lines,
                         u"<kolutest> hello  there, za\u017c\u00f3\u0142\u0107 g\u0119"
                         u"\u015bl\u0105"),
              1);
    EXPECT_EQ(countLines(lines, u"* kolutest waves at other"), 1);
    EXPECT_EQ(countLines(lines, u"-> *other* just for you"), 1);
}

TEST_F(CommandsAgainstNgircd, ALongMessageArrivesWholeInPiecesCutAtBlanks) {
    RawIrcClient other;
    startWithOtherIn(other, u"#kolu");
    std::u16string text;
    for (int i = 0; text.size() < 2000; ++i) {
        text += (text.empty() ? u"" : u" ") + (u"g\u0119\u015bl\u0105" + decimalText(i));
    }
    type(text);
    // Polled meanwhile, so lines the client holds back still go out.
    std::string received;
    env.pollUntil(
        [&] {
            const auto params = receivedFromClient(other, "PRIVMSG", milliseconds(20));
            if (params.size() == 2) {
                received += (received.empty() ? "" : " ") + params[1];
            }
            return received.size() >= toUtf8(text).size();
        },
        milliseconds(30000));
    EXPECT_EQ(received, toUtf8(text)) << other.transcript();
    type(u"still connected");
    EXPECT_EQ(receivedFromClient(other, "PRIVMSG"),
              (std::vector<std::string>{"#kolu", "still connected"}))
        << other.transcript();
}

TEST_F(CommandsAgainstNgircd, AFiftyLinePasteArrivesWholeAndInOrderUnderFloodLimits) {
    RawIrcClient other;
    test::NgircdOptions options;
    options.floodLimits = true;
    startWithOtherIn(other, u"#kolu", options);
    // Real pacing, only quicker than the default (a line per 2 s) to keep the test short; still
    // no faster than ngIRCd relays (about three lines a second past its burst).
    env.settings.settings.RegZapiszLONG(u"sendburst", 5);
    env.settings.settings.RegZapiszLONG(u"sendpace", 300);
    std::u16string paste;
    std::vector<std::string> expected;
    for (int i = 1; i <= 50; ++i) {
        paste += u"pasted line " + decimalText(i) + u"\r\n";
        expected.push_back("pasted line " + std::to_string(i));
    }
    env.host.yesNoAnswers = {true};
    type(paste);

    // The clock follows real time; while the pace timer runs, every poll does its work (the
    // pacer itself holds a line until it is due).
    const auto start = std::chrono::steady_clock::now();
    const std::uint32_t startTicks = env.settings.clock.ticks;
    std::optional<std::chrono::steady_clock::time_point> allSent;
    std::vector<std::string> received;
    env.pollUntil(
        [&] {
            const auto now = std::chrono::steady_clock::now();
            env.settings.clock.ticks =
                startTicks + static_cast<std::uint32_t>((now - start) / milliseconds(1));
            if (env.host.isRunning(kPaceTimer)) {
                env.session.connection.paceTick();
            }
            if (!allSent && !env.host.isRunning(kPaceTimer)) {
                allSent = now;
            }
            const auto params = receivedFromClient(other, "PRIVMSG", milliseconds(20));
            if (params.size() == 2) {
                received.push_back(params[1]);
            }
            return received.size() >= expected.size();
        },
        milliseconds(40000));
    EXPECT_EQ(received, expected) << other.transcript() << server->log();
    EXPECT_TRUE(env.session.state.connected);
    // ngIRCd holds back what comes too fast: sent all at once, the last line would arrive some
    // 15 s after it left Kolu; paced, it follows at once.
    ASSERT_TRUE(allSent);
    EXPECT_LT(std::chrono::steady_clock::now() - *allSent, std::chrono::seconds(5));
}

TEST_F(CommandsAgainstNgircd, TheUsersIsonAnswerIsShownOnce) {
    start();
    RawIrcClient other;
    connectOther(other, "other");
    type(u"/ison other nobody");
    EXPECT_TRUE(env.session.state.userIsonPending);
    ASSERT_TRUE(env.pollUntil([&] { return hasLineStartingWith(statusLines(), u"ison: "); }))
        << toUtf8(statusLines().back());
    env.pollUntil([] { return false; }, milliseconds(300));
    const std::vector<std::u16string> lines = statusLines();
    EXPECT_EQ(countLines(lines, u"ison: other"), 1);
    EXPECT_FALSE(hasLineStartingWith(lines, u"ison: other nobody"));
    EXPECT_FALSE(env.session.state.userIsonPending);
}

TEST_F(CommandsAgainstNgircd, TheNotifyListAnnouncesAnArrivalAndADeparture) {
    env.settings.settings.RegZapiszMsg(u"notify", u"Watched nobody ", kSpecialListSize);
    env.settings.settings.RegZapiszLONG(u"en_notify", 1);
    env.settings.settings.RegZapiszLONG(u"not_whois", 0);
    start();
    // A first answer with nobody online announces nothing.
    env.pollUntil([] { return false; }, milliseconds(300));
    EXPECT_FALSE(hasLineStartingWith(statusLines(), u"*** Watched"));

    RawIrcClient watched;
    connectOther(watched, "watched");
    ASSERT_TRUE(
        env.pollUntil([&] { return countLines(statusLines(), u"*** watched is on IRC") == 1; },
                      milliseconds(5000)));
    watched.quit();
    ASSERT_TRUE(
        env.pollUntil([&] { return countLines(statusLines(), u"*** watched has left IRC") == 1; },
                      milliseconds(5000)));
    EXPECT_EQ(countLines(statusLines(), u"*** watched is on IRC"), 1);
    EXPECT_FALSE(hasLineStartingWith(statusLines(), u"*** nobody"));
}

TEST_F(CommandsAgainstNgircd, QuitSendsTheMessageAndDoesNotReconnect) {
    env.settings.settings.RegZapiszLONG(u"reconnect", 1);
    RawIrcClient other;
    startWithOtherIn(other, u"#kolu");

    // As the main window does with the command line's answer.
    env.session.state.userQuit = type(u"/quit see you") != 0;
    EXPECT_TRUE(env.session.state.userQuit);
    const std::vector<std::string> quit = receivedFromClient(other, "QUIT");
    ASSERT_EQ(quit.size(), 1u) << other.transcript();
    EXPECT_NE(quit[0].find("see you"), std::string::npos) << quit[0];

    ASSERT_TRUE(env.pollUntil([&] { return env.session.state.socket == kInvalidSocket; }));
    env.pollUntil([] { return false; }, milliseconds(300));
    EXPECT_EQ(env.session.state.socket, kInvalidSocket);
    EXPECT_FALSE(env.host.isRunning(kRetryTimer));
    EXPECT_FALSE(env.session.state.userQuit);
}

}  // namespace
}  // namespace kolu
