#include "tests/support/raw_irc_client.h"

#include <netdb.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace kolu::test {

using Clock = std::chrono::steady_clock;

std::string base64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    out.resize(static_cast<std::size_t>(EVP_EncodeBlock(
        reinterpret_cast<unsigned char*>(out.data()),
        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()))));
    return out;
}

RawIrcClient::Parts RawIrcClient::split(const std::string& line) {
    Parts parts;
    std::size_t pos = 0;
    if (!line.empty() && line[0] == ':') {
        pos = std::min(line.find(' '), line.size());
        parts.nick = line.substr(1, std::min(line.find('!'), pos) - 1);
    }
    while ((pos = line.find_first_not_of(' ', pos)) != std::string::npos) {
        if (line[pos] == ':' && !parts.command.empty()) {
            parts.params.push_back(line.substr(pos + 1));
            break;
        }
        const std::size_t end = std::min(line.find(' ', pos), line.size());
        (parts.command.empty() ? parts.command : parts.params.emplace_back()) =
            line.substr(pos, end - pos);
        pos = end;
    }
    return parts;
}

void RawIrcClient::close() {
    SSL_free(m_ssl);
    m_ssl = nullptr;
    SSL_CTX_free(m_context);
    m_context = nullptr;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

testing::AssertionResult RawIrcClient::connect(const std::string& host, int port) {
    close();
    m_buffer.clear();
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* address = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &address) != 0) {
        return testing::AssertionFailure() << "not a numeric address: " << host;
    }
    m_fd = ::socket(address->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // On Linux the send timeout also bounds connect.
    const timeval wait{kDefaultWait.count() / 1000, 0};
    const bool failed = m_fd < 0 ||
                        ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait) != 0 ||
                        ::connect(m_fd, address->ai_addr, address->ai_addrlen) != 0;
    const int error = errno;
    ::freeaddrinfo(address);
    if (failed) {
        close();
        return testing::AssertionFailure()
               << "cannot connect to " << host << ":" << port << ": " << std::strerror(error);
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult RawIrcClient::connectTls(const std::string& host, int port,
                                                  const std::string& caFile,
                                                  const std::string& certFile,
                                                  const std::string& keyFile) {
    if (testing::AssertionResult connected = connect(host, port); !connected) {
        return connected;
    }
    // OpenSSL writes with write(), so a server that has gone would raise SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    // The receive timeout bounds the handshake, and a read of a record that is still arriving.
    const timeval wait{kDefaultWait.count() / 1000, 0};
    m_context = SSL_CTX_new(TLS_client_method());
    bool ready = m_context != nullptr &&
                 ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) == 0 &&
                 SSL_CTX_load_verify_locations(m_context, caFile.c_str(), nullptr) == 1;
    if (ready && !certFile.empty()) {
        ready = SSL_CTX_use_certificate_file(m_context, certFile.c_str(), SSL_FILETYPE_PEM) == 1 &&
                SSL_CTX_use_PrivateKey_file(m_context, keyFile.c_str(), SSL_FILETYPE_PEM) == 1;
    }
    ready = ready && (m_ssl = SSL_new(m_context)) != nullptr && SSL_set_fd(m_ssl, m_fd) == 1 &&
            SSL_set1_host(m_ssl, "localhost") == 1 &&
            SSL_set_tlsext_host_name(m_ssl, "localhost") == 1;
    if (ready) {
        SSL_set_verify(m_ssl, SSL_VERIFY_PEER, nullptr);
        ready = SSL_connect(m_ssl) == 1;
    }
    if (!ready) {
        char reason[256] = "no reason given";
        if (const unsigned long error = ERR_get_error(); error != 0) {
            ERR_error_string_n(error, reason, sizeof reason);
        }
        ERR_clear_error();
        close();
        return testing::AssertionFailure()
               << "no TLS session with " << host << ":" << port << ": " << reason;
    }
    // A read that finds only TLS housekeeping (session tickets) returns rather than waits.
    SSL_clear_mode(m_ssl, SSL_MODE_AUTO_RETRY);
    return testing::AssertionSuccess();
}

bool RawIrcClient::send(const std::string& line) {
    const std::string bytes = line + "\r\n";
    if (m_fd < 0 || !m_ssl) {
        return m_fd >= 0 && sendAll(m_fd, bytes);
    }
    // The socket blocks, within its send timeout, so one call writes it all or fails.
    return SSL_write(m_ssl, bytes.data(), static_cast<int>(bytes.size())) > 0;
}

