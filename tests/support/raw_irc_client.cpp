#include "tests/support/raw_irc_client.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kolu::test {

using Clock = std::chrono::steady_clock;

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

bool RawIrcClient::send(const std::string& line) {
    return m_fd >= 0 && sendAll(m_fd, line + "\r\n");
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
        if (m_fd < 0 || ::poll(&waiting, 1, static_cast<int>(std::max<long long>(left, 0))) == 0) {
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            close();  // lines still buffered were delivered first
        }
    }
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

std::string RawIrcClient::transcript() const {
    std::string out;
    for (std::size_t i = m_history.size() > 15 ? m_history.size() - 15 : 0; i < m_history.size();
         ++i) {
        out += "  " + printable(m_history[i]) + "\n";
    }
    return out.empty() ? "  (nothing received)\n" : out;
}

}  // namespace kolu::test
