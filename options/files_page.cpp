#include "options/files_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include "completion/dictionary.h"
#include "options/textured_button.h"

namespace kolu {
namespace {

bool confirmed(QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, QStringLiteral("Warning"), question) == QMessageBox::Yes;
}

}  // namespace

FilesPage::FilesPage(Dictionary& dictionary, int scaleFactor, QWidget* parent)
    : OptionsPageWidget(parent), m_dictionary(dictionary) {
    auto* page = new QVBoxLayout(this);
    auto* logs = new QGroupBox(QStringLiteral("Logs"), this);
    auto* logGrid = new QGridLayout(logs);
    logGrid->addWidget(makeCheck(1701, QStringLiteral("Channels"), logs), 0, 0);
    logGrid->addWidget(makeCheck(1702, QStringLiteral("Priv"), logs), 0, 1);
    logGrid->addWidget(makeCheck(1703, QStringLiteral("Status"), logs), 0, 2);
    logGrid->addWidget(makeLabel(1706, QStringLiteral("Dest. Path"), logs), 1, 0);
    logGrid->addWidget(makeEdit(1705, logs), 1, 1, 1, 2);
    logGrid->addWidget(makeCheck(1704, QStringLiteral("Enable debugging mode"), logs), 2, 0, 1, 3);
    page->addWidget(logs);

    auto* whispers = new QGroupBox(QStringLiteral("Whispers"), this);
    auto* grid = new QGridLayout(whispers);
    grid->addWidget(makeCheck(1709, QStringLiteral("Enable whispers"), whispers), 0, 0, 1, 2);
    grid->addWidget(makeCheck(1710, QStringLiteral("Self-teaching"), whispers), 1, 0, 1, 2);
    grid->addWidget(makeCheck(1711, QStringLiteral("Backup on startup"), whispers), 2, 0, 1, 2);
    grid->addWidget(makeLabel(1713, QStringLiteral("No. of whispers"), whispers), 3, 0);
    m_whispers = new QComboBox(whispers);
    m_whispers->setObjectName(QStringLiteral("1712"));
    for (int count = 1; count <= kMaxWhispers; ++count) {
        m_whispers->addItem(QString::number(count));
    }
    grid->addWidget(m_whispers, 3, 1);
    auto* flush = new TexturedButton(1714, QStringLiteral("Flush"), TexturedButton::Face::Delete,
                                     scaleFactor, whispers);
    auto* previous = new TexturedButton(1715, QStringLiteral("Previous"), TexturedButton::Face::Add,
                                        scaleFactor, whispers);
    grid->addWidget(flush, 4, 0);
    grid->addWidget(previous, 4, 1);
    page->addWidget(whispers);
    page->addStretch();

    connect(flush, &QAbstractButton::clicked, this, &FilesPage::flush);
    connect(previous, &QAbstractButton::clicked, this, &FilesPage::restorePrevious);
}

void FilesPage::load(const OptionsPages& pages) {
    m_whispers->setCurrentIndex(pages.whspmax - 1);
}

void FilesPage::store(OptionsPages& pages) const {
    pages.whspmax = m_whispers->currentIndex() + 1;
}

void FilesPage::flush() {
    if (confirmed(this, QStringLiteral("Erase current whispers?"))) {
        m_dictionary.DbTworzSlownik(1);
    }
}

void FilesPage::restorePrevious() {
    if (confirmed(this, QStringLiteral("Restore previous whispers?"))) {
        m_dictionary.DbPrzywrocKopie();
    }
}

}  // namespace kolu
