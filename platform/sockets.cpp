#include "platform/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace kolu {
namespace {

using SteadyClock = std::chrono::steady_clock;

int domainOf(SocketAddress::Family family) {
    return family == SocketAddress::Family::kIpv6 ? AF_INET6 : AF_INET;
}

int wsaFromLookup(int eaiError, int savedErrno) {
    switch (eaiError) {
        case EAI_AGAIN:
            return kWsaTryAgain;
        case EAI_FAIL:
            return kWsaNoRecovery;
        case EAI_MEMORY:
            return kWsaEnobufs;
        case EAI_SYSTEM:
            return wsaFromErrno(savedErrno);
#ifdef EAI_NODATA
        case EAI_NODATA:
            return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
            return kWsaNoData;
#endif
        default:
            return kWsaHostNotFound;
    }
}

// One getaddrinfo call; the first IPv4 address it gives, else the first IPv6
// one. Returns 0 or a Windows Sockets number.
// Every address of `name` in getaddrinfo's order (the system's preference), or
// the Windows Sockets error number.
int lookup(const std::string& name, int flags, std::vector<SocketAddress>& out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (rc != 0) {
        return wsaFromLookup(rc, errno);
    }
    out.clear();
    for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        SocketAddress address;
        if (ai->ai_family == AF_INET && ai->ai_addrlen >= sizeof(sockaddr_in)) {
            sockaddr_in sin;
            std::memcpy(&sin, ai->ai_addr, sizeof sin);
            address.family = SocketAddress::Family::kIpv4;
            std::memcpy(address.bytes.data(), &sin.sin_addr, 4);
        } else if (ai->ai_family == AF_INET6 && ai->ai_addrlen >= sizeof(sockaddr_in6)) {
            sockaddr_in6 sin6;
            std::memcpy(&sin6, ai->ai_addr, sizeof sin6);
            address.family = SocketAddress::Family::kIpv6;
            std::memcpy(address.bytes.data(), &sin6.sin6_addr, 16);
            address.scopeId = sin6.sin6_scope_id;
        } else {
            continue;
        }
        if (std::find(out.begin(), out.end(), address) == out.end()) {
            out.push_back(address);
        }
    }
    ::freeaddrinfo(list);
    return out.empty() ? kWsaNoData : 0;
}

socklen_t toSockaddr(const SocketAddress& address, std::uint16_t port, sockaddr_storage& out) {
    std::memset(&out, 0, sizeof out);
    if (address.family == SocketAddress::Family::kIpv6) {
        sockaddr_in6 sin6{};
        sin6.sin6_family = AF_INET6;
        sin6.sin6_port = htons(port);
        std::memcpy(&sin6.sin6_addr, address.bytes.data(), 16);
        sin6.sin6_scope_id = address.scopeId;
        std::memcpy(&out, &sin6, sizeof sin6);
        return sizeof sin6;
    }
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(port);
    std::memcpy(&sin.sin_addr, address.bytes.data(), 4);
    std::memcpy(&out, &sin, sizeof sin);
    return sizeof sin;
}

// Milliseconds left until the deadline, rounded up so a wait never ends early.
int millisecondsUntil(SteadyClock::time_point deadline) {
    const auto left = deadline - SteadyClock::now();
    if (left <= SteadyClock::duration::zero()) {
        return 0;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Waits without limit until the descriptor is ready for `events` (or failed).
void waitFor(int fd, short events) {
    pollfd pfd{fd, events, 0};
    while (::poll(&pfd, 1, -1) < 0 && errno == EINTR) {
    }
}

}  // namespace

SocketAddress SocketAddress::ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    SocketAddress address;
    address.bytes[0] = a;
    address.bytes[1] = b;
    address.bytes[2] = c;
    address.bytes[3] = d;
    return address;
}

SocketAddress SocketAddress::ipv6Loopback() {
    SocketAddress address;
    address.family = Family::kIpv6;
    address.bytes[15] = 1;
    return address;
}

std::string SocketAddress::toString() const {
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(domainOf(family), bytes.data(), text, sizeof text);
    return text;
}

PosixSocketLayer::~PosixSocketLayer() {
    for (const auto& [sock, entry] : m_sockets) {
        ::close(sock);
    }
}

int PosixSocketLayer::fail(int wsaError) {
    m_lastError = wsaError;
    return kSocketError;
}

