#include "gui/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <utility>

namespace kolu {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kConnectionName = QStringLiteral("kolu-notifications");

// The bus named by DBUS_SESSION_BUS_ADDRESS as it is now (the default session
// connection would keep the first address the process ever used).
QDBusConnection sessionBus() {
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        return QDBusConnection::sessionBus();
    }
    return QDBusConnection::connectToBus(address, kConnectionName);
}

}  // namespace

DesktopNotifier::DesktopNotifier(QSystemTrayIcon* tray, QObject* parent)
    : QObject(parent), m_tray(tray) {
    if (m_tray) {
        connect(m_tray, &QSystemTrayIcon::messageClicked, this,
                [this] { emit activated(m_trayTab); });
    }
}

bool DesktopNotifier::busReady() {
    if (!std::exchange(m_busTried, true)) {
        m_bus = sessionBus();
        m_bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                      SLOT(actionInvoked(uint, QString)));
        m_bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                      SLOT(closed(uint, uint)));
    }
    return m_bus.isConnected();
}

DesktopNotifier::~DesktopNotifier() {
    if (m_bus.name() == kConnectionName) {
        QDBusConnection::disconnectFromBus(kConnectionName);
    }
}

void DesktopNotifier::show(const QString& title, const QString& body, const QString& tab) {
    if (!busReady()) {
        showInTray(title, body, tab);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QGuiApplication::desktopFileName()},
                            {QStringLiteral("category"), QStringLiteral("im.received")}};
    // Servers may read the body as markup: the line's own "<" and "&" stay text.
    call << QStringLiteral("Kolu") << uint(0) << QStringLiteral("kolu") << title
         << body.toHtmlEscaped() << QStringList{QStringLiteral("default"), QStringLiteral("Show")}
         << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, body, tab] {
        const QDBusPendingReply<uint> reply = *watcher;
        if (reply.isError()) {
            showInTray(title, body, tab);
        } else {
            m_tabs[reply.value()] = tab;
        }
        watcher->deleteLater();
    });
}

void DesktopNotifier::actionInvoked(uint id, const QString& action) {
    const auto it = m_tabs.find(id);
    if (it != m_tabs.end() && action == QStringLiteral("default")) {
        emit activated(it->second);
    }
}

void DesktopNotifier::closed(uint id, uint) {
    m_tabs.erase(id);
}

void DesktopNotifier::showInTray(const QString& title, const QString& body, const QString& tab) {
    if (m_tray && m_tray->isVisible()) {
        m_trayTab = tab;
        m_tray->showMessage(title, body, QSystemTrayIcon::Information);
    }
}

}  // namespace kolu
