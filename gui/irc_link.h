#pragma once
// irc:// and ircs:// addresses handed to the client (by the desktop, through a
// second start): the server they name is connected to if need be, asking first
// when another one is connected, and their channel joined once logged in.
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>
#include <string>

namespace kolu {

class Host;
class Session;

struct IrcLink {
    std::string host;
    std::uint16_t port = 0;  // 6667 for irc://, 6697 for ircs:// unless given
    bool tls = false;
    std::u16string channel;  // "#chan", or "" for none
};

// irc://host[:port][/channel] (the channel also as "/#chan" or "/%23chan"); a
// channel without a prefix gets "#". Nothing for any other address.
std::optional<IrcLink> parseIrcLink(const QString& address);

class IrcLinkOpener final : public QObject {
    Q_OBJECT
  public:
    IrcLinkOpener(Session& session, Host& host, QObject* parent = nullptr);

    void open(const QString& address);

  private:
    // Joins the waiting channel once the login is through, or gives up.
    void tryJoin();

    Session& m_session;
    Host& m_host;
    std::u16string m_channel;
    QTimer m_wait;
    int m_waitedTicks = 0;
};

}  // namespace kolu
