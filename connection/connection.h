#pragma once
// The one server connection: opening it (non-blocking connect with a 3-second
// wait), logging in, sending lines, closing, and the poll, retry and
// Connect/Disconnect events that drive it over time through the host's timers.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/paced_lines.h"
#include "connection/send_pacer.h"
#include "connection/server_logins.h"
#include "platform/sockets.h"
#include "protocol/notify_hooks.h"
#include "protocol/server_link.h"
#include "protocol/session_state.h"
#include "servers/server_list.h"

namespace kolu {

class Clock;
class ColourTable;
class ErrorLog;
class Host;
class Inbound;
class LineOutput;
class ReplyDispatcher;
class Settings;
class TabRegistry;

class Connection final : public ServerLink {
  public:
    // Fills the chosen server's host, password and port; 0 when none is chosen.
    using ServerSource = std::function<int(ConnectionData& data)>;

    struct Parts {
        SocketLayer& sockets;
        ErrorLog& log;
        Settings& settings;
        Host& host;
        TabRegistry& tabs;
        LineOutput& output;
        const ColourTable& colours;
        Inbound& inbound;
        const Clock& clock;
        ServerSource servers;
    };

    static constexpr int kPollIntervalMs = 1000;
    static constexpr int kRetryIntervalMs = 5000;
    // A connection that ends sooner is reopened only after a wait that doubles,
    // up to the longest, while they stay that short (a server that bans or closes).
    static constexpr std::uint32_t kLongConnectionMs = 60000;
    static constexpr int kLongestRetryMs = 300000;
    static constexpr int kConnectWaitMs = 3000;
    // The TLS handshake after the connect: far servers need several round trips.
    static constexpr int kTlsWaitMs = 10000;
    // After the user trusted a certificate, the next attempt follows at once.
    static constexpr int kTrustedRetryMs = 100;
    // Outbound text goes out in pieces of at most this many bytes, line feed included.
    static constexpr std::size_t kPieceBytes = 1024;
    // What the socket hasn't taken yet may grow to this; past it the send fails.
    static constexpr std::size_t kOutboundLimit = 1 << 20;
    // Messages sent since the server was last heard, named if the link proves dead.
    static constexpr std::size_t kMaxUnheardLines = 20;

    Connection(SessionState& state, Parts parts);

    void setNotifyHooks(NotifyHooks* hooks) { m_notify = hooks; }
    // Where received lines go; the poll tick reads nothing until one is set.
    void setDispatcher(ReplyDispatcher* dispatcher) { m_dispatcher = dispatcher; }

    SocketHandle polacz();
    SocketHandle WSotworz();
    int zaloguj(SocketHandle sock, const std::string& host, std::uint16_t port,
                const std::string& password);
    int wys(SocketHandle sock, std::u16string_view text) override;
    int sendEchoed(SocketHandle sock, std::u16string_view text, LineEcho echo) override;
    std::size_t dropWaitingLines() override;
    int SendNonEmpty(SocketHandle sock, std::u16string_view text) override;
    int WSzamknij(SocketHandle sock);
    int rozlacz();
    int DisplayDisconnected();

    // Read per wake-up of the socket watch: a flood leaves the window turning.
    static constexpr std::size_t kReadBudgetBytes = 64 * 1024;
    // The host's socket watch found the socket readable.
    void socketReadable();
    // The host's socket watch found a connecting socket writable (connected or
    // failed), or the connect timer ran out first.
    void socketWritable();
    void connectTimedOut();
    // The pace timer: the next waiting lines may go.
    void paceTick();

    // Timer 1, timer 2, menu item 40008, the disconnect request, File > Exit.
    void pollTick();
    void retryTick();
    void connectCommand();
    void disconnectRequest() override;
    void exitCommand();
    // The socket the other parts send on; kInvalidSocket when not connected.
    SocketHandle socketQuery() const override { return m_state.socket; }
    // Plain text: closes and comes back over TLS on the offer's port. TLS: the
    // offer's duration is remembered for the host.
    bool stsOffered(std::u16string_view value) override;

