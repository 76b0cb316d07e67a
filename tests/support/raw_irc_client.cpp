#include "tests/support/raw_irc_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kolu::test {
namespace {

using Clock = std::chrono::steady_clock;

// IRC compares names without regard to ASCII case.
bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

struct Parts {
    std::string nick, command;
    std::vector<std::string> params;
};

Parts split(const std::string& line) {
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

}  // namespace

int connectTcp(const std::string& host, int port, Millis timeout) {
    sockaddr_in v4{};
    sockaddr_in6 v6{};
    v4.sin_family = AF_INET;
    v4.sin_port = htons(static_cast<std::uint16_t>(port));
    v6.sin6_family = AF_INET6;
    v6.sin6_port = v4.sin_port;
    const bool isV4 = ::inet_pton(AF_INET, host.c_str(), &v4.sin_addr) == 1;
    if (!isV4 && ::inet_pton(AF_INET6, host.c_str(), &v6.sin6_addr) != 1) {
        errno = EINVAL;
        return -1;
    }
    const int fd =
        ::socket(isV4 ? AF_INET : AF_INET6, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    int error = 0;
    if (::connect(fd, isV4 ? reinterpret_cast<sockaddr*>(&v4) : reinterpret_cast<sockaddr*>(&v6),
                  isV4 ? sizeof v4 : sizeof v6) != 0) {
        error = errno;
        pollfd waiting{fd, POLLOUT, 0};
        socklen_t length = sizeof error;
        if (error == EINPROGRESS) {
            error = ::poll(&waiting, 1, static_cast<int>(timeout.count())) <= 0    ? ETIMEDOUT
                    : ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 ? errno
                                                                                   : error;
        }
    }
    if (error == 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

void RawIrcClient::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

testing::AssertionResult RawIrcClient::connect(const std::string& host, int port, Millis timeout) {
    close();
    m_buffer.clear();
    m_fd = connectTcp(host, port, timeout);
    if (m_fd < 0) {
        return testing::AssertionFailure()
               << "cannot connect to " << host << ":" << port << ": " << std::strerror(errno);
    }
    return testing::AssertionSuccess();
}

bool RawIrcClient::send(const std::string& line) {
    const std::string bytes = line + "\r\n";
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (m_fd < 0 || n == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> RawIrcClient::readLine(Clock::time_point deadline) {
    for (;;) {
        const std::size_t end = m_buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            m_history.push_back(line);
            if (const Parts parts = split(line); parts.command == "PING") {
                send("PONG :" + (parts.params.empty() ? std::string() : parts.params.front()));
            }
            return line;
        }
        if (m_fd < 0) {
            return std::nullopt;
        }
        const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
        pollfd waiting{m_fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (ready == 0) {
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t n = ready < 0 ? -1 : ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        } else if (errno != EINTR || n == 0) {
            close();  // lines still buffered are delivered first
        }
    }
}

std::optional<std::string> RawIrcClient::waitFor(const LineMatch& match, Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    while (const std::optional<std::string> line = readLine(deadline)) {
        if (match(*line)) {
            return line;
        }
    }
    return std::nullopt;
}

std::optional<std::string> RawIrcClient::waitFor(const std::string& substring, Millis timeout) {
    return waitFor([&](const std::string& line) { return line.find(substring) != line.npos; },
                   timeout);
}

testing::AssertionResult RawIrcClient::await(const LineMatch& expected, const std::string& what,
                                             Millis timeout, std::string* answer) {
    const auto line = waitFor(
        [&](const std::string& received) {
            const std::string command = split(received).command;
            const int number = std::atoi(command.c_str());
            return expected(received) || command == "ERROR" ||
                   (command.size() == 3 && number >= 400 && number <= 599);
        },
        timeout);
    if (!line || !expected(*line)) {
        return testing::AssertionFailure()
               << what << (line ? ": the server answered \"" + printable(*line) + "\"" : "")
               << "; last lines:\n"
               << transcript();
    }
    if (answer) {
        *answer = *line;
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult RawIrcClient::login(const std::string& nick, const std::string& password,
                                             Millis timeout) {
    if ((!password.empty() && !send("PASS " + password)) || !send("NICK " + nick) ||
        !send("USER " + nick + " 0 * :Raw client " + nick)) {
        return testing::AssertionFailure() << "cannot send the login lines: not connected";
    }
    std::string welcome;
    auto result = await([](const std::string& line) { return split(line).command == "001"; },
                        "login as " + nick + " got no welcome", timeout, &welcome);
    // The server may have shortened the nickname; its welcome names the one it accepted.
    m_nick = result ? split(welcome).params.at(0) : nick;
    return result;
}

testing::AssertionResult RawIrcClient::join(const std::string& channel, Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    send("JOIN " + channel);
    auto echo = await(
        [&](const std::string& line) {
            const Parts parts = split(line);
            return parts.command == "JOIN" && sameName(parts.nick, m_nick) &&
                   !parts.params.empty() && sameName(parts.params[0], channel);
        },
        m_nick + " could not join " + channel, timeout);
    if (!echo) {
        return echo;
    }
    // Waiting for the names list keeps the join's replies out of the test's next wait.
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now());
    return await(
        [&](const std::string& line) {
            const Parts parts = split(line);
            return parts.command == "366" && parts.params.size() > 1 &&
                   sameName(parts.params[1], channel);
        },
        "no end of names for " + channel, left);
}

testing::AssertionResult RawIrcClient::changeNick(const std::string& nick, Millis timeout) {
    send("NICK " + nick);
    std::string echo;
    auto result = await(
        [&](const std::string& line) {
            const Parts parts = split(line);
            return parts.command == "NICK" && sameName(parts.nick, m_nick);
        },
        m_nick + " could not become " + nick, timeout, &echo);
    if (result) {
        m_nick = split(echo).params.at(0);
    }
    return result;
}

void RawIrcClient::quit(const std::string& message, Millis timeout) {
    if (m_fd >= 0 && send("QUIT :" + message)) {
        waitFor([](const std::string&) { return false; }, timeout);  // until the server closes
    }
    close();
}

std::string RawIrcClient::transcript(std::size_t lastLines) const {
    std::string out;
    const std::size_t first = m_history.size() > lastLines ? m_history.size() - lastLines : 0;
    for (std::size_t i = first; i < m_history.size(); ++i) {
        out += "  " + printable(m_history[i]) + "\n";
    }
    return out.empty() ? "  (nothing received)\n" : out;
}

std::string RawIrcClient::commandOf(const std::string& line) {
    return split(line).command;
}

std::string RawIrcClient::nickOf(const std::string& line) {
    return split(line).nick;
}

std::vector<std::string> RawIrcClient::paramsOf(const std::string& line) {
    return split(line).params;
}

}  // namespace kolu::test