int PosixSocketLayer::failErrno(int errnoValue) {
    return fail(wsaFromErrno(errnoValue));
}

// Linux reports a reset once and then reads it as an orderly close; Windows
// keeps failing with the reset, which the client reports differently.
int PosixSocketLayer::failTransfer(Entry& entry, int errnoValue) {
    if (errnoValue == ECONNRESET || errnoValue == EPIPE) {
        entry.reset = true;
    }
    return failErrno(errnoValue);
}

PosixSocketLayer::Entry* PosixSocketLayer::check(SocketHandle sock) {
    if (m_startups == 0) {
        fail(kWsaNotinitialised);
        return nullptr;
    }
    const auto it = m_sockets.find(sock);
    if (it == m_sockets.end()) {
        fail(kWsaEnotsock);
        return nullptr;
    }
    return &it->second;
}

int PosixSocketLayer::startup(std::uint16_t version) {
    if ((version & 0xff) == 0) {
        return kWsaVernotsupported;
    }
    ++m_startups;
    return 0;
}

int PosixSocketLayer::cleanup() {
    if (m_startups == 0) {
        return fail(kWsaNotinitialised);
    }
    // As with Windows Sockets, the last cleanup takes the remaining sockets with it.
    if (--m_startups == 0) {
        for (const auto& [sock, entry] : m_sockets) {
            ::close(sock);
        }
        m_sockets.clear();
    }
    return 0;
}

std::function<HostLookup()> SocketLayer::prepareLookup(std::string_view hostName) {
    HostLookup answer;
    if (const std::optional<SocketAddress> address = resolve(hostName)) {
        answer.addresses.push_back(*address);
    } else {
        answer.error = lastError();
    }
    return [answer] { return answer; };
}

std::optional<SocketAddress> PosixSocketLayer::resolve(std::string_view hostName) {
    const HostLookup answer = prepareLookup(hostName)();
    if (answer.addresses.empty()) {
        fail(answer.error);
        return std::nullopt;
    }
    const auto v4 = std::find_if(answer.addresses.begin(), answer.addresses.end(),
                                 [](const SocketAddress& address) {
                                     return address.family == SocketAddress::Family::kIpv4;
                                 });
    return v4 != answer.addresses.end() ? *v4 : answer.addresses.front();
}

std::function<HostLookup()> PosixSocketLayer::prepareLookup(std::string_view hostName) {
    HostLookup refused;
    if (m_startups == 0) {
        refused.error = kWsaNotinitialised;
    } else if (hostName.empty() || hostName.find('\0') != std::string_view::npos) {
        refused.error = kWsaHostNotFound;
    }
    if (refused.error != 0) {
        return [refused] { return refused; };
    }
    // "[::1]", as addresses are written beside a port, is the literal inside.
    if (hostName.size() > 2 && hostName.front() == '[' && hostName.back() == ']') {
        hostName = hostName.substr(1, hostName.size() - 2);
    }
    return [name = std::string(hostName)] {
        // Only an IPv6 literal holds a colon, so such a name never goes to the resolver.
        const bool literalV6 = name.find(':') != std::string::npos;
        HostLookup answer;
        answer.error = lookup(name, literalV6 ? AI_NUMERICHOST : 0, answer.addresses);
        return answer;
    };
}

SocketHandle PosixSocketLayer::openTcp() {
    if (m_startups == 0) {
        return fail(kWsaNotinitialised);
    }
    const int sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (sock < 0) {
        return failErrno(errno);
    }
    m_sockets[sock] = Entry{};
    return sock;
}

int PosixSocketLayer::setNonBlocking(SocketHandle sock, bool nonBlocking) {
    Entry* entry = check(sock);
    if (entry == nullptr) {
        return kSocketError;
    }
    entry->blocking = !nonBlocking;
    if (entry->tls) {
        return 0;  // the descriptor stays non-blocking; recv and send wait themselves
    }
    const int flags = ::fcntl(sock, F_GETFL);
    if (flags < 0) {
        return failErrno(errno);
    }
    const int wanted = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    if (wanted != flags && ::fcntl(sock, F_SETFL, wanted) < 0) {
        return failErrno(errno);
    }
    return 0;
}