  private:
    int sendBytes(SocketHandle sock, std::string_view bytes, const char16_t* operation);
    // One protocol line (without its line feed) in pieces that fit the piece buffer.
    int sendLine(SocketHandle sock, std::string_view line);
    void queueOutbound(std::string_view bytes, const char16_t* operation);
    // wys and sendEchoed: sends now, or queues the line behind the pacing.
    int sendOrQueue(SocketHandle sock, std::u16string_view text, std::optional<LineEcho> echo);
    void show(const std::optional<LineEcho>& echo);
    // The echo of `line` once it has gone: shown now, or, when the server echoes
    // messages itself, when the server's echo comes back.
    void showSent(std::string_view line, std::optional<LineEcho> echo);
    // The pacing settings (a missing or unusable value reads as its default).
    int sendBurst();
    int sendPaceMs();
    // Sends what the pacer lets go, and sets the timer for the rest.
    void releasePaced();
    // The connection ended: lines still waiting for their turn are dropped, said
    // once, together with `unsent` lines the socket never took.
    void dropPaced(std::size_t unsent = 0);
    void flushOutbound();
    // The outbound queue is full: the connection is given up.
    void overflowed(const char16_t* operation);
    void stopRetryTimer(const char16_t* label);
    // Notes what the server sent since the last tick, sends the own PING a
    // silence calls for, and gives the link up once the silence has lasted too
    // long (false, the connection to be closed as a lost one).
    bool linkAlive();
    void printInfo(std::u16string_view text);
    // The end of polacz once the connect has succeeded (`sock`) or failed.
    SocketHandle connectFinished(SocketHandle sock);
    struct PendingConnect;
    // The rest of WSotworz once the host name is looked up.
    SocketHandle connectTo(SocketHandle sock, const HostLookup& answer,
                           const ConnectionData& server);
    // Connects to the addresses from attempt.next on, in order, until one takes;
    // kInvalidSocket when all failed or the event loop is to finish (m_pending).
    SocketHandle tryAddresses(SocketHandle sock, PendingConnect attempt);
    SocketHandle nextAddressOrFail(PendingConnect attempt);
    SocketHandle reopenForNextAddress(SocketHandle sock);
    // A lookup run in the background has answered.
    void hostLookedUp(std::uint64_t lookupId, const HostLookup& answer);
    // The connection is the session's, or failed, or still under way.
    void settleConnect(SocketHandle sock);
    // The connect to attempt.addresses[attempt.next] succeeded: log in, after
    // the TLS handshake when the port asks for one.
    SocketHandle connected(SocketHandle sock, PendingConnect attempt);
    // Moves the handshake on; kInvalidSocket when it failed or the event loop is
    // to go on with it (m_pending).
    SocketHandle continueHandshake(PendingConnect attempt);
    void resumeHandshake();
    // A finished handshake: log in if the certificate is verified or trusted.
    SocketHandle acceptPeer(const PendingConnect& attempt, const TlsPeer& peer);
    SocketHandle failedTls(SocketHandle sock, std::u16string_view problem);
    // Asks whether to trust the certificate that was refused.
    void offerTrust(const std::string& host, const TlsPeer& peer);
    std::string trustFile();
    std::string stsFile();
    // A plain-text server whose host asked for TLS (this run, or in a policy
    // that still holds) is reached over TLS on the port it named.
    void applyStsPolicy(ConnectionData& server);
    // The account login set for the server about to be logged in to, or none.
    void chooseLogin(const ConnectionData& server);
    SocketHandle login(SocketHandle sock, const ConnectionData& server,
                       const SocketAddress& address);
    SocketHandle failedConnect(SocketHandle sock);
    void endPendingConnect();
    // Gives up the connect under way and closes its socket.
    void abandonPendingConnect();
    // After a short connection: the next attempt when the retry timer fires.
    void retryLater();
    // The server closed or the connection failed: the tabs are told, and the
    // reconnect option says what follows.
    void connectionEnded();
    // Asks the host to watch the socket for reading, or to stop (a closed
    // socket stays readable; a nested dispatch must not read).
    void watchReading(bool on);

    SessionState& m_state;
    Parts m_parts;
    NotifyHooks* m_notify = nullptr;
    ReplyDispatcher* m_dispatcher = nullptr;
    // A connect the event loop completes: while its host name is looked up in the
    // background (lookupId, never 0) or, with the host watching sockets, while
    // the connect to addresses[next] or its TLS handshake is under way (lookupId 0).
    struct PendingConnect {
        SocketHandle sock;
        ConnectionData server;
        std::uint64_t lookupId;
        std::vector<SocketAddress> addresses;
        std::size_t next;
        bool handshaking = false;
    };
    // What a failed connect does next instead of what the reconnect option says.
    enum class RetryChoice { kAsSet, kNow, kNever };
    RetryChoice m_nextRetry = RetryChoice::kAsSet;
    std::optional<PendingConnect> m_pending;
    std::uint64_t m_lookups = 0;      // lookups started; tells a stale answer from the awaited one
    std::uint64_t m_connectedAt = 0;  // monotonic time when the last connection was made
    std::uint64_t m_heardBytes = 0;   // the inbound byte count when the link was last checked
    std::vector<std::string> m_unheardLines;
    int m_retryDelayMs = kRetryIntervalMs;
    std::string m_outbound;  // sent lines the socket hasn't taken yet, in order
    SendPacer m_pacer;
    std::optional<ServerLogins> m_logins;  // kept so a damaged file is reported once
    PacedLines m_paced;
    bool m_overflowed = false;      // the queue overflowed: nothing more is sent until the close
    bool m_flushAfterRead = false;  // the queued bytes wait for a read (TLS), not for room
    bool m_sendingLogin = false;    // zaloguj is sending: never paced
    bool m_watched = false;        // the host reports readability: the tick reads only what is left
    bool m_readingPaused = false;  // a read found the end, or came during a dispatch
    // The server of the connection logged in to last.
    ConnectionData m_server;
    // Hosts that asked for TLS over plain text in this run, with their TLS port:
    // not remembered in the file until a TLS connection repeats the policy.
    std::vector<std::pair<std::string, std::uint16_t>> m_stsUpgrades;
    bool m_stsReconnect = false;  // closing for TLS: the next attempt goes at once
};

}  // namespace kolu
