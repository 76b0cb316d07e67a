// The client's connection against a real IRC server: login, welcome, talk,
// keep-alive and the server going away.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "connection/tls_trust.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_env.h"
#include "tests/support/temp_dir.h"

namespace kolu {
namespace {

using std::chrono::milliseconds;

bool anyLineContains(const std::vector<std::u16string>& lines, std::u16string_view text) {
    for (const std::u16string& line : lines) {
        if (line.find(text) != std::u16string::npos) {
            return true;
        }
    }
    return false;
}

class AgainstNgircd : public ::testing::Test {
  protected:
    void start(test::NgircdOptions options = {}) {
        server = std::make_unique<test::NgircdFixture>(options);
        env.useServer(server->port(), options.password);
        env.setUser(u"kolutest", u"me@example.org", u"Kolu Tester");
        env.session.connection.connectCommand();
        ASSERT_NE(env.session.state.socket, kInvalidSocket) << server->log();
    }
    bool waitForLine(std::u16string_view text, milliseconds timeout = milliseconds(3000)) {
        return env.pollUntil([&] { return anyLineContains(env.lines(), text); }, timeout);
    }

    test::SessionEnv env;
    std::unique_ptr<test::NgircdFixture> server;
};

TEST_F(AgainstNgircd, LogsInAndShowsTheWelcomeAndWhatOthersSay) {
    test::NgircdOptions options;
    options.password = "letmein";
    start(options);
    ASSERT_TRUE(waitForLine(u"Welcome to the Internet Relay Network")) << server->log();
    EXPECT_TRUE(waitForLine(fromUtf8(test::NgircdFixture::kMotdLine)));

    test::RawIrcClient other;
    ASSERT_TRUE(other.connect(server->host(), server->port()));
    ASSERT_TRUE(other.login("other", "letmein"));
    other.send("PRIVMSG kolutest :hello from the other side");
    // A private message opens a query tab named after its sender.
    ASSERT_TRUE(env.pollUntil([&] { return env.session.tabs.znajdz_zakladke(u"other") > 0; }));
    const int query = env.session.tabs.znajdz_zakladke(u"other");
    EXPECT_TRUE(anyLineContains(env.lines(query), u"<other> hello from the other side"));
    EXPECT_TRUE(env.session.state.connected);
}

TEST_F(AgainstNgircd, ConnectsJoinsAndTalksOverIpv6Loopback) {
    test::NgircdOptions options;
    options.listen = "::1";
    server = std::make_unique<test::NgircdFixture>(options);
    env.useServer(server->port());
    writeFileAtomically(env.settings.dir.file("servers.txt"),
                        "Test\t[::1]\t" + std::to_string(server->port()) + "\t\r\n", 0600);
    env.setUser(u"kolutest", u"me@example.org", u"Kolu Tester");
    env.session.connection.connectCommand();
    ASSERT_TRUE(waitForLine(u"Welcome to the Internet Relay Network")) << server->log();
    EXPECT_TRUE(waitForLine(u"*** Connecting to [::1] (" +
                            fromUtf8(std::to_string(server->port())) + u")"));

    env.session.connection.wys(env.session.state.socket, u"JOIN #six");
    ASSERT_TRUE(env.pollUntil([&] { return env.session.tabs.znajdz_zakladke(u"#six") > 0; }));
    test::RawIrcClient other;
    ASSERT_TRUE(other.connect(server->host(), server->port()));
    ASSERT_TRUE(other.login("other"));
    ASSERT_TRUE(other.join("#six"));
    env.session.connection.wys(env.session.state.socket, u"PRIVMSG #six :hello over six");
    EXPECT_TRUE(other.waitFor("hello over six")) << other.transcript();
    other.send("PRIVMSG #six :and back");
    EXPECT_TRUE(env.pollUntil([&] {
        return anyLineContains(env.lines(env.session.tabs.znajdz_zakladke(u"#six")),
                               u"<other> and back");
    }));
}

TEST_F(AgainstNgircd, RefusesACertificateForAnotherHostUntilTheUserTrustsIt) {
    test::NgircdOptions options;
    options.tls = true;
    server = std::make_unique<test::NgircdFixture>(options);
    const test::ScopedEnv authority("SSL_CERT_FILE", server->caFile());
    env.useServer(server->port());
    // The certificate names "localhost", not the address.
    writeFileAtomically(env.settings.dir.file("servers.txt"),
                        "Test\t127.0.0.1\t+" + std::to_string(server->tlsPort()) + "\t\r\n", 0600);
    env.setUser(u"kolutest", u"me@example.org", u"Kolu Tester");
    env.host.yesNoAnswers = {false};
    env.session.connection.connectCommand();
    ASSERT_EQ(env.lines().size(), 2u) << server->log();
    const std::u16string refusal = env.lines()[0];
    EXPECT_EQ(refusal.rfind(u"*** Unable to connect (certificate not trusted: IP address mismatch; "
                            u"SHA-256 ",
                            0),
              0u)
        << toUtf8(refusal);
    const std::u16string fingerprint =
        refusal.substr(refusal.find(u"SHA-256 ") + 8, 32 * 3 - 1);  // "AB:CD:..."
    ASSERT_EQ(env.host.questions.size(), 1u);
    // The question shows the same fingerprint, eight bytes a line.
    std::u16string asked = env.host.questions[0].text;
    std::replace(asked.begin(), asked.end(), u'\n', u':');
    EXPECT_NE(asked.find(fingerprint), std::u16string::npos) << toUtf8(env.host.questions[0].text);
    EXPECT_FALSE(anyLineContains(env.lines(), u"*** Connecting to"));  // the login never began
    EXPECT_FALSE(env.host.isRunning(kRetryTimer));                     // nor asks again by itself

    env.host.yesNoAnswers = {true};
    env.session.connection.connectCommand();
    EXPECT_TRUE(
        anyLineContains(env.lines(), u"*** Certificate trusted for 127.0.0.1: connecting again"));
    ASSERT_TRUE(env.host.isRunning(kRetryTimer));
    struct stat info {};
    ASSERT_EQ(::stat(env.settings.dir.file(TlsTrust::kFileName).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    env.session.connection.retryTick();
    EXPECT_TRUE(waitForLine(u"Welcome to the Internet Relay Network")) << server->log();
    EXPECT_EQ(env.host.questions.size(), 2u);
}

TEST_F(AgainstNgircd, AnswersTheServersPingAndStaysConnected) {
    test::NgircdOptions options;
    options.pingTimeout = 5;  // ngIRCd's smallest values
    options.pongTimeout = 5;
    start(options);
    ASSERT_TRUE(waitForLine(u"Welcome to the Internet Relay Network")) << server->log();
    ASSERT_TRUE(waitForLine(u"PING? PONG!", milliseconds(8000))) << server->log();
    // Past the server's pong timeout, the connection is still up.
    env.pollUntil([] { return false; }, milliseconds(5500));
    EXPECT_TRUE(env.session.state.connected) << server->log();
    EXPECT_NE(env.session.state.socket, kInvalidSocket);
}

TEST_F(AgainstNgircd, TheServerGoingAwayShowsDisconnectedInEveryTab) {
    start();
    ASSERT_TRUE(waitForLine(u"Welcome to the Internet Relay Network")) << server->log();
    env.session.tabs.dodaj_zakladke(u"#kolu");
    env.session.tabs.dodaj_zakladke(u"friend");
    server->stop();
    ASSERT_TRUE(env.pollUntil([&] { return env.session.state.socket == kInvalidSocket; }));
    for (int tab = 0; tab < env.session.tabs.count(); ++tab) {
        ASSERT_FALSE(env.lines(tab).empty());
        EXPECT_EQ(env.lines(tab).back(), u"*** Disconnected") << tab;
    }
    EXPECT_FALSE(env.host.isRunning(kPollTimer));
    EXPECT_EQ(env.host.labels.back(), false);
}

}  // namespace
}  // namespace kolu
