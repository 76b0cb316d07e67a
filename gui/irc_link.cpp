#include "gui/irc_link.h"

#include <QUrl>

#include "connection/session.h"
#include "platform/text.h"
#include "ui/host.h"

namespace kolu {
namespace {

constexpr int kWaitTickMs = 250;
constexpr int kLongestWaitTicks = 240;  // a minute for the connect and the login

}  // namespace

std::optional<IrcLink> parseIrcLink(const QString& address) {
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"irc" && scheme != u"ircs") || url.host().isEmpty()) {
        return std::nullopt;
    }
    IrcLink link;
    link.tls = scheme == u"ircs";
    link.host = url.host().toStdString();
    link.port = static_cast<std::uint16_t>(url.port(link.tls ? 6697 : 6667));
    QString channel = url.hasFragment() ? QStringLiteral("#") + url.fragment(QUrl::FullyDecoded)
                                        : url.path(QUrl::FullyDecoded).mid(1);
    // Flags after the name (",needkey", ",isnick") are not part of it.
    channel = channel.section(QLatin1Char(','), 0, 0);
    if (!channel.isEmpty() && !QStringLiteral("#&+!").contains(channel.front())) {
        channel.prepend(QLatin1Char('#'));
    }
    if (channel.contains(QLatin1Char(' '))) {
        return std::nullopt;
    }
    link.channel = channel.toStdU16String();
    return link;
}

IrcLinkOpener::IrcLinkOpener(Session& session, Host& host, QObject* parent)
    : QObject(parent), m_session(session), m_host(host) {
    m_wait.setInterval(kWaitTickMs);
    connect(&m_wait, &QTimer::timeout, this, &IrcLinkOpener::tryJoin);
}

void IrcLinkOpener::open(const QString& address) {
    const std::optional<IrcLink> link = parseIrcLink(address);
    if (!link) {
        m_host.messageBox(u"Not an IRC address: " + address.toStdU16String(), u"Kolu");
        return;
    }
    SessionState& state = m_session.state;
    ConnectionData current;
    const bool known = m_session.currentServer(current) != 0;
    const bool busy = state.socket != kInvalidSocket || state.retryTimerRunning;
    const bool same = known && lowerAscii(current.host) == lowerAscii(link->host) &&
                      current.port == link->port && current.tls == link->tls;
    if (!busy || !same) {
        if (busy && !m_host.askYesNo(
                        fromUtf8("Leave " + current.host + ":" + std::to_string(current.port) +
                                 " and connect to " + link->host + ":" +
                                 std::to_string(link->port) + "?"),
                        u"Open IRC address")) {
            return;
        }
        if (state.retryTimerRunning) {
            m_session.connection.connectCommand();  // stops the wait for a retry
        }
        if (state.socket != kInvalidSocket) {
            m_session.connection.wys(state.socket, u"QUIT");
            m_session.connection.rozlacz();
            state.connected = false;
        }
        m_session.linkedServer = ConnectionData{link->host, "", link->port, link->tls,
                                                fromUtf8(link->host)};
        m_session.connection.connectCommand();
    }
    m_channel = link->channel;
    m_waitedTicks = 0;
    if (!m_channel.empty()) {
        m_wait.start();
        tryJoin();
    }
}

void IrcLinkOpener::tryJoin() {
    const SessionState& state = m_session.state;
    if (state.socket != kInvalidSocket && !state.currentNick.empty()) {
        m_wait.stop();
        m_session.commands.ParsujKomende(u"/join " + m_channel, u"");
    } else if (++m_waitedTicks > kLongestWaitTicks) {
        m_wait.stop();
    }
}

}  // namespace kolu
