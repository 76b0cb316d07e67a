#pragma once
// A bare IRC connection that plays another user in integration tests. Every wait has a
// deadline, and server PINGs are answered while waiting, so a test neither hangs nor idles out.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fake_irc_server.h"

struct ssl_st;
struct ssl_ctx_st;

namespace kolu::test {

// Standard base64 with padding, as AUTHENTICATE and services' databases want it.
std::string base64(const std::string& bytes);

class RawIrcClient {
  public:
    using LineMatch = std::function<bool(const std::string& line)>;

    RawIrcClient() = default;
    ~RawIrcClient() { close(); }
    RawIrcClient(const RawIrcClient&) = delete;
    RawIrcClient& operator=(const RawIrcClient&) = delete;

    // A blocking connection to a numeric IPv4 or IPv6 address.
    testing::AssertionResult connect(const std::string& host, int port);
    // The same, then TLS: the server's certificate must be signed by `caFile` and name
    // "localhost"; a client certificate is presented when `certFile` is given.
    testing::AssertionResult connectTls(const std::string& host, int port,
                                        const std::string& caFile, const std::string& certFile = "",
                                        const std::string& keyFile = "");
    // PASS (unless `password` is empty), NICK and USER, then waits for 001; a refusal fails early.
    testing::AssertionResult login(const std::string& nick, const std::string& password = "");
    // JOIN, then waits for the end of the names list, so the join's replies are past.
    testing::AssertionResult join(const std::string& channel);
    // QUIT, then waits (bounded) for the server to close.
    void quit(const std::string& message = "bye");

    // One protocol line; "\r\n" is added.
    bool send(const std::string& line);

    // The first line (CR LF removed) that matches; the lines before it are consumed. Empty on
    // timeout or once the server has closed.
    std::optional<std::string> waitFor(const LineMatch& match, Millis timeout = kDefaultWait);
    // The first line whose command (a word or a numeric) is one of `commands`.
    std::optional<std::string> waitForCommand(const std::vector<std::string>& commands,
                                              Millis timeout = kDefaultWait);

    // Sends CAP LS 302: the capabilities offered (over one line or several), by name, with
    // their values ("" for none).
    std::map<std::string, std::string> capabilities();

    // Before the login: asks for "sasl", sends NICK and USER, then AUTHENTICATE `mechanism`
    // and the one answer `response` (base64, or "+" for none).
    struct SaslOutcome {
        std::string end;      // the numeric that ended the exchange; "" on silence or a NAK
        std::string account;  // from 900, when the server logged the client in
    };
    SaslOutcome authenticate(const std::string& nick, const std::string& mechanism,
                             const std::string& response);

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
    // Appends what arrived to m_buffer; false once the connection is closed or broken.
    bool receive();

    int m_fd = -1;
    ssl_ctx_st* m_context = nullptr;
    ssl_st* m_ssl = nullptr;
    std::string m_buffer;
    std::vector<std::string> m_history;
};

}  // namespace kolu::test
