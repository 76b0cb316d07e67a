#include "options/view_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>

#include "gui/qt_colour.h"
#include "options/colour_swatch.h"
#include "options/quick_palette.h"
#include "options/select_colour_dialog.h"
#include "options/textured_button.h"
#include "ui/display_scale.h"

namespace kolu {
namespace {

// A preview list of colour names: OpTworzTxtCol (1301), OpTworzListCol (1302)
// and OpTworzEditCol (1303).
QListWidget* previewList(int id, const QString& name, const QStringList& items, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::number(id));
    list->setAccessibleName(name);
    list->addItems(items);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    return list;
}

int textIndex(int fonts) {
    return (fonts >> 4) & 0xF;
}
int listIndex(int fonts) {
    return fonts & 0xF;
}

}  // namespace

ViewPage::ViewPage(int scaleFactor, QWidget* parent)
    : OptionsPageWidget(parent), m_scale(scaleFactor) {
    QStringList classes;
    for (int i = 0; i < kLineClassCount; ++i) {
        classes << qs(lineClassName(static_cast<LineClass>(i)));
    }
    m_lineClasses = previewList(kLineClassList, QStringLiteral("Text colors"), classes, this);
    m_userColours = previewList(
        kUserListColours, QStringLiteral("User list colors"),
        {QStringLiteral("Operator"), QStringLiteral("Voice color"), QStringLiteral("User color")},
        this);
    m_inputColour = previewList(kInputColour, QStringLiteral("Input colors"),
                                {QStringLiteral("Input color")}, this);
    m_inputColour->setMaximumHeight(m_inputColour->sizeHintForRow(0) * 2 + 6 * m_scale);

    m_textSwatch = new ColourSwatch(1307, scaleFactor, this);
    m_backgroundSwatch = new ColourSwatch(1309, scaleFactor, this);
    m_textSwatch->setAccessibleName(QStringLiteral("Text color"));
    m_backgroundSwatch->setAccessibleName(QStringLiteral("Background color"));
    auto* swatches = new QHBoxLayout;
    swatches->addWidget(makeLabel(1306, QStringLiteral("Text:"), this));
    swatches->addWidget(m_textSwatch);
    swatches->addWidget(makeLabel(1308, QStringLiteral("Bg:"), this));
    swatches->addWidget(m_backgroundSwatch);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_lineClasses, 0, 0, 1, 3);
    grid->addWidget(m_userColours, 0, 3, 1, 2);
    grid->addWidget(m_inputColour, 1, 0, 1, 5);
    grid->addLayout(swatches, 2, 0, 1, 5);
    m_sizes = new QComboBox(this);
    m_sizes->setObjectName(QStringLiteral("1305"));
    for (int size = kSmallestFontSize; size < kSmallestFontSize + 16; ++size) {
        m_sizes->addItem(QString::number(size));
    }
    grid->addWidget(makeLabel(1304, QStringLiteral("Font:"), this), 3, 0);
    grid->addWidget(m_sizes, 3, 1);
    auto* defaults = new TexturedButton(1311, QStringLiteral("Default"), TexturedButton::Face::Edit,
                                        scaleFactor, this);
    grid->addWidget(defaults, 3, 3, 1, 2);
    m_textSize = new QComboBox(this);
    m_textSize->setObjectName(QStringLiteral("1313"));
    for (const std::int32_t size : kTextSizes) {
        m_textSize->addItem(
            size == 0 ? QStringLiteral("Automatic") : QStringLiteral("%1x").arg(size / 100.0),
            size);
    }
    m_textSize->setToolTip(QStringLiteral("Takes effect when Kolu next starts"));
    grid->addWidget(makeLabel(1312, QStringLiteral("Text size:"), this), 4, 0, 1, 2);
    grid->addWidget(m_textSize, 4, 2, 1, 3);
    grid->setRowStretch(0, 1);
    // Made last, so it lies above everything it covers when shown.
    m_palette = new QuickPalette(scaleFactor, this);

    for (QListWidget* list : {m_lineClasses, m_userColours, m_inputColour}) {
        const int id = list->objectName().toInt();
        connect(list, &QListWidget::currentRowChanged, this,
                [this, id](int row) { listUsed(id, row); });
        connect(list, &QListWidget::itemPressed, this,
                [this, id, list](QListWidgetItem* item) { listUsed(id, list->row(item)); });
    }
    connect(m_textSwatch, &ColourSwatch::tapped, this,
            [this] { swatchTapped(ColourEditor::Swatch::Text); });
    connect(m_backgroundSwatch, &ColourSwatch::tapped, this,
            [this] { swatchTapped(ColourEditor::Swatch::Background); });
    connect(m_palette, &QuickPalette::colourChosen, this,
            [this](int index) { storeColour(kQuickPalette[static_cast<std::size_t>(index)]); });
    connect(m_palette, &QuickPalette::moreColours, this, &ViewPage::moreColours);
    connect(m_sizes, &QComboBox::activated, this, &ViewPage::sizeChosen);
    connect(defaults, &QAbstractButton::clicked, this, &ViewPage::OpKoloryDomyslne);
}

