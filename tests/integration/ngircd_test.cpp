// The client against a real IRC server (ngIRCd), with raw connections playing the other users.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "commands/command_parser.h"
#include "commands/input_line_model.h"
#include "connection/tls_trust.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

using std::chrono::milliseconds;
using test::RawIrcClient;
using Lines = std::vector<std::u16string>;

constexpr std::u16string_view kWelcome = u"Welcome to the Internet Relay Network";

int count(const Lines& lines, std::u16string_view text) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}
bool contains(const Lines& lines, std::u16string_view text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::u16string& line) { return line.find(text) != line.npos; });
}

// The parameters of the next `command` the other user gets from the client.
std::vector<std::string> heard(RawIrcClient& other, const std::string& command,
                               test::Millis timeout = test::kDefaultWait) {
    const auto line = other.waitFor(
        [&](const std::string& received) {
            return RawIrcClient::commandOf(received) == command &&
                   RawIrcClient::nickOf(received) == "kolu";
        },
        timeout);
    return line ? RawIrcClient::paramsOf(*line) : std::vector<std::string>{};
}

class AgainstNgircd : public ::testing::Test {
  protected:
    // Starts the server and lists it (at `host`, or its TLS port) as the client's only server.
    void serve(const std::string& host = "127.0.0.1") {
        server = std::make_unique<test::NgircdFixture>(options);
        const std::string port =
            options.tls ? "+" + std::to_string(server->tlsPort()) : std::to_string(server->port());
        env.useServer(server->port(), options.password);
        writeFileAtomically(env.settings.dir.file("servers.txt"),
                            "Test\t" + host + "\t" + port + "\t" + options.password + "\r\n", 0600);
        env.setUser(u"kolu", u"me@example.org", u"Kolu Tester");
        env.session.notify.NotifyList_Load();  // the list may be set after the session started
    }
    void start(const std::string& host = "127.0.0.1") {
        serve(host);
        env.session.connection.connectCommand();
        ASSERT_NE(env.session.state.socket, kInvalidSocket) << server->log();
        ASSERT_TRUE(env.pollUntil([&] { return env.session.state.currentNick == u"kolu"; }))
            << server->log();
    }
    void login(RawIrcClient& other, const std::string& nick, const std::string& password = "") {
        ASSERT_TRUE(other.connect(server->host(), server->port()));
        ASSERT_TRUE(other.login(nick, password));
    }
    int type(std::u16string_view text) {
        input.setText(text);
        return env.session.commands.parsuj(input);
    }
    int tab(std::u16string_view name) { return env.session.tabs.znajdz_zakladke(name); }
    bool waitFor(std::u16string_view name, std::u16string_view text,
                 milliseconds timeout = test::kDefaultWait) {
        return env.pollUntil([&] { return contains(env.lines(name), text); }, timeout);
    }
    void idle(milliseconds time) {
        env.pollUntil([] { return false; }, time);
    }
    bool waitForUsers(std::u16string_view channel, const Lines& expected) {
        return env.pollUntil([&] { return env.users(channel) == expected; });
    }
    // Kolu and `other` in #kolu, which is Kolu's selected tab.
    void startWithOtherInChannel(RawIrcClient& other, const std::string& host = "127.0.0.1") {
        start(host);
        login(other, "other");
        ASSERT_TRUE(other.join("#kolu"));
        type(u"/join #kolu");
        ASSERT_TRUE(waitFor(u"#kolu", u"*** Now talking in #kolu")) << server->log();
        env.session.tabs.select(tab(u"#kolu"));
    }

    test::NgircdOptions options;  // set before start()
    test::SessionEnv env;
    std::unique_ptr<test::NgircdFixture> server;
    InputLineModel input;
};

