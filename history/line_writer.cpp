#include "history/line_writer.h"

#include <sqlite3.h>

#include "history/history_rows.h"
#include "history/history_text.h"
#include "platform/text.h"

namespace kolu::history {
namespace {

// In Statement order.
const char* const kStatementSql[] = {
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "SELECT id, tab FROM tabs WHERE network = ?1 AND tab_key = ?2",
    "INSERT INTO tabs(network, tab, tab_key) VALUES(?1, ?2, ?3)",
    "INSERT INTO lines(id, tab_id, time_ms, colour, sender, text, tab)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)",
    "INSERT INTO lines_fts(rowid, text) VALUES(?1, ?2)",
    "SELECT id, text FROM lines WHERE id > ?1 ORDER BY id LIMIT ?2",
    "UPDATE meta SET value = ?1 WHERE key = 'indexed'",
    kIndexedMarkSql,
};

}  // namespace

LineWriter::LineWriter(sqlite3* db) : m_db(db) {
    for (int i = 0; i < kStatementCount; ++i) {
        if (sqlite3_prepare_v3(m_db, kStatementSql[i], -1, SQLITE_PREPARE_PERSISTENT,
                               &m_statements[i], nullptr) != SQLITE_OK) {
            return;
        }
    }
    sqlite3_stmt* mark = m_statements[kReadMark];
    m_prepared = sqlite3_step(mark) == SQLITE_ROW;
    m_mark = sqlite3_column_int64(mark, 0);
    sqlite3_reset(mark);
}

LineWriter::~LineWriter() {
    for (sqlite3_stmt* statement : m_statements) {
        sqlite3_finalize(statement);
    }
}

int LineWriter::write(const std::vector<PendingBatch>& batches) {
    int rc = runOnce(m_statements[kBegin]);
    for (const PendingBatch& batch : batches) {
        for (auto line = batch.begin(); rc == SQLITE_DONE && line != batch.end(); ++line) {
            rc = writeLine(*line);
        }
    }
    if (rc == SQLITE_DONE) {
        rc = runOnce(m_statements[kCommit]);
    }
    if (rc != SQLITE_DONE) {
        // Tab rows made in the transaction are gone with it.
        m_tabs.clear();
        m_lastTab = nullptr;
        return rolledBack(rc);
    }
    return rc;
}

int LineWriter::rolledBack(int rc) {
    if (!sqlite3_get_autocommit(m_db)) {
        runOnce(m_statements[kRollback]);
    }
    return rc;
}

int LineWriter::indexRows(int count, bool& more) {
    more = false;
    const std::int64_t before = m_mark;
    int rc = runOnce(m_statements[kBegin]);
    int indexed = 0;
    if (rc == SQLITE_DONE) {
        rc = indexChunk(count, indexed);
    }
    if (rc == SQLITE_DONE && indexed > 0) {
        sqlite3_stmt* set = m_statements[kSetMark];
        sqlite3_bind_int64(set, 1, m_mark);
        rc = runOnce(set);
    }
    if (rc == SQLITE_DONE) {
        rc = runOnce(m_statements[kCommit]);
    }
    if (rc != SQLITE_DONE) {
        m_mark = before;
        return rolledBack(rc);
    }
    more = indexed == count;
    return rc;
}

bool LineWriter::rowsUnindexed() {
    sqlite3_stmt* rows = m_statements[kUnindexed];
    sqlite3_bind_int64(rows, 1, m_mark);
    sqlite3_bind_int64(rows, 2, 1);
    const bool any = sqlite3_step(rows) == SQLITE_ROW;
    sqlite3_reset(rows);
    sqlite3_clear_bindings(rows);
    return any;
}

int LineWriter::indexChunk(int count, int& indexed) {
    // Only the index is written under the select's cursor, never `lines`.
    sqlite3_stmt* rows = m_statements[kUnindexed];
    sqlite3_bind_int64(rows, 1, m_mark);
    sqlite3_bind_int64(rows, 2, count);
    sqlite3_stmt* index = m_statements[kIndexLine];
    int rc;
    while ((rc = sqlite3_step(rows)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(rows, 1));
        indexText(std::string_view(text ? text : "",
                                   static_cast<std::size_t>(sqlite3_column_bytes(rows, 1))),
                  m_indexed);
        const std::int64_t id = sqlite3_column_int64(rows, 0);
        sqlite3_bind_int64(index, 1, id);
        bindText(index, 2, m_indexed);
        if ((rc = runOnce(index)) != SQLITE_DONE) {
            break;
        }
        m_mark = id;
        ++indexed;
    }
    sqlite3_reset(rows);
    sqlite3_clear_bindings(rows);
    return rc;
}

int LineWriter::writeLine(const PendingLine& line) {
    const Tab* tab = nullptr;
    int rc = tabOf(line, tab);
    if (rc != SQLITE_DONE) {
        return rc;
    }
    sqlite3_stmt* insert = m_statements[kInsertLine];
    sqlite3_bind_int64(insert, 1, line.id);
    sqlite3_bind_int64(insert, 2, tab->id);
    sqlite3_bind_int64(insert, 3, line.timeMs);
    sqlite3_bind_int64(insert, 4, line.colour);
    bindText(insert, 5, line.sender);
    bindText(insert, 6, line.text);
    if (!tab->asNamed) {
        bindText(insert, 7, line.tab);
    }
    return runOnce(insert);
}

int LineWriter::tabOf(const PendingLine& line, const Tab*& tab) {
    // A flood comes into one tab: its lines cost a comparison.
    if (m_lastTab && line.tab == m_lastTabName && line.network == m_lastNetwork) {
        tab = m_lastTab;
        return SQLITE_DONE;
    }
    m_lastTab = nullptr;
    std::string key = std::to_string(line.network.size()) + ':' + line.network + line.tab;
    auto known = m_tabs.find(key);
    if (known == m_tabs.end()) {
        Tab found;
        if (const int rc = findOrMakeTab(line, found); rc != SQLITE_DONE) {
            return rc;
        }
        known = m_tabs.emplace(std::move(key), found).first;
    }
    m_lastNetwork = line.network;
    m_lastTabName = line.tab;
    tab = m_lastTab = &known->second;
    return SQLITE_DONE;
}

int LineWriter::findOrMakeTab(const PendingLine& line, Tab& tab) {
    const std::string key = lowerAscii(line.tab);
    sqlite3_stmt* find = m_statements[kFindTab];
    bindText(find, 1, line.network);
    bindText(find, 2, key);
    int rc = sqlite3_step(find);
    if (rc == SQLITE_ROW) {
        tab.id = sqlite3_column_int64(find, 0);
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(find, 1));
        tab.asNamed =
            name && line.tab == std::string_view(
                                    name, static_cast<std::size_t>(sqlite3_column_bytes(find, 1)));
        rc = SQLITE_DONE;
    }
    sqlite3_reset(find);
    sqlite3_clear_bindings(find);
    if (rc != SQLITE_DONE || tab.id != 0) {
        return rc;
    }
    sqlite3_stmt* insert = m_statements[kInsertTab];
    bindText(insert, 1, line.network);
    bindText(insert, 2, line.tab);
    bindText(insert, 3, key);
    rc = runOnce(insert);
    tab.id = sqlite3_last_insert_rowid(m_db);
    return rc;
}

}  // namespace kolu::history
