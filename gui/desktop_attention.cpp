#include "gui/desktop_attention.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>

#include "gui/desktop_notifier.h"
#include "gui/qt_text.h"

namespace kolu {

DesktopAttention::DesktopAttention(QWidget& window, Settings& settings, const Clock& clock)
    : QObject(&window), m_window(window), m_alerts(settings, clock) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
        m_tray->setToolTip(QStringLiteral("Kolu"));
        connect(m_tray, &QSystemTrayIcon::activated, this, &DesktopAttention::raiseRequested);
        m_tray->show();
    }
    m_notifier = new DesktopNotifier(m_tray, this);
    connect(m_notifier, &DesktopNotifier::activated, this, &DesktopAttention::tabRequested);
}

DesktopAttention::~DesktopAttention() = default;

void DesktopAttention::lineArrived(Attention kind, const QString& tab, const QString& line,
                                   const QString& shownTab) {
    const bool active = m_window.isActiveWindow();
    const std::optional<DesktopNotice> notice = m_alerts.lineArrived(
        kind, tab.toStdU16String(), line.toStdU16String(), active, shownTab.toStdU16String());
    if (notice) {
        m_notifier->show(qs(notice->title), qs(notice->body), qs(notice->tab));
    }
    if (!active && kind != Attention::NotifyArrival) {
        // The task bar's urgency hint, until the window is activated.
        QApplication::alert(&m_window);
    }
    refresh(shownTab);
}

void DesktopAttention::tabShown(const QString& tab) {
    if (m_window.isActiveWindow()) {
        m_alerts.tabSeen(tab.toStdU16String());
    }
    refresh(tab);
}

void DesktopAttention::refresh(const QString& shownTab) {
    m_window.setWindowTitle(qs(m_alerts.windowTitle(shownTab.toStdU16String())));
    if (m_tray) {
        const std::u16string unread = m_alerts.unreadList();
        m_tray->setToolTip(unread.empty()
                               ? QStringLiteral("Kolu")
                               : QStringLiteral("Kolu: unread highlights in\n") + qs(unread));
    }
}

}  // namespace kolu
