// The servers and the raw client that the other integration tests stand on: if these are
// wrong, every protocol test built on them proves nothing.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "tests/support/fake_irc_server.h"
#include "tests/support/ngircd_fixture.h"
#include "tests/support/raw_irc_client.h"

namespace kolu::test {
namespace {

constexpr Millis kShort{100};

void sendAll(int fd, const std::string& bytes) {
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
}

// Reads until `size` bytes arrived, the peer closed, or the deadline passed.
std::string readBytes(int fd, std::size_t size, Millis timeout = kDefaultWait) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    timeval tick{0, 20000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick);
    while (got.size() < size && std::chrono::steady_clock::now() < deadline) {
        char buffer[512];
        const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, size - got.size()), 0);
        if (n == 0) {
            break;
        }
        if (n > 0) {
            got.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return got;
}

bool readsEndOfFile(int fd) {
    char byte;
    timeval wait{3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    return ::recv(fd, &byte, 1, 0) == 0;
}

// A plain socket connected to the fake server, claimed by it.
int connectPlain(FakeIrcServer& server) {
    const int fd = connectTcp("127.0.0.1", server.port());
    EXPECT_GE(fd, 0) << std::strerror(errno);
    EXPECT_TRUE(server.waitForClient());
    return fd;
}

TEST(FakeIrcServerTest, FramesLinesAcrossWritesAndSendsExactBytes) {
    FakeIrcServer server;
    const int fd = connectPlain(server);
    sendAll(fd, "nick al");
    EXPECT_TRUE(server.expectNoLine(kShort)) << "half a line is not a line";
    sendAll(fd, "ice\nuser alice example.com kolu :Alice A\n");
    EXPECT_TRUE(server.expectLine("nick alice"));
    EXPECT_TRUE(server.expectLine("user alice example.com kolu :Alice A"));

    const std::string reply = ":irc.test 001 alice :Welcome\r\n";
    ASSERT_TRUE(server.send(reply));
    EXPECT_EQ(readBytes(fd, reply.size()), reply);
    EXPECT_EQ(server.received(), "nick alice\nuser alice example.com kolu :Alice A\n");
    ::close(fd);
}

TEST(FakeIrcServerTest, ExpectLineReportsWhatCameInstead) {
    struct Case {
        const char* sent;
        const char* expected;
        bool matches;
        const char* shown;  // part of the failure message
    };
    const Case cases[] = {
        {"QUIT :bye\n", "QUIT :bye", true, ""},
        // The CR stays, so a client that frames with CR LF instead of LF is caught.
        {"PING x\r\n", "PING x", false, "but got \"PING x\\r\""},
        {"JOIN #a\n", "JOIN #b", false, "but got \"JOIN #a\""},
        {"", "nick a", false, "no line arrived"},
        {"nick a", "nick a", false, "unfinished bytes: \"nick a\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(printable(c.sent));
        FakeIrcServer server;
        const int fd = connectPlain(server);
        sendAll(fd, c.sent);
        const testing::AssertionResult result = server.expectLine(c.expected, kShort);
        EXPECT_EQ(static_cast<bool>(result), c.matches);
        EXPECT_NE(std::string(result.message()).find(c.shown), std::string::npos)
            << result.message();
        ::close(fd);
    }
}

TEST(FakeIrcServerTest, CloseClientIsEndOfFileAndTheClientMayComeBack) {
    FakeIrcServer server;
    const int first = connectPlain(server);
    sendAll(first, "nick a\n");
    ASSERT_TRUE(server.expectLine("nick a"));
    server.closeClient();
    EXPECT_FALSE(server.clientConnected());
    EXPECT_TRUE(readsEndOfFile(first));
    EXPECT_TRUE(server.waitForDisconnect(kShort));
    EXPECT_FALSE(server.send("PING :late\r\n"));
    ::close(first);

    const int second = connectPlain(server);
    EXPECT_EQ(server.connectionCount(), 2);
    sendAll(second, "nick b\n");
    EXPECT_TRUE(server.expectLine("nick b"));
    const std::string ping = "PING :again\r\n";
    ASSERT_TRUE(server.send(ping));
    EXPECT_EQ(readBytes(second, ping.size()), ping);
    ::close(second);
}

TEST(FakeIrcServerTest, SeesTheClientHangUpAndKeepsWhatItSent) {
    FakeIrcServer server;
    const int fd = connectPlain(server);
    sendAll(fd, "QUIT :gone\nunfinished");
    ::close(fd);
    EXPECT_TRUE(server.waitForDisconnect());
    EXPECT_TRUE(server.expectLine("QUIT :gone"));
    EXPECT_TRUE(server.expectNoLine(kShort));
    EXPECT_EQ(server.received(), "QUIT :gone\nunfinished");
    EXPECT_FALSE(server.send("PING :x\r\n"));
}

TEST(FakeIrcServerTest, WaitsFailWhenNothingHappens) {
    FakeIrcServer server;
    EXPECT_FALSE(server.waitForClient(kShort));
    EXPECT_FALSE(server.waitForDisconnect(kShort));
    EXPECT_FALSE(server.nextLine(kShort).has_value());
    EXPECT_FALSE(server.send("PING :nobody\r\n"));
    const int fd = connectPlain(server);
    EXPECT_FALSE(server.waitForDisconnect(kShort)) << "the client is still connected";
    ::close(fd);
}

TEST(FakeIrcServerTest, RefusedPortRefusesConnections) {
    const int port = FakeIrcServer::refusedPort();
    ASSERT_GT(port, 0);
    EXPECT_EQ(connectTcp("127.0.0.1", port), -1);
    EXPECT_EQ(errno, ECONNREFUSED);
}

TEST(RawIrcClientTest, SplitsLinesIntoCommandNickAndParameters) {
    struct Case {
        std::string line, command, nick;
        std::vector<std::string> params;
    };
    const Case cases[] = {
        {":al!~al@127.0.0.1 PRIVMSG #c :hi: there", "PRIVMSG", "al", {"#c", "hi: there"}},
        {"PING :irc.test", "PING", "", {"irc.test"}},
        {":irc.test 001 me :Welcome", "001", "irc.test", {"me", "Welcome"}},
        {":a!b@c MODE #x +o  me", "MODE", "a", {"#x", "+o", "me"}},
        {":a JOIN #x", "JOIN", "a", {"#x"}},
        {"ERROR :Closing link", "ERROR", "", {"Closing link"}},
        {":prefixonly", "", "prefixonly", {}},
        {"", "", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(RawIrcClient::commandOf(c.line), c.command);
        EXPECT_EQ(RawIrcClient::nickOf(c.line), c.nick);
        EXPECT_EQ(RawIrcClient::paramsOf(c.line), c.params);
    }
}

// Replies are queued before each call: the raw client blocks in the test thread.
TEST(RawIrcClientTest, LogsInJoinsAndAnswersPingsWhileWaiting) {
    FakeIrcServer server;
    RawIrcClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", server.port()));
    ASSERT_TRUE(server.waitForClient());

    ASSERT_TRUE(server.send("PING :tok1\r\n:irc.test 001 rawnic :Welcome\r\n"));
    ASSERT_TRUE(client.login("rawnick"));
    EXPECT_EQ(client.nick(), "rawnic") << "the welcome names the accepted nickname";
    EXPECT_TRUE(server.expectLine("NICK rawnick\r"));
    EXPECT_TRUE(server.expectLine("USER rawnick 0 * :Raw client rawnick\r"));
    EXPECT_TRUE(server.expectLine("PONG :tok1\r"));

    ASSERT_TRUE(server.send(":irc.test 403 rawnic #none :No such channel\r\n"));
    EXPECT_FALSE(client.join("#none"));
    ASSERT_TRUE(
        server.send(":RawNic!u@h JOIN :#Chan\r\n:irc.test 353 rawnic = #chan :rawnic\r\n"
                    ":irc.test 366 rawnic #chan :End\r\n:x!y@z PRIVMSG #chan :after\r\n"));
    EXPECT_TRUE(client.join("#chan"));
    EXPECT_EQ(client.waitFor("PRIVMSG"), ":x!y@z PRIVMSG #chan :after");
    EXPECT_FALSE(client.waitFor("PRIVMSG", kShort).has_value()) << "lines are consumed once";

    server.closeClient();
    EXPECT_TRUE(client.waitForClose());
    EXPECT_FALSE(client.isOpen());
}

TEST(RawIrcClientTest, LoginFailsOnARefusedNickname) {
    FakeIrcServer server;
    RawIrcClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", server.port()));
    ASSERT_TRUE(server.waitForClient());
    ASSERT_TRUE(server.send(":irc.test 433 * taken :Nickname is already in use\r\n"));
    const testing::AssertionResult result = client.login("taken");
    EXPECT_FALSE(result);
    EXPECT_NE(std::string(result.message()).find("433 * taken"), std::string::npos)
        << result.message();
}

class NgircdServerTest : public NgircdSuite {};

TEST_F(NgircdServerTest, WelcomesARawClientUnderItsConfiguredName) {
    RawIrcClient alice;
    ASSERT_TRUE(alice.connect(server().host(), server().port()));
    ASSERT_TRUE(alice.login("alice"));
    EXPECT_EQ(alice.history().back().rfind(":" + server().serverName() + " 001 alice ", 0), 0u)
        << alice.transcript();
    const auto motd = alice.waitFor(" 372 ");
    ASSERT_TRUE(motd.has_value()) << alice.transcript();
    EXPECT_NE(motd->find(NgircdFixture::kMotdLine), std::string::npos) << *motd;
}

// The client under test logs in with lower-case commands ended by a lone LF.
TEST_F(NgircdServerTest, AcceptsLoginLinesEndedByLineFeedOnly) {
    RawIrcClient kolu;
    ASSERT_TRUE(kolu.connect(server().host(), server().port()));
    ASSERT_TRUE(kolu.sendRaw("nick kolu\nuser me example.com kolu :Kolu Tester\n"));
    const auto welcome = kolu.waitFor(
        [](const std::string& line) { return RawIrcClient::commandOf(line) == "001"; });
    ASSERT_TRUE(welcome.has_value()) << kolu.transcript();
    EXPECT_EQ(RawIrcClient::paramsOf(*welcome).front(), "kolu");
}

TEST_F(NgircdServerTest, RelaysChannelEventsToAnotherMember) {
    RawIrcClient alice, bob;
    ASSERT_TRUE(alice.connect(server().host(), server().port()));
    ASSERT_TRUE(bob.connect(server().host(), server().port()));
    ASSERT_TRUE(alice.login("alice"));
    ASSERT_TRUE(bob.login("bob"));
    ASSERT_TRUE(bob.join("#kolu"));
    ASSERT_TRUE(alice.join("#kolu"));

    auto from = [](const std::string& nick, const std::string& command) {
        return [=](const std::string& line) {
            return RawIrcClient::nickOf(line) == nick && RawIrcClient::commandOf(line) == command;
        };
    };
    EXPECT_TRUE(bob.waitFor(from("alice", "JOIN")).has_value()) << bob.transcript();
    ASSERT_TRUE(alice.send("PRIVMSG #kolu :hello bob"));
    EXPECT_EQ(bob.waitFor(from("alice", "PRIVMSG")),
              ":alice!~alice@127.0.0.1 PRIVMSG #kolu :hello bob");
    ASSERT_TRUE(alice.changeNick("alicia"));
    EXPECT_EQ(alice.nick(), "alicia");
    EXPECT_TRUE(bob.waitFor(from("alice", "NICK")).has_value()) << bob.transcript();
    alice.quit("done");
    EXPECT_FALSE(alice.isOpen());
    EXPECT_TRUE(bob.waitFor(from("alicia", "QUIT")).has_value()) << bob.transcript();
}

TEST(NgircdFixtureTest, StopEndsTheServerAndFreesItsPort) {
    NgircdFixture server;
    const int port = server.port();
    const pid_t pid = server.pid();
    RawIrcClient client;
    ASSERT_TRUE(client.connect(server.host(), port));
    ASSERT_TRUE(client.login("stayer"));

    server.stop();
    EXPECT_FALSE(server.running());
    EXPECT_EQ(::kill(pid, 0), -1) << "the server process was reaped";
    EXPECT_TRUE(client.waitForClose());
    EXPECT_EQ(connectTcp("127.0.0.1", port), -1);
    EXPECT_EQ(errno, ECONNREFUSED);
    EXPECT_NE(server.log().find("[ngIRCd exited with status 0]"), std::string::npos)
        << server.log();
    server.stop();  // again: nothing left to do
}

TEST(NgircdFixtureTest, RequiresTheConfiguredPassword) {
    NgircdFixture server({.serverName = "pass.test", .password = "sesame"});
    RawIrcClient member, stranger;
    ASSERT_TRUE(member.connect(server.host(), server.port()));
    ASSERT_TRUE(stranger.connect(server.host(), server.port()));
    EXPECT_TRUE(member.login("member", "sesame"));
    EXPECT_EQ(RawIrcClient::nickOf(member.history().back()), "pass.test");
    EXPECT_FALSE(stranger.login("stranger", "guess"));
}

}  // namespace
}  // namespace kolu::test
