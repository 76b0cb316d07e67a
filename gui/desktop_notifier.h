#pragma once
// Shows desktop notifications through the freedesktop Notifications service on
// the session bus; where there is none, through the tray icon's message. A click
// on a notification (its "default" action) reports the tab it named.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <map>

class QSystemTrayIcon;

namespace kolu {

class DesktopNotifier final : public QObject {
    Q_OBJECT
  public:
    // `tray` shows the message when the service is missing; it may be null.
    explicit DesktopNotifier(QSystemTrayIcon* tray, QObject* parent = nullptr);
    ~DesktopNotifier() override;

    void show(const QString& title, const QString& body, const QString& tab);

  signals:
    // The user clicked the notification for `tab`.
    void activated(const QString& tab);

  private slots:
    void actionInvoked(uint id, const QString& action);
    void closed(uint id, uint reason);

  private:
    // Connects on the first notification, to the session bus of that moment.
    bool busReady();
    void showInTray(const QString& title, const QString& body, const QString& tab);

    QDBusConnection m_bus{QString()};
    bool m_busTried = false;
    QSystemTrayIcon* m_tray;
    // Notifications still on the desktop, by the service's id, and the tab of the
    // tray's last message.
    std::map<uint, QString> m_tabs;
    QString m_trayTab;
};

}  // namespace kolu
