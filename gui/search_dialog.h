#pragma once
// Search every tab (Ctrl+Shift+F, or "All tabs" on the find bar): the stored
// history of every network and tab, newest hit first, with where and when each
// line was said. The query runs on a thread of its own, so a large history
// never holds up the window; answers to words typed since are dropped.
// Choosing a hit (double click or Enter) asks for its tab to be shown at it.
#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;

namespace kolu {

// One stored line a search found.
struct SearchHit {
    std::u16string network;
    std::u16string tab;
    std::int64_t timeMs = 0;  // UTC milliseconds since 1970
    std::u16string text;      // formatting codes kept, as stored
    std::int64_t id = 0;      // the stored line's id
};
// Answers at most `limit` hits for the words, newest first; called off the
// window's thread.
using HistorySearch = std::function<std::vector<SearchHit>(const std::u16string& query, int limit)>;

class SearchDialog final : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kLimit = 500;
    // A query goes out once typing pauses this long.
    static constexpr int kTypingPauseMs = 150;

    // With an empty `search` the dialog says there is no history to search.
    explicit SearchDialog(HistorySearch search, QWidget* parent = nullptr);

    // Puts the words in the field and searches for them at once.
    void setQuery(const QString& query);
    QLineEdit* field() const { return m_field; }
    QListWidget* results() const { return m_results; }
    QString status() const;
    // A query is out and its answer not back yet.
    bool searching() const { return m_pending > 0; }

  signals:
    void hitChosen(const QString& network, const QString& tab, qint64 id);

  private:
    void runQuery();
    // Newest first, whatever order the store answered in.
    void showHits(std::vector<SearchHit> hits);

    HistorySearch m_search;
    QLineEdit* m_field;
    QLabel* m_status;
    QListWidget* m_results;
    QTimer m_typing;
    std::uint64_t m_generation = 0;  // the latest query's number: older answers are dropped
    int m_pending = 0;
};

}  // namespace kolu
