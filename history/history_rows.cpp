#include "history/history_rows.h"

#include <sqlite3.h>

#include "platform/text.h"

namespace kolu::history {

// The index is asked for the newest matches first, so a limit stops it early,
// and only those rows are read from the table.
const char* const kSearchSql =
    "SELECT l.id, t.network, coalesce(l.tab, t.tab), l.time_ms, l.colour, l.sender, l.text"
    " FROM lines l CROSS JOIN tabs t ON t.id = l.tab_id WHERE l.id IN"
    " (SELECT rowid FROM lines_fts WHERE lines_fts MATCH ?1 ORDER BY rowid DESC LIMIT ?2)"
    " ORDER BY l.id DESC";

const char* const kIndexedMarkSql = "SELECT value FROM meta WHERE key = 'indexed'";

int bindText(sqlite3_stmt* statement, int index, std::string_view text) {
    return sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                             SQLITE_STATIC);
}

namespace {

std::u16string columnText(sqlite3_stmt* statement, int column) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    const int size = sqlite3_column_bytes(statement, column);
    return bytes ? fromUtf8(std::string_view(bytes, static_cast<std::size_t>(size)))
                 : std::u16string();
}

}  // namespace

StoredLine rowLine(sqlite3_stmt* statement) {
    StoredLine line;
    line.id = sqlite3_column_int64(statement, 0);
    line.network = columnText(statement, 1);
    line.tab = columnText(statement, 2);
    line.timeMs = sqlite3_column_int64(statement, 3);
    line.colour = static_cast<Colour>(sqlite3_column_int64(statement, 4));
    line.sender = columnText(statement, 5);
    line.text = columnText(statement, 6);
    return line;
}

int collectLines(sqlite3_stmt* statement, std::vector<StoredLine>& out) {
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        out.push_back(rowLine(statement));
    }
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return rc;
}

int runOnce(sqlite3_stmt* statement) {
    const int rc = sqlite3_step(statement);
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return rc;
}

std::int64_t queryNumber(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    std::int64_t value = 0;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        value = sqlite3_column_int64(statement, 0);
    }
    sqlite3_finalize(statement);
    return value;
}

std::u16string reasonOf(int code) {
    return fromUtf8(sqlite3_errstr(code));
}

}  // namespace kolu::history
