#include "gui/context_menu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QString>

#include "gui/color_edit.h"
#include "gui/qt_text.h"

namespace kolu {
std::unique_ptr<QMenu> buildContextMenu(const ContextMenu& menu, QWidget* parent) {
    auto popup = std::make_unique<QMenu>(parent);
    QMenu* submenu = nullptr;
    std::u16string_view submenuTitle;
    for (const ContextItem& item : menu.items) {
        QMenu* into = popup.get();
        if (!item.submenu.empty()) {
            if (!submenu || item.submenu != submenuTitle) {
                submenu = popup->addMenu(qs(item.submenu));
                submenuTitle = item.submenu;
            }
            into = submenu;
        } else {
            submenu = nullptr;
        }
        into->addAction(qs(item.text))->setData(item.id);
    }
    return popup;
}

int QtContextMenuWindow::track(const ContextMenu& menu) {
    // The owner (and with it the menu, its child) may be deleted while the menu
    // is open, when its tab goes: the menu is deleted here only if still there.
    const QPointer<QMenu> popup = buildContextMenu(menu, m_owner).release();
    if (!m_link.isEmpty()) {
        QAction* first = popup->actions().value(0);
        QAction* copy = new QAction(QStringLiteral("Copy link"), popup);
        QObject::connect(copy, &QAction::triggered, copy,
                         [address = m_link] { QApplication::clipboard()->setText(address); });
        popup->insertAction(first, copy);
        popup->insertSeparator(first);
    }
    // The id is taken from the triggered action rather than exec()'s answer, so
    // an action triggered by other means while the menu is open counts as well.
    int chosen = 0;
    for (QAction* action : popup->findChildren<QAction*>()) {
        if (action->data().isValid()) {  // items, not the submenus' own actions
            QObject::connect(action, &QAction::triggered, popup,
                             [&chosen, action] { chosen = action->data().toInt(); });
        }
    }
    popup->exec(m_position + QPoint(0, menu.dropPixels));
    delete popup.data();
    return chosen;
}

void QtContextMenuWindow::setAutoScroll(bool on) {
    if (m_view) {
        m_view->setAutoScroll(on);
    }
}

}  // namespace kolu
