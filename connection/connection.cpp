#include "connection/connection.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "connection/tls_trust.h"
#include "platform/civil_time.h"
#include "platform/clock.h"
#include "platform/error_text.h"
#include "platform/text.h"
#include "protocol/inbound.h"
#include "protocol/sasl.h"
#include "protocol/string_ops.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "ui/host.h"
#include "ui/line_output.h"
#include "ui/tab_registry.h"

namespace kolu {
namespace {

// Start-up results that are reported by name and then ignored.
const char16_t* startupFailureName(int code) {
    switch (code) {
        case kWsaEfault:
            return u"WSAStartup WSAEFAULT";
        case kWsaProclim:
            return u"WSAStartup WSAEPROCLIM";
        case kWsaSysnotready:
            return u"WSAStartup WSASYSNOTREADY";
        case kWsaVernotsupported:
            return u"WSAStartup WSAVERNOTSUPPORTED";
        default:
            return nullptr;
    }
}

}  // namespace

Connection::Connection(SessionState& state, Parts parts)
    : m_state(state), m_parts(std::move(parts)) {}

void Connection::printInfo(std::u16string_view text) {
    m_parts.output.RIDodajLinie(u"", text, m_parts.colours.of(LineClass::Info));
}

void Connection::stopRetryTimer(const char16_t* label) {
    if (!m_parts.host.stopTimer(kRetryTimer)) {
        m_parts.log.LogError(u"KillTimer", label, 0);
    }
    m_state.retryTimerRunning = false;
}

SocketHandle Connection::polacz() {
    m_parts.host.setConnectedLabel(true);
    m_state.currentNick.clear();
    // A /ison the old connection never answered would hold the notify list's
    // own query back for good.
    m_state.userIsonPending = false;
    for (std::u16string& channel : std::exchange(m_state.reopenedChannels, {})) {
        if (m_parts.tabs.znajdz_zakladke(channel) > 0) {  // not closed meanwhile
            m_state.joinAtWelcome.push_back(std::move(channel));
        }
    }
    m_parts.tabs.usun_wszystkie();
    // Until the new server announces its own, members have the usual two ranks.
    m_parts.tabs.setMemberRanks(MemberRanks());

    const SocketHandle sock = WSotworz();
    if (m_pending) {
        // The event loop finishes the connect (socketWritable or connectTimedOut).
        // Until the login is sent the socket isn't the session's: whatever else
        // is sent meanwhile finds no connection and never reaches it.
        return kInvalidSocket;
    }
    return connectFinished(sock);
}

SocketHandle Connection::connectFinished(SocketHandle sock) {
    if (sock == kInvalidSocket) {
        m_parts.host.setConnectedLabel(false);
        WSzamknij(kInvalidSocket);
        DisplayDisconnected();
        const std::int32_t reconnect = m_parts.settings.RegCzytajLONG(u"reconnect");
        const RetryChoice choice = std::exchange(m_nextRetry, RetryChoice::kAsSet);
        if (choice == RetryChoice::kNow) {
            m_state.retryTimerRunning = m_parts.host.startTimer(kRetryTimer, kTrustedRetryMs);
        } else if (choice == RetryChoice::kNever) {
            // The user refused the certificate: asking again every few seconds would nag.
        } else if (m_parts.settings.switchOn(u"reconnect") && !m_state.retryTimerRunning) {
            if (m_parts.host.startTimer(kRetryTimer, kRetryIntervalMs)) {
                m_state.retryTimerRunning = true;
            } else {
                m_parts.log.LogError(u"SetTimer2", u"polacz", 0);
            }
        } else if (reconnect == 0 && m_state.retryTimerRunning) {
            // Only a 0 stops a pending retry; a missing value leaves it.
            stopRetryTimer(u"polacz");
        }
        return kInvalidSocket;
    }

    m_parts.inbound.clearPending();
    if (m_state.retryTimerRunning) {
        stopRetryTimer(u"polacz");
    }
    if (m_parts.host.startTimer(kPollTimer, kPollIntervalMs)) {
        m_state.pollTimerRunning = true;
    } else {
        m_parts.log.LogError(u"SetTimer", u"polacz", 0);
    }
    m_state.connected = true;
    m_connectedAt = m_parts.clock.monotonicMs();
    m_state.lag.reset(m_connectedAt);
    m_heardBytes = m_parts.inbound.bytesReceived();
    m_unheardLines.clear();
    m_watched = m_parts.host.watchSocket(sock, true, !m_outbound.empty());
    m_readingPaused = false;
    return sock;
}

SocketHandle Connection::WSotworz() {
    SocketLayer& sockets = m_parts.sockets;
    if (const char16_t* name = startupFailureName(sockets.startup(0x0101))) {
        m_parts.log.LogError(name, u"WSotworz", 0);
    }
    SocketHandle sock = sockets.openTcp();
    if (sock == kInvalidSocket) {
        m_parts.log.LogSocketError(sockets, u"socket", u"WSotworz");
        sockets.cleanup();
        return kInvalidSocket;
    }
    ConnectionData server;
    if (!m_parts.servers || m_parts.servers(server) == 0) {
        m_parts.log.LogError(u"SrvConnectionData", u"WSotworz", 0);
        m_parts.host.messageBox(u"Select an IRC server first!", u"Error!");
        WSzamknij(sock);
        return kInvalidSocket;
    }
    applyStsPolicy(server);
    if (sockets.setNonBlocking(sock, true) == kSocketError) {
        m_parts.log.LogSocketError(sockets, u"ioctlsocket", u"WSotworz");
        WSzamknij(sock);
        return kInvalidSocket;
    }
    const auto lookUp = sockets.prepareLookup(server.host);
    auto answer = std::make_shared<HostLookup>();
    const std::uint64_t lookupId = ++m_lookups;
    // A slow name server must not stop the window; hostLookedUp goes on from here.
    if (m_parts.host.runInBackground(
            [lookUp, answer] { *answer = lookUp(); },
            [this, answer, lookupId] { hostLookedUp(lookupId, *answer); })) {
        m_pending = PendingConnect{sock, server, lookupId, {}, 0};
        return kInvalidSocket;
    }
    return connectTo(sock, lookUp(), server);
}

void Connection::hostLookedUp(std::uint64_t lookupId, const HostLookup& answer) {
    if (!m_pending || m_pending->lookupId != lookupId) {
        return;  // the user gave up, or started over, meanwhile
    }
    const PendingConnect pending = *m_pending;
    m_pending.reset();
    settleConnect(connectTo(pending.sock, answer, pending.server));
}

void Connection::settleConnect(SocketHandle sock) {
    m_state.socket = m_pending ? kInvalidSocket : connectFinished(sock);
}

SocketHandle Connection::connectTo(SocketHandle sock, const HostLookup& answer,
                                   const ConnectionData& server) {
    // A name that can't be looked up is reported as the failed connect it
    // would cause; nothing is sent anywhere.
    if (answer.addresses.empty()) {
        m_parts.sockets.setLastError(answer.error);
        m_parts.log.LogSocketError(m_parts.sockets, u"connect", u"WSotworz");
        WSzamknij(sock);
        return kInvalidSocket;
    }
    return tryAddresses(sock, PendingConnect{sock, server, 0, answer.addresses, 0});
}

SocketHandle Connection::tryAddresses(SocketHandle sock, PendingConnect attempt) {
    SocketLayer& sockets = m_parts.sockets;
    for (;; ++attempt.next) {
        const bool last = attempt.next + 1 == attempt.addresses.size();
        const SocketAddress& address = attempt.addresses[attempt.next];
        if (sockets.connect(sock, address, attempt.server.port) == 0) {
            return connected(sock, std::move(attempt));
        }
        if (sockets.lastError() == kWsaEwouldblock) {
            // "Would block" is the expected start of a non-blocking connect, not a failure.
            sockets.setLastError(0);
            if (m_parts.host.watchSocket(sock, false, true)) {
                // The window keeps turning while the connect completes.
                if (m_parts.host.startTimer(kConnectTimer, kConnectWaitMs)) {
                    attempt.sock = sock;
                    m_pending = std::move(attempt);
                    return kInvalidSocket;
                }
                m_parts.host.watchSocket(kInvalidSocket, false);
            }
            SelectSets sets;
            sets.write = true;
            if (sockets.select(sock, sets, kConnectWaitMs) > 0 && sets.write) {
                if (sockets.setNonBlocking(sock, false) == kSocketError) {
                    m_parts.log.LogSocketError(sockets, u"ioctlsocket2", u"WSotworz");
                    WSzamknij(sock);
                    return kInvalidSocket;
                }
                return connected(sock, std::move(attempt));
            }
            if (last) {
                return failedConnect(sock);
            }
        } else {
            m_parts.log.LogSocketError(sockets, u"connect", u"WSotworz");
            if (last) {
                WSzamknij(sock);
                return kInvalidSocket;
            }
        }
        sock = reopenForNextAddress(sock);
        if (sock == kInvalidSocket) {
            return kInvalidSocket;
        }
    }
}

SocketHandle Connection::reopenForNextAddress(SocketHandle sock) {
    // A socket whose connect failed can't connect again: the next address gets a
    // fresh one, under the same start-up.
    SocketLayer& sockets = m_parts.sockets;
    sockets.closeSocket(sock);
    const SocketHandle fresh = sockets.openTcp();
    if (fresh == kInvalidSocket) {
        m_parts.log.LogSocketError(sockets, u"socket", u"WSotworz");
        sockets.cleanup();
        return kInvalidSocket;
    }
    if (sockets.setNonBlocking(fresh, true) == kSocketError) {
        m_parts.log.LogSocketError(sockets, u"ioctlsocket", u"WSotworz");
        WSzamknij(fresh);
        return kInvalidSocket;
    }
    return fresh;
}

SocketHandle Connection::login(SocketHandle sock, const ConnectionData& server,
                               const SocketAddress& address) {
    // The status line names the address a host name led to.
    std::string shown = server.host;
    const std::string used = address.toString();
    if (used != server.host && "[" + used + "]" != server.host) {
        shown += " [" + used + "]";
    }
    m_server = server;
    if (zaloguj(sock, shown, server.port, server.password) == 0) {
        WSzamknij(sock);
        return kInvalidSocket;
    }
    return sock;
}

void Connection::socketWritable() {
    if (m_pending && m_pending->handshaking) {
        resumeHandshake();
        return;
    }
    if (!m_pending || m_pending->lookupId != 0) {
        flushOutbound();
        return;
    }
    PendingConnect pending = *m_pending;
    endPendingConnect();
    SocketLayer& sockets = m_parts.sockets;
    if (sockets.socketError(pending.sock) == 0) {
        // The socket stays non-blocking: what it can't take at once waits in
        // the outbound queue instead of stopping the window.
        const SocketHandle sock = pending.sock;
        settleConnect(connected(sock, std::move(pending)));
        return;
    }
    sockets.setLastError(0);  // reported by the failure line, as a failed wait is
    settleConnect(nextAddressOrFail(std::move(pending)));
}

void Connection::connectTimedOut() {
    if (!m_pending || m_pending->lookupId != 0) {
        return;
    }
    PendingConnect pending = *m_pending;
    endPendingConnect();
    if (pending.handshaking) {
        settleConnect(failedTls(pending.sock, u"no answer in time"));
        return;
    }
    settleConnect(nextAddressOrFail(std::move(pending)));
}

SocketHandle Connection::connected(SocketHandle sock, PendingConnect attempt) {
    // Before the handshake: an EXTERNAL login's certificate goes with it.
    chooseLogin(attempt.server);
    if (!attempt.server.tls) {
        return login(sock, attempt.server, attempt.addresses[attempt.next]);
    }
    std::string problem;
    if (m_parts.sockets.startTls(sock, attempt.server.host, problem,
                                 clientCertificateFor(m_state.saslLogin)) != 0) {
        m_parts.sockets.setLastError(0);  // told by the failure line
        return failedTls(sock, fromUtf8(problem));
    }
    attempt.sock = sock;
    attempt.handshaking = false;
    return continueHandshake(std::move(attempt));
}

SocketHandle Connection::continueHandshake(PendingConnect attempt) {
    SocketLayer& sockets = m_parts.sockets;
    for (;;) {
        TlsPeer peer;
        const TlsStep step = sockets.continueTls(attempt.sock, peer);
        if (step == TlsStep::kDone || step == TlsStep::kFailed) {
            if (attempt.handshaking) {
                endPendingConnect();
            }
            return step == TlsStep::kDone ? acceptPeer(attempt, peer)
                                          : failedTls(attempt.sock, fromUtf8(peer.problem));
        }
        const bool read = step == TlsStep::kWantRead;
        if (m_parts.host.watchSocket(attempt.sock, read, !read)) {
            if (!attempt.handshaking) {
                attempt.handshaking = m_parts.host.startTimer(kConnectTimer, kTlsWaitMs);
            }
            if (attempt.handshaking) {
                m_pending = std::move(attempt);
                return kInvalidSocket;
            }
            m_parts.host.watchSocket(kInvalidSocket, false);
        }
        SelectSets sets;
        sets.read = read;
        sets.write = !read;
        if (sockets.select(attempt.sock, sets, kTlsWaitMs) <= 0) {
            sockets.setLastError(0);
            return failedTls(attempt.sock, u"no answer in time");
        }
    }
}

void Connection::resumeHandshake() {
    PendingConnect attempt = *m_pending;
    m_pending.reset();  // the timer and the watch stay until the handshake ends
    settleConnect(continueHandshake(std::move(attempt)));
}

SocketHandle Connection::acceptPeer(const PendingConnect& attempt, const TlsPeer& peer) {
    const std::string& host = attempt.server.host;
    if (peer.verified || TlsTrust(trustFile()).trusts(host, peer.fingerprint)) {
        return login(attempt.sock, attempt.server, attempt.addresses[attempt.next]);
    }
    // Nothing has been sent: the refused server never sees the login.
    printInfo(u"*** Unable to connect (certificate not trusted: " + fromUtf8(peer.problem) +
              u"; SHA-256 " + fromUtf8(peer.fingerprint) + u")");
    WSzamknij(attempt.sock);
    if (!peer.fingerprint.empty()) {
        offerTrust(host, peer);
    }
    return kInvalidSocket;
}

void Connection::offerTrust(const std::string& host, const TlsPeer& peer) {
    const std::u16string name = fromUtf8(host);
    // Eight bytes a line: the fingerprint has no blank to wrap at on a narrow screen.
    std::u16string fingerprint = fromUtf8(peer.fingerprint);
    for (std::size_t at = 8 * 3 - 1; at < fingerprint.size(); at += 8 * 3) {
        fingerprint[at] = u'\n';
    }
    const bool yes = m_parts.host.askYesNo(
        u"The certificate of " + name + u" could not be verified (" + fromUtf8(peer.problem) +
            u").\n\nSHA-256 fingerprint:\n" + fingerprint + u"\n\nTrust this certificate for " +
            name + u" from now on?",
        u"Certificate");
    if (!yes) {
        m_nextRetry = RetryChoice::kNever;
        return;
    }
    if (const int error = TlsTrust(trustFile()).trust(host, peer.fingerprint); error != 0) {
        printInfo(u"*** The trusted certificate could not be saved (" + errorText(error) + u")");
        m_nextRetry = RetryChoice::kNever;
        return;
    }
    printInfo(u"*** Certificate trusted for " + name + u": connecting again");
    m_nextRetry = RetryChoice::kNow;
}

std::string Connection::trustFile() {
    return toUtf8(m_parts.settings.CzytajInstallDir()) + TlsTrust::kFileName;
}

void Connection::chooseLogin(const ConnectionData& server) {
    const std::string path = toUtf8(m_parts.settings.CzytajInstallDir()) + ServerLogins::kFileName;
    if (!m_logins || m_logins->path() != path) {
        m_logins.emplace(
            path, [this](std::u16string_view text) { printInfo(u"*** " + std::u16string(text)); });
    }
    m_state.saslLogin = m_logins->find(fromUtf8(server.host));
}

SocketHandle Connection::failedTls(SocketHandle sock, std::u16string_view problem) {
    // Never followed by a plain-text attempt: the port was chosen for TLS.
    printInfo(u"*** Unable to connect (TLS: " + std::u16string(problem) + u")");
    WSzamknij(sock);
    return kInvalidSocket;
}

SocketHandle Connection::nextAddressOrFail(PendingConnect attempt) {
    if (attempt.next + 1 >= attempt.addresses.size()) {
        return failedConnect(attempt.sock);
    }
    const SocketHandle sock = reopenForNextAddress(attempt.sock);
    if (sock == kInvalidSocket) {
        return kInvalidSocket;
    }
    ++attempt.next;
    return tryAddresses(sock, std::move(attempt));
}

SocketHandle Connection::failedConnect(SocketHandle sock) {
    m_parts.log.LogSocketError(m_parts.sockets, u"select", u"WSotworz");
    printInfo(u"*** Unable to connect (Connection refused)");
    WSzamknij(sock);
    return kInvalidSocket;
}

void Connection::endPendingConnect() {
    m_parts.host.stopTimer(kConnectTimer);
    m_parts.host.watchSocket(kInvalidSocket, false);
    m_pending.reset();
}

void Connection::abandonPendingConnect() {
    const SocketHandle sock = m_pending->sock;
    endPendingConnect();
    WSzamknij(sock);
}

int Connection::zaloguj(SocketHandle sock, const std::string& host, std::uint16_t port,
                        const std::string& password) {
    Settings& settings = m_parts.settings;
    m_state.wantedNick.clear();
    settings.RegCzytajMsg(u"nick", m_state.wantedNick, 120);
    std::u16string email;
    settings.RegCzytajMsg(u"email", email, 240);
    std::u16string fullName;
    settings.RegCzytajMsg(u"fullname", fullName, 500);
    std::u16string userName;
    std::size_t afterAt = SplitAtSign(userName, email);
    std::u16string mailHost = email.substr(afterAt);

    if (m_state.wantedNick.empty() || userName.empty() || mailHost.empty() || fullName.empty()) {
        m_parts.host.messageBox(u"First fill in an user options!", u"Error!");
        return 0;
    }
    printInfo(u"*** Connecting to " + fromUtf8(host) + u" (" + decimalText(port) + u")");
    // From here the socket is the session's: the login is the first thing on
    // it, and what the socket can't take at once waits in the outbound queue.
    m_state.socket = sock;
    m_sendingLogin = true;
    // Asked first, so a server that knows it holds the registration until CAP
    // END; one that doesn't answers with an error the negotiation hides.
    const bool negotiate = m_parts.settings.switchOn(u"ircv3");
    m_state.caps.reset(negotiate);
    m_state.connectedAtMs = epochMs(m_parts.clock);
    m_state.echoes.clear();
    m_state.sasl.reset();
    if (negotiate) {
        wys(sock, u"CAP LS 302");
    }
    if (!password.empty()) {
        wys(sock, u"PASS " + fromUtf8(password));
    }
    wys(sock, u"nick " + m_state.wantedNick);
    wys(sock, u"user " + userName + u" " + mailHost + u" kolu :" + fullName);
    m_sendingLogin = false;
    return 1;
}

int Connection::WSzamknij(SocketHandle sock) {
    if (sock == kInvalidSocket) {
        return 1;
    }
    if (sock == m_state.socket) {
        // Before the close: the watch must never outlive the socket number.
        if (m_watched || !m_outbound.empty()) {
            m_parts.host.watchSocket(kInvalidSocket, false);
        }
        m_watched = false;
        const auto unsent = static_cast<std::size_t>(std::ranges::count(m_outbound, '\n'));
        m_outbound.clear();
        m_overflowed = false;
        m_flushAfterRead = false;
        dropPaced(unsent);
    }
    if (m_parts.sockets.closeSocket(sock) == kSocketError) {
        m_parts.log.LogSocketError(m_parts.sockets, u"closesocket", u"WSzamknij");
    }
    if (m_parts.sockets.cleanup() == kSocketError) {
        m_parts.log.LogSocketError(m_parts.sockets, u"WSACleanup", u"WSzamknij");
    }
    return 1;
}

int Connection::rozlacz() {
    m_parts.host.setConnectedLabel(false);
    WSzamknij(m_state.socket);
    m_state.socket = kInvalidSocket;
    m_state.userIsonPending = false;  // no answer can come any more
    // Batches the server never closed: their summaries are all that is left of them.
    m_state.batches.closeAll(m_parts.output, m_parts.colours);
    m_state.echoes.clear();
    m_parts.host.showLag(std::nullopt);
    DisplayDisconnected();
    return 1;
}

int Connection::DisplayDisconnected() {
    TabRegistry& tabs = m_parts.tabs;
    for (int i = 0; i < tabs.count(); ++i) {
        // Tab 0 by the empty name: by its label "Status" a query tab named
        // "status" would take its line.
        TabRecord* record = tabs.pobierz_lparam(i);
        std::u16string name = i == 0 ? u"" : tabs.pobierz_nazwe(i, record ? record->nameLength : 0);
        m_parts.output.RIDodajLinie(name, u"*** Disconnected", m_parts.colours.of(LineClass::Info));
    }
    // The channels were left: their old members must not look present.
    tabs.markChannelsNotJoined(m_parts.colours.of(LineClass::Info));
    return 1;
}

void Connection::pollTick() {
    // A tick that fires inside a modal prompt opened while a line is dispatched
    // must not read or close the connection under that line.
    if (m_state.socket == kInvalidSocket || m_parts.inbound.dispatching() || !m_dispatcher) {
        return;
    }
    if (m_state.connected && !m_state.currentNick.empty()) {
        if (++m_state.isonCounter > 20) {
            m_state.isonCounter = 0;
            if (!m_state.userIsonPending && m_parts.settings.switchOn(u"en_notify") &&
                !m_state.optionsOpen && m_notify) {
                m_notify->NotifyList_Ison();
            }
        }
    }
    int received = 1;
    if (m_watched) {
        // The watch reads as data comes; the tick takes what is left and notices the end.
        const Inbound::ReadResult result =
            m_parts.inbound.readReady(m_state.socket, *m_dispatcher, kReadBudgetBytes);
        received = result == Inbound::ReadResult::kClosed ? 0 : 1;
        watchReading(true);
    } else {
        received = m_parts.inbound.odbierz(m_state.socket, *m_dispatcher);
    }
    if (m_state.connected && received != 0 && linkAlive()) {
        return;
    }
    connectionEnded();
}

void Connection::connectionEnded() {
    rozlacz();
    if (!m_parts.host.stopTimer(kPollTimer)) {
        m_parts.log.LogError(u"KillTimer", u"WndProc WM_TIMER", 0);
    }
    m_state.pollTimerRunning = false;
    if (m_notify) {
        m_notify->NotifyList_Reset();
    }
    const bool toTls = std::exchange(m_stsReconnect, false);
    if (m_state.userQuit) {
        m_state.userQuit = false;
    } else if (toTls) {
        m_state.socket = polacz();  // not a short connection: the server asked for it
    } else if (m_parts.settings.switchOn(u"reconnect")) {
        if (m_parts.clock.monotonicMs() - m_connectedAt >= kLongConnectionMs) {
            m_retryDelayMs = kRetryIntervalMs;
            m_state.socket = polacz();
        } else {
            retryLater();
        }
    }
}

bool Connection::linkAlive() {
    const std::uint64_t now = m_parts.clock.monotonicMs();
    if (const std::uint64_t bytes = m_parts.inbound.bytesReceived(); bytes != m_heardBytes) {
        m_heardBytes = bytes;
        m_state.lag.heard(now);
        m_unheardLines.clear();
    }
    const auto milliseconds = [&](std::u16string_view setting) {
        return 1000 * static_cast<std::uint64_t>(m_parts.settings.RegCzytajLimit(setting, 0, 86400));
    };
    const std::uint64_t silenceMs = milliseconds(u"lagcheck");
    const std::uint64_t timeoutMs = milliseconds(u"lagtimeout");
    if (silenceMs == 0) {
        return true;
    }
    // Before the login a PING may be refused; the silence still counts.
    if (!m_state.currentNick.empty()) {
        if (const std::optional<std::u16string> ping = m_state.lag.pingDue(now, silenceMs)) {
            sendLine(m_state.socket, toUtf8(*ping));
        }
    }
    const std::optional<std::uint64_t> silent =
        timeoutMs > 0 ? m_state.lag.timedOut(now, silenceMs, timeoutMs) : std::nullopt;
    if (silent) {
        printInfo(u"*** Ping timeout (" + decimalText(static_cast<long long>(*silent)) +
                  u" seconds)");
        for (const std::string& line : std::exchange(m_unheardLines, {})) {
            printInfo(u"*** Perhaps lost with the link: " + fromUtf8(line));
        }
        m_state.connected = false;
        return false;
    }
    return true;
}

void Connection::retryLater() {
    printInfo(u"*** Reconnecting in " + decimalText(m_retryDelayMs / 1000) + u" seconds");
    if (m_parts.host.startTimer(kRetryTimer, m_retryDelayMs)) {
        m_state.retryTimerRunning = true;
    } else {
        m_parts.log.LogError(u"SetTimer2", u"WndProc WM_TIMER", 0);
    }
    m_retryDelayMs = std::min(m_retryDelayMs * 2, kLongestRetryMs);
}

void Connection::watchReading(bool on) {
    if (m_watched && m_readingPaused == on) {
        m_parts.host.watchSocket(m_state.socket, on, !m_outbound.empty());
        m_readingPaused = !on;
    }
}

void Connection::socketReadable() {
    if (m_pending && m_pending->handshaking) {
        resumeHandshake();
        return;
    }
    if (m_state.socket == kInvalidSocket || !m_dispatcher) {
        return;
    }
    if (m_parts.inbound.dispatching()) {
        // A modal prompt of a handler runs the event loop: reading resumes
        // once that line is done.
        watchReading(false);
        return;
    }
    const Inbound::ReadResult result =
        m_parts.inbound.readReady(m_state.socket, *m_dispatcher, kReadBudgetBytes);
    if (result == Inbound::ReadResult::kClosed || !m_state.connected) {
        // Ended now, not at the next poll tick: a line typed meanwhile would go to a
        // dead socket and be lost without a word.
        connectionEnded();
        return;
    }
    // A failed socket stays readable: the poll tick ends the connection.
    watchReading(result != Inbound::ReadResult::kFailed);
    if (std::exchange(m_flushAfterRead, false) && !m_outbound.empty()) {
        m_parts.host.watchSocket(m_state.socket, m_watched && !m_readingPaused, true);
    }
}

void Connection::retryTick() {
    if (m_state.retryTimerRunning) {
        stopRetryTimer(u"WndProc WM_TIMER");
    }
    m_state.socket = polacz();
}

void Connection::connectCommand() {
    m_retryDelayMs = kRetryIntervalMs;  // the user's choice overrides any wait
    if (m_pending) {
        abandonPendingConnect();  // Disconnect while connecting: give up the attempt
        rozlacz();
    } else if (m_state.socket != kInvalidSocket) {
        disconnectRequest();
    } else if (m_state.retryTimerRunning) {
        stopRetryTimer(u"WndProc WM_COMMAND");
        rozlacz();
    } else {
        m_state.socket = polacz();
    }
}

void Connection::disconnectRequest() {
    m_state.connected = false;
    m_state.userQuit = true;
}

void Connection::exitCommand() {
    if (m_pending) {
        abandonPendingConnect();
    }
    WSzamknij(m_state.socket);
    m_state.socket = kInvalidSocket;
    m_state.connected = false;
}

}  // namespace kolu
