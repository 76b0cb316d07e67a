// The client against a real IRCv3 server (InspIRCd) linked to real account services
// (Anope): account logins, members' away state and hosts, the notify list over MONITOR,
// and a strict transport policy. Raw connections play the other users.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "connection/server_logins.h"
#include "connection/tls_trust.h"
#include "platform/text.h"
#include "tests/support/inspircd_fixture.h"
#include "tests/support/raw_irc_client.h"
#include "tests/support/session_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tls_test_server.h"
#include "ui/tab_registry.h"
#include "ui/user_list.h"

namespace kolu {
namespace {

using test::InspircdFixture;
using test::pemFingerprint;
using test::RawIrcClient;

// Every byte the client sent, as the real socket layer sent it.
class RecordingSockets final : public PosixSocketLayer {
  public:
    int send(SocketHandle sock, const char* data, int length) override {
        const int sent = PosixSocketLayer::send(sock, data, length);
        if (sent > 0) {
            wire.append(data, static_cast<std::size_t>(sent));
        }
        return sent;
    }
    std::string wire;
};

class AgainstInspircd : public ::testing::Test {
  protected:
    // One server for the suite, with two accounts; each test uses nicknames of its own.
    static void SetUpTestSuite() {
        try {
            certificate = std::make_unique<test::ClientCertificate>(
                test::makeClientCertificate(certificates.path(), "carol"));
            test::InspircdOptions options;
            options.accounts = {{"alice", "alicepass", {}},
                                {"carol", "carolpass", {certificate->fingerprint}}};
            server = std::make_unique<InspircdFixture>(options);
        } catch (const std::exception& error) {
            startError = error.what();
        }
    }
    static void TearDownTestSuite() { server.reset(); }
    void SetUp() override { ASSERT_TRUE(server) << startError; }

    // `nick` logs in to the suite's server, over TLS when `tls`, with `login` when given.
    void useServer(const std::u16string& nick, bool tls = false,
                   const std::optional<SaslLogin>& login = std::nullopt) {
        env.useServer(tls ? server->tlsPort() : server->port(), "", tls);
        trustServer();
        env.setUser(nick, u"me@example.org", u"Kolu Tester");
        if (login) {
            ASSERT_EQ(ServerLogins(env.settings.dir.file(ServerLogins::kFileName))
                          .set(u"127.0.0.1", *login),
                      0);
        }
    }
    void trustServer() {
        env.settings.write(TlsTrust::kFileName,
                               "127.0.0.1 " + pemFingerprint(server->caFile()) + "\n");
    }
    bool connectAs(const std::u16string& nick) {
        env.session.connection.connectCommand();
        return env.pollUntil([&] { return env.session.state.currentNick == nick; },
                             std::chrono::milliseconds(8000));
    }
    bool statusHas(std::u16string_view text) {
        return env.pollUntil([&] { return test::anyLineHas(env.lines(), text); });
    }
    // Where a line with `text` is in the status tab; -1 when none.
    long statusIndex(std::u16string_view text) {
        const std::vector<std::u16string> lines = env.lines();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find(text) != std::u16string::npos) {
                return static_cast<long>(i);
            }
        }
        return -1;
    }

    static inline test::TempDir certificates;
    static inline std::unique_ptr<test::ClientCertificate> certificate;
    static inline std::unique_ptr<InspircdFixture> server;
    static inline std::string startError;
    RecordingSockets sockets;
    test::SessionEnv env{&sockets};
};

TEST_F(AgainstInspircd, SaslPlainLogsInWhileRegisteringBeforeTheWelcomeAndNoPasswordGoesInClear) {
    useServer(u"alice", false, SaslLogin{u"PLAIN", u"alice", u"alicepass", "", "", true});
    ASSERT_TRUE(connectAs(u"alice")) << server->logs();
    ASSERT_TRUE(statusHas(u"You are now logged in as alice"));
    const long loggedIn = statusIndex(u"You are now logged in as alice");
    const long welcome = statusIndex(u"Welcome");
    ASSERT_GE(welcome, 0);
    EXPECT_LT(loggedIn, welcome);
    EXPECT_EQ(sockets.wire.find("alicepass"), std::string::npos) << "sent in clear, not base64";
    EXPECT_EQ(sockets.wire.find("CAP END"), sockets.wire.rfind("CAP END"));
}

TEST_F(AgainstInspircd, AWrongPasswordForARequiredLoginEndsTheConnectionWithoutJoining) {
    useServer(u"alice2", false, SaslLogin{u"PLAIN", u"alice", u"wrongpass", "", "", true});
    env.settings.settings.RegZapiszLONG(u"reconnect", 1);
    env.session.connection.connectCommand();
    ASSERT_TRUE(statusHas(u"*** SASL login failed: the account name or password was not accepted"))
        << server->logs();
    ASSERT_TRUE(statusHas(u"*** Disconnected"));
    EXPECT_TRUE(env.session.state.currentNick.empty()) << "registered as a guest";
    EXPECT_EQ(sockets.wire.find("CAP END"), std::string::npos);
    EXPECT_NE(sockets.wire.find("QUIT"), std::string::npos);
    EXPECT_FALSE(env.host.isRunning(kRetryTimer)) << "a refused login is retried";
}

