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

FilesPage::FilesPage(Dictionary& dictionary, std::function<void()> clearHistory, int scaleFactor,
                     QWidget* parent)
    : OptionsPageWidget(parent), m_dictionary(dictionary), m_clearHistory(std::move(clearHistory)) {
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

    auto* history = new QGroupBox(QStringLiteral("History"), this);
    auto* historyGrid = new QGridLayout(history);
    historyGrid->addWidget(makeCheck(1716, QStringLiteral("Keep history (from the next start)"), history),
                           0, 0, 1, 2);
    historyGrid->addWidget(makeLabel(1718, QStringLiteral("Keep for"), history), 1, 0);
    m_historyDays = new QComboBox(history);
    m_historyDays->setObjectName(QStringLiteral("1717"));
    for (const int days : kHistoryDayChoices) {
        m_historyDays->addItem(days == 0 ? QStringLiteral("Forever") : QStringLiteral("%1 days").arg(days),
                               days);
    }
    historyGrid->addWidget(m_historyDays, 1, 1);
    auto* clear = new TexturedButton(1719, QStringLiteral("Clear history"),
                                     TexturedButton::Face::Delete, scaleFactor, history);
    clear->setEnabled(static_cast<bool>(m_clearHistory));
    historyGrid->addWidget(clear, 2, 0, 1, 2);
    page->addWidget(history);
    page->addStretch();

    connect(clear, &QAbstractButton::clicked, this, &FilesPage::clearHistory);
    connect(flush, &QAbstractButton::clicked, this, &FilesPage::flush);
    connect(previous, &QAbstractButton::clicked, this, &FilesPage::restorePrevious);
}

void FilesPage::load(const OptionsPages& pages) {
    m_whispers->setCurrentIndex(pages.whspmax - 1);
    // A number of days set by hand shows as the nearest longer choice ("Forever" past the last).
    int index = m_historyDays->count() - 1;
    for (int i = 1; i < m_historyDays->count(); ++i) {
        if (pages.histdays > 0 && pages.histdays <= m_historyDays->itemData(i).toInt()) {
            index = i;
            break;
        }
    }
    m_historyDays->setCurrentIndex(pages.histdays == 0 ? 0 : index);
}

void FilesPage::store(OptionsPages& pages) const {
    pages.whspmax = m_whispers->currentIndex() + 1;
    pages.histdays = m_historyDays->currentData().toInt();
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

void FilesPage::clearHistory() {
    if (m_clearHistory &&
        confirmed(this, QStringLiteral("Remove the stored history of every tab? This can't be undone."))) {
        m_clearHistory();
    }
}

}  // namespace kolu
