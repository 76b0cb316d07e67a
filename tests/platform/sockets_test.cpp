#include "platform/sockets.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/support/fake_irc_server.h"

namespace kolu {
namespace {

// The far side of a connection, made with plain POSIX calls so that only one end
// runs through the layer under test: listening on loopback, port chosen by the system.
class Listener {
  public:
    explicit Listener(int receiveBuffer = 0) {
        m_fd = test::bindLoopback(m_port);
        if (receiveBuffer > 0) {
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        ::listen(m_fd, 4);
    }
    ~Listener() { ::close(m_fd); }

    int port() const { return m_port; }
    // The accepted connection, or -1 after 5 s.
    int accept() {
        pollfd pfd{m_fd, POLLIN, 0};
        return ::poll(&pfd, 1, 5000) == 1 ? ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    }

  private:
    int m_fd = -1;
    int m_port = 0;
};

const SocketAddress kLoopback = SocketAddress::ipv4(127, 0, 0, 1);

class SocketsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(m_layer.startup(0x0101), 0); }
    void TearDown() override { ::close(m_peer); }

    // A connection made as the client makes it: non-blocking connect, a wait
    // for writability, then blocking again. The accepted end goes to m_peer.
    SocketHandle connectTo(Listener& listener, const SocketAddress& address = kLoopback) {
        const SocketHandle sock = m_layer.openTcp();
        EXPECT_NE(sock, kInvalidSocket);
        EXPECT_EQ(m_layer.setNonBlocking(sock, true), 0);
        if (m_layer.connect(sock, address, listener.port()) != 0) {
            EXPECT_EQ(m_layer.lastError(), kWsaEwouldblock);
            SelectSets sets{.write = true};
            EXPECT_EQ(m_layer.select(sock, sets, 3000), 1);
        }
        EXPECT_EQ(m_layer.setNonBlocking(sock, false), 0);
        m_peer = listener.accept();
        EXPECT_GE(m_peer, 0);
        return sock;
    }

    PosixSocketLayer m_layer;
    int m_peer = -1;
};

TEST(SocketsStartupTest, EveryKindOfOperationFailsOutsideCountedStartups) {
    PosixSocketLayer layer, other;
    char buffer[16] = {};
    const auto notStarted = [&](bool failed) {
        EXPECT_TRUE(failed);
        EXPECT_EQ(layer.lastError(), kWsaNotinitialised);
        layer.setLastError(0);
    };
    notStarted(layer.cleanup() == kSocketError);
    notStarted(!layer.resolve("127.0.0.1").has_value());
    notStarted(layer.openTcp() == kInvalidSocket);
    notStarted(layer.recv(3, buffer, sizeof buffer) == kSocketError);
    EXPECT_EQ(layer.startup(0x0000), kWsaVernotsupported);
    notStarted(layer.openTcp() == kInvalidSocket);  // the refused start-up counts for nothing
    ASSERT_EQ(layer.startup(0x0101), 0);
    ASSERT_EQ(layer.startup(0x0202), 0);
    const SocketHandle sock = layer.openTcp();
    EXPECT_EQ(layer.cleanup(), 0);
    EXPECT_EQ(layer.setNonBlocking(sock, true), 0);  // one start-up still stands
    EXPECT_EQ(layer.cleanup(), 0);
    EXPECT_EQ(layer.openTcp(), kInvalidSocket);
    EXPECT_EQ(layer.lastError(), kWsaNotinitialised);
    EXPECT_EQ(other.lastError(), 0);
}

// Numeric names only, so no name server is asked; "127.0.0.1", "[::1]" and the
// addresses' text are the connection and ngIRCd tests' own.
TEST_F(SocketsTest, ResolvesAddressesAndRejectsBadNames) {
    const std::pair<std::string, std::optional<SocketAddress>> cases[] = {
        {"0:0:0::1", SocketAddress::ipv6Loopback()},
        {"", std::nullopt},
        {std::string("127.0.0.1\0evil", 14), std::nullopt},
    };
    for (const auto& [name, expected] : cases) {
        m_layer.setLastError(0);
        EXPECT_EQ(m_layer.resolve(name), expected) << name;
        EXPECT_EQ(m_layer.lastError(), expected ? 0 : kWsaHostNotFound) << name;
    }
}

// A refused non-blocking connect is never writable, only exceptional: asking
// for writability alone waits out the timeout, as the client's connect wait does.
// The client never connects blocking.
TEST_F(SocketsTest, RefusedConnectShowsOnlyAsException) {
    for (const bool withExcept : {false, true}) {
        SCOPED_TRACE(withExcept);
        const SocketHandle sock = m_layer.openTcp();
        ASSERT_EQ(m_layer.setNonBlocking(sock, true), 0);
        EXPECT_EQ(m_layer.connect(sock, kLoopback, test::FakeIrcServer::refusedPort()),
                  kSocketError);
        EXPECT_EQ(m_layer.lastError(), kWsaEwouldblock);
        SelectSets sets{.read = true, .write = true, .except = withExcept};
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(m_layer.select(sock, sets, withExcept ? 3000 : 300), withExcept ? 1 : 0);
        if (!withExcept) {
            // Only a lower bound: a slow machine may take longer, never shorter.
            EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(290));
        }
        EXPECT_FALSE(sets.read || sets.write);
        EXPECT_EQ(sets.except, withExcept);
        EXPECT_EQ(m_layer.socketError(sock), kWsaEconnrefused);
        EXPECT_EQ(m_layer.socketError(sock), 0);  // reading the error clears it
        EXPECT_EQ(m_layer.closeSocket(sock), 0);
    }
}

