#pragma once
// The client's socket calls (start-up, name lookup, connect, select, recv, send,
// close) with the behaviour and error numbers of Windows Sockets 1.1, so the
// connection code reads like the original and reports the same codes.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/tls_stream.h"
#include "platform/wsa_errors.h"

namespace kolu {

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;
inline constexpr int kSocketError = -1;
// A select timeout that waits without limit.
inline constexpr int kWaitForever = -1;

// Start-up failures that only WSAStartup reports.
inline constexpr int kWsaProclim = 10067;
inline constexpr int kWsaSysnotready = 10091;
inline constexpr int kWsaVernotsupported = 10092;

// A host address found by a name lookup: IPv4 or IPv6 bytes in network order,
// without the port. Kept free of the system's socket types.
struct SocketAddress {
    enum class Family : std::uint8_t { kIpv4, kIpv6 };

    Family family = Family::kIpv4;
    std::array<std::uint8_t, 16> bytes{};  // IPv4 uses the first four
    std::uint32_t scopeId = 0;             // interface of an IPv6 link-local address

    static SocketAddress ipv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
    static SocketAddress ipv6Loopback();
    // "127.0.0.1", "::1".
    std::string toString() const;

    friend bool operator==(const SocketAddress&, const SocketAddress&) = default;
};

// A name lookup's answer: every address of the host in the order the system
// prefers them, or none and the error number that resolve sets.
struct HostLookup {
    std::vector<SocketAddress> addresses;
    int error = 0;
};

// Which of select's three sets the socket is asked for; on return, which it is
// ready in (as FD_ISSET reads the sets after a select).
struct SelectSets {
    bool read = false;
    bool write = false;
    bool except = false;
};

// The socket operations the connection code uses, behind an interface so that
// code can run against a scripted fake. Results follow Windows Sockets:
// kSocketError / kInvalidSocket on failure with lastError() set to the number.
class SocketLayer {
  public:
    virtual ~SocketLayer() = default;

    // WSAStartup: 0, or the error number (returned, not stored). Counted: every
    // successful startup needs a cleanup. version: low byte major, high byte minor.
    virtual int startup(std::uint16_t version = 0x0101) = 0;
    // WSACleanup: 0 or kSocketError. The last one closes sockets still open.
    virtual int cleanup() = 0;

    // WSAGetLastError / WSASetLastError, for this layer only.
    virtual int lastError() const = 0;
    virtual void setLastError(int error) = 0;

    // gethostbyname's role: the first address of the host, IPv4 preferred; IPv6
    // literals ("::1", "[::1]") are accepted too. Empty and lastError set on failure.
    virtual std::optional<SocketAddress> resolve(std::string_view hostName) = 0;
    // The same lookup packaged to run later on any thread: what can be told at
    // once (not started, a name that can't be valid) is answered at once, and the
    // callable touches nothing of the layer. By default resolve() answers now.
    virtual std::function<HostLookup()> prepareLookup(std::string_view hostName);

    // socket(AF_INET, SOCK_STREAM, 0); a later connect to an IPv6 address
    // switches it to IPv6 under the same handle.
    virtual SocketHandle openTcp() = 0;
    // ioctlsocket(FIONBIO): 0 or kSocketError.
    virtual int setNonBlocking(SocketHandle sock, bool nonBlocking) = 0;
    // 0 when connected. A non-blocking socket gives kSocketError with
    // kWsaEwouldblock while the connection is being made; select then reports
    // it writable when it succeeds, or only in the except set when it fails.
    virtual int connect(SocketHandle sock, const SocketAddress& address, std::uint16_t port) = 0;
    // select on one socket; timeoutMs 0 polls, kWaitForever waits without limit.
    // Returns the number of sets the socket is ready in, 0 on timeout (sets all
    // cleared), kSocketError on failure (sets left as they were).
    virtual int select(SocketHandle sock, SelectSets& sets, int timeoutMs) = 0;
    // getsockopt(SO_ERROR): the pending error number (0 for none), cleared by
    // reading it; kSocketError when the call itself fails.
    virtual int socketError(SocketHandle sock) = 0;
    // Bytes read (at most length), 0 when the peer closed, or kSocketError.
    virtual int recv(SocketHandle sock, char* buffer, int length) = 0;
    // All of data on a blocking socket or kSocketError; a non-blocking socket
    // may take only part (the count returned) or fail with kWsaEwouldblock.
    virtual int send(SocketHandle sock, const char* data, int length) = 0;
    // closesocket: 0 or kSocketError.
    virtual int closeSocket(SocketHandle sock) = 0;
    // After a send that would block: whether it waits for the peer's bytes (TLS)
    // rather than for room to write, so that watching for writability would spin.
    virtual bool sendWaitsForRead(SocketHandle /*sock*/) { return false; }

