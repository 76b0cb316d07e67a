#include "options/quick_palette.h"

#include <QGridLayout>
#include <QPainter>
#include <QToolButton>

#include "gui/qt_colour.h"
#include "options/model/colour_editor.h"

namespace kolu {
namespace {

// OpTworzComboCol: a square of the colour outlined in grey.
QIcon swatchIcon(Colour colour, int side) {
    QPixmap square(side, side);
    square.fill(toQColor(colour));
    QPainter painter(&square);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(0, 0, side - 1, side - 1);
    return QIcon(square);
}

}  // namespace

QuickPalette::QuickPalette(int scaleFactor, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("1310"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    auto* grid = new QGridLayout(this);
    grid->setSpacing(scaleFactor);
    grid->setContentsMargins(2 * scaleFactor, 2 * scaleFactor, 2 * scaleFactor, 2 * scaleFactor);
    const int button = 22 * scaleFactor;
    for (int i = 0; i < static_cast<int>(kQuickPalette.size()); ++i) {
        auto* colour = new QToolButton(this);
        colour->setObjectName(QString::number(kFirstButtonId + i));
        colour->setAccessibleName(QStringLiteral("Colour %1").arg(i + 1));
        colour->setIcon(swatchIcon(kQuickPalette[static_cast<std::size_t>(i)], 16 * scaleFactor));
        colour->setIconSize(QSize(16 * scaleFactor, 16 * scaleFactor));
        colour->setFixedSize(button, button);
        connect(colour, &QToolButton::clicked, this, [this, i] { emit colourChosen(i); });
        grid->addWidget(colour, i / 4, i % 4);
    }
    auto* more = new QToolButton(this);
    more->setObjectName(QString::number(kMoreColoursId));
    more->setText(QStringLiteral("More colors"));
    more->setFixedHeight(button);
    more->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(more, &QToolButton::clicked, this, &QuickPalette::moreColours);
    grid->addWidget(more, 4, 0, 1, 4);
    hide();
}

}  // namespace kolu