// Replaces the socket by one of the other address family under the same handle,
// keeping its blocking mode, so an IPv6 host can be reached through openTcp().
int PosixSocketLayer::switchFamily(SocketHandle sock, Entry& entry, SocketAddress::Family family) {
    const int flags = ::fcntl(sock, F_GETFL);
    if (flags < 0) {
        return failErrno(errno);
    }
    const int type = SOCK_STREAM | SOCK_CLOEXEC | ((flags & O_NONBLOCK) ? SOCK_NONBLOCK : 0);
    const int fresh = ::socket(domainOf(family), type, 0);
    if (fresh < 0) {
        return failErrno(errno);
    }
    if (::dup3(fresh, sock, O_CLOEXEC) < 0) {
        const int err = errno;
        ::close(fresh);
        return failErrno(err);
    }
    ::close(fresh);
    entry.family = family;
    entry.state = State::kUnconnected;
    return 0;
}

// A link that died without a word (a router that forgot it, a peer that lost
// power) is found by the system's probes too, not only by the client's PINGs.
// Best effort: a socket that refuses them still connects.
void PosixSocketLayer::setKeepAlive(SocketHandle sock) {
    const int on = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(sock, IPPROTO_TCP, TCP_KEEPIDLE, &kKeepAliveIdleS, sizeof kKeepAliveIdleS);
    ::setsockopt(sock, IPPROTO_TCP, TCP_KEEPINTVL, &kKeepAliveIntervalS,
                 sizeof kKeepAliveIntervalS);
    ::setsockopt(sock, IPPROTO_TCP, TCP_KEEPCNT, &kKeepAliveProbes, sizeof kKeepAliveProbes);
}

int PosixSocketLayer::connect(SocketHandle sock, const SocketAddress& address, std::uint16_t port) {
    Entry* entry = check(sock);
    if (entry == nullptr) {
        return kSocketError;
    }
    if (entry->state == State::kConnected) {
        return fail(kWsaEisconn);
    }
    const bool idle = entry->state == State::kUnconnected || entry->state == State::kFailed;
    if (idle && entry->family != address.family &&
        switchFamily(sock, *entry, address.family) != 0) {
        return kSocketError;
    }
    if (idle) {
        setKeepAlive(sock);
    }
    sockaddr_storage target;
    const socklen_t length = toSockaddr(address, port, target);
    if (::connect(sock, reinterpret_cast<const sockaddr*>(&target), length) == 0) {
        // Linux answers a second call on a connect that has since finished with 0.
        const bool wasPending = entry->state == State::kConnecting;
        entry->state = State::kConnected;
        return wasPending ? fail(kWsaEisconn) : 0;
    }
    int err = errno;
    if (err == EINPROGRESS) {
        // Windows reports a connect under way as "would block".
        entry->state = State::kConnecting;
        return fail(kWsaEwouldblock);
    }
    if (err == EINTR) {
        // An interrupted blocking connect goes on in the background; wait for it
        // as the blocking call would have.
        pollfd pfd{sock, POLLOUT, 0};
        while (::poll(&pfd, 1, -1) < 0 && errno == EINTR) {
        }
        socklen_t size = sizeof err;
        if (::getsockopt(sock, SOL_SOCKET, SO_ERROR, &err, &size) != 0) {
            err = errno;
        }
        if (err == 0) {
            entry->state = State::kConnected;
            return 0;
        }
    }
    if (err != EALREADY && err != EISCONN) {
        entry->state = State::kFailed;
    }
    return failErrno(err);
}

