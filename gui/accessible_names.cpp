#include "gui/accessible_names.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QLabel>
#include <QLayout>
#include <QWidget>

namespace kolu {
namespace {

QString spoken(const QLabel& label) {
    QString text = label.text();
    text.remove(QLatin1Char('&'));
    while (text.endsWith(QLatin1Char(':')) || text.endsWith(QLatin1Char(' '))) {
        text.chop(1);
    }
    return text;
}

void give(QWidget* control, const QString& name) {
    if (control && !name.isEmpty() && control->accessibleName().isEmpty() &&
        !qobject_cast<QLabel*>(control)) {
        control->setAccessibleName(name);
    }
}

// The widget laid out right after item `index` of `layout` (the next cell of its
// row in a grid), or null.
QWidget* widgetAfter(QLayout& layout, int index) {
    if (auto* grid = qobject_cast<QGridLayout*>(&layout)) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        QLayoutItem* next = grid->itemAtPosition(row, column + columnSpan);
        return next ? next->widget() : nullptr;
    }
    QLayoutItem* next = layout.itemAt(index + 1);
    return next ? next->widget() : nullptr;
}

void nameInLayout(QLayout& layout) {
    for (int i = 0; i < layout.count(); ++i) {
        QLayoutItem* item = layout.itemAt(i);
        if (QLayout* inner = item->layout()) {
            nameInLayout(*inner);
        } else if (auto* label = qobject_cast<QLabel*>(item->widget())) {
            give(label->buddy() ? label->buddy() : widgetAfter(layout, i), spoken(*label));
        }
    }
}

}  // namespace

void nameControlsByTheirLabels(QWidget& root) {
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(&root);
    for (QWidget* widget : widgets) {
        if (QLayout* layout = widget->layout()) {
            nameInLayout(*layout);
        }
    }
}

}  // namespace kolu
