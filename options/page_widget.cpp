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

QString qs(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string u16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

}  // namespace kolu
