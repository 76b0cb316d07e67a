#pragma once
// A scripted IRC server for protocol tests: it listens on a free 127.0.0.1 port, takes one
// client at a time and lets a test check every line the client sends ("expect X") and answer
// with exact bytes ("send Y"). A background thread accepts and reads into a line queue, so the
// client under test can be driven from the test thread while the test waits for its lines.
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

class FakeIrcServer {
  public:
    // Throws std::runtime_error when it can't listen.
    FakeIrcServer();
    ~FakeIrcServer();
    FakeIrcServer(const FakeIrcServer&) = delete;
    FakeIrcServer& operator=(const FakeIrcServer&) = delete;

    int port() const { return m_port; }

    // Waits for the next connection not yet claimed by an earlier call (the first connection
    // on the first call, a reconnection on the second...). It may already have ended.
    testing::AssertionResult waitForClient(Millis timeout = kDefaultWait);
    // The next complete line the client sent, its LF removed (a CR before it stays). Lines
    // of every connection share one queue, in arrival order.
    std::optional<std::string> nextLine(Millis timeout = kDefaultWait);
    // Takes the next line and compares it with `line`; the failure shows what came instead.
    testing::AssertionResult expectLine(const std::string& line, Millis timeout = kDefaultWait);
    // Succeeds when no line arrives within `quiet`.
    testing::AssertionResult expectNoLine(Millis quiet);

    // Sends raw bytes to the current client (the caller adds "\r\n"). False when no client is
    // connected or the bytes could not all be written within kDefaultWait.
    bool send(const std::string& bytes);
    // Closes the current client's connection, as a server does when it drops a client: the
    // client reads end of file. Lines it had already sent are kept in the queue.
    void closeClient();
    // Waits until the client last returned by waitForClient has ended its connection (by
    // closing it, or through closeClient).
    testing::AssertionResult waitForDisconnect(Millis timeout = kDefaultWait);

    int connectionCount() const;
    // Every byte received so far, from all connections, unframed.
    std::string received() const;
    // Reads nothing from the client for `duration`, as a busy server would: what
    // the client sends meanwhile fills the socket buffers.
    void pauseReading(Millis duration);
    bool readingPaused() const;

    // A 127.0.0.1 port with nothing listening on it: bound to find a free one, then closed.
    // Also serves as a free port for a server about to start.
    static int refusedPort();

  private:
    void run();
    void wake();
    void acceptClient();
    // Reads what is waiting; returns false when the client has closed or failed.
    bool readClient();
    void dropClientLocked();
    void addBytesLocked(const char* data, std::size_t size);

    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    int m_port = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_clientFd = -1;
    int m_accepted = 0;
    int m_claimed = 0;
    int m_ended = 0;
    std::chrono::steady_clock::time_point m_resumeReading{};
    bool m_closeRequested = false;
    bool m_stopping = false;
    std::string m_received;
    std::string m_partial;
    std::deque<std::string> m_lines;

    std::thread m_thread;
};

}  // namespace kolu::test
