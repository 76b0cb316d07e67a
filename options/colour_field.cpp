#include "options/colour_field.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "gui/qt_colour.h"

namespace kolu {
namespace {

// A filled cell with an outline of its own colour, or of `outline` when selected.
void drawCell(QPainter& painter, const QRect& cell, Colour fill, Colour outline) {
    painter.fillRect(cell, toQColor(fill));
    painter.setPen(toQColor(outline));
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
}

}  // namespace

BigPal::BigPal(int pixelFactor, QWidget* parent)
    : QWidget(parent),
      m_factor(std::max(1, pixelFactor)),
      // The cell under the unscaled point (129, 73).
      m_column(129 / kBigPalCell),
      m_row(73 / kBigPalCell) {
    setObjectName(QStringLiteral("1352"));
    setFixedSize(sizeHint());
}

QSize BigPal::sizeHint() const {
    return {kBigPalColumns * kBigPalCell * m_factor, kBigPalRows * kBigPalCell * m_factor};
}

void BigPal::select(int column, int row) {
    m_column = std::clamp(column, 0, kBigPalColumns - 1);
    m_row = std::clamp(row, 0, kBigPalRows - 1);
    update();
    emit picked(selectedColour());
}

// OpRysujBigPal.
void BigPal::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int side = kBigPalCell * m_factor;
    for (int row = 0; row < kBigPalRows; ++row) {
        for (int column = 0; column < kBigPalColumns; ++column) {
            const Colour colour = OpKolorKomorki(column, row);
            const bool selected = column == m_column && row == m_row;
            drawCell(painter, QRect(column * side, row * side, side, side), colour,
                     selected ? bigPalOutline(column) : colour);
        }
    }
}

void BigPal::mousePressEvent(QMouseEvent* event) {
    // Whole-number division: QPoint's own would round the last pixels of a scaled
    // cell into the next one.
    const QPoint at = event->position().toPoint();
    select(at.x() / m_factor / kBigPalCell, at.y() / m_factor / kBigPalCell);
}

GreyPal::GreyPal(int pixelFactor, QWidget* parent)
    : QWidget(parent), m_factor(std::max(1, pixelFactor)) {
    setObjectName(QStringLiteral("1353"));
    setFixedSize(sizeHint());
}

QSize GreyPal::sizeHint() const {
    return {24 * m_factor, kShadeCount * kBigPalCell * m_factor};
}

void GreyPal::setBase(Colour base) {
    m_shades = OpOdcienie(base);
    update();
    emit picked(selectedColour());
}

void GreyPal::select(int cell) {
    m_cell = std::clamp(cell, 0, kShadeCount - 1);
    update();
    emit picked(selectedColour());
}

void GreyPal::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int height = kBigPalCell * m_factor;
    for (int cell = 0; cell < kShadeCount; ++cell) {
        const Colour colour = m_shades[static_cast<std::size_t>(cell)];
        drawCell(painter, QRect(0, cell * height, width(), height), colour,
                 cell == m_cell ? inverseColour(colour) : colour);
    }
}

void GreyPal::mousePressEvent(QMouseEvent* event) {
    select(event->position().toPoint().y() / m_factor / kBigPalCell);
}

OldNew::OldNew(Colour old, int pixelFactor, QWidget* parent)
    : QWidget(parent), m_old(old), m_factor(std::max(1, pixelFactor)) {
    setObjectName(QStringLiteral("1362"));
    setFixedSize(sizeHint());
}

QSize OldNew::sizeHint() const {
    return {40 * m_factor, 40 * m_factor};
}

void OldNew::setNew(Colour colour) {
    m_new = colour;
    update();
    emit newChanged(colour);
}

void OldNew::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int half = height() / 2;
    painter.fillRect(0, 0, width(), half, toQColor(m_old));
    painter.fillRect(0, half, width(), height() - half, toQColor(m_new));
}

}  // namespace kolu
