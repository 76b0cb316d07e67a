#pragma once
// A bare IRC connection that plays another user in integration tests: it logs in, joins,
// talks, and waits for what the server relays. Every wait has a deadline, and server PINGs
// are answered while waiting, so a test neither hangs nor gets dropped for idling.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fake_irc_server.h"

namespace kolu::test {

// Connects to a numeric IPv4 or IPv6 address within `timeout`. Returns a blocking
// socket, or -1 with errno set (ECONNREFUSED, ETIMEDOUT, ...).
int connectTcp(const std::string& host, int port, Millis timeout = kDefaultWait);

class RawIrcClient {
  public:
    using LineMatch = std::function<bool(const std::string& line)>;

    RawIrcClient() = default;
    ~RawIrcClient() { close(); }
    RawIrcClient(const RawIrcClient&) = delete;
    RawIrcClient& operator=(const RawIrcClient&) = delete;

    testing::AssertionResult connect(const std::string& host, int port,
                                     Millis timeout = kDefaultWait);
    // Sends PASS (when `password` is not empty), NICK and USER, then waits for 001. Fails
    // early on a nickname or password refusal, showing the server's line.
    testing::AssertionResult login(const std::string& nick, const std::string& password = "",
                                   Millis timeout = kDefaultWait);
    // JOIN, then waits for the server's echo of it and the end of the names list.
    testing::AssertionResult join(const std::string& channel, Millis timeout = kDefaultWait);
    // NICK, then waits for the server's echo; later waits follow the new nickname.
    testing::AssertionResult changeNick(const std::string& nick, Millis timeout = kDefaultWait);
    // QUIT, then waits (bounded) for the server to close, and closes.
    void quit(const std::string& message = "bye", Millis timeout = kDefaultWait);

    // One protocol line; "\r\n" is added.
    bool send(const std::string& line);

    // Reads lines until one matches and returns it (CR LF removed). Lines read on the way are
    // consumed: a later wait sees only lines after the match. Empty on timeout or when the
    // server closes first.
    std::optional<std::string> waitFor(const LineMatch& match, Millis timeout = kDefaultWait);
    std::optional<std::string> waitFor(const std::string& substring, Millis timeout = kDefaultWait);

    // The last lines received, for failure messages.
    std::string transcript(std::size_t lastLines = 15) const;

    // Parts of a line ":prefix COMMAND params": "COMMAND", the prefix's nickname (before "!"),
    // and the parameters with the trailing one's colon removed.
    static std::string commandOf(const std::string& line);
    static std::string nickOf(const std::string& line);
    static std::vector<std::string> paramsOf(const std::string& line);

  private:
    // A line, or nothing on timeout or once the server has closed.
    std::optional<std::string> readLine(std::chrono::steady_clock::time_point deadline);
    // The first answer to a request: a line `expected` accepts, or a refusal (400-599).
    testing::AssertionResult await(const LineMatch& expected, const std::string& what,
                                   Millis timeout, std::string* answer = nullptr);
    void close();

    int m_fd = -1;
    std::string m_nick;
    std::string m_buffer;
    std::vector<std::string> m_history;
};

}  // namespace kolu::test
