#include "gui/search_dialog.h"

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <memory>

#include "gui/qt_text.h"
#include "ui/formatting.h"

namespace kolu {
namespace {

// What a chosen row tells.
enum Role { kNetworkRole = Qt::UserRole, kTabRole, kIdRole };

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
      m_results(new QListWidget(this)) {
    setWindowTitle(QStringLiteral("Search all tabs"));
    auto* layout = new QVBoxLayout(this);
    m_field->setPlaceholderText(QStringLiteral("Words to find in every tab's history"));
    m_field->setClearButtonEnabled(true);
    m_status->setWordWrap(true);  // never wider than a handheld's window
    // Two lines a hit, where and when above the words, so a handheld's narrow
    // window shows them whole rather than in squeezed columns.
    m_results->setWordWrap(true);
    m_results->setAlternatingRowColors(true);
    m_results->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_field);
    layout->addWidget(m_status);
    layout->addWidget(m_results, 1);
    resize(560, 420);

    m_typing.setSingleShot(true);
    m_typing.setInterval(kTypingPauseMs);
    connect(&m_typing, &QTimer::timeout, this, &SearchDialog::runQuery);
    connect(m_field, &QLineEdit::textChanged, this, [this] { m_typing.start(); });
    connect(m_field, &QLineEdit::returnPressed, this, &SearchDialog::runQuery);
    connect(m_results, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        emit hitChosen(item->data(kNetworkRole).toString(), item->data(kTabRole).toString(),
                       item->data(kIdRole).toLongLong());
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
                     [](const SearchHit& a, const SearchHit& b) { return a.timeMs > b.timeMs; });
    const QDate today = QDate::currentDate();
    for (const SearchHit& hit : hits) {
        const QString network = qs(hit.network);
        const QString tab = qs(hit.tab);
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(hit.timeMs);
        QString where = network.isEmpty() ? tab : tab + QStringLiteral(" · ") + network;
        where += QStringLiteral(" · ") + time.toString(time.date() == today
                                                           ? QStringLiteral("HH:mm")
                                                           : QStringLiteral("yyyy-MM-dd HH:mm"));
        auto* item = new QListWidgetItem(where + QLatin1Char('\n') + qs(plainText(hit.text)));
        item->setData(kNetworkRole, network);
        item->setData(kTabRole, tab);
        item->setData(kIdRole, static_cast<qlonglong>(hit.id));
        m_results->addItem(item);
    }
    if (hits.empty()) {
        m_status->setText(QStringLiteral("No line holds these words."));
    } else {
        m_status->setText(hits.size() >= static_cast<std::size_t>(kLimit)
                              ? QStringLiteral("The newest %1 hits").arg(hits.size())
                              : hits.size() == 1 ? QStringLiteral("1 hit")
                                                : QStringLiteral("%1 hits").arg(hits.size()));
    }
}

}  // namespace kolu
