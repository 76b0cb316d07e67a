#include "tests/support/raw_irc_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kolu::test {

namespace {

using Clock = std::chrono::steady_clock;

int millisLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<Millis>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

// IRC compares names without regard to ASCII case.
bool sameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        return lower(x) == lower(y);
    });
}

// The numerics a server answers with when it refuses a request: 400 to 599.
bool isErrorNumeric(const std::string& command) {
    const int number = std::atoi(command.c_str());
    return command.size() == 3 && number >= 400 && number <= 599;
}

}  // namespace

int connectTcp(const std::string& host, int port, Millis timeout) {
    sockaddr_storage address{};
    socklen_t addressLength = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        addressLength = sizeof *v4;
    } else if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        addressLength = sizeof *v6;
    } else {
        errno = EINVAL;
        return -1;
    }
    const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    int error = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), addressLength) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd waiting{fd, POLLOUT, 0};
            const int ready = ::poll(&waiting, 1, static_cast<int>(timeout.count()));
            socklen_t length = sizeof error;
            if (ready <= 0) {
                error = ETIMEDOUT;
            } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = errno;
            }
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

RawIrcClient::~RawIrcClient() {
    close();
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

bool RawIrcClient::sendRaw(const std::string& bytes) {
    std::size_t sent = 0;
    while (m_fd >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return m_fd >= 0;
}

bool RawIrcClient::send(const std::string& line) {
    return sendRaw(line + "\r\n");
}

RawIrcClient::Read RawIrcClient::readLine(Clock::time_point deadline, std::string& line) {
    for (;;) {
        const std::size_t end = m_buffer.find('\n');
        if (end != std::string::npos) {
            line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            m_history.push_back(line);
            if (commandOf(line) == "PING") {
                const std::vector<std::string> params = paramsOf(line);
                send("PONG :" + (params.empty() ? std::string() : params.front()));
            }
            return Read::kLine;
        }
        if (m_fd < 0) {
            return Read::kClosed;
        }
        pollfd waiting{m_fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, millisLeft(deadline));
        if (ready == 0) {
            return Read::kTimeout;
        }
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            close();
            continue;
        }
        char chunk[4096];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            close();  // lines still buffered are delivered before kClosed
            continue;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> RawIrcClient::waitFor(const LineMatch& match, Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    std::string line;
    while (readLine(deadline, line) == Read::kLine) {
        if (match(line)) {
            return line;
        }
    }
    return std::nullopt;
}

std::optional<std::string> RawIrcClient::waitFor(const std::string& substring, Millis timeout) {
    return waitFor([&](const std::string& line) { return line.find(substring) != line.npos; },
                   timeout);
}

testing::AssertionResult RawIrcClient::waitForClose(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    std::string line;
    for (;;) {
        switch (readLine(deadline, line)) {
            case Read::kLine:
                continue;
            case Read::kClosed:
                return testing::AssertionSuccess();
            case Read::kTimeout:
                return testing::AssertionFailure()
                       << "the server did not close the connection within " << timeout.count()
                       << " ms; last lines:\n"
                       << transcript();
        }
    }
}

testing::AssertionResult RawIrcClient::login(const std::string& nick, const std::string& password,
                                             Millis timeout) {
    m_nick = nick;
    if ((!password.empty() && !send("PASS " + password)) || !send("NICK " + nick) ||
        !send("USER " + nick + " 0 * :Raw client " + nick)) {
        return testing::AssertionFailure() << "cannot send the login lines: not connected";
    }
    const auto answer = waitFor(
        [](const std::string& line) {
            const std::string command = commandOf(line);
            return command == "001" || command == "ERROR" || isErrorNumeric(command);
        },
        timeout);
    if (!answer || commandOf(*answer) != "001") {
        return testing::AssertionFailure()
               << "login as " << nick << " got no welcome"
               << (answer ? ", the server answered \"" + printable(*answer) + "\"" : "")
               << "; last lines:\n"
               << transcript();
    }
    // The server may have shortened the nickname; its welcome names the one it accepted.
    if (const std::vector<std::string> params = paramsOf(*answer); !params.empty()) {
        m_nick = params.front();
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult RawIrcClient::join(const std::string& channel, Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    send("JOIN " + channel);
    const auto echo = waitFor(
        [&](const std::string& line) {
            const std::string command = commandOf(line);
            const std::vector<std::string> params = paramsOf(line);
            if (command == "JOIN") {
                return sameName(nickOf(line), m_nick) && !params.empty() &&
                       sameName(params[0], channel);
            }
            return isErrorNumeric(command) &&
                   std::any_of(params.begin(), params.end(),
                               [&](const std::string& p) { return sameName(p, channel); });
        },
        Millis(millisLeft(deadline)));
    if (!echo || commandOf(*echo) != "JOIN") {
        return testing::AssertionFailure()
               << m_nick << " could not join " << channel << "; last lines:\n"
               << transcript();
    }
    // Waiting for the names list keeps the join's replies out of the test's next wait.
    const auto names = waitFor(
        [&](const std::string& line) {
            const std::vector<std::string> params = paramsOf(line);
            return commandOf(line) == "366" && params.size() > 1 && sameName(params[1], channel);
        },
        Millis(millisLeft(deadline)));
    if (!names) {
        return testing::AssertionFailure() << "no end of names for " << channel << "; last lines:\n"
                                           << transcript();
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult RawIrcClient::changeNick(const std::string& nick, Millis timeout) {
    send("NICK " + nick);
    const auto answer = waitFor(
        [&](const std::string& line) {
            const std::string command = commandOf(line);
            return (command == "NICK" && sameName(nickOf(line), m_nick)) || isErrorNumeric(command);
        },
        timeout);
    if (!answer || commandOf(*answer) != "NICK") {
        return testing::AssertionFailure()
               << m_nick << " could not become " << nick << "; last lines:\n"
               << transcript();
    }
    if (const std::vector<std::string> params = paramsOf(*answer); !params.empty()) {
        m_nick = params.front();
    }
    return testing::AssertionSuccess();
}

void RawIrcClient::quit(const std::string& message, Millis timeout) {
    if (m_fd < 0) {
        return;
    }
    send("QUIT :" + message);
    (void)waitForClose(timeout);
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
    std::size_t start = 0;
    if (!line.empty() && line[0] == ':') {
        start = line.find(' ');
        if (start == std::string::npos) {
            return "";
        }
        start = line.find_first_not_of(' ', start);
        if (start == std::string::npos) {
            return "";
        }
    }
    return line.substr(start, line.find(' ', start) - start);
}

std::string RawIrcClient::nickOf(const std::string& line) {
    if (line.empty() || line[0] != ':') {
        return "";
    }
    const std::size_t end = std::min(line.find(' '), line.find('!'));
    return line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
}

std::vector<std::string> RawIrcClient::paramsOf(const std::string& line) {
    std::vector<std::string> params;
    const std::string command = commandOf(line);
    if (command.empty()) {
        return params;
    }
    std::size_t pos = line.find(command, line[0] == ':' ? line.find(' ') : 0) + command.size();
    while ((pos = line.find_first_not_of(' ', pos)) != std::string::npos) {
        if (line[pos] == ':') {
            params.push_back(line.substr(pos + 1));
            break;
        }
        const std::size_t end = line.find(' ', pos);
        params.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return params;
}

}  // namespace kolu::test
