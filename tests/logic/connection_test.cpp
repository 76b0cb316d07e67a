// The connection's life over loopback against the scripted server, and how one
// line is cut into pieces on its way to the socket.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "connection/tls_trust.h"
#include "platform/files.h"
#include "platform/text.h"
#include "tests/support/fake_irc_server.h"
#include "tests/support/fake_socket_layer.h"
#include "tests/support/session_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tls_test_server.h"
#include "ui/tab_registry.h"
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
    env.settings.clock.utc.month -= 1;  // the wall clock set back a month makes it no shorter
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

// The login is sent whole however slow the pacing. (A command typed while the name is looked
// up in the background is the main window's test.)
TEST_F(ConnectionTest, TheLoginIsNeverHeldByThePacing) {
    set(u"sendburst", 1);
    set(u"sendpace", 60000);
    connect();
    EXPECT_TRUE(state().connected);
    EXPECT_TRUE(server.expectNoLine(milliseconds(100)));
}

// The burst of five, then one line per interval.
TEST_F(ConnectionTest, LinesPastTheBurstWaitTheirTurnInOrderAndPongDoesNot) {
    set(u"sendpace", 2000);
    connect();
    // Idle for longer than a 32-bit millisecond count can tell: the whole burst is back.
    env.settings.clock.ticks += 25ull * 24 * 3600 * 1000;
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

    env.settings.clock.utc.month += 1;  // nor does the wall clock a month ahead
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

// A line held by the pacing shows when it goes; the waiting ones are counted once and
// can be dropped.
TEST_F(ConnectionTest, HeldLinesShowWhenTheyGoAndTheWaitingOnesAreCountedAndCanBeDropped) {
    set(u"sendburst", 1);
    set(u"sendpace", 2000);
    connect();
    env.settings.clock.ticks += 60000;
    state().currentNick = u"tester";
    TabRegistry& tabs = env.session.tabs;
    tabs.select(tabs.dodaj_zakladke(u"#c"));
    for (const char16_t* line : {u"/msg #c one", u"/msg #c two", u"/msg #c three"}) {
        env.session.commands.ParsujKomende(line, u"#c");
    }
    EXPECT_TRUE(server.expectLine("PRIVMSG #c :one"));
    EXPECT_EQ(env.lines(u"#c"), Lines{u"<tester> one"});
    env.settings.clock.ticks += 2000;
    connection().paceTick();
    EXPECT_TRUE(server.expectLine("PRIVMSG #c :two"));
    env.session.commands.ParsujKomende(u"/cancel", u"#c");
    env.session.commands.ParsujKomende(u"/CANCEL", u"#c");
    EXPECT_EQ(env.lines(u"#c"),
              (Lines{u"<tester> one", u"<tester> two",
                     u"*** 1 line is waiting to be sent (Escape or /cancel drops them)",
                     u"*** 1 line waiting to be sent was dropped",
                     u"*** No lines are waiting to be sent"}));
    EXPECT_FALSE(env.host.isRunning(kPaceTimer));
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
    env.useServer(server.port(), "", true);
    // Without a socket watch the handshake waits in place: the server answers meanwhile.
    std::thread client([&] { env.session.connection.connectCommand(); });
    ASSERT_TRUE(server.waitForClient());
    while (server.received().empty()) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    server.send(":irc.test NOTICE * :*** Looking up your hostname\r\n");
    client.join();
    EXPECT_EQ(server.received().find("nick"), std::string::npos);
    ASSERT_EQ(env.lines().size(), 2u);
    EXPECT_TRUE(env.lines()[0].starts_with(u"*** Unable to connect (TLS: "))
        << toUtf8(env.lines()[0]);
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST(TlsPort, WithNoTrustedAuthoritiesToLoadTheRefusalSaysSo) {
    test::TlsTestServer server;
    const test::ScopedEnv file("SSL_CERT_FILE", "/nonexistent/authorities.pem");
    const test::ScopedEnv folder("SSL_CERT_DIR", "/nonexistent");
    test::SessionEnv env;
    env.setUser();
    env.useServer(server.port(), "", true);
    env.session.connection.connectCommand();
    ASSERT_FALSE(env.lines().empty());
    EXPECT_TRUE(
        test::anyLineHas(env.lines(), u"; no trusted authorities could be loaded; SHA-256 "))
        << toUtf8(env.lines()[0]);
}

// The socket layer is a fake here: each send call is one piece.
class LineSender : public ::testing::Test {
  protected:
    LineSender() { sockets.acceptSends = true; }
    // As after the login: the socket open and the connection made.
    void connected() {
        env.session.state.socket = 7;
        env.session.state.connected = true;
    }

    test::FakeSocketLayer sockets;
    test::SessionEnv env{&sockets};
    Connection& connection = env.session.connection;
};

TEST_F(LineSender, LinesGoOutInWholePiecesOf1024BytesAndAFailedPieceIsReported) {
    EXPECT_EQ(connection.wys(7, std::u16string(1500, u'a')), 477);
    EXPECT_EQ(sockets.sent,
              (std::vector<std::string>{std::string(1024, 'a'), std::string(476, 'a') + "\n"}));
    sockets.sent.clear();
    connection.wys(7, std::u16string(1024, u'b'));
    connection.SendNonEmpty(7, u"");
    EXPECT_EQ(sockets.sent, (std::vector<std::string>{std::string(1024, 'b'), "\n"}));

    // Fewer UTF-16 units than a piece holds bytes, but more bytes; the emoji
    // straddles the first piece's end and goes whole into the next.
    sockets.sent.clear();
    const std::u16string head(511, u'\u0142'), tail = u"\U0001F600" + head.substr(22);
    connection.wys(7, head + tail);
    EXPECT_EQ(sockets.sent, (std::vector<std::string>{toUtf8(head), toUtf8(tail) + "\n"}));

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

// The server reads nothing: past the outbound limit the connection is given up,
// and nothing follows the line the queue cut.
TEST_F(LineSender, AnOverflowingQueueEndsTheConnectionWithNothingGluedOntoTheCutLine) {
    sockets.room = 100;
    connected();
    const std::u16string line = u"PRIVMSG #c :" + std::u16string(400, u'x');
    for (std::size_t queued = 0; queued <= Connection::kOutboundLimit; queued += line.size()) {
        connection.wys(7, line);
    }
    EXPECT_FALSE(env.session.state.connected);
    EXPECT_EQ(env.lastLine(), u"*** The server has not taken the last 1024 KB sent: disconnecting");
    sockets.room = SIZE_MAX;
    connection.wys(7, u"PING :more");
    connection.socketWritable();
    EXPECT_EQ(sockets.sentLines(), std::vector<std::string>{});
}

// A TLS write may wait for the peer's next record: the socket stays writable
// meanwhile, so watching it for writes would spin until something is read.
TEST_F(LineSender, AWriteThatWaitsForAReadIsRetriedAfterTheNextReadNotOnEveryWakeUp) {
    sockets.room = 0;
    sockets.sendWantsRead = true;
    connected();
    connection.wys(7, u"PRIVMSG #c :hi");
    EXPECT_TRUE(env.host.watch.writable);
    connection.socketWritable();
    EXPECT_FALSE(env.host.watch.writable);
    sockets.queueData(":irc.test NOTICE me :hi\r\n");
    connection.socketReadable();
    EXPECT_TRUE(env.host.watch.writable);
    // Closed before the socket took the line: it is said to be dropped, never lost unsaid.
    connection.disconnectRequest();
    connection.pollTick();
    EXPECT_EQ(std::ranges::count(env.lines(), u"*** 1 line waiting to be sent was dropped"), 1);
}

TEST(TlsTrustFile, AFileOverItsLimitIsNeitherReadNorReplaced) {
    test::TempDir dir;
    const std::string path = dir.file(TlsTrust::kFileName);
    const std::string text = "irc.test AB:CD\n" + std::string(TlsTrust::kFileLimit, '#');
    ASSERT_EQ(writeFileAtomically(path, text), 0);
    TlsTrust trust(path);
    EXPECT_FALSE(trust.trusts("irc.test", "AB:CD"));
    EXPECT_EQ(trust.trust("other.test", "EF:01"), EFBIG);
    EXPECT_EQ(dir.read(TlsTrust::kFileName), text);
}

}  // namespace
}  // namespace kolu