// A server that ends (ngIRCd says ERROR first) leaves the client idle, offering Connect.
TEST_F(AgainstNgircd, TalksOverIpv6AnswersPingsAndShowsDisconnectedWhenTheServerGoesAway) {
    options.listen = "::1";
    options.pingTimeout = options.pongTimeout = 5;  // ngIRCd's smallest values
    RawIrcClient other;
    startWithOtherInChannel(other, "[::1]");
    EXPECT_TRUE(contains(env.lines(), u"*** Connecting to [::1] (" +
                                          fromUtf8(std::to_string(server->port())) + u")"));
    type(u"hello over six");
    EXPECT_TRUE(other.waitFor("hello over six")) << other.transcript();
    other.send("PRIVMSG #kolu :and back");
    EXPECT_TRUE(waitFor(u"#kolu", u"<other> and back"));

    ASSERT_TRUE(waitFor(u"", u"PING? PONG!", milliseconds(8000))) << server->log();
    idle(milliseconds(5500));  // past the server's pong timeout
    EXPECT_TRUE(env.session.state.connected) << server->log();
    EXPECT_NE(env.session.state.socket, kInvalidSocket);
    server->stop();
    ASSERT_TRUE(env.pollUntil([&] { return env.session.state.socket == kInvalidSocket; }));
    EXPECT_EQ(env.lines().back(), u"*** Disconnected");
    EXPECT_FALSE(env.host.isRunning(kPollTimer));
    EXPECT_EQ(env.host.labels.back(), false);
}