    // TLS on a connected socket for `hostName`, with `cert` offered when the
    // server asks for a client certificate: 0, or kSocketError with `problem`
    // saying why. continueTls then moves the handshake on until it is done or
    // failed; after it, recv, send and select carry the plain bytes and the
    // blocking mode still holds. By default this layer has no TLS.
    virtual int startTls(SocketHandle sock, std::string_view hostName, std::string& problem,
                         const TlsClientCert& cert);
    virtual TlsStep continueTls(SocketHandle sock, TlsPeer& peer);
};

// The layer over POSIX sockets. Only handles it opened itself are accepted
// (others give kWsaEnotsock), so a stale number never touches another file.
// The destructor closes what is still open.
class PosixSocketLayer : public SocketLayer {
  public:
    // Keepalive probes on an idle connection: the first after a minute's
    // silence, then one every 15 s; four unanswered end the connection.
    static constexpr int kKeepAliveIdleS = 60;
    static constexpr int kKeepAliveIntervalS = 15;
    static constexpr int kKeepAliveProbes = 4;

    PosixSocketLayer() = default;
    ~PosixSocketLayer() override;
    PosixSocketLayer(const PosixSocketLayer&) = delete;
    PosixSocketLayer& operator=(const PosixSocketLayer&) = delete;

    int startup(std::uint16_t version = 0x0101) override;
    int cleanup() override;
    int lastError() const override { return m_lastError; }
    void setLastError(int error) override { m_lastError = error; }
    std::optional<SocketAddress> resolve(std::string_view hostName) override;
    std::function<HostLookup()> prepareLookup(std::string_view hostName) override;
    SocketHandle openTcp() override;
    int setNonBlocking(SocketHandle sock, bool nonBlocking) override;
    int connect(SocketHandle sock, const SocketAddress& address, std::uint16_t port) override;
    int select(SocketHandle sock, SelectSets& sets, int timeoutMs) override;
    int socketError(SocketHandle sock) override;
    int recv(SocketHandle sock, char* buffer, int length) override;
    int send(SocketHandle sock, const char* data, int length) override;
    int closeSocket(SocketHandle sock) override;
    bool sendWaitsForRead(SocketHandle sock) override;
    int startTls(SocketHandle sock, std::string_view hostName, std::string& problem,
                 const TlsClientCert& cert) override;
    TlsStep continueTls(SocketHandle sock, TlsPeer& peer) override;

  private:
    // Where a socket's connection stands; select needs it to tell a failed
    // connect (except set only) from a reset connection (readable).
    enum class State { kUnconnected, kConnecting, kFailed, kConnected };
    struct Entry {
        SocketAddress::Family family = SocketAddress::Family::kIpv4;
        State state = State::kUnconnected;
        bool reset = false;  // once reset, every recv and send fails with the reset
        // With TLS the descriptor stays non-blocking (a blocking read could stall
        // inside a record); the layer waits itself where the socket should block.
        std::unique_ptr<TlsStream> tls;
        bool blocking = true;
        bool sendWaitsForRead = false;  // the last TLS send stalled wanting the peer's bytes
    };

    // The socket's entry, or nullptr with lastError set (not started, unknown handle).
    Entry* check(SocketHandle sock);
    // check, then what recv and send refuse before moving a byte (reported);
    // nullptr when refused.
    Entry* transferEntry(SocketHandle sock, const char* bytes, int length);
    int fail(int wsaError);
    int failErrno(int errnoValue);
    int failTransfer(Entry& entry, int errnoValue);
    int switchFamily(SocketHandle sock, Entry& entry, SocketAddress::Family family);
    static void setKeepAlive(SocketHandle sock);
    void settleConnect(SocketHandle sock, Entry& entry);
    int tlsRecv(SocketHandle sock, Entry& entry, char* buffer, int length);
    int tlsSend(SocketHandle sock, Entry& entry, const char* data, int length);

    int m_startups = 0;
    int m_lastError = 0;
    std::unordered_map<SocketHandle, Entry> m_sockets;
};

}  // namespace kolu
