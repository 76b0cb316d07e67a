#pragma once
// Writes batches of lines over one connection, in one transaction: each line's
// row and a row for each tab met the first time. Tabs' numbers are kept in
// memory, so a line costs no lookup. The rows' words go into the full-text
// index later, a chunk at a time, oldest first (indexRows).
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "history/pending_line.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kolu::history {

class LineWriter {
  public:
    // Prepares its statements on `db`, which outlives it; prepared() tells.
    explicit LineWriter(sqlite3* db);
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    bool prepared() const { return m_prepared; }
    // Every line of `batches`, in order, in one transaction: SQLITE_DONE, or the
    // error after the transaction was rolled back.
    int write(const std::vector<PendingBatch>& batches);
    // Puts up to `count` rows not yet in the word index into it, oldest first,
    // and moves the file's mark past them, in one transaction: SQLITE_DONE, or
    // the error after the transaction was rolled back. `more`: rows may be left.
    int indexRows(int count, bool& more);
    // Whether rows wait for the index (a failed read: none).
    bool rowsUnindexed();

  private:
    enum Statement {
        kBegin,
        kCommit,
        kRollback,
        kFindTab,
        kInsertTab,
        kInsertLine,
        kIndexLine,
        kUnindexed,
        kSetMark,
        kReadMark,
        kStatementCount
    };
    // A tab as a line names it: the tab's row, and whether the line names it
    // in the row's letter case.
    struct Tab {
        std::int64_t id = 0;
        bool asNamed = true;
    };

    int writeLine(const PendingLine& line);
    int indexChunk(int count, int& indexed);
    // Rolls back after `rc`, an error, and answers it.
    int rolledBack(int rc);
    // The tab of `line`, its row made when it has none. SQLITE_DONE or the error.
    int tabOf(const PendingLine& line, const Tab*& tab);
    int findOrMakeTab(const PendingLine& line, Tab& tab);

    sqlite3* m_db;
    sqlite3_stmt* m_statements[kStatementCount] = {};
    // By the network's length, ':', the network and the tab's name as lines gave
    // it: the names of one tab in every letter case met.
    std::unordered_map<std::string, Tab> m_tabs;
    std::string m_lastNetwork, m_lastTabName;  // the tab looked up last
    const Tab* m_lastTab = nullptr;
    std::string m_indexed;  // a line's text as the index reads it
    std::int64_t m_mark = 0;  // the file's mark: every row up to it is indexed
    bool m_prepared = false;
};

}  // namespace kolu::history
