#include "platform/qt/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace kolu {
namespace {

constexpr int kAnswerWaitMs = 1000;
const QByteArray kRaiseRequest = QByteArrayLiteral("raise\n");
const QByteArray kNewWindowRequest = QByteArrayLiteral("new-window\n");
const QByteArray kOpenRequest = QByteArrayLiteral("open ");

}  // namespace

SingleInstance::SingleInstance(const QString& runtimeFolder, QObject* parent) : QObject(parent) {
    // Named from the window class "KOLU" and title "Kolu".
    const QString name = QStringLiteral("KOLU-Kolu");
    m_path = runtimeFolder.isEmpty() ? name : QDir(runtimeFolder).filePath(name);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::handOverToRunningInstance(const QString& link, bool newWindow) {
    QLocalSocket probe;
    probe.connectToServer(m_path);
    if (probe.waitForConnected(kAnswerWaitMs)) {
        probe.write(newWindow ? kNewWindowRequest : kRaiseRequest);
        if (!link.isEmpty()) {
            probe.write(kOpenRequest + link.toUtf8() + '\n');
        }
        probe.waitForBytesWritten(kAnswerWaitMs);
        probe.disconnectFromServer();
        return true;
    }
    // Nobody answers: a socket file left by a crashed instance is stale.
    QLocalServer::removeServer(m_path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_path)) {
        // Without the socket the client still runs; only the raise request is lost.
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            // One request a line; a line may come in pieces.
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                while (client->canReadLine()) {
                    const QByteArray line = client->readLine();
                    if (line == kRaiseRequest) {
                        emit raiseRequested();
                    } else if (line == kNewWindowRequest) {
                        emit newWindowRequested();
                    } else if (line.startsWith(kOpenRequest)) {
                        emit linkRequested(
                            QString::fromUtf8(line.mid(kOpenRequest.size()).trimmed()));
                    }
                }
            });
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        }
    });
    return false;
}

}  // namespace kolu
