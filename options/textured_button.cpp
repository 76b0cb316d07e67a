#include "options/textured_button.h"

#include <QPainter>

#include "gui/drawn_button.h"

namespace kolu {
namespace {

QString pictureOf(TexturedButton::Face face) {
    switch (face) {
        case TexturedButton::Face::Add:
            return QStringLiteral(":/ui/option_add.bmp");  // 5211
        case TexturedButton::Face::Delete:
            return QStringLiteral(":/ui/option_delete.bmp");  // 5210
        case TexturedButton::Face::Edit:
            break;
    }
    return QStringLiteral(":/ui/option_edit.bmp");  // 5212
}

}  // namespace

TexturedButton::TexturedButton(int id, const QString& text, Face face, int scaleFactor,
                               QWidget* parent)
    : QAbstractButton(parent),
      m_face(pictureOf(face)),
      m_disabledFace(pictureOf(Face::Edit)),
      m_scale(scaleFactor) {
    setObjectName(QString::number(id));
    setText(text);
    setFocusPolicy(Qt::StrongFocus);
}

QSize TexturedButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 16 * m_scale,
            std::max(16 * m_scale, metrics.height() + 4 * m_scale)};
}

void TexturedButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawBtnBkgndTexture(painter, rect(), m_face, m_disabledFace, isEnabled(), isDown(), text(),
                        m_scale);
    if (hasFocus()) {
        // Keyboard users must see where Space and Enter act.
        painter.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
        painter.drawRect(
            rect().adjusted(2 * m_scale, 2 * m_scale, -2 * m_scale - 1, -2 * m_scale - 1));
    }
}

}  // namespace kolu
