#pragma once
// The program's one history store, kept for every window: opened in the data
// folder at start-up when `hist_enable` is on, its queued lines written every
// HistoryStore::kFlushMs, old rows removed in slices in the background (at
// start and every hour, after `histdays` and `histmb`), and closed (the last
// batch written) when the program ends. Problems are told to the windows'
// status tabs, those met before a window listens included.
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <string>

#include "gui/search_dialog.h"
#include "history/history_store.h"

namespace kolu {

class Clock;
class Settings;

class HistoryKeeper final : public QObject {
    Q_OBJECT
  public:
    static constexpr int kPruneGapMs = 50;              // between two slices of removal
    static constexpr int kPruneEveryMs = 60 * 60 * 1000;
    static constexpr int kIndexWaitMs = 300;  // at most, for the search's newest lines

    // Opens `dataFolder` + HistoryStore::kFileName unless `hist_enable` is off.
    HistoryKeeper(Settings& settings, const Clock& clock, const std::string& dataFolder,
                  QObject* parent = nullptr);
    ~HistoryKeeper() override;

    // Null while history is off or could not be opened.
    HistoryStore* store() { return m_store.isOpen() ? &m_store : nullptr; }
    // Writes the queued lines to the file and waits until they are in its word
    // index, which searches read.
    void writeNow();
    // Searches the store's file on the caller's thread (the search dialog's own).
    HistorySearch search() const;
    // The problems met before a window listened to reported(), once.
    QStringList takeEarlierReports();
    // What removes every stored line; empty while there is no store.
    std::function<void()> clearer();
    // Starts removing what is past `histdays` and `histmb` (also done on its own).
    void prune();

  signals:
    // A problem, as one line for the user.
    void reported(const QString& message);

  private:
    void tell(const std::u16string& message);
    void pruneSlice();

    Settings& m_settings;
    const Clock& m_clock;
    HistoryStore m_store;
    QTimer m_flushTimer;
    QTimer m_pruneTimer;
    QStringList m_untold;
    bool m_told = false;  // the earlier reports were taken: tell through the signal
    bool m_pruning = false;
};

}  // namespace kolu
