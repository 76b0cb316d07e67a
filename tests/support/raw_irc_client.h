#pragma once
// A bare IRC connection that plays another user in integration tests. Every wait has a
// deadline, and server PINGs are answered while waiting, so a test neither hangs nor idles out.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fake_irc_server.h"

namespace kolu::test {

class RawIrcClient {
  public:
    using LineMatch = std::function<bool(const std::string& line)>;

    RawIrcClient() = default;
    ~RawIrcClient() { close(); }
    RawIrcClient(const RawIrcClient&) = delete;
    RawIrcClient& operator=(const RawIrcClient&) = delete;

    // A blocking connection to a numeric IPv4 or IPv6 address.
    testing::AssertionResult connect(const std::string& host, int port);
    // PASS (unless `password` is empty), NICK and USER, then waits for 001; a refusal fails early.
    testing::AssertionResult login(const std::string& nick, const std::string& password = "");
    // JOIN, then waits for the end of the names list, so the join's replies are past.
    testing::AssertionResult join(const std::string& channel);

    // One protocol line; "\r\n" is added.
    bool send(const std::string& line);

    // The first line (CR LF removed) that matches; the lines before it are consumed. Empty on
    // timeout or once the server has closed.
    std::optional<std::string> waitFor(const LineMatch& match, Millis timeout = kDefaultWait);

    // The last lines received, for failure messages.
    std::string transcript() const;

    // Of ":prefix COMMAND params": the command, the prefix's nickname, and the parameters
    // with the trailing one's colon removed.
    struct Parts {
        std::string nick, command;
        std::vector<std::string> params;
    };
    static Parts split(const std::string& line);
    static std::string commandOf(const std::string& line) { return split(line).command; }
    static std::string nickOf(const std::string& line) { return split(line).nick; }
    static std::vector<std::string> paramsOf(const std::string& line) { return split(line).params; }

  private:
    // The first line `expected` accepts, or a failure at a refusal (ERROR, 400-599).
    testing::AssertionResult await(const LineMatch& expected, const std::string& what);
    void close();

    int m_fd = -1;
    std::string m_buffer;
    std::vector<std::string> m_history;
};

}  // namespace kolu::test
