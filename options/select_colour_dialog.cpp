#include "options/select_colour_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "options/colour_field.h"
#include "options/page_widget.h"

namespace kolu {

SelectColourDialog::SelectColourDialog(Colour old, int pixelFactor, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select color"));
    m_field = new BigPal(pixelFactor, this);
    m_shades = new GreyPal(pixelFactor, this);
    m_preview = new OldNew(old, pixelFactor, this);

    auto* values = new QGridLayout;
    const std::pair<int, const char*> channels[] = {{1354, "R:"}, {1356, "G:"}, {1358, "B:"}};
    for (int i = 0; i < 3; ++i) {
        values->addWidget(
            makeLabel(channels[i].first, QString::fromLatin1(channels[i].second), this), i, 0);
        QLineEdit* value = makeEdit(channels[i].first + 1, this);
        value->setReadOnly(true);
        value->setFixedWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("0000")) +
                             12 * pixelFactor);
        values->addWidget(value, i, 1);
    }
    auto* labels = new QVBoxLayout;
    labels->addWidget(makeLabel(1360, QStringLiteral("Old:"), this));
    labels->addWidget(makeLabel(1361, QStringLiteral("New:"), this));
    m_accept = new QPushButton(QStringLiteral("Accept"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_accept->setDefault(true);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_accept);
    buttons->addWidget(cancel);

    auto* below = new QHBoxLayout;
    below->addLayout(values);
    below->addLayout(labels);
    below->addWidget(m_preview);
    below->addLayout(buttons);
    auto* grid = new QGridLayout(this);
    grid->addWidget(m_field, 0, 0);
    grid->addLayout(below, 1, 0);
    grid->addWidget(m_shades, 0, 1, 2, 1, Qt::AlignTop);

    connect(m_field, &BigPal::picked, m_shades, &GreyPal::setBase);
    connect(m_shades, &GreyPal::picked, m_preview, &OldNew::setNew);
    connect(m_preview, &OldNew::newChanged, this, [this](Colour colour) {
        const unsigned parts[3] = {redOf(colour), greenOf(colour), blueOf(colour)};
        for (int i = 0; i < 3; ++i) {
            controlById<QLineEdit>(this, 1355 + 2 * i)->setText(QString::number(parts[i]));
        }
    });
    connect(m_accept, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // The new colour starts as the shade of the field's initial cell.
    m_shades->setBase(m_field->selectedColour());
}

Colour SelectColourDialog::chosen() const {
    return m_preview->newColour();
}

}  // namespace kolu
