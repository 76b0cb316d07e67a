#pragma once
// The window's part on the desktop for lines that want the user: notifications
// while it is in the background, the task bar's alert, the tray icon (where the
// desktop has a tray) listing the tabs with unread highlights, and the window
// title counting them. The rules live in DesktopAlerts; this applies them.
#include <QObject>
#include <QString>

#include "ui/desktop_alerts.h"

class QSystemTrayIcon;
class QWidget;

namespace kolu {

class DesktopNotifier;

class DesktopAttention final : public QObject {
    Q_OBJECT
  public:
    DesktopAttention(QWidget& window, Settings& settings, const Clock& clock);
    ~DesktopAttention() override;

    // `line` arrived in `tab` while the window showed `shownTab`.
    void lineArrived(Attention kind, const QString& tab, const QString& line,
                     const QString& shownTab);
    // The window shows `tab`, or was activated or deactivated showing it.
    void tabShown(const QString& tab);

    const DesktopAlerts& alerts() const { return m_alerts; }
    QSystemTrayIcon* trayIcon() const { return m_tray; }

  signals:
    // A notification asked for the window on `tab`.
    void tabRequested(const QString& tab);
    // The tray icon was clicked.
    void raiseRequested();

  private:
    void refresh(const QString& shownTab);

    QWidget& m_window;
    DesktopAlerts m_alerts;
    QSystemTrayIcon* m_tray = nullptr;
    DesktopNotifier* m_notifier = nullptr;
};

}  // namespace kolu
