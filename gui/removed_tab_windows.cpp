#include "gui/removed_tab_windows.h"

#include <QMenu>

namespace kolu {

RemovedTabWindows::HandlerScope::~HandlerScope() {
    if (--m_windows.m_handlers == 0) {
        m_windows.release();
    }
}

void RemovedTabWindows::remove(QWidget* window) {
    if (!window) {
        return;
    }
    window->hide();
    // A menu opened over a tab that is gone offers nothing to act on.
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        menu->close();
    }
    m_waiting.emplace_back(window);
    if (m_handlers == 0) {
        release();
    }
}

void RemovedTabWindows::release() {
    for (const QPointer<QWidget>& window : m_waiting) {
        if (window) {
            window->deleteLater();
        }
    }
    m_waiting.clear();
}

}  // namespace kolu
