#include "options/view_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>

#include "options/textured_button.h"
#include "ui/widgets/qt_colour.h"

namespace kolu {
namespace {

QListWidget* previewList(int id, const QStringList& items, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::number(id));
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
    m_lineClasses = previewList(kLineClassList, classes, this);
    m_userColours = previewList(
        kUserListColours,
        {QStringLiteral("Operator"), QStringLiteral("Voice color"), QStringLiteral("User color")},
        this);
    m_inputColour = previewList(kInputColour, {QStringLiteral("Input color")}, this);
    m_inputColour->setMaximumHeight(m_inputColour->sizeHintForRow(0) * 2 + 6 * m_scale);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_lineClasses, 0, 0, 1, 3);
    grid->addWidget(m_userColours, 0, 3, 1, 2);
    grid->addWidget(m_inputColour, 1, 0, 1, 5);
    // The colour editor's row: the swatches and the palette come with it.
    auto* editorRow = new QWidget(this);
    editorRow->setObjectName(QStringLiteral("colourEditor"));
    grid->addWidget(editorRow, 2, 0, 1, 5);
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
    grid->setRowStretch(0, 1);

    for (QListWidget* list : {m_lineClasses, m_userColours, m_inputColour}) {
        const int id = list->objectName().toInt();
        connect(list, &QListWidget::currentRowChanged, this, [this, id] { listUsed(id); });
        connect(list, &QListWidget::itemClicked, this, [this, id] { listUsed(id); });
    }
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
    m_colours = pages.colours;
    m_fonts = pages.fonts;
    m_vga = pages.vga;
    OpChangeFont(kLineClassList, textIndex(m_fonts));
    OpChangeFont(kUserListColours, listIndex(m_fonts));
    m_sizes->setCurrentIndex(textIndex(m_fonts));
    paintColours();
}

void ViewPage::store(OptionsPages& pages) const {
    pages.colours = m_colours;
    pages.fonts = m_fonts;
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

void ViewPage::OpKoloryDomyslne() {
    kolu::OpKoloryDomyslne(m_colours);
    m_fonts = 34;
    OpChangeFont(kLineClassList, 2);
    OpChangeFont(kUserListColours, 2);
    m_sizes->setCurrentIndex(2);
    paintColours();
}

void ViewPage::listUsed(int id) {
    m_lastList = id;
    const bool sized = id != kInputColour;
    controlById<QLabel>(this, 1304)->setEnabled(sized);
    m_sizes->setEnabled(sized);
    m_sizes->setCurrentIndex(id == kLineClassList     ? textIndex(m_fonts)
                             : id == kUserListColours ? listIndex(m_fonts)
                                                      : 2);
}

void ViewPage::sizeChosen(int index) {
    if (index < 0 || index > 15) {
        return;
    }
    if (m_lastList == kLineClassList) {
        m_fonts = (m_fonts & ~0xF0) | (index << 4);
        OpChangeFont(kLineClassList, index);
    } else if (m_lastList == kUserListColours) {
        m_fonts = (m_fonts & ~0x0F) | index;
        OpChangeFont(kUserListColours, index);
    }
}

void ViewPage::OpChangeFont(int id, int index) {
    QFont preview = font();
    preview.setPixelSize((index + kSmallestFontSize) * (m_vga == 1 ? 1 : m_scale));
    list(id)->setFont(preview);
}

void ViewPage::paintColours() {
    struct Preview {
        QListWidget* list;
        int firstText;
        int background;
    };
    for (const Preview& preview : {Preview{m_lineClasses, kFirstLineClass, kTextViewBackground},
                                   Preview{m_userColours, kOperatorColour, kUserListBackground},
                                   Preview{m_inputColour, kInputText, kInputBackground}}) {
        QPalette palette = preview.list->palette();
        palette.setColor(QPalette::Base, toQColor(m_colours[preview.background]));
        preview.list->setPalette(palette);
        for (int row = 0; row < preview.list->count(); ++row) {
            preview.list->item(row)->setForeground(toQColor(m_colours[preview.firstText + row]));
        }
    }
}

}  // namespace kolu
