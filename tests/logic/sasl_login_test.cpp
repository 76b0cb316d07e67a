// The account login as a session makes it with a scripted server: the
// AUTHENTICATE exchange inside the capability negotiation, CAP END after its
// outcome, and what a failure leads to.
#include <gtest/gtest.h>

#include "connection/server_logins.h"
#include "connection/tls_trust.h"
#include "platform/crypto.h"
#include "protocol/sasl.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/session_env.h"
#include "tests/support/tls_test_server.h"
#include "ui/host.h"

namespace kolu {
namespace {

using std::chrono::milliseconds;
using namespace std::string_literals;

// The account the connection takes for the test's server, as the server dialog stores it.
void setLogin(test::SessionEnv& env, const SaslLogin& login) {
    ASSERT_EQ(ServerLogins(env.settings.dir.file(ServerLogins::kFileName)).set(u"127.0.0.1", login),
              0);
}

class SaslLoginTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.useServer(server.port());
        env.setUser();
        server.scriptCap(true);
    }
    // Connects through the login lines with an account to log in to (none for an
    // empty mechanism); an unscripted server answers CAP itself, unseen.
    void connectWith(std::u16string mechanism, bool required = false) {
        if (!mechanism.empty()) {
            setLogin(env, SaslLogin{std::move(mechanism), u"alice", u"s3cret pass", {}, {}, required});
        }
        env.session.connection.connectCommand();
        ASSERT_TRUE(server.waitForClient());
        if (capScripted) {
            ASSERT_TRUE(server.expectLine("CAP LS 302"));
        }
        ASSERT_TRUE(server.expectLine("nick tester"));
        ASSERT_TRUE(server.expectLine("user me example.org kolu :Test User"));
    }
    // Offers `offers`, grants what the client asks for, and waits for `next`.
    void negotiate(const std::string& offers, const std::string& req, const std::string& next,
                   bool required = false) {
        connectWith(u"PLAIN", required);
        serverSays(":irc.test CAP * LS :" + offers);
        ASSERT_TRUE(server.expectLine("CAP REQ :" + req));
        serverSays(":irc.test CAP tester ACK :" + req);
        ASSERT_TRUE(server.expectLine(next));
    }
    void knowNoCapabilities() {
        capScripted = false;
        server.scriptCap(false);
    }
    // Through the PLAIN payload, which the server has not answered yet.
    void loginWithPlain(bool required = false) {
        negotiate("multi-prefix sasl=PLAIN,EXTERNAL", "multi-prefix sasl", "AUTHENTICATE PLAIN",
                  required);
        serverSays("AUTHENTICATE +");
        ASSERT_TRUE(server.expectLine("AUTHENTICATE " + payload));
    }
    void serverSays(const std::string& line) {
        ASSERT_TRUE(server.send(line + "\r\n"));
        for (int i = 0; i < 20; ++i) {
            env.session.connection.pollTick();
        }
    }
    // Nothing shown gives the password or what carried it away.
    void expectNoSecretShown() {
        for (const std::u16string& secret : {u"s3cret"s, fromUtf8(payload), u"AUTHENTICATE"s}) {
            EXPECT_FALSE(test::anyLineHas(env.lines(), secret)) << toUtf8(secret);
        }
    }

    bool capScripted = true;
    const std::string payload = base64Encode(std::string("\0alice\0s3cret pass", 18));
    test::FakeIrcServer server;
    test::SessionEnv env;
};

TEST_F(SaslLoginTest, PlainLoginHoldsCapEndUntilTheServerSaysItSucceeded) {
    loginWithPlain();
    EXPECT_TRUE(server.expectNoLine(milliseconds(150)));
    serverSays(":irc.test 900 tester tester!me@host alice :You are now logged in as alice");
    serverSays(":irc.test 903 tester :SASL authentication successful");
    EXPECT_TRUE(server.expectLine("CAP END"));
    const std::vector<std::u16string> lines = env.lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], u"*** You are now logged in as alice");
    EXPECT_EQ(lines.back(), u"*** SASL login succeeded");
    EXPECT_EQ(env.session.tabs.pobierz_hwndtxtbiez(0)->line(lines.size() - 1).colour,
              env.colours.of(LineClass::Info));
    expectNoSecretShown();
}