TEST_F(AgainstNgircd, RefusesACertificateForAnotherHostUntilTheUserTrustsIt) {
    options.tls = true;
    serve();  // the certificate names "localhost", not the address
    const test::ScopedEnv authority("SSL_CERT_FILE", server->caFile());
    env.host.yesNoAnswers = {false};
    env.session.connection.connectCommand();
    ASSERT_EQ(env.lines().size(), 2u) << server->log();
    const std::u16string refusal = env.lines()[0];
    EXPECT_TRUE(refusal.starts_with(
        u"*** Unable to connect (certificate not trusted: IP address mismatch; SHA-256 "))
        << toUtf8(refusal);
    const std::u16string fingerprint =
        refusal.substr(refusal.find(u"SHA-256 ") + 8, 32 * 3 - 1);  // "AB:CD:..."
    ASSERT_EQ(env.host.questions.size(), 1u);
    // The question shows the same fingerprint, eight bytes a line.
    std::u16string asked = env.host.questions[0].text;
    std::replace(asked.begin(), asked.end(), u'\n', u':');
    EXPECT_NE(asked.find(fingerprint), std::u16string::npos) << toUtf8(env.host.questions[0].text);
    EXPECT_FALSE(contains(env.lines(), u"*** Connecting to"));  // the login never began
    EXPECT_FALSE(env.host.isRunning(kRetryTimer));              // nor asks again by itself

    env.host.yesNoAnswers = {true};
    env.session.connection.connectCommand();
    EXPECT_TRUE(contains(env.lines(), u"*** Certificate trusted for 127.0.0.1: connecting again"));
    ASSERT_TRUE(env.host.isRunning(kRetryTimer));
    struct stat info {};
    ASSERT_EQ(::stat(env.settings.dir.file(TlsTrust::kFileName).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    env.session.connection.retryTick();
    EXPECT_TRUE(waitFor(u"", kWelcome)) << server->log();
    EXPECT_EQ(env.host.questions.size(), 2u);
}

TEST_F(AgainstNgircd, EveryChannelEventLandsInItsTabAndList) {
    env.settings.putDword(kSettingsKey, u"rejoin", 1);
    start();
    type(u"/join #kolu");
    ASSERT_TRUE(waitFor(u"#kolu", u"*** Now talking in #kolu")) << server->log();
    ASSERT_TRUE(waitForUsers(u"#kolu", {u"@kolu"}));
    RawIrcClient other;
    login(other, "other");
    ASSERT_TRUE(other.join("#kolu"));
    ASSERT_TRUE(waitFor(u"#kolu", u"*** other has joined #kolu"));
    EXPECT_EQ(env.users(u"#kolu"), (Lines{u"@kolu", u"other"}));

    other.send("PRIVMSG #kolu :hello channel");
    EXPECT_TRUE(waitFor(u"#kolu", u"<other> hello channel"));
    other.send(
        "PRIVMSG #kolu :\x01"
        "ACTION waves\x01");
    EXPECT_TRUE(waitFor(u"#kolu", u"* other waves"));
    other.send("NOTICE kolu :psst");
    EXPECT_TRUE(env.pollUntil([&] {
        for (int index = 0; index < env.session.tabs.count(); ++index) {
            if (count(env.lines(index), u"-other- psst") > 0) {
                return true;
            }
        }
        return false;
    }));

    other.send("NICK other2");
    ASSERT_TRUE(waitFor(u"#kolu", u"other is now known as other2"));
    EXPECT_EQ(env.users(u"#kolu"), (Lines{u"@kolu", u"other2"}));
    env.session.connection.wys(env.session.state.socket, u"MODE #kolu +v other2");
    ASSERT_TRUE(waitForUsers(u"#kolu", {u"@kolu", u"+other2"}));
    env.session.connection.wys(env.session.state.socket, u"MODE #kolu +o other2");
    ASSERT_TRUE(waitForUsers(u"#kolu", {u"@kolu", u"@other2"}));
    EXPECT_TRUE(contains(env.lines(u"#kolu"), u"*** kolu sets mode: +o other2"));

    // Kicked with rejoin on: the tab goes, the client joins again, the tab comes back.
    other.send("KICK #kolu kolu :out you go");
    ASSERT_TRUE(env.pollUntil(
        [&] { return count(env.lines(), u"You were kicked by other2 (out you go)") == 1; }));
    ASSERT_TRUE(waitForUsers(u"#kolu", {u"@other2", u"kolu"})) << server->log();

    other.send("PART #kolu :bye");
    EXPECT_TRUE(waitFor(u"#kolu", u"*** other2 has left #kolu"));
    EXPECT_EQ(env.users(u"#kolu"), Lines{u"kolu"});
    ASSERT_TRUE(other.join("#kolu"));
    ASSERT_TRUE(env.pollUntil([&] { return env.users(u"#kolu").size() == 2; }));
    other.quit("gone fishing");
    EXPECT_TRUE(waitFor(u"#kolu", u"*** other2 Quit ("));
    EXPECT_EQ(env.users(u"#kolu"), Lines{u"kolu"});
    type(u"/part #kolu");
    EXPECT_TRUE(env.pollUntil([&] { return tab(u"#kolu") < 0; }));
}

// What the other user receives must be exactly what the user typed; a long line
// arrives whole in pieces cut at blanks; /quit sends its message and ends for good.
TEST_F(AgainstNgircd, TypedTextReachesTheChannelExactly) {
    env.settings.settings.RegZapiszLONG(u"reconnect", 1);
    RawIrcClient other;
    startWithOtherInChannel(other);
    const std::u16string polish = u"za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105";
    type(u"hello  there, " + polish + u"   ");
    EXPECT_EQ(heard(other, "PRIVMSG"),
              (std::vector<std::string>{"#kolu", "hello  there, " + toUtf8(polish)}))
        << other.transcript();
    type(u"/me waves at other");
    EXPECT_EQ(heard(other, "PRIVMSG"), (std::vector<std::string>{"#kolu",
                                                                 "\x01"
                                                                 "ACTION waves at other\x01"}));
    type(u"/msg other just for you");
    EXPECT_EQ(heard(other, "PRIVMSG"), (std::vector<std::string>{"other", "just for you"}));
    const Lines shown = env.lines(u"#kolu");
    EXPECT_EQ(count(shown, u"<kolu> hello  there, " + polish), 1);
    EXPECT_EQ(count(shown, u"* kolu waves at other"), 1);
    EXPECT_EQ(count(shown, u"-> *other* just for you"), 1);

    std::u16string text;
    for (int i = 0; text.size() < 2000; ++i) {
        text += (text.empty() ? u"" : u" ") + (u"g\u0119\u015bl\u0105" + decimalText(i));
    }
    type(text);
    std::string received;  // polled meanwhile, so lines the client holds back still go out
    env.pollUntil(
        [&] {
            const auto params = heard(other, "PRIVMSG", milliseconds(20));
            if (params.size() == 2) {
                received += (received.empty() ? "" : " ") + params[1];
            }
            return received.size() >= toUtf8(text).size();
        },
        milliseconds(30000));
    EXPECT_EQ(received, toUtf8(text)) << other.transcript();

    // As the main window does with the command line's answer.
    env.session.state.userQuit = type(u"/quit see you") != 0;
    const std::vector<std::string> quit = heard(other, "QUIT");
    ASSERT_EQ(quit.size(), 1u) << other.transcript();
    EXPECT_NE(quit[0].find("see you"), std::string::npos) << quit[0];
    ASSERT_TRUE(env.pollUntil([&] { return env.session.state.socket == kInvalidSocket; }));
    idle(milliseconds(300));
    EXPECT_EQ(env.session.state.socket, kInvalidSocket);
    EXPECT_FALSE(env.host.isRunning(kRetryTimer));
    EXPECT_FALSE(env.session.state.userQuit);
}

TEST_F(AgainstNgircd, AFiftyLinePasteArrivesWholeAndInOrderUnderFloodLimits) {
    RawIrcClient other;
    options.floodLimits = true;
    startWithOtherInChannel(other);
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

    // The clock follows real time; while the pace timer runs, every poll does its work.
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
            const auto params = heard(other, "PRIVMSG", milliseconds(20));
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

// The user's own ISON is answered once; the notify list's are announced, not shown.
TEST_F(AgainstNgircd, LogsInWithAPasswordAndAnswersIsonTheNotifyListAndAPrivateMessage) {
    options.password = "letmein";
    env.settings.settings.RegZapiszMsg(u"notify", u"Watched nobody ", kSpecialListSize);
    env.settings.settings.RegZapiszLONG(u"en_notify", 1);
    env.settings.settings.RegZapiszLONG(u"not_whois", 0);
    start();
    ASSERT_TRUE(waitFor(u"", kWelcome)) << server->log();
    EXPECT_TRUE(waitFor(u"", fromUtf8(test::NgircdFixture::kMotdLine)));
    idle(milliseconds(300));  // a first answer with nobody online announces nothing
    EXPECT_FALSE(contains(env.lines(), u"*** Watched"));

    RawIrcClient watched;
    login(watched, "watched", "letmein");
    ASSERT_TRUE(env.pollUntil([&] { return count(env.lines(), u"*** watched is on IRC") == 1; },
                              milliseconds(5000)));
    type(u"/ison watched nobody");
    EXPECT_TRUE(env.session.state.userIsonPending);
    ASSERT_TRUE(waitFor(u"", u"ison: "));
    idle(milliseconds(300));
    EXPECT_EQ(count(env.lines(), u"ison: watched"), 1);
    EXPECT_FALSE(env.session.state.userIsonPending);
    watched.quit();
    ASSERT_TRUE(env.pollUntil([&] { return count(env.lines(), u"*** watched has left IRC") == 1; },
                              milliseconds(5000)));
    EXPECT_EQ(count(env.lines(), u"*** watched is on IRC"), 1);
    EXPECT_FALSE(contains(env.lines(), u"*** nobody"));

    RawIrcClient other;
    login(other, "other", "letmein");
    other.send("PRIVMSG kolu :hello from the other side");
    EXPECT_TRUE(waitFor(u"other", u"<other> hello from the other side"));
}

}  // namespace
}  // namespace kolu
