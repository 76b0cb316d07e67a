#pragma once
// The scripted IRC servers the window benchmarks run in a thread of their own
// process share this skeleton: one client at a time on a free 127.0.0.1 port (the
// next is accepted once the current one is gone), written to as fast as it reads.
// A subclass says what is sent: fill() tops up the bytes waiting, answer() replies
// to each line the client sends. Both run on the server's thread with the mutex
// held. A subclass calls start() at the end of its constructor and stop() in its
// destructor, so the thread never calls into a part-built or gone object.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace kolu::bench {

class LoopbackServer {
  public:
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;
    virtual ~LoopbackServer() {
        for (int fd : {m_listen, m_client, m_wake[0], m_wake[1]}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    int port() const { return m_port; }

  protected:
    LoopbackServer() {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            listen(m_listen, 4) != 0 ||
            getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
            pipe(m_wake) != 0) {
            throw std::runtime_error("the benchmark's server could not listen");
        }
        m_port = ntohs(address.sin_port);
    }

    void start() {
        m_thread = std::thread([this] { run(); });
    }
    void stop() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        wake();
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    // Has the thread look at fill() again.
    void wake() {
        const char byte = 0;
        [[maybe_unused]] const ssize_t written = write(m_wake[1], &byte, 1);
    }

    // Keeps bytes waiting for the client in `m_out`, after the `m_sent` already gone.
    virtual void fill() {}
    // One line from the client, its command in upper case (clients send some in
    // lower case), without its CR LF.
    virtual void answer(const std::string& line) = 0;
    // A new client; what waits for the old one is gone.
    virtual void accepted() {}

    // Ends the client's connection; the next one is accepted afterwards.
    void hangUp() {
        close(m_client);
        m_client = -1;
        m_out.clear();
        m_sent = 0;
    }
    bool hasClient() const { return m_client >= 0; }

    mutable std::mutex m_mutex;
    std::string m_out;  // bytes for the client; the first `m_sent` are gone
    std::size_t m_sent = 0;

  private:
    void run() {
        for (;;) {
            {
                const std::lock_guard lock(m_mutex);
                if (m_stopping) {
                    return;
                }
                if (m_client >= 0) {
                    fill();
                }
            }
            pollfd fds[2] = {{m_wake[0], POLLIN, 0},
                             {m_client >= 0 ? m_client : m_listen, POLLIN, 0}};
            if (m_client >= 0 && m_sent < m_out.size()) {
                fds[1].events |= POLLOUT;
            }
            if (poll(fds, 2, -1) < 0) {
                continue;
            }
            if (fds[0].revents) {
                char drain[64];
                [[maybe_unused]] const ssize_t got = read(m_wake[0], drain, sizeof drain);
            }
            const std::lock_guard lock(m_mutex);
            if (m_client < 0) {
                if (fds[1].revents & POLLIN) {
                    acceptClient();
                }
                continue;
            }
            if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                readClient();
            }
            if (m_client >= 0 && m_sent < m_out.size()) {
                const ssize_t written =
                    ::send(m_client, m_out.data() + m_sent, m_out.size() - m_sent, MSG_NOSIGNAL);
                if (written > 0) {
                    m_sent += static_cast<std::size_t>(written);
                }
            }
            if (m_sent == m_out.size()) {
                m_out.clear();
                m_sent = 0;
            }
        }
    }

    void acceptClient() {
        const int fd = accept(m_listen, nullptr, nullptr);
        if (fd < 0) {
            return;
        }
        fcntl(fd, F_SETFL, O_NONBLOCK);
        m_client = fd;
        m_out.clear();
        m_sent = 0;
        m_partial.clear();
        accepted();
    }

    void readClient() {
        char buffer[8192];
        const ssize_t got = recv(m_client, buffer, sizeof buffer, 0);
        if (got <= 0) {
            if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                hangUp();
            }
            return;
        }
        m_partial.append(buffer, static_cast<std::size_t>(got));
        std::size_t end;
        while ((end = m_partial.find('\n')) != std::string::npos) {
            std::string line = m_partial.substr(0, end);
            m_partial.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const std::size_t space = std::min(line.find(' '), line.size());
            std::transform(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(space),
                           line.begin(), [](unsigned char c) { return std::toupper(c); });
            answer(line);
        }
    }

    int m_listen = -1;
    int m_client = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::string m_partial;
    bool m_stopping = false;
    std::thread m_thread;
};

}  // namespace kolu::bench