// Once a non-blocking connect has finished, a second one says "is connected" as
// on Windows, even when no select has looked at the socket yet.
TEST_F(SocketsTest, ConnectedSocketsProbeTheLinkSayIsConnectedSelectCountsEachSetAndCleanupCloses) {
    Listener listener;
    const SocketHandle sock = m_layer.openTcp();
    ASSERT_EQ(m_layer.setNonBlocking(sock, true), 0);
    if (m_layer.connect(sock, kLoopback, listener.port()) != 0) {
        ASSERT_EQ(m_layer.lastError(), kWsaEwouldblock);
    }
    m_peer = listener.accept();  // the handshake is over once the listener has it
    EXPECT_EQ(m_layer.connect(sock, kLoopback, listener.port()), kSocketError);
    EXPECT_EQ(m_layer.lastError(), kWsaEisconn);
    for (const auto& [level, option, value] :
         {std::tuple{SOL_SOCKET, SO_KEEPALIVE, 1},
          {IPPROTO_TCP, TCP_KEEPIDLE, PosixSocketLayer::kKeepAliveIdleS},
          {IPPROTO_TCP, TCP_KEEPCNT, PosixSocketLayer::kKeepAliveProbes}}) {
        int set = 0;
        socklen_t size = sizeof set;
        ASSERT_EQ(::getsockopt(sock, level, option, &set, &size), 0);
        EXPECT_EQ(set, value) << option;
    }
    ASSERT_EQ(::send(m_peer, "x", 1, 0), 1);
    SelectSets sets{.read = true, .write = true};
    EXPECT_EQ(m_layer.select(sock, sets, 3000), 2);  // as Windows, one count per set
    EXPECT_TRUE(sets.read && sets.write);

    ASSERT_EQ(m_layer.cleanup(), 0);  // the last one closes what is left open
    pollfd peer{m_peer, POLLIN, 0};
    EXPECT_EQ(::poll(&peer, 1, 3000), 1) << "the peer sees the close";
    ASSERT_EQ(m_layer.startup(), 0);
    EXPECT_EQ(m_layer.closeSocket(sock), kSocketError);
    EXPECT_EQ(m_layer.lastError(), kWsaEnotsock);
}

