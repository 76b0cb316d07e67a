// The client against a real IRC server (ngIRCd), with raw connections playing the other users.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "commands/command_parser.h"
#include "commands/input_line_model.h"
#include "connection/tls_trust.h"
#include "platform/text.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

using std::chrono::milliseconds;
using test::RawIrcClient;

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
        env.useServer(options.tls ? server->tlsPort() : server->port(), options.password,
                      options.tls, host);
        env.setUser(u"kolu", u"me@example.org", u"Kolu Tester");
    }
    int type(std::u16string_view text) {
        input.setText(text);
        return env.session.commands.parsuj(input);
    }
    bool waitFor(std::u16string_view name, std::u16string_view text,
                 milliseconds timeout = test::kDefaultWait) {
        return env.pollUntil([&] { return test::anyLineHas(env.lines(name), text); }, timeout);
    }
    // Kolu and `other` (who joined first) in #kolu, which is Kolu's selected tab.
    void startWithOtherInChannel(RawIrcClient& other, const std::string& host = "127.0.0.1") {
        serve(host);
        env.session.connection.connectCommand();
        ASSERT_TRUE(env.pollUntil([&] { return env.session.state.currentNick == u"kolu"; }))
            << server->log();
        ASSERT_TRUE(other.connect(server->host(), server->port()));
        ASSERT_TRUE(other.login("other", options.password));
        ASSERT_TRUE(other.join("#kolu"));
        type(u"/join #kolu");
        ASSERT_TRUE(waitFor(u"#kolu", u"*** Now talking in #kolu")) << server->log();
        env.session.tabs.select(env.session.tabs.znajdz_zakladke(u"#kolu"));
    }

    test::NgircdOptions options;  // set before serve()
    test::SessionEnv env;
    std::unique_ptr<test::NgircdFixture> server;
    InputLineModel input;
};

// The server wants a password from everyone, so the login shows Kolu sends it. A long
// line arrives whole in pieces cut at blanks, its UTF-8 intact. A server that ends (ngIRCd
// says ERROR first) leaves the client idle, offering Connect.
TEST_F(AgainstNgircd, TalksOverIpv6WithAPasswordAnswersPingsAndSeesTheEnd) {
    options.password = "letmein";
    options.listen = "::1";
    options.pingTimeout = options.pongTimeout = 5;  // ngIRCd's smallest values
    RawIrcClient other;
    startWithOtherInChannel(other, "[::1]");
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

    ASSERT_TRUE(waitFor(u"", u"PING? PONG!", milliseconds(8000))) << server->log();
    env.pollUntil([] { return false; }, milliseconds(5500));  // past the server's pong timeout
    EXPECT_TRUE(env.session.state.connected) << server->log();
    server->stop();
    ASSERT_TRUE(env.pollUntil([&] { return env.session.state.socket == kInvalidSocket; }));
    EXPECT_FALSE(env.host.isRunning(kPollTimer));
    EXPECT_EQ(env.host.labels.back(), false);
}

TEST_F(AgainstNgircd, RefusesACertificateForAnotherHostUntilTheUserTrustsIt) {
    options.tls = true;
    serve();  // the certificate names "localhost", not the address
    const test::ScopedEnv authority("SSL_CERT_FILE", server->caFile());
    env.host.yesNoAnswers = {false};
    env.session.connection.connectCommand();
    ASSERT_EQ(env.lines().size(), 2u) << server->log();  // the login never began
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
    EXPECT_FALSE(env.host.isRunning(kRetryTimer));  // nor tries again by itself

    env.host.yesNoAnswers = {true};
    env.session.connection.connectCommand();
    EXPECT_TRUE(
        test::anyLineHas(env.lines(), u"*** Certificate trusted for 127.0.0.1: connecting again"));
    ASSERT_TRUE(env.host.isRunning(kRetryTimer));
    EXPECT_EQ(env.settings.dir.mode(TlsTrust::kFileName), 0600u);
    env.session.connection.retryTick();
    EXPECT_TRUE(waitFor(u"", u"Welcome to the Internet Relay Network")) << server->log();
}

// After the paste, /quit sends its message and ends for good.
TEST_F(AgainstNgircd, AFiftyLinePasteArrivesWholeAndInOrderUnderFloodLimitsAndQuitEnds) {
    env.settings.settings.RegZapiszLONG(u"reconnect", 1);
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
    // ngIRCd holds back what comes too fast: sent all at once, the last line would arrive some
    // 15 s after it left Kolu; paced, it follows at once.
    ASSERT_TRUE(allSent);
    EXPECT_LT(std::chrono::steady_clock::now() - *allSent, std::chrono::seconds(5));

    // As the main window does with the command line's answer.
    env.session.state.userQuit = type(u"/quit see you") != 0;
    const std::vector<std::string> quit = heard(other, "QUIT");
    ASSERT_EQ(quit.size(), 1u) << other.transcript();
    EXPECT_NE(quit[0].find("see you"), std::string::npos) << quit[0];
    // Seen closed between two ticks and no retry timer: no reconnection of either kind.
    ASSERT_TRUE(env.pollUntil([&] { return env.session.state.socket == kInvalidSocket; }));
    EXPECT_FALSE(env.host.isRunning(kRetryTimer));
    EXPECT_FALSE(env.session.state.userQuit);
}

}  // namespace
}  // namespace kolu
