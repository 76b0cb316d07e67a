#include "options/info_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "commands/menu_commands.h"
#include "options/textured_button.h"
#include "ui/host.h"

namespace kolu {
namespace {

struct SubPage {
    const char* tab;
    int enableId;
    int listId;
};
constexpr SubPage kSubPages[kSpecialListCount] = {
    {"Ignores", 1611, 1612}, {"Highlights", 1613, 1614}, {"Notify", 1615, 1616}};

}  // namespace

InfoPage::InfoPage(Host& host, int scaleFactor, QWidget* parent)
    : OptionsPageWidget(parent), m_host(host) {
    auto* page = new QVBoxLayout(this);
    page->addWidget(makeCheck(1601, QStringLiteral("Timestamps"), this));
    auto* messages = new QGroupBox(QStringLiteral("Messages"), this);
    auto* grid = new QGridLayout(messages);
    grid->addWidget(makeLabel(1602, QStringLiteral("Part msg"), messages), 0, 0);
    grid->addWidget(makeEdit(1603, messages), 0, 1);
    grid->addWidget(makeLabel(1604, QStringLiteral("Quit msg"), messages), 1, 0);
    grid->addWidget(makeEdit(1605, messages), 1, 1);
    page->addWidget(messages);

    m_subPages = new QTabBar(this);
    m_subPages->setObjectName(QStringLiteral("1608"));
    m_stack = new QStackedWidget(this);
    for (int i = 0; i < kSpecialListCount; ++i) {
        const SubPage& sub = kSubPages[i];
        m_subPages->addTab(QString::fromLatin1(sub.tab));
        auto* widget = new QWidget(m_stack);
        auto* layout = new QVBoxLayout(widget);
        layout->addWidget(makeCheck(sub.enableId, QStringLiteral("Enable"), widget));
        m_boxes[i] = new QComboBox(widget);
        m_boxes[i]->setObjectName(QString::number(sub.listId));
        m_boxes[i]->setAccessibleName(QString::fromLatin1(sub.tab) + QStringLiteral(" list"));
        layout->addWidget(m_boxes[i]);
        if (sub.listId == 1616) {
            layout->addWidget(makeCheck(1617, QStringLiteral("/Whois"), widget));
        }
        layout->addStretch();
        m_stack->addWidget(widget);
    }
    page->addWidget(m_subPages);
    page->addWidget(m_stack);
    auto* buttons = new QHBoxLayout;
    auto* add = new TexturedButton(1609, QStringLiteral("Add"), TexturedButton::Face::Add,
                                   scaleFactor, this);
    auto* del = new TexturedButton(1610, QStringLiteral("Del"), TexturedButton::Face::Delete,
                                   scaleFactor, this);
    buttons->addWidget(add);
    buttons->addWidget(del);
    page->addLayout(buttons);
    page->addStretch();

    connect(m_subPages, &QTabBar::currentChanged, m_stack, &QStackedWidget::setCurrentIndex);
    connect(add, &QAbstractButton::clicked, this, &InfoPage::addEntry);
    connect(del, &QAbstractButton::clicked, this, &InfoPage::deleteEntry);
}

void InfoPage::load(const OptionsPages& pages) {
    m_lists = pages.lists;
    for (int i = 0; i < kSpecialListCount; ++i) {
        showList(i);
        m_boxes[i]->setCurrentIndex(m_lists[i].empty() ? -1 : 0);
    }
}

void InfoPage::store(OptionsPages& pages) const {
    pages.lists = m_lists;
}

void InfoPage::showList(int subPage) {
    QComboBox* box = m_boxes[subPage];
    box->clear();
    for (const std::u16string& entry : m_lists[subPage]) {
        box->addItem(qs(entry));
    }
}

void InfoPage::addEntry() {
    const int sub = m_subPages->currentIndex();
    const int id = kSubPages[sub].listId;
    const PromptText* texts = findPrompt(id);
    std::optional<std::u16string> answer =
        m_host.promptOneField(id, texts ? texts->title : u"", texts ? texts->prompt : u"");
    if (!answer) {
        return;
    }
    QComboBox* box = m_boxes[sub];
    switch (addSpecialListEntry(m_lists[sub], *answer)) {
        case SpecialListAdd::Added:
            box->addItem(qs(*answer));
            box->setCurrentIndex(box->count() - 1);
            break;
        case SpecialListAdd::Duplicate:
            box->setCurrentIndex(0);
            break;
        case SpecialListAdd::Invalid:
            m_host.messageBox(u"An entry is one word, without blanks.", u"Warning");
            break;
        case SpecialListAdd::Full:
            m_host.messageBox(u"The list is full: remove an entry first.", u"Warning");
            break;
    }
}

void InfoPage::deleteEntry() {
    const int sub = m_subPages->currentIndex();
    QComboBox* box = m_boxes[sub];
    const int selected = box->currentIndex();
    if (selected < 0) {
        return;
    }
    if (QMessageBox::question(this, QStringLiteral("Delete from list"),
                              QStringLiteral("Are you sure?")) != QMessageBox::Yes) {
        return;
    }
    m_lists[sub].erase(m_lists[sub].begin() + selected);
    box->removeItem(selected);
    box->setCurrentIndex(box->count() > 0 ? 0 : -1);
}

}  // namespace kolu
