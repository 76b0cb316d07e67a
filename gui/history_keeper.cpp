#include "gui/history_keeper.h"

#include <utility>

#include "platform/civil_time.h"
#include "platform/clock.h"
#include "settings/settings.h"

namespace kolu {

HistoryKeeper::HistoryKeeper(Settings& settings, const Clock& clock, const std::string& dataFolder,
                             QObject* parent)
    : QObject(parent), m_settings(settings), m_clock(clock) {
    if (!settings.switchOn(u"hist_enable")) {
        return;
    }
    if (!m_store.open(dataFolder + HistoryStore::kFileName,
                      [this](const std::u16string& message) { tell(message); })) {
        return;
    }
    m_flushTimer.setInterval(static_cast<int>(HistoryStore::kFlushMs));
    connect(&m_flushTimer, &QTimer::timeout, this,
            [this] { m_store.flushIfDue(static_cast<std::int64_t>(m_clock.monotonicMs())); });
    m_flushTimer.start();
    m_pruneTimer.setInterval(kPruneEveryMs);
    connect(&m_pruneTimer, &QTimer::timeout, this, &HistoryKeeper::prune);
    m_pruneTimer.start();
    QTimer::singleShot(0, this, &HistoryKeeper::prune);
}

HistoryKeeper::~HistoryKeeper() {
    m_store.close();
}

void HistoryKeeper::writeNow() {
    if (m_store.isOpen()) {
        // The search window's own connection finds indexed lines; after a flood
        // the newest may still be on their way rather than hold the window.
        m_store.waitIndexed(std::chrono::milliseconds(kIndexWaitMs));
    }
}

HistorySearch HistoryKeeper::search() const {
    if (!m_store.isOpen()) {
        return {};
    }
    return [path = m_store.path()](const std::u16string& query, int limit) {
        std::vector<SearchHit> hits;
        for (StoredLine& line :
             HistoryStore::searchFile(path, query, static_cast<std::size_t>(std::max(limit, 0)))) {
            hits.push_back(SearchHit{std::move(line.network), std::move(line.tab), line.timeMs,
                                     std::move(line.text), line.id});
        }
        return hits;
    };
}

QStringList HistoryKeeper::takeEarlierReports() {
    m_told = true;
    return std::exchange(m_untold, {});
}

void HistoryKeeper::tell(const std::u16string& message) {
    const QString text = QString::fromStdU16String(message);
    if (m_told) {
        emit reported(text);
    } else {
        m_untold.append(text);
    }
}
std::function<void()> HistoryKeeper::clearer() {
    if (!m_store.isOpen()) {
        return {};
    }
    return [this] { m_store.clear(); };
}

void HistoryKeeper::prune() {
    if (m_store.isOpen() && !m_pruning) {
        m_pruning = true;
        pruneSlice();
    }
}

void HistoryKeeper::pruneSlice() {
    const std::int64_t maxBytes =
        static_cast<std::int64_t>(std::max(0, m_settings.RegCzytajLONG(u"histmb"))) * 1024 * 1024;
    const int days = std::max(0, m_settings.RegCzytajLONG(u"histdays"));
    if (m_store.isOpen() && m_store.pruneSlice(epochMs(m_clock), days, maxBytes)) {
        QTimer::singleShot(kPruneGapMs, this, &HistoryKeeper::pruneSlice);
    } else {
        m_pruning = false;
    }
}

}  // namespace kolu
