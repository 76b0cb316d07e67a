#include "options/page_widget.h"

#include <QLabel>
#include <QLineEdit>

namespace kolu {

QCheckBox* makeCheck(int id, const QString& text, QWidget* parent) {
    auto* check = new QCheckBox(text, parent);
    check->setObjectName(QString::number(id));
    return check;
}

QLabel* makeLabel(int id, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::number(id));
    return label;
}

QLineEdit* makeEdit(int id, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    return edit;
}

}  // namespace kolu