bool RawIrcClient::receive() {
    char chunk[4096];
    if (m_ssl) {
        const int n = SSL_read(m_ssl, chunk, sizeof chunk);
        if (n > 0) {
            m_buffer.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
        const int error = SSL_get_error(m_ssl, n);
        ERR_clear_error();
        return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE;
    }
    const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n > 0) {
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
    return n > 0 || (n < 0 && (errno == EINTR || errno == EAGAIN));
}

std::optional<std::string> RawIrcClient::waitFor(const LineMatch& match, Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        while (std::optional<std::string> line = takeLine(m_buffer)) {
            if (!line->empty() && line->back() == '\r') {
                line->pop_back();
            }
            m_history.push_back(*line);
            if (const Parts parts = split(*line); parts.command == "PING") {
                send("PONG :" + (parts.params.empty() ? std::string() : parts.params.front()));
            }
            if (match(*line)) {
                return line;
            }
        }
        const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
        pollfd waiting{m_fd, POLLIN, 0};
        // TLS may hold decrypted bytes that the socket no longer shows.
        const bool pending = m_ssl && SSL_pending(m_ssl) > 0;
        if (m_fd < 0 || (!pending && ::poll(&waiting, 1,
                                            static_cast<int>(std::max<long long>(left, 0))) == 0)) {
            return std::nullopt;
        }
        if (!receive()) {
            close();  // lines still buffered were delivered first
        }
        if (Clock::now() > deadline && m_buffer.find('\n') == std::string::npos) {
            return std::nullopt;  // TLS records that held no data must not spin past the end
        }
    }
}

std::optional<std::string> RawIrcClient::waitForCommand(const std::vector<std::string>& commands,
                                                        Millis timeout) {
    return waitFor(
        [&](const std::string& line) {
            return std::find(commands.begin(), commands.end(), split(line).command) !=
                   commands.end();
        },
        timeout);
}

testing::AssertionResult RawIrcClient::await(const LineMatch& expected, const std::string& what) {
    const auto line = waitFor([&](const std::string& received) {
        const std::string command = split(received).command;
        const int number = std::atoi(command.c_str());
        return expected(received) || command == "ERROR" ||
               (command.size() == 3 && number >= 400 && number <= 599);
    });
    if (!line || !expected(*line)) {
        return testing::AssertionFailure()
               << what << (line ? ": the server answered \"" + printable(*line) + "\"" : "")
               << "; last lines:\n"
               << transcript();
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult RawIrcClient::login(const std::string& nick, const std::string& password) {
    if ((!password.empty() && !send("PASS " + password)) || !send("NICK " + nick) ||
        !send("USER " + nick + " 0 * :Raw client " + nick)) {
        return testing::AssertionFailure() << "cannot send the login lines: not connected";
    }
    return await([](const std::string& line) { return split(line).command == "001"; },
                 "login as " + nick + " got no welcome");
}

testing::AssertionResult RawIrcClient::join(const std::string& channel) {
    send("JOIN " + channel);
    return await(
        [&](const std::string& line) {
            const Parts parts = split(line);
            return parts.command == "366" && parts.params.size() > 1 && parts.params[1] == channel;
        },
        "could not join " + channel);
}

void RawIrcClient::quit(const std::string& message) {
    if (send("QUIT :" + message)) {
        waitFor([](const std::string&) { return false; });  // until the server closes
    }
    close();
}

std::map<std::string, std::string> RawIrcClient::capabilities() {
    std::map<std::string, std::string> caps;
    send("CAP LS 302");
    while (const auto line = waitForCommand({"CAP"})) {
        const std::vector<std::string> params = paramsOf(*line);
        if (params.size() < 3 || params[1] != "LS") {
            break;
        }
        std::istringstream words(params.back());
        for (std::string word; words >> word;) {
            const std::size_t equals = word.find('=');
            caps[word.substr(0, equals)] =
                equals == std::string::npos ? "" : word.substr(equals + 1);
        }
        if (params.size() == 3) {  // no "*": the last line
            break;
        }
    }
    return caps;
}

RawIrcClient::SaslOutcome RawIrcClient::authenticate(const std::string& nick,
                                                     const std::string& mechanism,
                                                     const std::string& response) {
    send("CAP REQ :sasl");
    send("NICK " + nick);
    send("USER " + nick + " 0 * :Raw client " + nick);
    SaslOutcome outcome;
    const auto ack = waitFor([](const std::string& line) {
        const Parts parts = split(line);
        return parts.command == "CAP" && parts.params.size() > 1 &&
               (parts.params[1] == "ACK" || parts.params[1] == "NAK");
    });
    if (!ack || paramsOf(*ack)[1] != "ACK" || !send("AUTHENTICATE " + mechanism) ||
        !waitForCommand({"AUTHENTICATE"}) || !send("AUTHENTICATE " + response)) {
        return outcome;
    }
    while (const auto line = waitForCommand({"900", "903", "904", "905", "906", "908"})) {
        const Parts parts = split(*line);
        if (parts.command != "900") {
            outcome.end = parts.command;
            break;
        }
        outcome.account = parts.params.size() > 2 ? parts.params[2] : "";
    }
    return outcome;
}

std::string RawIrcClient::transcript() const {
    std::string out;
    for (std::size_t i = m_history.size() > 15 ? m_history.size() - 15 : 0; i < m_history.size();
         ++i) {
        out += "  " + printable(m_history[i]) + "\n";
    }
    return out.empty() ? "  (nothing received)\n" : out;
}

}  // namespace kolu::test
