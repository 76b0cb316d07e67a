#include "tests/support/fake_irc_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace kolu::test {

using Clock = std::chrono::steady_clock;

int bindLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error(std::string("cannot bind a 127.0.0.1 port: ") +
                                 std::strerror(error));
    }
    port = ntohs(address.sin_port);
    return fd;
}

std::string printable(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        char escape[8];
        const bool control = c < 0x20 || c == 0x7f;
        std::snprintf(escape, sizeof escape, control ? "\\x%02x" : c == '\\' ? "\\\\" : "%c", c);
        out += escape;
    }
    return out;
}

std::optional<std::string> takeLine(std::string& buffer) {
    const std::size_t end = buffer.find('\n');
    if (end == std::string::npos) {
        return std::nullopt;
    }
    std::string line = buffer.substr(0, end);
    buffer.erase(0, end + 1);
    return line;
}

bool sendAll(int fd, std::string_view bytes) {
    // A peer that stops reading makes send time out instead of blocking the test.
    const timeval wait{kDefaultWait.count() / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

FakeIrcServer::FakeIrcServer() {
    m_listenFd = bindLoopback(m_port);
    if (::listen(m_listenFd, 8) != 0) {
        ::close(m_listenFd);
        throw std::runtime_error("fake IRC server cannot listen on 127.0.0.1");
    }
    m_thread = std::thread([this] { run(); });
}

FakeIrcServer::~FakeIrcServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_thread.join();
    if (m_clientFd >= 0) {
        ::close(m_clientFd);
    }
    ::close(m_listenFd);
}

// Only this thread accepts, reads and closes. Its short poll lets it see a stop, a close or
// the end of a pause soon without being woken.
void FakeIrcServer::run() {
    char buffer[4096];
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        const bool paused = Clock::now() < m_resumeReading && !m_closeRequested;
        pollfd fd{m_clientFd < 0 ? m_listenFd : paused ? -1 : m_clientFd, POLLIN, 0};
        lock.unlock();
        const int ready = ::poll(&fd, 1, 10);
        lock.lock();
        if (fd.fd == m_listenFd && ready > 0) {
            m_clientFd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            m_accepted += m_clientFd >= 0 ? 1 : 0;
            m_partial.clear();
        } else if (m_clientFd >= 0 && fd.fd != m_listenFd && (ready > 0 || m_closeRequested)) {
            ssize_t n;
            do {  // on a close, keep all the client sent before it, as a real server would
                n = ::recv(m_clientFd, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n > 0) {
                    m_received.append(buffer, static_cast<std::size_t>(n));
                    m_partial.append(buffer, static_cast<std::size_t>(n));
                    while (std::optional<std::string> line = takeLine(m_partial)) {
                        if (!m_scriptsCap && line->starts_with("CAP ")) {
                            // As a server from before capabilities answers.
                            sendAll(m_clientFd, ":fake.server 421 * CAP :Unknown command\r\n");
                            continue;
                        }
                        m_lines.push_back(std::move(*line));
                    }
                }
            } while (n > 0 && m_closeRequested);
            if (m_closeRequested || n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                ::close(m_clientFd);
                m_clientFd = -1;
                ++m_ended;
            }
        }
        m_closeRequested = m_closeRequested && m_clientFd >= 0;
        m_changed.notify_all();
    }
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
               << "expected \"" << printable(line) << "\" but no line came within "
               << timeout.count() << " ms; unfinished bytes: \"" << printable(m_partial) << "\"";
    }
    if (*got != line) {
        return testing::AssertionFailure() << "expected \"" << printable(line)
                                           << "\"\n     but got \"" << printable(*got) << "\"";
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
    return m_clientFd >= 0 && sendAll(m_clientFd, bytes);
}

void FakeIrcServer::closeClient() {
    std::unique_lock lock(m_mutex);
    m_closeRequested = m_clientFd >= 0;
    m_changed.wait_for(lock, kDefaultWait, [this] { return !m_closeRequested; });
}

testing::AssertionResult FakeIrcServer::waitForDisconnect(Millis timeout) {
    std::unique_lock lock(m_mutex);
    if (m_claimed == 0 ||
        !m_changed.wait_for(lock, timeout, [this] { return m_ended >= m_claimed; })) {
        return testing::AssertionFailure()
               << "the client did not close its connection within " << timeout.count() << " ms";
    }
    return testing::AssertionSuccess();
}

int FakeIrcServer::refusedPort() {
    int port = 0;
    ::close(bindLoopback(port));
    return port;
}

}  // namespace kolu::test
