#include "gui/search_dialog.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <memory>

#include "gui/qt_text.h"
#include "ui/formatting.h"

namespace kolu {
namespace {

enum Column { kWhere, kTime, kText };

// What a query's thread hands back.
struct Answer {
    std::vector<SearchHit> hits;
    bool failed = false;
};

}  // namespace

SearchDialog::SearchDialog(HistorySearch search, QWidget* parent)
    : QDialog(parent),
      m_search(std::move(search)),
      m_field(new QLineEdit(this)),
      m_status(new QLabel(this)),
      m_results(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("Search all tabs"));
    auto* layout = new QVBoxLayout(this);
    m_field->setPlaceholderText(QStringLiteral("Words to find in every tab's history"));
    m_field->setClearButtonEnabled(true);
    m_results->setColumnCount(3);
    m_results->setHeaderLabels(
        {QStringLiteral("Tab"), QStringLiteral("Time"), QStringLiteral("Text")});
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->setAllColumnsShowFocus(true);
    m_results->header()->setStretchLastSection(true);
    layout->addWidget(m_field);
    layout->addWidget(m_status);
    layout->addWidget(m_results, 1);
    resize(560, 420);

    m_typing.setSingleShot(true);
    m_typing.setInterval(kTypingPauseMs);
    connect(&m_typing, &QTimer::timeout, this, &SearchDialog::runQuery);
    connect(m_field, &QLineEdit::textChanged, this, [this] { m_typing.start(); });
    connect(m_field, &QLineEdit::returnPressed, this, &SearchDialog::runQuery);
    connect(m_results, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        emit hitChosen(item->data(kWhere, Qt::UserRole).toString(),
                       item->data(kTime, Qt::UserRole).toString(),
                       item->data(kText, Qt::UserRole).toLongLong());
    });
    if (!m_search) {
        m_field->setEnabled(false);
        m_status->setText(QStringLiteral("History is off: there is nothing stored to search."));
    }
}

void SearchDialog::setQuery(const QString& query) {
    m_field->setText(query);
    runQuery();
}

QString SearchDialog::status() const {
    return m_status->text();
}

void SearchDialog::runQuery() {
    m_typing.stop();
    if (!m_search) {
        return;
    }
    const std::uint64_t generation = ++m_generation;
    const std::u16string query = m_field->text().trimmed().toStdU16String();
    if (query.empty()) {
        m_results->clear();
        m_status->clear();
        return;
    }
    auto answer = std::make_shared<Answer>();
    QThread* thread = QThread::create([search = m_search, query, answer] {
        try {
            answer->hits = search(query, kLimit);
        } catch (const std::exception&) {
            answer->failed = true;
        }
    });
    ++m_pending;
    // Queued to this dialog's thread, and dropped if the dialog is gone by then.
    connect(thread, &QThread::finished, this, [this, answer, generation] {
        --m_pending;
        if (generation != m_generation) {
            return;  // the words changed while it ran
        }
        if (answer->failed) {
            m_results->clear();
            m_status->setText(QStringLiteral("The search failed."));
            return;
        }
        showHits(std::move(answer->hits));
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_status->setText(QStringLiteral("Searching…"));
    thread->start();
}

void SearchDialog::showHits(std::vector<SearchHit> hits) {
    m_results->clear();
    std::stable_sort(hits.begin(), hits.end(),
                     [](const SearchHit& a, const SearchHit& b) { return a.time > b.time; });
    QList<QTreeWidgetItem*> items;
    for (const SearchHit& hit : hits) {
        auto* item = new QTreeWidgetItem;
        const QString network = qs(hit.network);
        const QString tab = qs(hit.tab);
        item->setText(kWhere, network.isEmpty() ? tab : network + QLatin1Char('/') + tab);
        item->setText(kTime, QDateTime::fromMSecsSinceEpoch(hit.time).toString(
                                 QStringLiteral("yyyy-MM-dd HH:mm")));
        item->setText(kText, qs(plainText(hit.text)));
        item->setToolTip(kText, item->text(kText));
        item->setData(kWhere, Qt::UserRole, network);
        item->setData(kTime, Qt::UserRole, tab);
        item->setData(kText, Qt::UserRole, static_cast<qlonglong>(hit.id));
        items.append(item);
    }
    m_results->addTopLevelItems(items);
    m_results->resizeColumnToContents(kWhere);
    m_results->resizeColumnToContents(kTime);
    if (hits.empty()) {
        m_status->setText(QStringLiteral("No line holds these words."));
    } else {
        m_status->setText(hits.size() >= static_cast<std::size_t>(kLimit)
                              ? QStringLiteral("The newest %1 hits").arg(hits.size())
                              : QStringLiteral("%1 hits").arg(hits.size()));
    }
}

}  // namespace kolu
