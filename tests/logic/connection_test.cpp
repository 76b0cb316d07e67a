// The connection's life over loopback against the scripted server, and how one
// line is cut into pieces on its way to the socket.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/text.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/session_env.h"
#include "ui/text_lines.h"

namespace kolu {
namespace {

using std::chrono::milliseconds;
using test::FakeIrcServer;
using Lines = std::vector<std::u16string>;

class ConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        env.useServer(server.port());
        env.setUser();
    }
    Connection& connection() { return env.session.connection; }
    SessionState& state() { return env.session.state; }
    void set(std::u16string_view name, std::uint32_t value) {
        env.settings.putDword(kSettingsKey, name, value);
    }
    void connect() {
        connection().connectCommand();
        ASSERT_TRUE(server.waitForClient());
        ASSERT_TRUE(server.expectLine("nick tester"));
        ASSERT_TRUE(server.expectLine("user me example.org kolu :Test User"));
    }

    FakeIrcServer server;
    test::SessionEnv env;
};

TEST_F(ConnectionTest, IncompleteUserOptionsStopTheLogin) {
    env.setUser(u"tester", u"no-at-sign", u"Test User");
    set(u"reconnect", 1);
    connection().connectCommand();
    EXPECT_EQ(state().socket, kInvalidSocket);
    EXPECT_EQ(env.host.messageBoxes.back().text, u"First fill in an user options!");
    EXPECT_TRUE(env.host.isRunning(kRetryTimer));  // the reconnect rule still applies
    EXPECT_EQ(env.host.labels, (std::vector<bool>{true, false}));
}

TEST_F(ConnectionTest, ServerCloseReconnectsAfreshInTheSameTickAfterAMinuteElseAfterAGrowingWait) {
    set(u"reconnect", 1);
    connect();
    env.settings.clock.ticks += Connection::kLongConnectionMs;
    env.session.tabs.dodaj_zakladke(u"#chan");
    server.send(":irc.test 005 tester PREFIX=(qaohv)~&@%+ :are supported\r\n");
    server.closeClient();
    ASSERT_TRUE(env.pollUntil([&] { return server.connectionCount() >= 2; }));
    ASSERT_TRUE(server.waitForClient());
    EXPECT_EQ(std::ranges::count(env.lines(), u"*** Disconnected"), 1);
    EXPECT_EQ(env.session.tabs.count(), 1);  // the new connection starts with the status tab only
    EXPECT_EQ(env.session.tabs.memberRanks(), MemberRanks());  // and the usual two ranks
    EXPECT_TRUE(state().connected);

    // That one is short.
    auto closeAndWait = [&] {
        server.closeClient();
        EXPECT_TRUE(env.pollUntil([&] { return state().socket == kInvalidSocket; }));
        EXPECT_TRUE(env.host.isRunning(kRetryTimer));
        return env.host.intervals[kRetryTimer];
    };
    EXPECT_EQ(closeAndWait(), 5000);
    EXPECT_EQ(env.lines().back(), u"*** Reconnecting in 5 seconds");
    EXPECT_EQ(server.connectionCount(), 2);
    for (const int wait : {10000, 20000, 40000, 80000, 160000, 300000, 300000}) {
        connection().retryTick();
        ASSERT_TRUE(server.waitForClient());
        EXPECT_EQ(closeAndWait(), wait);
    }
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
    lookups[0].first();
    lookups[0].second();
    EXPECT_EQ(env.lines(), Lines{u"*** Disconnected"});
    lookups[1].first();
    lookups[1].second();
    ASSERT_EQ(env.lines().size(), 2u);
    EXPECT_TRUE(env.lines()[1].starts_with(u"*** Connecting")) << toUtf8(env.lines()[1]);
    EXPECT_TRUE(server.waitForClient());
}

// The burst of five, then one line per interval; the interval crosses the tick count's wrap.
TEST_F(ConnectionTest, LinesPastTheBurstWaitTheirTurnInOrderAndPongDoesNot) {
    set(u"sendpace", 2000);
    env.settings.clock.ticks = 0xFFFFFFFFu - 11000;
    connect();
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
    EXPECT_EQ(env.host.intervals[kPaceTimer], 2000);

    env.settings.clock.ticks += 1999;
    connection().paceTick();
    EXPECT_EQ(env.host.intervals[kPaceTimer], 1);  // not yet
    env.settings.clock.ticks += 1;
    connection().paceTick();
    EXPECT_TRUE(server.expectLine("PRIVMSG #c :6"));
    EXPECT_TRUE(env.host.isRunning(kPaceTimer));

    // Disconnect: what still waits is dropped, and said so; nothing reconnects.
    set(u"reconnect", 1);
    state().userIsonPending = true;  // a /ison left unanswered is forgotten
    connection().connectCommand();
    connection().pollTick();
    EXPECT_EQ(std::ranges::count(env.lines(), u"*** 2 lines waiting to be sent were dropped"), 1);
    EXPECT_TRUE(env.host.running.empty());
    EXPECT_FALSE(state().userIsonPending);
    EXPECT_TRUE(server.waitForDisconnect());
    EXPECT_TRUE(server.expectNoLine(milliseconds(100)));
}