QListWidget* ViewPage::list(int id) const {
    switch (id) {
        case kLineClassList:
            return m_lineClasses;
        case kUserListColours:
            return m_userColours;
        case kInputColour:
            return m_inputColour;
    }
    return nullptr;
}

void ViewPage::load(const OptionsPages& pages) {
    m_editor.setTable(pages.colours);
    m_fonts = pages.fonts;
    m_vga = pages.vga;
    OpChangeFont(kLineClassList, textIndex(m_fonts));
    OpChangeFont(kUserListColours, listIndex(m_fonts));
    m_sizes->setCurrentIndex(textIndex(m_fonts));
    m_textSize->setCurrentIndex(std::max(0, m_textSize->findData(pages.textsize)));
    refresh();
}

void ViewPage::store(OptionsPages& pages) const {
    pages.colours = m_editor.table();
    pages.fonts = m_fonts;
    pages.textsize = m_textSize->currentData().toInt();
}

void ViewPage::shown() {
    m_lineClasses->setCurrentRow(0);
    m_lineClasses->setFocus();
}

void ViewPage::setResolution(int vga) {
    m_vga = vga;
    OpChangeFont(kLineClassList, textIndex(m_fonts));
    OpChangeFont(kUserListColours, listIndex(m_fonts));
}

void ViewPage::setPictureOn(bool on) {
    controlById<QLabel>(this, 1308)->setEnabled(!on);
    m_backgroundSwatch->setEnabled(!on);
}

void ViewPage::OpKoloryDomyslne() {
    m_editor.defaults();
    m_editor.hidePalette();
    m_fonts = 34;
    OpChangeFont(kLineClassList, 2);
    OpChangeFont(kUserListColours, 2);
    m_sizes->setCurrentIndex(2);
    refresh();
}

void ViewPage::moreColours() {
    const ColourEditor::Swatch open = m_editor.openSwatch();
    if (open == ColourEditor::Swatch::None) {
        return;
    }
    const Colour old =
        open == ColourEditor::Swatch::Text ? m_editor.textColour() : m_editor.backgroundColour();
    SelectColourDialog dialog(old, m_vga == 1 ? 1 : m_scale, this);
    dialog.setFont(font());
    if (dialog.exec() == QDialog::Accepted) {
        storeColour(dialog.chosen());
    } else {
        m_editor.hidePalette();
        refresh();
    }
}

void ViewPage::listUsed(int id, int item) {
    if (item < 0) {
        return;
    }
    m_editor.useList(id, item);
    const bool sized = id != kInputColour;
    controlById<QLabel>(this, 1304)->setEnabled(sized);
    m_sizes->setEnabled(sized);
    m_sizes->setCurrentIndex(id == kLineClassList     ? textIndex(m_fonts)
                             : id == kUserListColours ? listIndex(m_fonts)
                                                      : 2);
    refresh();
}

void ViewPage::swatchTapped(ColourEditor::Swatch swatch) {
    m_editor.toggleSwatch(swatch);
    if (m_editor.paletteShown()) {
        // Directly above the swatch, right edges together.
        ColourSwatch* under =
            swatch == ColourEditor::Swatch::Text ? m_textSwatch : m_backgroundSwatch;
        m_palette->adjustSize();
        const QPoint corner = under->mapTo(this, QPoint(under->width(), 0));
        m_palette->move(std::max(0, corner.x() - m_palette->width()),
                        std::max(0, corner.y() - m_palette->height()));
    }
    refresh();
}

void ViewPage::storeColour(Colour colour) {
    m_editor.store(colour);
    refresh();
}

void ViewPage::sizeChosen(int index) {
    m_editor.hidePalette();
    refresh();
    if (index < 0 || index > 15) {
        return;
    }
    if (m_editor.lastList() == kLineClassList) {
        m_fonts = (m_fonts & ~0xF0) | (index << 4);
        OpChangeFont(kLineClassList, index);
    } else if (m_editor.lastList() == kUserListColours) {
        m_fonts = (m_fonts & ~0x0F) | index;
        OpChangeFont(kUserListColours, index);
    }
}

void ViewPage::OpChangeFont(int id, int index) {
    QFont preview = font();
    preview.setPixelSize((index + kSmallestFontSize) * (m_vga == 1 ? 1 : m_scale));
    list(id)->setFont(preview);
}

void ViewPage::refresh() {
    const ColourArray& table = m_editor.table();
    for (QListWidget* preview : {m_lineClasses, m_userColours, m_inputColour}) {
        const int id = preview->objectName().toInt();
        QPalette colours = preview->palette();
        colours.setColor(QPalette::Base, toQColor(table[ColourEditor::backgroundEntry(id)]));
        preview->setPalette(colours);
        const int first = ColourEditor::firstTextEntry(id);
        for (int row = 0; row < preview->count(); ++row) {
            preview->item(row)->setForeground(toQColor(table[first + row]));
        }
        // No selection bar may hide a colour.
        preview->clearSelection();
    }
    m_textSwatch->setColour(m_editor.textColour());
    m_backgroundSwatch->setColour(m_editor.backgroundColour());
    m_palette->setVisible(m_editor.paletteShown());
    if (m_palette->isVisible()) {
        m_palette->raise();
    }
}

}  // namespace kolu
