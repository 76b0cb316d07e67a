#include "gui/menu_labels.h"

#include <QAction>
#include <QMenu>
#include <QString>
#include <QWidget>
#include <string>

#include "commands/menu_commands.h"
#include "gui/qt_text.h"
#include "settings/error_log.h"

namespace kolu {
namespace {

// Popups nest only a few levels deep; the limit guards against a menu that
// (wrongly) contains itself.
constexpr int kMaxDepth = 8;

QAction* findIn(const QWidget* menu, int id, int depth) {
    if (!menu || depth > kMaxDepth) {
        return nullptr;
    }
    for (QAction* action : menu->actions()) {
        bool isNumber = false;
        const int actionId = action->data().toInt(&isNumber);
        if (isNumber && actionId == id && !action->isSeparator()) {
            return action;
        }
        if (QAction* found = findIn(action->menu(), id, depth + 1)) {
            return found;
        }
    }
    return nullptr;
}

bool changeLabel(QWidget* menu, const MenuLabelChange& change, ErrorLog* log) {
    return ZmienMenu(menu, change.id, change.from, change.to, log);
}

}  // namespace

QAction* findMenuItem(const QWidget* menu, int id) {
    return findIn(menu, id, 0);
}

bool ZmienMenu(QWidget* menu, int id, std::u16string_view oldText, std::u16string_view newText,
               ErrorLog* log) {
    QAction* item = findMenuItem(menu, id);
    if (!item) {
        if (log) {
            log->LogError(u"GetMenuItemInfo", u"ZmienMenu", 0);
        }
        return false;
    }
    if (!menuTextMatches(item->text().toStdU16String(), oldText)) {
        return false;
    }
    item->setText(qs(newText));
    return true;
}

bool ZmienMenuPolaczony(QWidget* menu, ErrorLog* log) {
    return changeLabel(menu, connectLabelChange(true), log);
}

bool ZmienMenuRozlaczony(QWidget* menu, ErrorLog* log) {
    return changeLabel(menu, connectLabelChange(false), log);
}

}  // namespace kolu