// Windows keeps failing with the reset where Linux would read a close next.
// Taking the pending error first makes the next send meet a broken pipe, which
// must come back as an error, not as a signal that ends the process.
TEST_F(SocketsTest, ResetPeerGivesConnectionResetWithoutSignal) {
    char buffer[1024];
    const auto reset = [&](int result) {
        EXPECT_EQ(result, kSocketError);
        EXPECT_EQ(m_layer.lastError(), kWsaEconnreset);
        m_layer.setLastError(0);
    };
    for (const bool takeErrorFirst : {false, true}) {
        SCOPED_TRACE(takeErrorFirst);
        Listener listener;
        const SocketHandle sock = connectTo(listener);
        linger abort{1, 0};
        ::setsockopt(m_peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        ::close(m_peer);
        m_peer = -1;

        SelectSets sets{.read = true};
        EXPECT_EQ(m_layer.select(sock, sets, 3000), 1);
        if (takeErrorFirst) {
            EXPECT_EQ(m_layer.socketError(sock), kWsaEconnreset);
        } else {
            reset(m_layer.recv(sock, buffer, sizeof buffer));
        }
        reset(m_layer.send(sock, "PING x\n", 7));
        reset(m_layer.recv(sock, buffer, sizeof buffer));
        EXPECT_EQ(m_layer.closeSocket(sock), 0);
    }
}

// The peer's receive buffer is small, so a big send meets a full connection.
TEST_F(SocketsTest, RecvTakesAtMostWhatIsAskedBlockingSendDeliversAllNonBlockingWhatFits) {
    Listener listener(4096);
    const SocketHandle sock = connectTo(listener);
    std::string data(3 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i % 251);
    }
    const std::string sent = data.substr(0, 10000);
    ASSERT_EQ(::send(m_peer, sent.data(), sent.size(), 0), static_cast<ssize_t>(sent.size()));
    ::shutdown(m_peer, SHUT_WR);
    std::string received;
    std::vector<char> buffer(1024);  // exactly the size asked, so an overrun is caught
    for (int got = 1; got > 0;) {
        SelectSets sets{.read = true};
        ASSERT_EQ(m_layer.select(sock, sets, 3000), 1);
        got = m_layer.recv(sock, buffer.data(), 1024);
        ASSERT_GE(got, 0) << m_layer.lastError();
        ASSERT_LE(got, 1024);
        received.append(buffer.data(), static_cast<std::size_t>(got));
    }
    EXPECT_EQ(received, sent);
    EXPECT_EQ(m_layer.recv(sock, buffer.data(), 1024), 0);  // the end stays

    std::thread reader([&] {  // until all came, the peer closed or 30 s passed
        const timeval wait{30, 0};
        ::setsockopt(m_peer, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        received.resize(data.size());
        received.resize(
            std::max<ssize_t>(0, ::recv(m_peer, received.data(), received.size(), MSG_WAITALL)));
    });
    EXPECT_EQ(m_layer.send(sock, data.data(), static_cast<int>(data.size())),
              static_cast<int>(data.size()));
    reader.join();
    EXPECT_TRUE(received == data);

    ASSERT_EQ(m_layer.setNonBlocking(sock, true), 0);
    ASSERT_NE(::fcntl(sock, F_GETFL) & O_NONBLOCK, 0);  // a blocking send here would never end
    const std::string big(32 * 1024 * 1024, 'x');       // more than both buffers hold
    const int taken = m_layer.send(sock, big.data(), static_cast<int>(big.size()));
    EXPECT_GT(taken, 0);
    EXPECT_LT(taken, static_cast<int>(big.size()));
    EXPECT_EQ(m_layer.send(sock, big.data(), 1024), kSocketError);
    EXPECT_EQ(m_layer.lastError(), kWsaEwouldblock);
    SelectSets sets{.write = true};
    EXPECT_EQ(m_layer.select(sock, sets, 10), 0);
}

// Handles the layer did not open are refused without touching the descriptor.
TEST_F(SocketsTest, ForeignHandlesAndBadArgumentsAreRefused) {
    const int foreign = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const SocketHandle closed = m_layer.openTcp();
    ASSERT_EQ(m_layer.closeSocket(closed), 0);
    for (const int sock : {kInvalidSocket, foreign, closed}) {
        SCOPED_TRACE(sock);
        char buffer[8];
        SelectSets sets{.read = true};
        EXPECT_EQ(m_layer.select(sock, sets, 0), kSocketError);
        EXPECT_TRUE(sets.read);  // a failed select leaves the sets as they were
        EXPECT_EQ(m_layer.recv(sock, buffer, sizeof buffer), kSocketError);
        EXPECT_EQ(m_layer.send(sock, "x", 1), kSocketError);
        EXPECT_EQ(m_layer.closeSocket(sock), kSocketError);
        EXPECT_EQ(m_layer.lastError(), kWsaEnotsock);
    }
    EXPECT_NE(::fcntl(foreign, F_GETFD), -1);
    ::close(foreign);

    const SocketHandle sock = m_layer.openTcp();
    EXPECT_NE(::fcntl(sock, F_GETFD) & FD_CLOEXEC, 0);
    SelectSets none;
    EXPECT_EQ(m_layer.select(sock, none, 0), kSocketError);
    EXPECT_EQ(m_layer.lastError(), kWsaEinval);
    EXPECT_EQ(m_layer.recv(sock, nullptr, 10), kSocketError);
    EXPECT_EQ(m_layer.lastError(), kWsaEfault);
    EXPECT_EQ(m_layer.send(sock, "x", -1), kSocketError);
    EXPECT_EQ(m_layer.lastError(), kWsaEinval);
}

}  // namespace
}  // namespace kolu
