#pragma once
// Answers the next popup menu that a call under test is about to show: records its items'
// texts (submenus as "Title >", their items indented), triggers the item whose action data
// is `id` (0: none) and closes the menu.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStringList>
#include <QTimer>
#include <memory>

namespace kolu::test {

struct MenuSeen {
    bool shown = false;
    QStringList items;
    QPoint position;
    bool stop = false;  // set when no menu is expected any more
};

inline QAction* findMenuItem(QMenu* menu, int id, QStringList& items, const QString& indent = {}) {
    QAction* found = nullptr;
    for (QAction* action : menu->actions()) {
        if (QMenu* submenu = action->menu()) {
            items.append(indent + action->text() + QStringLiteral(" >"));
            QAction* inner = findMenuItem(submenu, id, items, indent + QStringLiteral("  "));
            found = found ? found : inner;
            continue;
        }
        items.append(indent + action->text());
        if (!found && id != 0 && action->data().toInt() == id) {
            found = action;
        }
    }
    return found;
}

inline void chooseFromNextMenu(int id, const std::shared_ptr<MenuSeen>& seen, int turnsLeft = 200) {
    QTimer::singleShot(0, [id, seen, turnsLeft] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            if (turnsLeft > 0 && !seen->stop) {
                chooseFromNextMenu(id, seen, turnsLeft - 1);
            }
            return;
        }
        seen->shown = true;
        seen->position = menu->pos();
        if (QAction* item = findMenuItem(menu, id, seen->items)) {
            item->trigger();
        }
        menu->close();
    });
}

}  // namespace kolu::test