// A connect under way has ended (poll saw it writable or in error): find out how
// without taking its pending error, which socketError() still reports.
void PosixSocketLayer::settleConnect(SocketHandle sock, Entry& entry) {
    sockaddr_storage peer;
    socklen_t length = sizeof peer;
    const bool connected = ::getpeername(sock, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
    entry.state = connected ? State::kConnected : State::kFailed;
}

int PosixSocketLayer::select(SocketHandle sock, SelectSets& sets, int timeoutMs) {
    Entry* entry = check(sock);
    if (entry == nullptr) {
        return kSocketError;
    }
    if (!sets.read && !sets.write && !sets.except) {
        return fail(kWsaEinval);
    }
    const bool forever = timeoutMs < 0;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    for (;;) {
        SelectSets ready;
        if (entry->state == State::kUnconnected || entry->state == State::kFailed) {
            // Nothing will change: a failed connect shows only as an exception.
            ready.except = sets.except && entry->state == State::kFailed;
        } else {
            const bool connecting = entry->state == State::kConnecting;
            short events = POLLOUT;
            if (!connecting) {
                events = static_cast<short>((sets.read ? POLLIN : 0) | (sets.write ? POLLOUT : 0) |
                                            (sets.except ? POLLPRI : 0));
            }
            // Decrypted bytes may wait inside the TLS session with nothing on the
            // descriptor, and bytes on it may be only part of a record.
            const bool tlsRead =
                !connecting && sets.read && entry->tls && entry->tls->established();
            const bool tlsReady = tlsRead && entry->tls->readable();
            const int waitMs = tlsReady ? 0 : forever ? -1 : millisecondsUntil(deadline);
            pollfd pfd{sock, events, 0};
            const int rc = ::poll(&pfd, 1, waitMs);
            if (rc < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return failErrno(errno);
            }
            if (rc == 0 && !tlsReady) {
                sets = SelectSets{};
                return 0;
            }
            if (pfd.revents & POLLNVAL) {
                return fail(kWsaEnotsock);
            }
            if (connecting) {
                settleConnect(sock, *entry);
                continue;
            }
            // A closed or reset connection reads as readable: recv then tells which.
            ready.read = sets.read && (pfd.revents & (POLLIN | POLLHUP | POLLERR));
            if (tlsRead) {
                ready.read = tlsReady || (ready.read && entry->tls->readable());
            }
            ready.write = sets.write && (pfd.revents & POLLOUT);
            ready.except = sets.except && (pfd.revents & POLLPRI);
            if (tlsRead && !ready.read && !ready.write && !ready.except &&
                (forever || millisecondsUntil(deadline) > 0)) {
                continue;  // only part of a record came: wait for the rest
            }
        }
        const int count = int{ready.read} + int{ready.write} + int{ready.except};
        if (count > 0) {
            sets = ready;
            return count;
        }
        // What is left (no connection, a hang-up nobody asked about) lasts, so
        // polling again would only spin: wait out the time instead.
        if (forever) {
            return fail(kWsaEinval);
        }
        std::this_thread::sleep_until(deadline);
        sets = SelectSets{};
        return 0;
    }
}

int PosixSocketLayer::socketError(SocketHandle sock) {
    if (check(sock) == nullptr) {
        return kSocketError;
    }
    int err = 0;
    socklen_t size = sizeof err;
    if (::getsockopt(sock, SOL_SOCKET, SO_ERROR, &err, &size) != 0) {
        return failErrno(errno);
    }
    return err == 0 ? 0 : wsaFromErrno(err);
}

PosixSocketLayer::Entry* PosixSocketLayer::transferEntry(SocketHandle sock, const char* bytes,
                                                         int length) {
    Entry* entry = check(sock);
    if (entry == nullptr) {
        return nullptr;
    }
    const int error = entry->reset                     ? kWsaEconnreset
                      : length < 0                     ? kWsaEinval
                      : bytes == nullptr && length > 0 ? kWsaEfault
                                                       : 0;
    if (error != 0) {
        fail(error);
        return nullptr;
    }
    return entry;
}

int PosixSocketLayer::recv(SocketHandle sock, char* buffer, int length) {
    Entry* entry = transferEntry(sock, buffer, length);
    if (entry == nullptr) {
        return kSocketError;
    }
    if (entry->tls) {
        return tlsRecv(sock, *entry, buffer, length);
    }
    for (;;) {
        const ssize_t got = ::recv(sock, buffer, static_cast<std::size_t>(length), 0);
        if (got >= 0) {
            return static_cast<int>(got);
        }
        if (errno != EINTR) {
            return failTransfer(*entry, errno);
        }
    }
}

int PosixSocketLayer::send(SocketHandle sock, const char* data, int length) {
    Entry* entry = transferEntry(sock, data, length);
    if (entry == nullptr) {
        return kSocketError;
    }
    if (entry->tls) {
        return tlsSend(sock, *entry, data, length);
    }
    // POSIX may take part of the data; Windows blocking send takes all or fails.
    int sent = 0;
    while (sent < length) {
        const ssize_t n =
            ::send(sock, data + sent, static_cast<std::size_t>(length - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n == 0) {
            break;
        }
        const int err = errno;
        if (err == EINTR) {
            continue;
        }
        // A non-blocking socket returns what fitted before the buffer filled.
        if ((err == EAGAIN || err == EWOULDBLOCK) && sent > 0) {
            break;
        }
        return failTransfer(*entry, err);
    }
    return sent;
}

int PosixSocketLayer::tlsRecv(SocketHandle sock, Entry& entry, char* buffer, int length) {
    if (!entry.tls->established()) {
        return fail(kWsaEnotconn);
    }
    for (;;) {
        TlsStream::Stall stall = TlsStream::Stall::kNone;
        int err = 0;
        const int got = entry.tls->read(buffer, length, stall, err);
        switch (stall) {
            case TlsStream::Stall::kNone:
                return got;
            case TlsStream::Stall::kClosed:
                return 0;
            case TlsStream::Stall::kFailed:
                return failTransfer(entry, err);
            case TlsStream::Stall::kWantRead:
            case TlsStream::Stall::kWantWrite:
                if (!entry.blocking) {
                    return fail(kWsaEwouldblock);
                }
                waitFor(sock, stall == TlsStream::Stall::kWantRead ? POLLIN : POLLOUT);
                break;
        }
    }
}

int PosixSocketLayer::tlsSend(SocketHandle sock, Entry& entry, const char* data, int length) {
    if (!entry.tls->established()) {
        return fail(kWsaEnotconn);
    }
    int sent = 0;
    entry.sendWaitsForRead = false;
    while (sent < length) {
        TlsStream::Stall stall = TlsStream::Stall::kNone;
        int err = 0;
        const int n = entry.tls->write(data + sent, length - sent, stall, err);
        entry.sendWaitsForRead = stall == TlsStream::Stall::kWantRead;
        if (n > 0) {
            sent += n;
        } else if (stall == TlsStream::Stall::kFailed) {
            return failTransfer(entry, err);
        } else if (!entry.blocking) {
            // What fitted is reported; a retry starts with the bytes that didn't.
            return sent > 0 ? sent : fail(kWsaEwouldblock);
        } else {
            waitFor(sock, stall == TlsStream::Stall::kWantRead ? POLLIN : POLLOUT);
        }
    }
    return sent;
}

bool PosixSocketLayer::sendWaitsForRead(SocketHandle sock) {
    const auto it = m_sockets.find(sock);
    return it != m_sockets.end() && it->second.sendWaitsForRead;
}

int SocketLayer::startTls(SocketHandle /*sock*/, std::string_view /*hostName*/,
                          std::string& problem, const TlsClientCert& /*cert*/) {
    problem = "TLS is not available";
    setLastError(kWsaEopnotsupp);
    return kSocketError;
}

TlsStep SocketLayer::continueTls(SocketHandle /*sock*/, TlsPeer& peer) {
    peer.problem = "TLS is not available";
    return TlsStep::kFailed;
}

int PosixSocketLayer::startTls(SocketHandle sock, std::string_view hostName, std::string& problem,
                               const TlsClientCert& cert) {
    Entry* entry = check(sock);
    if (entry != nullptr && entry->state == State::kConnecting) {
        settleConnect(sock, *entry);  // the host's watch saw the connect finish
    }
    if (entry == nullptr || entry->state != State::kConnected || entry->tls) {
        problem = "not connected";
        return entry == nullptr ? kSocketError : fail(kWsaEnotconn);
    }
    const int flags = ::fcntl(sock, F_GETFL);
    if (flags < 0 || (!(flags & O_NONBLOCK) && ::fcntl(sock, F_SETFL, flags | O_NONBLOCK) < 0)) {
        problem = std::strerror(errno);
        return failErrno(errno);
    }
    entry->blocking = !(flags & O_NONBLOCK);
    entry->tls = TlsStream::open(sock, hostName, problem, cert);
    return entry->tls ? 0 : fail(kWsaEopnotsupp);
}

TlsStep PosixSocketLayer::continueTls(SocketHandle sock, TlsPeer& peer) {
    Entry* entry = check(sock);
    if (entry == nullptr || !entry->tls) {
        peer.problem = "TLS not started";
        return TlsStep::kFailed;
    }
    return entry->tls->handshake(peer);
}

int PosixSocketLayer::closeSocket(SocketHandle sock) {
    Entry* entry = check(sock);
    if (entry == nullptr) {
        return kSocketError;
    }
    if (entry->tls) {
        entry->tls->shutdown();
    }
    m_sockets.erase(sock);
    // Linux releases the descriptor even when close is interrupted.
    if (::close(sock) != 0 && errno != EINTR) {
        return failErrno(errno);
    }
    return 0;
}

}  // namespace kolu
