#pragma once
// A scripted IRC server for protocol tests: it listens on a free 127.0.0.1 port, takes one
// client at a time, lets a test check each line the client sends and answers with exact bytes.
// A background thread accepts and reads, so the test thread can drive the client meanwhile.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace kolu::test {

using Millis = std::chrono::milliseconds;
// Long enough for a loaded machine, short enough that a broken test ends quickly.
inline constexpr Millis kDefaultWait{3000};

// Text for failure messages: control characters as escapes, so "\r" or a stray NUL shows.
std::string printable(std::string_view bytes);
// The first line of `buffer`, taken out with its LF (a CR before the LF stays).
std::optional<std::string> takeLine(std::string& buffer);
// A socket bound to 127.0.0.1 on a port the system chose, not yet listening; throws
// std::runtime_error when it can't.
int bindLoopback(int& port);
// Writes all of `bytes`; false on an error or when the peer takes none for kDefaultWait.
bool sendAll(int fd, std::string_view bytes);

class FakeIrcServer {
  public:
    // Throws std::runtime_error when it can't listen.
    FakeIrcServer();
    ~FakeIrcServer();

    int port() const { return m_port; }

    // Claims the next connection not claimed yet (a reconnection on the second call...), which
    // may already have ended.
    testing::AssertionResult waitForClient(Millis timeout = kDefaultWait);
    // Compares the next line any connection sent (CR kept) with `line`.
    testing::AssertionResult expectLine(const std::string& line, Millis timeout = kDefaultWait);
    testing::AssertionResult expectNoLine(Millis quiet);

    // Raw bytes to the current client; false when none is connected or it does not read.
    bool send(const std::string& bytes);
    // Drops the current client as a server does (what it sent before stays queued).
    void closeClient();
    // Waits until the client last claimed has ended its connection.
    testing::AssertionResult waitForDisconnect(Millis timeout = kDefaultWait);

    int connectionCount() const {
        std::lock_guard lock(m_mutex);
        return m_accepted;
    }
    // Every byte received so far, from all connections, unframed.
    std::string received() const {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    // Reads nothing for `duration`, as a busy server: what the client sends fills the buffers.
    void pauseReading(Millis duration) {
        std::lock_guard lock(m_mutex);
        m_resumeReading = std::chrono::steady_clock::now() + duration;
    }
    bool readingPaused() const {
        std::lock_guard lock(m_mutex);
        return std::chrono::steady_clock::now() < m_resumeReading;
    }

    // By default the server knows no capabilities: CAP lines are answered with
    // 421 and never reach expectLine. On, they come to the test like any line.
    void scriptCap(bool on) {
        std::lock_guard lock(m_mutex);
        m_scriptsCap = on;
    }

    // A free 127.0.0.1 port with nothing listening on it.
    static int refusedPort();

  private:
    std::optional<std::string> nextLine(Millis timeout);
    void run();

    int m_listenFd = -1;
    int m_port = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_clientFd = -1;
    int m_accepted = 0;
    int m_claimed = 0;
    int m_ended = 0;
    std::chrono::steady_clock::time_point m_resumeReading{};
    bool m_closeRequested = false;
    bool m_scriptsCap = false;
    bool m_stopping = false;
    std::string m_received;
    std::string m_partial;
    std::deque<std::string> m_lines;

    std::thread m_thread;
};

}  // namespace kolu::test
