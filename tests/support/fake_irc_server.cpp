#include "tests/support/fake_irc_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kolu::test {

namespace {

using Clock = std::chrono::steady_clock;

// The listening socket of refusedPort() and of the server: 127.0.0.1, port chosen by the system.
int bindLoopback(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

std::string printable(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02x", c);
        out += c == '\r'               ? "\\r"
               : c == '\n'             ? "\\n"
               : c == '\\'             ? "\\\\"
               : c < 0x20 || c == 0x7f ? escape
                                       : std::string(1, static_cast<char>(c));
    }
    return out;
}

FakeIrcServer::FakeIrcServer() {
    m_listenFd = bindLoopback(m_port);
    if (m_listenFd < 0 || ::listen(m_listenFd, 8) != 0 ||
        ::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        const std::string reason = std::strerror(errno);
        if (m_listenFd >= 0) {
            ::close(m_listenFd);
        }
        throw std::runtime_error("fake IRC server cannot listen on 127.0.0.1: " + reason);
    }
    m_thread = std::thread([this] { run(); });
}

FakeIrcServer::~FakeIrcServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    wake();
    m_thread.join();
    if (m_clientFd >= 0) {
        ::close(m_clientFd);
    }
    ::close(m_listenFd);
    ::close(m_wakePipe[0]);
    ::close(m_wakePipe[1]);
}

void FakeIrcServer::wake() {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(m_wakePipe[1], &byte, 1);
}

// Only this thread closes the client socket, so it can poll it without the lock; the test
// thread only writes to it, under the lock.
void FakeIrcServer::run() {
    for (;;) {
        pollfd fds[2] = {{m_wakePipe[0], POLLIN, 0}, {-1, POLLIN, 0}};
        int timeout = -1;
        {
            std::lock_guard lock(m_mutex);
            fds[1].fd = m_clientFd >= 0 ? m_clientFd : m_listenFd;
            const auto now = Clock::now();
            if (m_clientFd >= 0 && now < m_resumeReading) {
                fds[1].fd = -1;  // poll skips it until the pause ends
                timeout = static_cast<int>(
                    std::chrono::duration_cast<Millis>(m_resumeReading - now).count() + 1);
            }
        }
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
            return;
        }
        if (fds[0].revents != 0) {
            char drain[64];
            while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {
            }
            std::lock_guard lock(m_mutex);
            if (m_stopping) {
                return;
            }
            if (m_closeRequested) {
                // Keep what the client sent before the close, as a real server would have.
                if (m_clientFd >= 0) {
                    char buffer[4096];
                    ssize_t n;
                    while ((n = ::recv(m_clientFd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
                        addBytesLocked(buffer, static_cast<std::size_t>(n));
                    }
                    dropClientLocked();
                }
                m_closeRequested = false;
                m_changed.notify_all();
            }
            continue;
        }
        if (fds[1].revents == 0) {
            continue;
        }
        if (fds[1].fd == m_listenFd) {
            acceptClient();
        } else if (!readClient()) {
            std::lock_guard lock(m_mutex);
            dropClientLocked();
            m_changed.notify_all();
        }
    }
}

void FakeIrcServer::acceptClient() {
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_clientFd = fd;
    ++m_accepted;
    m_partial.clear();
    m_changed.notify_all();
}

bool FakeIrcServer::readClient() {
    char buffer[4096];
    const ssize_t n = ::recv(m_clientFd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        return true;
    }
    if (n <= 0) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    addBytesLocked(buffer, static_cast<std::size_t>(n));
    m_changed.notify_all();
    return true;
}

void FakeIrcServer::addBytesLocked(const char* data, std::size_t size) {
    m_received.append(data, size);
    m_partial.append(data, size);
    std::size_t start = 0;
    for (std::size_t end; (end = m_partial.find('\n', start)) != std::string::npos;
         start = end + 1) {
        m_lines.push_back(m_partial.substr(start, end - start));
    }
    m_partial.erase(0, start);
}

void FakeIrcServer::dropClientLocked() {
    if (m_clientFd < 0) {
        return;
    }
    ::close(m_clientFd);
    m_clientFd = -1;
    ++m_ended;
}

testing::AssertionResult FakeIrcServer::waitForClient(Millis timeout) {
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, timeout, [this] { return m_accepted > m_claimed; })) {
        return testing::AssertionFailure()
               << "no client connected to port " << m_port << " within " << timeout.count()
               << " ms (" << m_accepted << " connection(s) so far)";
    }
    ++m_claimed;
    return testing::AssertionSuccess();
}

