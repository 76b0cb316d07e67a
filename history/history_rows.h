#pragma once
// The small pieces of SQLite plumbing the history store and its searches share:
// binding text, reading a row back as a line, running a statement to the end.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_store.h"

namespace kolu::history {

// Long enough for another connection's commit or checkpoint to end; a file
// still locked after it is taken as held by another program.
inline constexpr int kBusyMs = 2000;

// The search over the full-text index: ?1 the match query, ?2 the limit. Like
// every query that answers lines, it selects the id, network, tab, time, colour,
// sender and text of each: StoredLine's order, which rowLine reads.
extern const char* const kSearchSql;

// The id up to which every row is in the full-text index (one row, one column).
extern const char* const kIndexedMarkSql;

// Binds UTF-8 text without a copy: it must outlive the statement's next step.
int bindText(sqlite3_stmt* statement, int index, std::string_view text);
// The line of the statement's current row.
StoredLine rowLine(sqlite3_stmt* statement);
// Steps a bound statement through every row into `out`, then resets it (its
// bindings too). SQLITE_DONE or the error.
int collectLines(sqlite3_stmt* statement, std::vector<StoredLine>& out);
// Steps a statement that answers no rows, then resets it. SQLITE_DONE or the error.
int runOnce(sqlite3_stmt* statement);
// A statement's first column as a number (0 when it answers no row or fails).
std::int64_t queryNumber(sqlite3* db, const char* sql);
// The error text of a result code, for a sentence.
std::u16string reasonOf(int code);

}  // namespace kolu::history
