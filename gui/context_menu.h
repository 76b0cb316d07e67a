#pragma once
// The popup side of the context menus: a menu table becomes a QMenu (the items
// of one submenu gathered in its popup, every item carrying its id as action
// data), shown at the tap; the chosen id goes back to the logic that acts on it.
#include <QPoint>
#include <QPointer>
#include <QString>
#include <memory>

#include "commands/context_menus.h"
#include "gui/color_edit.h"

class QMenu;
class QWidget;

namespace kolu {

// The QMenu of a table, parented to `parent`.
std::unique_ptr<QMenu> buildContextMenu(const ContextMenu& menu, QWidget* parent);

// A menu opened over `owner` at a screen position; `view` is the text view whose
// scrolling the menu's Scroll items switch (null for the user list).
class QtContextMenuWindow final : public ContextMenuWindow {
  public:
    QtContextMenuWindow(QWidget* owner, QPoint globalPosition, ColorEdit* view)
        : m_owner(owner), m_position(globalPosition), m_view(view) {}

    int track(const ContextMenu& menu) override;
    void setAutoScroll(bool on) override;
    // The address of the link tapped on: the menu offers "Copy link" first.
    void setLink(const QString& address) { m_link = address; }

  private:
    QPointer<QWidget> m_owner;
    QPoint m_position;
    QPointer<ColorEdit> m_view;
    QString m_link;
};

}  // namespace kolu