TEST_F(AgainstInspircd, SaslExternalLogsInWithTheCertificateTheAccountHolds) {
    useServer(u"carol", true,
              SaslLogin{u"EXTERNAL", u"", u"", certificate->certFile, certificate->keyFile, true});
    ASSERT_TRUE(connectAs(u"carol")) << server->logs();
    EXPECT_TRUE(statusHas(u"You are now logged in as carol"));
}

TEST_F(AgainstInspircd, AMembersAwayStateAndNewHostReachTheUserListWithoutQuitOrJoinLines) {
    useServer(u"kolu");
    ASSERT_TRUE(connectAs(u"kolu")) << server->logs();
    RawIrcClient other;
    ASSERT_TRUE(other.connect(server->host(), server->port()));
    ASSERT_TRUE(other.login("other"));
    ASSERT_TRUE(other.join("#kolu"));
    env.session.commands.ParsujKomende(u"/join #kolu", u"");
    const auto details = [&]() -> const MemberDetails* {
        const UserList* list = env.session.tabs.pobierz_hwndlist(u"#kolu");
        return list ? list->details(u"other") : nullptr;
    };
    ASSERT_TRUE(env.pollUntil([&] { return details() != nullptr; })) << "no address from NAMES";
    const std::vector<std::u16string> joined = env.lines(u"#kolu");

    other.send("AWAY :out for lunch");
    ASSERT_TRUE(env.pollUntil([&] { return details()->away; }));
    EXPECT_EQ(details()->awayReason, u"out for lunch");

    RawIrcClient oper;
    ASSERT_TRUE(oper.connect(server->host(), server->port()));
    ASSERT_TRUE(oper.login("opsy"));
    oper.send(std::string("OPER ") + InspircdFixture::kOperName + " " +
              InspircdFixture::kOperPassword);
    ASSERT_TRUE(oper.waitFor([](const std::string& line) {
        return RawIrcClient::commandOf(line) == "381";  // you are now an operator
    })) << oper.transcript();
    oper.send("CHGHOST other moved.example.org");
    ASSERT_TRUE(env.pollUntil([&] { return details()->userHost.ends_with(u"@moved.example.org"); }));
    other.send("AWAY");
    ASSERT_TRUE(env.pollUntil([&] { return !details()->away; }));
    EXPECT_EQ(env.lines(u"#kolu"), joined);
}

TEST_F(AgainstInspircd, TheNotifyListIsWatchedWithMonitorAndNeverPolledWithIson) {
    useServer(u"watcher");
    env.settings.settings.RegZapiszLONG(u"en_notify", 1);
    env.settings.settings.RegZapiszMsg(u"notify", u"friend", kSpecialListSize);
    env.session.notify.NotifyList_Load();
    ASSERT_TRUE(connectAs(u"watcher")) << server->logs();
    ASSERT_TRUE(env.pollUntil([&] { return sockets.wire.find("MONITOR + friend") != std::string::npos; }));
    // Past the point where the poll would have asked again.
    for (int tick = 0; tick < 45; ++tick) {
        env.session.connection.pollTick();
    }
    EXPECT_EQ(sockets.wire.find("ISON"), std::string::npos);
}

TEST(InspircdStrictTransport, APlainConnectionMovesToTlsAndTheNextStartsThere) {
    test::InspircdOptions options;
    options.sts = true;
    options.stsDuration = 3600;
    InspircdFixture server(options);
    test::SessionEnv env;
    // By name: a TLS server states its policy only to a client that named the host (SNI).
    env.useServer(server.port(), "", false, "localhost");
    env.settings.write(TlsTrust::kFileName, "localhost " + pemFingerprint(server.caFile()) + "\n");
    env.setUser(u"secure", u"me@example.org", u"Kolu Tester");
    const auto connectedOverTls = [&] {
        return env.pollUntil([&] { return env.session.state.currentNick == u"secure"; },
                             std::chrono::milliseconds(8000));
    };
    env.session.connection.connectCommand();
    ASSERT_TRUE(connectedOverTls()) << server.logs();
    EXPECT_TRUE(test::anyLineHas(env.lines(), u"localhost asks for TLS: reconnecting to port " +
                                                  fromUtf8(std::to_string(server.tlsPort()))));
    ASSERT_TRUE(env.pollUntil([&] { return !env.settings.dir.read("sts_policies.txt").empty(); }));

    env.session.connection.disconnectRequest();
    ASSERT_TRUE(env.pollUntil([&] { return env.session.state.socket == kInvalidSocket; }));
    env.session.state.currentNick.clear();
    env.session.connection.connectCommand();
    ASSERT_TRUE(connectedOverTls()) << server.logs();
    EXPECT_TRUE(test::anyLineHas(env.lines(), u"is reached over TLS only: using port " +
                                                  fromUtf8(std::to_string(server.tlsPort()))));
}

}  // namespace
}  // namespace kolu