std::optional<std::string> FakeIrcServer::nextLine(Millis timeout) {
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait_for(lock, timeout, [this] { return !m_lines.empty(); })) {
        return std::nullopt;
    }
    std::string line = std::move(m_lines.front());
    m_lines.pop_front();
    return line;
}

testing::AssertionResult FakeIrcServer::expectLine(const std::string& line, Millis timeout) {
    const std::optional<std::string> got = nextLine(timeout);
    if (!got) {
        std::lock_guard lock(m_mutex);
        return testing::AssertionFailure()
               << "expected the line \"" << printable(line) << "\" but no line arrived within "
               << timeout.count() << " ms; client connected: " << (m_clientFd >= 0 ? "yes" : "no")
               << "; unfinished bytes: \"" << printable(m_partial) << "\"; received so far: \""
               << printable(m_received.substr(m_received.size() -
                                              std::min<std::size_t>(m_received.size(), 400)))
               << "\"";
    }
    if (*got != line) {
        return testing::AssertionFailure()
               << "expected the line \"" << printable(line) << "\"\n              but got \""
               << printable(*got) << "\"";
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult FakeIrcServer::expectNoLine(Millis quiet) {
    if (const std::optional<std::string> got = nextLine(quiet)) {
        return testing::AssertionFailure()
               << "expected no line but got \"" << printable(*got) << "\"";
    }
    return testing::AssertionSuccess();
}

bool FakeIrcServer::send(const std::string& bytes) {
    std::lock_guard lock(m_mutex);
    const auto deadline = Clock::now() + kDefaultWait;
    std::size_t sent = 0;
    while (m_clientFd >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(m_clientFd, bytes.data() + sent, bytes.size() - sent,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        // The client is not reading; wait a bounded time rather than block a test forever.
        const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now());
        pollfd fd{m_clientFd, POLLOUT, 0};
        if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
    }
    return m_clientFd >= 0;
}

void FakeIrcServer::pauseReading(Millis duration) {
    {
        std::lock_guard lock(m_mutex);
        m_resumeReading = Clock::now() + duration;
    }
    wake();
}

bool FakeIrcServer::readingPaused() const {
    std::lock_guard lock(m_mutex);
    return Clock::now() < m_resumeReading;
}

void FakeIrcServer::closeClient() {
    std::unique_lock lock(m_mutex);
    if (m_clientFd < 0) {
        return;
    }
    m_closeRequested = true;
    wake();
    m_changed.wait_for(lock, kDefaultWait, [this] { return !m_closeRequested; });
}

testing::AssertionResult FakeIrcServer::waitForDisconnect(Millis timeout) {
    std::unique_lock lock(m_mutex);
    if (m_claimed == 0) {
        return testing::AssertionFailure() << "waitForDisconnect before any waitForClient";
    }
    if (!m_changed.wait_for(lock, timeout, [this] { return m_ended >= m_claimed; })) {
        return testing::AssertionFailure()
               << "the client did not close its connection within " << timeout.count() << " ms";
    }
    return testing::AssertionSuccess();
}

int FakeIrcServer::connectionCount() const {
    std::lock_guard lock(m_mutex);
    return m_accepted;
}

std::string FakeIrcServer::received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

int FakeIrcServer::refusedPort() {
    int port = 0;
    const int fd = bindLoopback(port);
    if (fd < 0) {
        throw std::runtime_error(std::string("cannot bind a 127.0.0.1 port: ") +
                                 std::strerror(errno));
    }
    ::close(fd);
    return port;
}

}  // namespace kolu::test
