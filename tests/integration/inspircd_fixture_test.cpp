// The IRCv3 server with account services, driven by raw clients: what the client's own tests
// will rely on is there (capabilities, SASL PLAIN and EXTERNAL, operator commands, STS).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/inspircd_fixture.h"
#include "tests/support/raw_irc_client.h"

namespace kolu {
namespace {

using test::InspircdFixture;
using test::RawIrcClient;
using SaslOutcome = RawIrcClient::SaslOutcome;

// The PLAIN mechanism's one message, for `account` logging in as itself.
std::string plain(const std::string& account, const std::string& password) {
    return test::base64(account + '\0' + account + '\0' + password);
}

class AgainstInspircd : public ::testing::Test {
  protected:
    // One server for the suite: each test uses nicknames and accounts of its own.
    static void SetUpTestSuite() {
        try {
            server = std::make_unique<InspircdFixture>();
        } catch (const std::exception& error) {
            startError = error.what();
        }
    }
    static void TearDownTestSuite() { server.reset(); }
    void SetUp() override { ASSERT_TRUE(server) << startError; }

    static inline std::unique_ptr<InspircdFixture> server;
    static inline std::string startError;
};

TEST_F(AgainstInspircd, OffersTheCapabilitiesAndMonitorTheClientNeeds) {
    RawIrcClient client;
    ASSERT_TRUE(client.connect(server->host(), server->port()));
    const auto caps = client.capabilities();
    for (const char* name :
         {"sasl", "server-time", "away-notify", "account-notify", "extended-join", "chghost",
          "multi-prefix", "userhost-in-names", "echo-message", "batch", "cap-notify", "account-tag",
          "invite-notify", "labeled-response", "message-tags"}) {
        EXPECT_TRUE(caps.count(name)) << name << " is not offered; last lines:\n"
                                      << client.transcript();
    }
    // Services announce their mechanisms once linked, so the fixture waited for them.
    ASSERT_TRUE(caps.count("sasl"));
    EXPECT_NE(caps.at("sasl").find("PLAIN"), std::string::npos) << caps.at("sasl");
    EXPECT_NE(caps.at("sasl").find("EXTERNAL"), std::string::npos) << caps.at("sasl");
    EXPECT_FALSE(caps.count("sts")) << "a policy is announced though none was asked for";

    client.send("CAP END");
    ASSERT_TRUE(client.login("capper"));
    const auto monitor = client.waitFor([](const std::string& line) {
        return RawIrcClient::commandOf(line) == "005" &&
               line.find(" MONITOR=") != std::string::npos;
    });
    EXPECT_TRUE(monitor) << client.transcript();
}

TEST_F(AgainstInspircd, SaslPlainLogsARegisteredAccountInAndRefusesAWrongPassword) {
    ASSERT_TRUE(server->registerAccount("alice", "alice-secret"));

    RawIrcClient right;
    ASSERT_TRUE(right.connect(server->host(), server->port()));
    const SaslOutcome accepted =
        right.authenticate("plain1", "PLAIN", plain("alice", "alice-secret"));
    EXPECT_EQ(accepted.end, "903") << right.transcript();
    EXPECT_EQ(accepted.account, "alice");

    RawIrcClient wrong;
    ASSERT_TRUE(wrong.connect(server->host(), server->port()));
    const SaslOutcome refused = wrong.authenticate("plain2", "PLAIN", plain("alice", "not-it"));
    EXPECT_EQ(refused.end, "904") << wrong.transcript();
    EXPECT_EQ(refused.account, "");
}

TEST_F(AgainstInspircd, SaslExternalOnTheTlsPortTakesOnlyACertificateTheAccountHolds) {
    ASSERT_TRUE(server->registerAccount("carol", "carol-secret"));
    const test::ClientCertificate held = server->makeClientCertificate("carol");
    const test::ClientCertificate stranger = server->makeClientCertificate("stranger");
    ASSERT_TRUE(server->addCertificate("carol", held.fingerprint));

    RawIrcClient carol;
    ASSERT_TRUE(carol.connectTls(server->host(), server->tlsPort(), server->caFile(), held.certFile,
                                 held.keyFile));
    const SaslOutcome accepted = carol.authenticate("tls1", "EXTERNAL", "+");
    EXPECT_EQ(accepted.end, "903") << carol.transcript();
    EXPECT_EQ(accepted.account, "carol");

    RawIrcClient other;
    ASSERT_TRUE(other.connectTls(server->host(), server->tlsPort(), server->caFile(),
                                 stranger.certFile, stranger.keyFile));
    EXPECT_EQ(other.authenticate("tls2", "EXTERNAL", "+").end, "904") << other.transcript();
}

TEST_F(AgainstInspircd, AnOperatorChangesAnotherUsersHostSeenByChghostClients) {
    RawIrcClient watcher;
    ASSERT_TRUE(watcher.connect(server->host(), server->port()));
    watcher.send("CAP REQ :chghost");
    watcher.send("CAP END");
    ASSERT_TRUE(watcher.login("watcher"));
    ASSERT_TRUE(watcher.join("#hosts"));

    RawIrcClient oper;
    ASSERT_TRUE(oper.connect(server->host(), server->port()));
    ASSERT_TRUE(oper.login("opsy"));
    oper.send(std::string("OPER ") + InspircdFixture::kOperName + " " +
              InspircdFixture::kOperPassword);
    ASSERT_TRUE(oper.waitForCommand({"381"})) << oper.transcript();
    oper.send("CHGHOST watcher moved.example.org");

    const auto changed = watcher.waitForCommand({"CHGHOST"});
    ASSERT_TRUE(changed) << watcher.transcript();
    EXPECT_EQ(RawIrcClient::nickOf(*changed), "watcher");
    EXPECT_EQ(RawIrcClient::paramsOf(*changed).back(), "moved.example.org");
}

TEST(InspircdFixture, AnnouncesAStrictTransportPolicyForItsTlsPortWhenAsked) {
    test::InspircdOptions options;
    options.sts = true;
    options.stsDuration = 90;
    InspircdFixture server(options);
    RawIrcClient plain;
    ASSERT_TRUE(plain.connect(server.host(), server.port()));
    const auto caps = plain.capabilities();
    ASSERT_TRUE(caps.count("sts")) << plain.transcript();
    EXPECT_EQ(caps.at("sts"), "port=" + std::to_string(server.tlsPort()));

    // Over TLS the policy gives its duration instead.
    RawIrcClient secure;
    ASSERT_TRUE(secure.connectTls(server.host(), server.tlsPort(), server.caFile()));
    const auto secureCaps = secure.capabilities();
    ASSERT_TRUE(secureCaps.count("sts")) << secure.transcript();
    EXPECT_EQ(secureCaps.at("sts"), "duration=90");
}

TEST(InspircdFixture, HoldsTheAccountsItWasGivenForBothMechanisms) {
    test::TempDir dir;
    const test::ClientCertificate certificate = test::makeClientCertificate(dir.path(), "erin");
    InspircdFixture server({.accounts = {{"erin", "erin-secret", {certificate.fingerprint}}}});

    RawIrcClient byPassword;
    ASSERT_TRUE(byPassword.connect(server.host(), server.port()));
    const SaslOutcome plainLogin =
        byPassword.authenticate("erin1", "PLAIN", plain("erin", "erin-secret"));
    EXPECT_EQ(plainLogin.end, "903") << byPassword.transcript();
    EXPECT_EQ(plainLogin.account, "erin");

    RawIrcClient byCertificate;
    ASSERT_TRUE(byCertificate.connectTls(server.host(), server.tlsPort(), server.caFile(),
                                         certificate.certFile, certificate.keyFile));
    const SaslOutcome externalLogin = byCertificate.authenticate("erin2", "EXTERNAL", "+");
    EXPECT_EQ(externalLogin.end, "903") << byCertificate.transcript();
    EXPECT_EQ(externalLogin.account, "erin");
}

TEST(InspircdFixture, StopEndsTheServer) {
    InspircdFixture server;
    const int port = server.port();
    server.stop();
    RawIrcClient late;
    EXPECT_FALSE(late.connect(server.host(), port));
}

}  // namespace
}  // namespace kolu
