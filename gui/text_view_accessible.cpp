#include "gui/text_view_accessible.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <vector>

#include "gui/color_edit.h"
#include "gui/qt_text.h"
#include "gui/user_list_view.h"

namespace kolu {
namespace {

// A hand-painted list: a child for each row in view, made when first asked for
// and kept by its place in view, so it reads whatever row is there now.
class PaintedListAccessible : public QAccessibleWidget {
  public:
    PaintedListAccessible(QWidget* widget, const QString& defaultName)
        : QAccessibleWidget(widget, QAccessible::List), m_defaultName(defaultName) {}
    ~PaintedListAccessible() override {
        for (const QAccessible::Id id : m_children) {
            if (id != 0) {
                QAccessible::deleteAccessibleInterface(id);
            }
        }
    }

    virtual int rowCount() const = 0;
    virtual QString rowText(int row) const = 0;
    // In the viewport's coordinates.
    virtual QRect rowRect(int row) const = 0;
    virtual bool rowSelected(int /*row*/) const { return false; }

    QAbstractScrollArea* area() const { return static_cast<QAbstractScrollArea*>(widget()); }

    int childCount() const override { return rowCount(); }
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override {
        const QPoint point = area()->viewport()->mapFromGlobal(QPoint(x, y));
        for (int row = 0; row < rowCount(); ++row) {
            if (rowRect(row).contains(point)) {
                return child(row);
            }
        }
        return nullptr;
    }
    QString text(QAccessible::Text type) const override {
        QString answer = QAccessibleWidget::text(type);
        return type == QAccessible::Name && answer.isEmpty() ? m_defaultName : answer;
    }

  private:
    QString m_defaultName;
    mutable std::vector<QAccessible::Id> m_children;
};

class RowAccessible final : public QAccessibleInterface {
  public:
    RowAccessible(const PaintedListAccessible* list, int row) : m_list(list), m_row(row) {}

    bool isValid() const override { return m_list->isValid() && m_row < m_list->rowCount(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_list->window(); }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return const_cast<PaintedListAccessible*>(m_list);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text type) const override {
        return type == QAccessible::Name && isValid() ? m_list->rowText(m_row) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        const QRect inView = m_list->rowRect(m_row);
        return {m_list->area()->viewport()->mapToGlobal(inView.topLeft()), inView.size()};
    }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State state;
        state.selectable = m_list->area()->focusPolicy() != Qt::NoFocus;
        state.selected = isValid() && m_list->rowSelected(m_row);
        state.invisible = !isValid() || m_list->area()->isHidden();
        return state;
    }

    const PaintedListAccessible* list() const { return m_list; }
    int row() const { return m_row; }

  private:
    const PaintedListAccessible* m_list;
    int m_row;
};

QAccessibleInterface* PaintedListAccessible::child(int index) const {
    if (index < 0 || index >= rowCount()) {
        return nullptr;
    }
    if (static_cast<std::size_t>(index) >= m_children.size()) {
        m_children.resize(static_cast<std::size_t>(index) + 1, 0);
    }
    QAccessible::Id& id = m_children[static_cast<std::size_t>(index)];
    if (id == 0) {
        id = QAccessible::registerAccessibleInterface(new RowAccessible(this, index));
    }
    return QAccessible::accessibleInterface(id);
}

int PaintedListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* row = dynamic_cast<const RowAccessible*>(child);
    return row && row->list() == this && row->isValid() ? row->row() : -1;
}

// The text view: its lines in view as items, and as one text (lines joined by
// line breaks) whose insertions screen readers speak.
class TextViewAccessible final : public PaintedListAccessible, public QAccessibleTextInterface {
  public:
    explicit TextViewAccessible(ColorEdit* view)
        : PaintedListAccessible(view, QStringLiteral("Messages")) {}

    ColorEdit& view() const { return *static_cast<ColorEdit*>(widget()); }

    int rowCount() const override { return static_cast<int>(view().linesInView().size()); }
    QString rowText(int row) const override {
        const std::vector<PlacedLine> lines = view().linesInView();
        return row < static_cast<int>(lines.size())
                   ? qs(view().lines().line(lines[static_cast<std::size_t>(row)].index).text)
                   : QString();
    }
    QRect rowRect(int row) const override {
        const std::vector<PlacedLine> lines = view().linesInView();
        if (row >= static_cast<int>(lines.size())) {
            return {};
        }
        const PlacedLine& line = lines[static_cast<std::size_t>(row)];
        return {0, static_cast<int>(line.top), view().viewport()->width(),
                static_cast<int>(line.height)};
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return PaintedListAccessible::interface_cast(type);
    }

    // QAccessibleTextInterface, read-only, without a caret or a selection.
    QString wholeText() const {
        QStringList texts;
        for (int row = 0; row < rowCount(); ++row) {
            texts << rowText(row);
        }
        return texts.join(QLatin1Char('\n'));
    }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return wholeText().mid(start, end - start); }
    QString text(QAccessible::Text type) const override {
        return PaintedListAccessible::text(type);
    }
    int characterCount() const override { return static_cast<int>(wholeText().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }
};

class UserListAccessible final : public PaintedListAccessible {
  public:
    explicit UserListAccessible(UserListView* list)
        : PaintedListAccessible(list, QStringLiteral("Members")) {}

    UserListView& list() const { return *static_cast<UserListView*>(widget()); }

    int rowCount() const override {
        const int height = list().viewport()->height();
        const int rowHeight = list().rowHeight();
        const int fit = (height + rowHeight - 1) / rowHeight;  // the last one may show in part
        const long long left = static_cast<long long>(list().users().size()) - list().topRow();
        return static_cast<int>(std::clamp<long long>(left, 0, fit));
    }
    QString rowText(int row) const override {
        return row < rowCount()
                   ? qs(list().users().at(static_cast<std::size_t>(list().topRow() + row)).label)
                   : QString();
    }
    QRect rowRect(int row) const override {
        return {0, row * list().rowHeight(), list().viewport()->width(), list().rowHeight()};
    }
    bool rowSelected(int row) const override {
        return list().topRow() + row == list().selectedRow();
    }
    QAccessible::State state() const override {
        QAccessible::State state = PaintedListAccessible::state();
        state.focusable = true;
        return state;
    }
};

QAccessibleInterface* viewFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(ColorEdit::staticMetaObject.className())) {
        return new TextViewAccessible(static_cast<ColorEdit*>(object));
    }
    if (className == QLatin1String(UserListView::staticMetaObject.className())) {
        return new UserListAccessible(static_cast<UserListView*>(object));
    }
    return nullptr;
}

}  // namespace

void installViewAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(viewFactory);
        return true;
    }();
    (void)installed;
}

void announceNewLines(ColorEdit& view) {
    installViewAccessibility();
    QObject::connect(&view, &ColorEdit::linesAdded, &view, [&view] {
        if (!QAccessible::isActive() || !view.isVisible() || view.lines().lineCount() == 0) {
            return;
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
        QAccessibleTextInterface* text = accessible ? accessible->textInterface() : nullptr;
        if (!text) {
            return;
        }
        const QString newest = qs(view.lines().line(view.lines().lineCount() - 1).text);
        QAccessibleTextInsertEvent event(
            accessible, std::max(0, text->characterCount() - int(newest.size())), newest);
        QAccessible::updateAccessibility(&event);
    });
}

}  // namespace kolu