// The host name leads first to 127.0.0.2, where nothing listens.
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
    env.setUser();
    env.settings.write("servers.txt", "Test\tirc.test\t" + std::to_string(server.port()) + "\t");
    env.session.connection.connectCommand();
    ASSERT_TRUE(server.waitForClient());
    EXPECT_EQ(env.lines(), Lines{u"*** Connecting to irc.test [127.0.0.1] (" +
                                 fromUtf8(std::to_string(server.port())) + u")"});
}

// Refused connections wait out the 3-second connect wait, so these are few.
TEST(RefusedConnection, RetriesOnlyWhenReconnectIsOneUntilCancelled) {
    for (const std::uint32_t reconnect : {1u, 0xFFFFFFFFu}) {
        test::SessionEnv env;
        env.useServer(FakeIrcServer::refusedPort());
        env.setUser();
        env.settings.putDword(kSettingsKey, u"reconnect", reconnect);
        Connection& connection = env.session.connection;
        connection.connectCommand();
        EXPECT_EQ(env.lines(),
                  (Lines{u"*** Unable to connect (Connection refused)", u"*** Disconnected"}));
        EXPECT_EQ(env.host.isRunning(kRetryTimer), reconnect == 1);
        if (reconnect == 1) {
            connection.connectCommand();  // Connect while waiting: cancel
            EXPECT_FALSE(env.host.isRunning(kRetryTimer));
            EXPECT_EQ(env.lines().size(), 3u);
        } else {
            // A retry pending from before is left alone.
            env.session.state.retryTimerRunning = true;
            env.host.running.insert(kRetryTimer);
            EXPECT_EQ(connection.polacz(), kInvalidSocket);
            EXPECT_TRUE(env.host.isRunning(kRetryTimer));
        }
    }
}

TEST(TlsPort, AServerThatAnswersInPlainTextFailsTheHandshakeAndNeverGetsTheLogin) {
    FakeIrcServer server;
    test::SessionEnv env;
    env.setUser();
    env.settings.write("servers.txt", "Test\t127.0.0.1\t+" + std::to_string(server.port()) + "\t");
    // Without a socket watch the handshake waits in place: the server answers meanwhile.
    std::thread client([&] { env.session.connection.connectCommand(); });
    ASSERT_TRUE(server.waitForClient());
    while (server.received().empty()) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    server.send(":irc.test NOTICE * :*** Looking up your hostname\r\n");
    client.join();
    EXPECT_EQ(server.received().substr(0, 2), std::string("\x16\x03")) << "not a TLS record";
    EXPECT_EQ(server.received().find("nick"), std::string::npos);
    ASSERT_EQ(env.lines().size(), 2u);
    EXPECT_TRUE(env.lines()[0].starts_with(u"*** Unable to connect (TLS: "))
        << toUtf8(env.lines()[0]);
    EXPECT_EQ(server.connectionCount(), 1);
}

// The socket layer is a fake here: each send call is one piece.
TEST(LineSender, LinesGoOutInWholePiecesOf1024BytesAndAFailedPieceIsReported) {
    test::FakeSocketLayer sockets;
    sockets.acceptSends = true;
    test::SessionEnv env{&sockets};
    Connection& connection = env.session.connection;
    EXPECT_EQ(connection.wys(7, std::u16string(1500, u'a')), 477);
    EXPECT_EQ(sockets.sent,
              (std::vector<std::string>{std::string(1024, 'a'), std::string(476, 'a') + "\n"}));
    sockets.sent.clear();
    connection.wys(7, std::u16string(1024, u'b'));
    connection.SendNonEmpty(7, u"");
    EXPECT_EQ(sockets.sent, (std::vector<std::string>{std::string(1024, 'b'), "\n"}));

    // Fewer UTF-16 units than a piece holds bytes, but more bytes; the emoji
    // straddles the first piece's end.
    sockets.sent.clear();
    const std::u16string text =
        std::u16string(511, u'\u0142') + u"\U0001F600" + std::u16string(489, u'\u0142');
    connection.wys(7, text);
    std::string joined;
    for (const std::string& piece : sockets.sent) {
        EXPECT_LE(piece.size(), 1024u);
        EXPECT_EQ(toUtf8(fromUtf8(piece)), piece) << "split character";
        joined += piece;
    }
    EXPECT_EQ(joined, toUtf8(text) + "\n");

    // Every line sent is one protocol line: a line end or NUL ends it.
    sockets.sent.clear();
    connection.wys(7, u"PRIVMSG #c :hi\r\nQUIT :bye");
    connection.wys(7, u"PRIVMSG #c :a\nJOIN #x");
    connection.wys(7, std::u16string_view(u"PRIVMSG #c :b\0MODE", 18));
    EXPECT_EQ(sockets.sentLines(),
              (std::vector<std::string>{"PRIVMSG #c :hi", "PRIVMSG #c :a", "PRIVMSG #c :b"}));

    sockets.acceptSends = false;
    sockets.calls.clear();
    EXPECT_EQ(connection.wys(7, std::u16string(1100, u'c')), kSocketError);
    EXPECT_EQ(sockets.count("send"), 2);  // the tail still goes
    EXPECT_EQ(env.lines().back(), u"*** [10038] Software caused connection abort");
    const TextLines& status = *env.session.tabs.pobierz_hwndtxtbiez(0);
    EXPECT_EQ(status.line(status.lineCount() - 1).colour, env.colours.of(LineClass::Info));
}

}  // namespace
}  // namespace kolu
