// The IRCv3 server with account services, driven by raw clients: what the client's own tests
// will rely on is there (capabilities, SASL PLAIN and EXTERNAL, operator commands, STS).
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/inspircd_fixture.h"
#include "tests/support/raw_irc_client.h"

namespace kolu {
namespace {

using test::InspircdFixture;
using test::RawIrcClient;

std::string base64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// The PLAIN mechanism's one message, for `account` logging in as itself.
std::string plain(const std::string& account, const std::string& password) {
    return base64(account + '\0' + account + '\0' + password);
}

// The capabilities of a CAP LS 302 answer (continued over several lines or not), by name.
std::map<std::string, std::string> listCapabilities(RawIrcClient& client) {
    std::map<std::string, std::string> caps;
    client.send("CAP LS 302");
    while (const auto line = client.waitForCommand({"CAP"})) {
        const std::vector<std::string> params = RawIrcClient::paramsOf(*line);
        if (params.size() < 3 || params[1] != "LS") {
            break;
        }
        std::istringstream words(params.back());
        for (std::string word; words >> word;) {
            const std::size_t equals = word.find('=');
            caps[word.substr(0, equals)] =
                equals == std::string::npos ? "" : word.substr(equals + 1);
        }
        if (params.size() == 3) {  // no "*": the last line
            break;
        }
    }
    return caps;
}

struct SaslOutcome {
    std::string end;      // the numeric that ended the exchange; "" on silence
    std::string account;  // from 900, when the server logged the client in
};

// Before the registration ends: AUTHENTICATE with `mechanism` and the one answer `response`
// (base64, or "+" for none).
SaslOutcome authenticate(RawIrcClient& client, const std::string& nick,
                         const std::string& mechanism, const std::string& response) {
    client.send("CAP REQ :sasl");
    client.send("NICK " + nick);
    client.send("USER " + nick + " 0 * :Raw client");
    SaslOutcome outcome;
    const auto ack = client.waitFor([](const std::string& line) {
        const std::vector<std::string> params = RawIrcClient::paramsOf(line);
        return RawIrcClient::commandOf(line) == "CAP" && params.size() > 1 &&
               (params[1] == "ACK" || params[1] == "NAK");
    });
    if (!ack || RawIrcClient::paramsOf(*ack)[1] != "ACK") {
        return outcome;
    }
    client.send("AUTHENTICATE " + mechanism);
    if (!client.waitForCommand({"AUTHENTICATE"})) {
        return outcome;
    }
    client.send("AUTHENTICATE " + response);
    while (const auto line = client.waitForCommand({"900", "903", "904", "905", "906", "908"})) {
        const RawIrcClient::Parts parts = RawIrcClient::split(*line);
        if (parts.command != "900") {
            outcome.end = parts.command;
            break;
        }
        outcome.account = parts.params.size() > 2 ? parts.params[2] : "";
    }
    return outcome;
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
    const auto caps = listCapabilities(client);
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
        authenticate(right, "plain1", "PLAIN", plain("alice", "alice-secret"));
    EXPECT_EQ(accepted.end, "903") << right.transcript();
    EXPECT_EQ(accepted.account, "alice");

    RawIrcClient wrong;
    ASSERT_TRUE(wrong.connect(server->host(), server->port()));
    const SaslOutcome refused = authenticate(wrong, "plain2", "PLAIN", plain("alice", "not-it"));
    EXPECT_EQ(refused.end, "904") << wrong.transcript();
    EXPECT_EQ(refused.account, "");
}

TEST_F(AgainstInspircd, SaslExternalOnTheTlsPortTakesOnlyACertificateTheAccountHolds) {
    ASSERT_TRUE(server->registerAccount("carol", "carol-secret"));
    const test::ClientCertificate held = server->makeClientCertificate("carol");
    const test::ClientCertificate stranger = server->makeClientCertificate("stranger");
    ASSERT_NE(held.fingerprint, stranger.fingerprint);
    ASSERT_TRUE(server->addCertificate("carol", held.fingerprint));

    RawIrcClient carol;
    ASSERT_TRUE(carol.connectTls(server->host(), server->tlsPort(), server->caFile(), held.certFile,
                                 held.keyFile));
    const SaslOutcome accepted = authenticate(carol, "tls1", "EXTERNAL", "+");
    EXPECT_EQ(accepted.end, "903") << carol.transcript();
    EXPECT_EQ(accepted.account, "carol");

    RawIrcClient other;
    ASSERT_TRUE(other.connectTls(server->host(), server->tlsPort(), server->caFile(),
                                 stranger.certFile, stranger.keyFile));
    EXPECT_EQ(authenticate(other, "tls2", "EXTERNAL", "+").end, "904") << other.transcript();
}

TEST_F(AgainstInspircd, AnOperatorChangesAnotherUsersHostSeenByChghostClients) {
    RawIrcClient watcher;
    ASSERT_TRUE(watcher.connect(server->host(), server->port()));
    watcher.send("CAP REQ :chghost");
    ASSERT_TRUE(watcher.waitForCommand({"CAP"}));
    watcher.send("CAP END");
    ASSERT_TRUE(watcher.login("watcher"));
    ASSERT_TRUE(watcher.join("#hosts"));

    RawIrcClient oper;
    ASSERT_TRUE(oper.connect(server->host(), server->port()));
    ASSERT_TRUE(oper.login("opsy"));
    ASSERT_TRUE(oper.join("#hosts"));
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
    const auto caps = listCapabilities(plain);
    ASSERT_TRUE(caps.count("sts")) << plain.transcript();
    EXPECT_EQ(caps.at("sts"), "port=" + std::to_string(server.tlsPort()));

    // Over TLS the policy gives its duration instead.
    RawIrcClient secure;
    ASSERT_TRUE(secure.connectTls(server.host(), server.tlsPort(), server.caFile()));
    const auto secureCaps = listCapabilities(secure);
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
        authenticate(byPassword, "erin1", "PLAIN", plain("erin", "erin-secret"));
    EXPECT_EQ(plainLogin.end, "903") << byPassword.transcript();
    EXPECT_EQ(plainLogin.account, "erin");

    RawIrcClient byCertificate;
    ASSERT_TRUE(byCertificate.connectTls(server.host(), server.tlsPort(), server.caFile(),
                                         certificate.certFile, certificate.keyFile));
    const SaslOutcome externalLogin = authenticate(byCertificate, "erin2", "EXTERNAL", "+");
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
