// The connection's life over loopback against the scripted server: login
// lines, the connect and retry timers, disconnects and reconnects.
#include <gtest/gtest.h>

#include <thread>

#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/session_env.h"

namespace kolu {
namespace {

using std::chrono::milliseconds;
using test::FakeIrcServer;
using test::MessageBoxCall;

bool contains(const std::vector<std::u16string>& lines, std::u16string_view text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

class ConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.useServer(server.port());
        env.setUser();
    }
    Connection& connection() { return env.session.connection; }
    SessionState& state() { return env.session.state; }
    void connect() {
        connection().connectCommand();
        ASSERT_NE(state().socket, kInvalidSocket);
        ASSERT_TRUE(server.waitForClient());
    }

    FakeIrcServer server;
    test::SessionEnv env;
};

TEST_F(ConnectionTest, LogsInWithPasswordNickAndUserInThatOrder) {
    env.useServer(server.port(), "secret");
    connect();
    EXPECT_TRUE(server.expectLine("PASS secret"));
    EXPECT_TRUE(server.expectLine("nick tester"));
    EXPECT_TRUE(server.expectLine("user me example.org kolu :Test User"));
    EXPECT_TRUE(state().connected);
    EXPECT_TRUE(env.host.isRunning(kPollTimer));
    EXPECT_EQ(env.host.labels, std::vector<bool>{true});
    EXPECT_EQ(env.lines().back(),
              u"*** Connecting to 127.0.0.1 (" + fromUtf8(std::to_string(server.port())) + u")");
}

TEST_F(ConnectionTest, WithoutAPasswordTheNickLineComesFirst) {
    connect();
    EXPECT_TRUE(server.expectLine("nick tester"));
}

TEST_F(ConnectionTest, IncompleteUserOptionsStopTheLogin) {
    env.setUser(u"tester", u"no-at-sign", u"Test User");
    env.settings.putDword(kSettingsKey, u"reconnect", 1);
    connection().connectCommand();
    EXPECT_EQ(state().socket, kInvalidSocket);
    EXPECT_EQ(env.host.messageBoxes,
              std::vector<MessageBoxCall>({{u"First fill in an user options!", u"Error!"}}));
    EXPECT_TRUE(env.host.isRunning(kRetryTimer));  // the reconnect rule still applies
    EXPECT_EQ(env.lines().back(), u"*** Disconnected");
    EXPECT_EQ(env.host.labels, (std::vector<bool>{true, false}));
}

TEST_F(ConnectionTest, NoChosenServerIsReported) {
    env.settings.putDword(kSettingsKey, u"server", 5);  // past the one server
    connection().connectCommand();
    EXPECT_EQ(state().socket, kInvalidSocket);
    EXPECT_EQ(env.host.messageBoxes,
              std::vector<MessageBoxCall>({{u"Select an IRC server first!", u"Error!"}}));
}

TEST_F(ConnectionTest, ServerPingIsAnsweredAndLinesArePrinted) {
    env.settings.putDword(kSettingsKey, u"hideping", 0);
    connect();
    server.send(":irc.test 001 tester :Welcome to the test network\r\nPING :abc123\r\n");
    ASSERT_TRUE(env.pollUntil([&] { return contains(env.lines(), u"PING? PONG!"); }));
    EXPECT_TRUE(contains(env.lines(), u"Welcome to the test network"));
    EXPECT_TRUE(server.expectLine("nick tester"));
    EXPECT_TRUE(server.expectLine("user me example.org kolu :Test User"));
    EXPECT_TRUE(server.expectLine("PONG :abc123"));
}

TEST_F(ConnectionTest, ServerCloseShowsDisconnectedInEveryTabAndReconnectsInTheSameTick) {
    env.settings.putDword(kSettingsKey, u"reconnect", 1);
    connect();
    env.settings.clock.ticks += Connection::kLongConnectionMs;  // a connection of a minute
    env.session.tabs.dodaj_zakladke(u"#chan");
    server.send(
        ":irc.test 005 tester PREFIX=(qaohv)~&@%+ :are supported\r\n"
        ":irc.test NOTICE tester :last words\r\n");
    server.closeClient();
    ASSERT_TRUE(env.pollUntil([&] { return server.connectionCount() >= 2; }));
    EXPECT_TRUE(contains(env.lines(), u"-irc.test- last words"));
    EXPECT_TRUE(contains(env.lines(), u"*** Disconnected"));
    EXPECT_EQ(env.session.tabs.count(), 1);  // the new connection starts with the status tab only
    EXPECT_EQ(env.session.tabs.memberRanks(), MemberRanks());  // and the usual two ranks
    EXPECT_NE(state().socket, kInvalidSocket);
    EXPECT_TRUE(state().connected);
}

TEST_F(ConnectionTest, ShortConnectionsAreReopenedAfterAGrowingWait) {
    env.settings.putDword(kSettingsKey, u"reconnect", 1);
    auto closeAndWait = [&] {
        server.closeClient();
        EXPECT_TRUE(env.pollUntil([&] { return state().socket == kInvalidSocket; }));
        EXPECT_TRUE(env.host.isRunning(kRetryTimer));
        return env.host.intervals[kRetryTimer];
    };
    connect();
    const int connectionsBefore = server.connectionCount();
    EXPECT_EQ(closeAndWait(), 5000);
    EXPECT_EQ(env.lines().back(), u"*** Reconnecting in 5 seconds");
    EXPECT_EQ(server.connectionCount(), connectionsBefore);
    int expected = 5000;
    for (int attempt = 0; attempt < 8; ++attempt) {
        connection().retryTick();
        ASSERT_TRUE(server.waitForClient());
        expected = std::min(expected * 2, Connection::kLongestRetryMs);
        EXPECT_EQ(closeAndWait(), expected);
    }
    EXPECT_EQ(expected, 300000);
    // The user's Connect starts again from the shortest wait.
    connection().connectCommand();  // cancels the wait
    connection().connectCommand();
    ASSERT_TRUE(server.waitForClient());
    EXPECT_EQ(closeAndWait(), 5000);
}

TEST_F(ConnectionTest, AHostLookupAnsweredAfterTheUserGaveUpIsIgnored) {
    env.host.deferBackground = true;
    connection().connectCommand();  // Connect: the name is looked up in the background
    connection().connectCommand();  // Disconnect before the answer
    connection().connectCommand();  // Connect again
    auto& lookups = env.host.background;
    ASSERT_EQ(lookups.size(), 2u);
    auto connecting = [&] {
        const auto lines = env.lines();
        return std::count_if(lines.begin(), lines.end(), [](const std::u16string& line) {
            return line.starts_with(u"*** Connecting to ");
        });
    };
    lookups[0].first();
    lookups[0].second();
    EXPECT_EQ(connecting(), 0);
    lookups[1].first();
    lookups[1].second();
    EXPECT_EQ(connecting(), 1);
    EXPECT_NE(state().socket, kInvalidSocket);
    ASSERT_TRUE(server.waitForClient());
    EXPECT_TRUE(server.expectLine("nick tester"));
}

TEST_F(ConnectionTest, LinesPastTheBurstWaitTheirTurnInOrderAndPongDoesNot) {
    env.settings.putDword(kSettingsKey, u"sendpace", 2000);
    connect();
    ASSERT_TRUE(server.expectLine("nick tester"));
    ASSERT_TRUE(server.expectLine("user me example.org kolu :Test User"));
    env.settings.clock.ticks += 10000;  // idle long enough for a whole burst
    for (char16_t n = u'1'; n <= u'8'; ++n) {
        connection().wys(state().socket, std::u16string(u"PRIVMSG #c :") + n);
    }
    connection().wys(state().socket, u"PONG :irc.test");
    for (char n = '1'; n <= '5'; ++n) {
        EXPECT_TRUE(server.expectLine(std::string("PRIVMSG #c :") + n));
    }
    EXPECT_TRUE(server.expectLine("PONG :irc.test"));
    EXPECT_TRUE(server.expectNoLine(milliseconds(100)));
    ASSERT_TRUE(env.host.isRunning(kPaceTimer));
    EXPECT_EQ(env.host.intervals[kPaceTimer], 2000);

    env.settings.clock.ticks += 2000;
    connection().paceTick();
    EXPECT_TRUE(server.expectLine("PRIVMSG #c :6"));
    EXPECT_TRUE(env.host.isRunning(kPaceTimer));

    connection().connectCommand();  // Disconnect: what still waits is dropped, and said so
    connection().pollTick();
    EXPECT_TRUE(contains(env.lines(), u"*** 2 lines waiting to be sent were dropped"));
    EXPECT_FALSE(env.host.isRunning(kPaceTimer));
    EXPECT_TRUE(server.expectNoLine(milliseconds(100)));
}

TEST_F(ConnectionTest, DisconnectedReachesEveryTabOnce) {
    env.session.tabs.dodaj_zakladke(u"status");  // a query with someone called status
    connection().DisplayDisconnected();
    EXPECT_EQ(env.lines(0), std::vector<std::u16string>{u"*** Disconnected"});
    EXPECT_EQ(env.lines(1), std::vector<std::u16string>{u"*** Disconnected"});
}

TEST_F(ConnectionTest, DisconnectRequestNeverReconnects) {
    env.settings.putDword(kSettingsKey, u"reconnect", 1);
    // A /ison left unanswered is forgotten at the connect and at the disconnect.
    state().userIsonPending = true;
    connect();
    EXPECT_FALSE(state().userIsonPending);
    state().userIsonPending = true;
    connection().connectCommand();  // Disconnect
    EXPECT_FALSE(state().connected);
    connection().pollTick();
    EXPECT_EQ(state().socket, kInvalidSocket);
    EXPECT_FALSE(state().userQuit);
    EXPECT_FALSE(state().userIsonPending);
    EXPECT_FALSE(env.host.isRunning(kPollTimer));
    EXPECT_FALSE(env.host.isRunning(kRetryTimer));
    EXPECT_TRUE(server.waitForDisconnect());
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(ConnectionTest, EveryLineSentIsOneProtocolLine) {
    connect();
    connection().wys(state().socket, u"PRIVMSG #c :hi\r\nQUIT :bye");
    connection().wys(state().socket, u"PRIVMSG #c :a\nJOIN #x");
    connection().wys(state().socket, std::u16string_view(u"PRIVMSG #c :b\0MODE", 18));
    EXPECT_TRUE(server.expectLine("nick tester"));
    EXPECT_TRUE(server.expectLine("user me example.org kolu :Test User"));
    EXPECT_TRUE(server.expectLine("PRIVMSG #c :hi"));
    EXPECT_TRUE(server.expectLine("PRIVMSG #c :a"));
    EXPECT_TRUE(server.expectLine("PRIVMSG #c :b"));
    EXPECT_TRUE(server.expectNoLine(milliseconds(100)));
}

TEST_F(ConnectionTest, ANestedTickDuringDispatchDoesNothing) {
    struct Reentrant final : ReplyDispatcher {
        Connection* connection = nullptr;
        int lines = 0;
        void dispatch(const Reply&) override {
            ++lines;
            connection->pollTick();  // as a modal prompt's event loop would
        }
    } reentrant;
    reentrant.connection = &connection();
    connection().setDispatcher(&reentrant);
    connect();
    server.send("one\r\ntwo\r\n");
    ASSERT_TRUE(env.pollUntil([&] { return reentrant.lines == 2; }));
    EXPECT_TRUE(state().connected);
}

// Refused connections wait out the 3-second connect wait, so these are few.
// The real sockets, with a host name that leads first to an address where
// nothing listens (127.0.0.2: the scripted server listens on 127.0.0.1 only).
class TwoAddressSockets final : public PosixSocketLayer {
  public:
    std::function<HostLookup()> prepareLookup(std::string_view) override {
        return [] {
            return HostLookup{
                {SocketAddress::ipv4(127, 0, 0, 2), SocketAddress::ipv4(127, 0, 0, 1)}, 0};
        };
    }
};

TEST(ConnectionAddresses, AnAddressThatRefusesIsPassedForTheNextAndTheLineNamesTheOneUsed) {
    FakeIrcServer server;
    TwoAddressSockets sockets;
    test::SessionEnv env(&sockets);
    env.useServer(server.port());
    env.setUser();
    writeFileAtomically(env.settings.dir.file("servers.txt"),
                        "Test\tirc.test\t" + std::to_string(server.port()) + "\t\r\n", 0600);
    env.session.connection.connectCommand();
    ASSERT_TRUE(server.waitForClient());
    EXPECT_TRUE(server.expectLine("nick tester"));
    EXPECT_EQ(env.lines(),
              std::vector<std::u16string>{u"*** Connecting to irc.test [127.0.0.1] (" +
                                          fromUtf8(std::to_string(server.port())) + u")"});
}

class RefusedConnection : public ::testing::Test {
  protected:
    void SetUp() override {
        env.useServer(FakeIrcServer::refusedPort());
        env.setUser();
    }
    test::SessionEnv env;
};

TEST_F(RefusedConnection, RetriesEveryFiveSecondsUntilCancelled) {
    env.settings.putDword(kSettingsKey, u"reconnect", 1);
    Connection& connection = env.session.connection;
    connection.connectCommand();
    EXPECT_EQ(env.lines(),
              (std::vector<std::u16string>{u"*** Unable to connect (Connection refused)",
                                           u"*** Disconnected"}));
    EXPECT_TRUE(env.host.isRunning(kRetryTimer));
    EXPECT_EQ(env.host.labels, (std::vector<bool>{true, false}));

    connection.connectCommand();  // Connect while waiting: cancel
    EXPECT_FALSE(env.host.isRunning(kRetryTimer));
    EXPECT_EQ(env.lines().back(), u"*** Disconnected");
    EXPECT_EQ(env.lines().size(), 3u);
}

TEST(TlsPort, AServerThatAnswersInPlainTextFailsTheHandshakeAndNeverGetsTheLogin) {
    FakeIrcServer server;
    test::SessionEnv env;
    env.useServer(server.port());
    env.setUser();
    writeFileAtomically(env.settings.dir.file("servers.txt"),
                        "Test\t127.0.0.1\t+" + std::to_string(server.port()) + "\t\r\n", 0600);
    // Without a socket watch the handshake waits in place: the server answers meanwhile.
    std::thread client([&] { env.session.connection.connectCommand(); });
    ASSERT_TRUE(server.waitForClient());
    while (server.received().empty()) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    server.send(":irc.test NOTICE * :*** Looking up your hostname\r\n");
    client.join();

    const std::string hello = server.received();
    EXPECT_EQ(hello.substr(0, 2), std::string("\x16\x03")) << "not a TLS handshake record";
    EXPECT_EQ(hello.find("NICK"), std::string::npos);
    EXPECT_EQ(hello.find("nick"), std::string::npos);
    ASSERT_EQ(env.lines().size(), 2u);
    EXPECT_EQ(env.lines()[0].rfind(u"*** Unable to connect (TLS: ", 0), 0u)
        << toUtf8(env.lines()[0]);
    EXPECT_EQ(env.lines()[1], u"*** Disconnected");
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(RefusedConnection, AMissingReconnectSettingLeavesTheRetryTimerAlone) {
    env.settings.putDword(kSettingsKey, u"reconnect",
                          0xFFFFFFFF);  // reads as -1, like a missing value
    Connection& connection = env.session.connection;
    connection.connectCommand();
    EXPECT_FALSE(env.host.isRunning(kRetryTimer));

    env.session.state.retryTimerRunning = true;  // a retry pending from before
    env.host.running.insert(kRetryTimer);
    EXPECT_EQ(connection.polacz(), kInvalidSocket);
    EXPECT_TRUE(env.host.isRunning(kRetryTimer));
    EXPECT_TRUE(env.session.state.retryTimerRunning);
}

}  // namespace
}  // namespace kolu