TEST_F(SaslLoginTest, AnOptionalLoginThatFailsGoesOnAsAGuest) {
    loginWithPlain(false);
    serverSays(":irc.test 908 tester EXTERNAL :are available SASL mechanisms");
    EXPECT_EQ(env.lastLine(),
              u"*** The server does not offer SASL login with PLAIN (it offers EXTERNAL)");
    serverSays(":irc.test 904 tester :SASL authentication failed");
    EXPECT_TRUE(server.expectLine("CAP END"));
    EXPECT_TRUE(test::anyLineHas(env.lines(), u"*** SASL login failed"));
    EXPECT_TRUE(env.session.state.connected);
    expectNoSecretShown();
}

// With nothing to try, the failure is said once and the login goes on without it.
TEST_F(SaslLoginTest, AMechanismTheServerDoesNotOfferIsNotTried) {
    negotiate("sasl=EXTERNAL", "sasl", "CAP END");
    EXPECT_EQ(server.received().find("AUTHENTICATE"), std::string::npos);
    EXPECT_EQ(env.lastLine(),
              u"*** SASL login failed: the server does not offer PLAIN (it offers EXTERNAL)");
}

TEST_F(SaslLoginTest, AServerWithoutSaslIsSaidOnceAndTheLoginGoesOn) {
    negotiate("multi-prefix", "multi-prefix", "CAP END");
    EXPECT_TRUE(env.session.state.caps.enabled(u"multi-prefix"));
    EXPECT_FALSE(test::anyLineHas(env.lines(), u"CAP"));  // the exchange itself is not shown
    EXPECT_EQ(std::ranges::count(env.lines(),
                                 u"*** SASL login failed: the server offers no account login"),
              1);
}

TEST_F(SaslLoginTest, ARequiredLoginEndsTheConnectionWithAServerThatKnowsNoCapabilities) {
    knowNoCapabilities();
    connectWith(u"PLAIN", true);
    EXPECT_TRUE(env.pollUntil([&] { return env.session.state.socket == kInvalidSocket; }));
    EXPECT_TRUE(test::anyLineHas(env.lines(), u"the server offers no account login"));
}

TEST_F(SaslLoginTest, WithoutASaslLoginTheNumericsShowAsAnyOther) {
    knowNoCapabilities();
    connectWith(u"");
    serverSays(":irc.test 001 tester :Welcome");
    serverSays(":irc.test 900 tester tester!me@host alice :You are now logged in as alice");
    const std::u16string viaService = env.lastLine();
    serverSays(":irc.test 999 tester tester!me@host alice :You are now logged in as alice");
    EXPECT_EQ(viaService, env.lastLine());
}

TEST_F(SaslLoginTest, GarbageFromTheServerAbortsTheExchangeAndEndsNegotiation) {
    negotiate("sasl", "sasl", "AUTHENTICATE PLAIN");
    serverSays("AUTHENTICATE not*base64");
    EXPECT_TRUE(server.expectLine("AUTHENTICATE *"));
    EXPECT_TRUE(server.expectLine("CAP END"));
    EXPECT_EQ(env.lastLine(),
              u"*** SASL login failed: the server sent a message that is not base64");
    // The server's confirmation is shown, and changes nothing more.
    serverSays(":irc.test 906 tester :SASL authentication aborted");
    EXPECT_EQ(env.lastLine(), u"*** SASL login aborted");
    EXPECT_TRUE(server.expectNoLine(milliseconds(100)));
}

// EXTERNAL: the login's certificate goes with the TLS handshake, or nothing goes.
class ClientCertificateTest : public ::testing::Test {
  protected:
    void connectWith(const std::string& certFile, const std::string& keyFile) {
        env.setUser();
        env.useServer(server.port(), "", true);
        env.settings.write(TlsTrust::kFileName, "127.0.0.1 " + server.fingerprint() + "\n");
        setLogin(env, SaslLogin{u"EXTERNAL", {}, {}, certFile, keyFile});
        env.session.connection.connectCommand();
    }

    test::TlsTestServer server;
    test::SessionEnv env;
};

TEST_F(ClientCertificateTest, AMissingCertificateStopsTheConnectionWithAClearLine) {
    const std::string missing = env.settings.dir.file("gone.pem");
    connectWith(missing, "");
    EXPECT_EQ(env.session.state.socket, kInvalidSocket);
    EXPECT_TRUE(test::anyLineHas(env.lines(), u"*** Unable to connect (TLS: client certificate " +
                                                  fromUtf8(missing) +
                                                  u": No such file or directory)"));
    EXPECT_EQ(server.firstByte(), std::nullopt);
}

}  // namespace
}  // namespace kolu
