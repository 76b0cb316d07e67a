// Removing lines: the slices retention and the size cap take, and clearing all.
#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "history/history_rows.h"
#include "history/history_store.h"
#include "history/history_text.h"

namespace kolu {
namespace {

// Rows one slice removes at most: a transaction short enough not to hold up
// the lines being written.
constexpr std::int64_t kSliceRows = 5000;
constexpr std::int64_t kDayMs = 86400000;

}  // namespace

int HistoryStore::removeRows(sqlite3_stmt* select, std::size_t& removed) {
    // Read whole before anything is deleted, so the deletes never run under the
    // select's cursor.
    std::vector<std::pair<std::int64_t, std::string>> rows;
    int rc;
    while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select, 1));
        rows.emplace_back(sqlite3_column_int64(select, 0),
                          std::string(text ? text : "",
                                      static_cast<std::size_t>(sqlite3_column_bytes(select, 1))));
    }
    sqlite3_reset(select);
    sqlite3_clear_bindings(select);
    if (rc != SQLITE_DONE) {
        return rc;
    }
    // Read in this transaction, so the writer's catch-up can't move it meanwhile.
    sqlite3_stmt* markRead = m_statements[kIndexedMark];
    rc = sqlite3_step(markRead);
    const std::int64_t mark = sqlite3_column_int64(markRead, 0);
    sqlite3_reset(markRead);
    if (rc != SQLITE_ROW) {
        return rc;
    }
    sqlite3_stmt* unindex = m_statements[kUnindexLine];
    sqlite3_stmt* remove = m_statements[kDeleteLine];
    for (const auto& [id, text] : rows) {
        // The index keeps no text: it is told the words it indexed for the row. A
        // row past the mark was never indexed, and telling the index to remove
        // what it never had would spoil its counts.
        if (id <= mark) {
            const std::string indexed = indexText(text);
            sqlite3_bind_int64(unindex, 1, id);
            history::bindText(unindex, 2, indexed);
            if ((rc = history::runOnce(unindex)) != SQLITE_DONE) {
                return rc;
            }
        }
        sqlite3_bind_int64(remove, 1, id);
        if ((rc = history::runOnce(remove)) != SQLITE_DONE) {
            return rc;
        }
    }
    removed += rows.size();
    return rows.empty() ? SQLITE_DONE : history::runOnce(m_statements[kMergeIndex]);
}

std::int64_t HistoryStore::agedBefore(std::int64_t cutoffMs) {
    sqlite3_stmt* range = m_statements[kIdRange];
    const bool any =
        sqlite3_step(range) == SQLITE_ROW && sqlite3_column_type(range, 0) != SQLITE_NULL;
    std::int64_t low = any ? sqlite3_column_int64(range, 0) : 0;
    std::int64_t high = any ? sqlite3_column_int64(range, 1) + 1 : 0;
    sqlite3_reset(range);
    // The first id from which the lines are not older than the cutoff lies in
    // [low, high]; each step reads one row by its id.
    sqlite3_stmt* timeFrom = m_statements[kTimeFrom];
    while (low < high) {
        const std::int64_t middle = low + (high - low) / 2;
        sqlite3_bind_int64(timeFrom, 1, middle);
        const bool older =
            sqlite3_step(timeFrom) == SQLITE_ROW && sqlite3_column_int64(timeFrom, 0) < cutoffMs;
        sqlite3_reset(timeFrom);
        if (older) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

std::int64_t HistoryStore::usedBytes() {
    return history::queryNumber(
        m_db,
        "SELECT (page_count - freelist_count) * page_size"
        " FROM pragma_page_count(), pragma_freelist_count(), pragma_page_size()");
}

bool HistoryStore::pruneSlice(std::int64_t nowUtcMs, int days, std::int64_t maxBytes) {
    syncWrites();
    if (!m_db || m_writesStopped) {
        return false;
    }
    std::size_t removed = 0;
    sqlite3_stmt* oldest = m_statements[kOldestLines];
    if (days > 0) {
        const std::int64_t cut = agedBefore(nowUtcMs - days * kDayMs);
        const bool done = inTransaction([&] {
            sqlite3_bind_int64(oldest, 1, cut);
            sqlite3_bind_int64(oldest, 2, kSliceRows);
            return removeRows(oldest, removed);
        });
        if (!done) {
            return false;
        }
        if (removed == kSliceRows) {
            return true;
        }
    }
    if (maxBytes <= 0) {
        return false;
    }
    const std::int64_t used = usedBytes();
    const std::int64_t rows = storedCount();
    if (used <= maxBytes || rows == 0) {
        return false;
    }
    const std::int64_t budget = kSliceRows - static_cast<std::int64_t>(removed);
    if (budget <= 0) {
        return true;
    }
    // As many of the oldest rows as the excess holds of the average row, and at
    // least one, so each slice makes progress; the index's share of the file
    // shrinks only as its segments merge, so the next slice checks again.
    const std::int64_t average = std::max<std::int64_t>(used / rows, 1);
    const std::int64_t count = std::min((used - maxBytes) / average + 1, budget);
    std::size_t sizeRemoved = 0;
    const bool done = inTransaction([&] {
        sqlite3_bind_int64(oldest, 1, std::numeric_limits<std::int64_t>::max());
        sqlite3_bind_int64(oldest, 2, count);
        return removeRows(oldest, sizeRemoved);
    });
    return done && sizeRemoved > 0 && usedBytes() > maxBytes;
}

void HistoryStore::clear() {
    syncWrites();
    inTransaction([&] {
        const int rc = history::runOnce(m_statements[kUnindexAll]);
        return rc == SQLITE_DONE ? history::runOnce(m_statements[kDeleteAll]) : rc;
    });
}

}  // namespace kolu
