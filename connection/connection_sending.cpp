// The connection's sending side: the pacing of each line, the bytes the socket
// has not taken yet, and the echo of a line shown when it actually goes.
#include <algorithm>
#include <utility>

#include "connection/connection.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "settings/error_log.h"
#include "settings/settings.h"
#include "ui/host.h"
#include "ui/line_output.h"

namespace kolu {
namespace {

// A protocol line ends at its line feed: text after a CR, LF or NUL would reach
// the server as a line of its own, so it is never sent.
std::u16string_view oneLine(std::u16string_view text) {
    std::size_t end = text.find_first_of(std::u16string_view(u"\r\n\0", 3));
    return end == std::u16string_view::npos ? text : text.substr(0, end);
}

// Whether the protocol line's command is `command` (upper case), in any case.
bool hasCommand(std::string_view line, std::string_view command) {
    if (line.size() < command.size() ||
        (line.size() > command.size() && line[command.size()] != ' ')) {
        return false;
    }
    for (std::size_t i = 0; i < command.size(); ++i) {
        if ((line[i] & ~0x20) != command[i]) {
            return false;
        }
    }
    return true;
}

// The keep-alive answer and the goodbye never wait behind other lines: a late
// PONG costs the connection, and a QUIT must go before the socket closes. Nor
// do the capability and login exchanges, which hold up the registration.
bool skipsPacing(std::string_view line) {
    return hasCommand(line, "PONG") || hasCommand(line, "QUIT") || hasCommand(line, "CAP") ||
           hasCommand(line, "AUTHENTICATE");
}

}  // namespace

int Connection::sendBytes(SocketHandle sock, std::string_view bytes, const char16_t* operation) {
    const bool queueable = sock == m_state.socket && sock != kInvalidSocket;
    if (queueable && m_overflowed) {
        return kSocketError;  // the connection is closing: nothing may follow the cut line
    }
    if (queueable && !m_outbound.empty()) {
        queueOutbound(bytes, operation);  // behind what waits, so the order holds
        return static_cast<int>(bytes.size());
    }
    int result = m_parts.sockets.send(sock, bytes.data(), static_cast<int>(bytes.size()));
    if (result == kSocketError && queueable && m_parts.sockets.lastError() == kWsaEwouldblock) {
        m_parts.sockets.setLastError(0);
        result = 0;
    }
    if (result == kSocketError) {
        m_parts.log.LogSocketError(m_parts.sockets, operation, u"wys");
        return result;
    }
    if (queueable && static_cast<std::size_t>(result) < bytes.size()) {
        // A non-blocking socket took part: the rest goes when it is writable.
        queueOutbound(bytes.substr(static_cast<std::size_t>(result)), operation);
        return static_cast<int>(bytes.size());
    }
    return result;
}

void Connection::queueOutbound(std::string_view bytes, const char16_t* operation) {
    if (m_outbound.size() + bytes.size() > kOutboundLimit) {
        overflowed(operation);
        return;
    }
    m_outbound.append(bytes);
    m_parts.host.watchSocket(m_state.socket, m_watched && !m_readingPaused, true);
}

void Connection::overflowed(const char16_t* operation) {
    // A server that takes nothing for this long is as good as gone, and the
    // queue ends inside a line: whatever followed would be glued onto it.
    m_overflowed = true;
    m_outbound.clear();
    m_parts.host.watchSocket(m_state.socket, m_watched && !m_readingPaused, false);
    m_parts.log.LogError(operation, u"wys", kWsaEnobufs);
    printInfo(u"*** The server has not taken the last " +
              decimalText(static_cast<long long>(kOutboundLimit / 1024)) +
              u" KB sent: disconnecting");
    m_state.connected = false;  // the next poll tick closes the connection
}

void Connection::flushOutbound() {
    if (m_outbound.empty()) {
        return;
    }
    SocketLayer& sockets = m_parts.sockets;
    const int sent =
        sockets.send(m_state.socket, m_outbound.data(), static_cast<int>(m_outbound.size()));
    if (sent == kSocketError) {
        if (sockets.lastError() == kWsaEwouldblock) {
            sockets.setLastError(0);
            if (sockets.sendWaitsForRead(m_state.socket)) {
                // The socket stays writable meanwhile: the next read resumes the flush.
                m_flushAfterRead = true;
                m_parts.host.watchSocket(m_state.socket, m_watched && !m_readingPaused, false);
            }
            return;
        }
        m_outbound.clear();
        m_parts.log.LogSocketError(sockets, u"send", u"wys");
    } else {
        m_outbound.erase(0, static_cast<std::size_t>(sent));
    }
    if (m_outbound.empty()) {
        m_parts.host.watchSocket(m_state.socket, m_watched && !m_readingPaused, false);
    }
}

int Connection::sendBurst() {
    return m_parts.settings.RegCzytajLimit(u"sendburst", 1, 1000);
}

int Connection::sendPaceMs() {
    return m_parts.settings.RegCzytajLimit(u"sendpace", 0, 60000);
}

int Connection::wys(SocketHandle sock, std::u16string_view text) {
    return sendOrQueue(sock, text, std::nullopt);
}

int Connection::sendEchoed(SocketHandle sock, std::u16string_view text, LineEcho echo) {
    return sendOrQueue(sock, text, std::move(echo));
}

int Connection::sendOrQueue(SocketHandle sock, std::u16string_view text,
                            std::optional<LineEcho> echo) {
    std::string line = toUtf8(oneLine(text));
    const std::uint64_t now = m_parts.clock.monotonicMs();
    const bool login = sock != kInvalidSocket && (m_sendingLogin || sock != m_state.socket);
    if (login) {
        // The login is counted, never held: a server waits only so long for it.
        m_pacer.count(now, sendPaceMs());
    }
    // A line without a socket is reported as the failed send it is.
    if (sock == kInvalidSocket || login || skipsPacing(line) ||
        (m_paced.empty() && m_pacer.tryTake(now, sendBurst(), sendPaceMs()))) {
        const int result = sendLine(sock, line);
        showSent(line, std::move(echo));
        return result;
    }
    const int size = static_cast<int>(line.size()) + 1;
    if (m_paced.push({std::move(line), std::move(echo)})) {
        releasePaced();
    }
    return size;
}

void Connection::show(const std::optional<LineEcho>& echo) {
    if (echo) {
        m_parts.output.RIDodajLinie(echo->tab, echo->text, echo->colour);
    }
}

void Connection::showSent(std::string_view line, std::optional<LineEcho> echo) {
    if (echo && m_state.caps.enabled(u"echo-message") &&
        m_state.echoes.await(fromUtf8(line), *echo, m_parts.clock.monotonicMs())) {
        return;
    }
    show(echo);
}

void Connection::releasePaced() {
    const std::uint64_t now = m_parts.clock.monotonicMs();
    const int burst = sendBurst();
    const int pace = sendPaceMs();
    while (!m_paced.empty() && m_pacer.tryTake(now, burst, pace)) {
        const PacedLines::Line next = m_paced.pop();
        sendLine(m_state.socket, next.bytes);
        showSent(next.bytes, next.echo);
    }
    if (!m_paced.empty()) {
        m_parts.host.startTimer(kPaceTimer, std::max(1, m_pacer.waitMs(now, burst, pace)));
    }
}

void Connection::paceTick() {
    m_parts.host.stopTimer(kPaceTimer);
    if (m_state.socket == kInvalidSocket) {
        return;
    }
    releasePaced();
    // Told at the first turn, when the lines entered together have all joined the queue.
    show(m_paced.waitingNotice(m_parts.colours.of(LineClass::Info)));
}

std::size_t Connection::dropWaitingLines() {
    m_parts.host.stopTimer(kPaceTimer);
    return m_paced.clear();
}

void Connection::dropPaced(std::size_t unsent) {
    if (const std::size_t dropped = dropWaitingLines() + unsent; dropped > 0) {
        printInfo(waitingLinesDropped(dropped));
    }
}

int Connection::sendLine(SocketHandle sock, std::string_view line) {
    if (sock == m_state.socket && (hasCommand(line, "PRIVMSG") || hasCommand(line, "NOTICE"))) {
        if (m_unheardLines.size() == kMaxUnheardLines) {
            m_unheardLines.erase(m_unheardLines.begin());  // the newest matter most
        }
        m_unheardLines.emplace_back(line);
    }
    std::string_view rest = line;
    // Long lines go out in pieces of whole characters that fit the piece buffer,
    // counted in bytes as they go out; the tail and the line feed go last.
    while (rest.size() >= kPieceBytes) {
        std::size_t cut = kPieceBytes;
        while (cut < rest.size() && (static_cast<unsigned char>(rest[cut]) & 0xC0) == 0x80) {
            --cut;  // never inside a UTF-8 sequence
        }
        sendBytes(sock, rest.substr(0, cut), u"send");
        rest.remove_prefix(cut);
    }
    return sendBytes(sock, std::string(rest) + '\n', u"send2");
}

int Connection::SendNonEmpty(SocketHandle sock, std::u16string_view text) {
    if (!text.empty()) {
        wys(sock, text);
    }
    return 1;
}

}  // namespace kolu
