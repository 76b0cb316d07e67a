#include "tests/support/fault_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace kolu::test {

using Clock = std::chrono::steady_clock;

FaultProxy::FaultProxy(int targetPort) : m_targetPort(targetPort) {
    m_listenFd = bindLoopback(m_port);
    if (::listen(m_listenFd, 8) != 0) {
        ::close(m_listenFd);
        throw std::runtime_error("fault proxy cannot listen on 127.0.0.1");
    }
    m_thread = std::thread([this] { run(); });
}

FaultProxy::~FaultProxy() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_thread.join();
    endClient(false);
    ::close(m_listenFd);
}

void FaultProxy::inject(Fault fault) {
    std::lock_guard lock(m_mutex);
    m_fault = fault;
    if (fault == Fault::kHalfClose && m_clientFd >= 0) {
        ::shutdown(m_clientFd, SHUT_WR);
    }
}

void FaultProxy::delayAccept(Millis wait) {
    std::lock_guard lock(m_mutex);
    m_acceptAt = Clock::now() + wait;
}

// Closes both connections; `reset` ends the client's with an RST instead of a FIN.
void FaultProxy::endClient(bool reset) {
    if (reset && m_clientFd >= 0) {
        const linger now{1, 0};
        ::setsockopt(m_clientFd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    }
    for (int* fd : {&m_clientFd, &m_serverFd}) {
        if (*fd >= 0) {
            ::close(*fd);
        }
        *fd = -1;
    }
    m_held.clear();
}

// Only this thread reads, writes and closes; the short poll lets it see a stop or a new
// fault soon without being woken.
void FaultProxy::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        const bool stalled = m_fault == Fault::kStall;
        pollfd fds[3] = {{Clock::now() >= m_acceptAt ? m_listenFd : -1, POLLIN, 0},
                         {stalled ? -1 : m_clientFd, POLLIN, 0},
                         {stalled || !m_held.empty() ? -1 : m_serverFd, POLLIN, 0}};
        lock.unlock();
        ::poll(fds, 3, 5);
        lock.lock();
        if (m_fault != Fault::kStall) {  // asked again: it may have begun during the poll
            forward(fds[1].revents != 0, fds[2].revents != 0);
        }
        if (fds[0].revents != 0 && Clock::now() >= m_acceptAt) {
            accept();
        }
    }
}

void FaultProxy::forward(bool fromClient, bool fromServer) {
    char buffer[4096];
    if (fromClient) {
        const ssize_t n = ::recv(m_clientFd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            endClient(false);
        } else {
            sendAll(m_serverFd, std::string_view(buffer, static_cast<std::size_t>(n)));
        }
    }
    if (fromServer && m_serverFd >= 0) {
        const ssize_t n = ::recv(m_serverFd, buffer, sizeof buffer, 0);
        const std::string_view bytes(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
        if (n <= 0) {
            endClient(false);
        } else if (m_fault == Fault::kCut || m_fault == Fault::kReset) {
            sendAll(m_clientFd, bytes.substr(0, bytes.size() / 2));
            endClient(m_fault == Fault::kReset);
            m_fault = Fault::kNone;
        } else if (m_fault == Fault::kTrickle) {
            m_held = bytes;
        } else {
            sendAll(m_clientFd, bytes);
        }
    }
    if (!m_held.empty()) {
        const std::size_t count = m_fault == Fault::kTrickle ? 1 : m_held.size();
        sendAll(m_clientFd, std::string_view(m_held).substr(0, count));
        m_held.erase(0, count);
    }
}

void FaultProxy::accept() {
    endClient(false);
    m_clientFd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    m_serverFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(static_cast<std::uint16_t>(m_targetPort));
    if (::connect(m_serverFd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        endClient(false);  // as a server that is not there: the client sees the end
    }
}

}  // namespace kolu::test
