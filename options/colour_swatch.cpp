#include "options/colour_swatch.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "gui/qt_colour.h"

namespace kolu {

ColourSwatch::ColourSwatch(int id, int scaleFactor, QWidget* parent)
    : QWidget(parent), m_scale(scaleFactor) {
    setObjectName(QString::number(id));
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ColourSwatch::setColour(Colour colour) {
    m_colour = colour;
    update();
}

QSize ColourSwatch::sizeHint() const {
    return {40 * m_scale, 14 * m_scale};
}

void ColourSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), isEnabled() ? toQColor(m_colour) : palette().window().color());
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        painter.setPen(QPen(palette().highlight().color(), m_scale, Qt::DotLine));
        painter.drawRect(rect().adjusted(m_scale, m_scale, -m_scale - 1, -m_scale - 1));
    }
}

void ColourSwatch::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit tapped();
    }
}

void ColourSwatch::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        emit tapped();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace kolu
