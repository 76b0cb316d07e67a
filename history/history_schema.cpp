#include "history/history_schema.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <string>

#include "platform/text.h"

namespace kolu::history {
namespace {

// The layout a new file is given. Lines refer to their tab by number, so a row
// and its paging index entry (tab_id, then the row's id) stay small; `tab` of a
// line is NULL unless the line named its tab in another letter case than the
// tab's first line did. The time of a line has no index: ids grow with arrival
// and times with them, so pruning finds its cut by id. The index reads a copy of
// the text without formatting codes, so it keeps no text of its own
// (contentless); rows leave it through its 'delete' command with that same copy.
// Lines are found newest first, never ranked, and by words, never by phrase, so
// it keeps neither sizes nor positions. Its tokenizer is history::kTokenizer.
// The index is filled behind the rows, oldest first (a flood's rows go in
// without waiting for it): `meta`'s 'indexed' is the id up to which every row
// is in it, moved in the transaction that indexed them.
const char* const kCreate =
    "CREATE TABLE tabs(id INTEGER PRIMARY KEY, network TEXT NOT NULL, tab TEXT NOT NULL,"
    " tab_key TEXT NOT NULL);"
    "CREATE UNIQUE INDEX tabs_key ON tabs(network, tab_key);"
    "CREATE TABLE lines(id INTEGER PRIMARY KEY, tab_id INTEGER NOT NULL,"
    " time_ms INTEGER NOT NULL, colour INTEGER NOT NULL, sender TEXT NOT NULL,"
    " text TEXT NOT NULL, tab TEXT);"
    "CREATE INDEX lines_tab ON lines(tab_id);"  // each entry ends in the row's id
    "CREATE VIRTUAL TABLE lines_fts USING fts5(text, content='',"
    " tokenize=\"unicode61 remove_diacritics 2\", columnsize=0, detail=none);"
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID;"
    "INSERT INTO meta VALUES('indexed', 0);";

// Upgrade i takes a file of version i + 1 to version i + 2, in the steps given.
// Version 1 kept each line's network and tab names in its row, indexed the time
// and kept word positions: its rows are copied into a new layout, to be indexed
// anew by the writer's catch-up.
const char* const kUpgrades[][3] = {
    {"DROP INDEX lines_tab; DROP INDEX lines_time; DROP TABLE lines_fts;"
     "ALTER TABLE lines RENAME TO lines_v1;",
     kCreate,
     // A tab is named as its first line named it.
     "INSERT INTO tabs(network, tab, tab_key) SELECT network, tab, tab_key FROM"
     " (SELECT network, tab, tab_key, min(id) AS first FROM lines_v1"
     " GROUP BY network, tab_key) ORDER BY first;"
     "INSERT INTO lines(id, tab_id, time_ms, colour, sender, text, tab)"
     " SELECT l.id, t.id, l.time_ms, l.colour, l.sender, l.text, nullif(l.tab, t.tab)"
     " FROM lines_v1 l JOIN tabs t ON t.network = l.network AND t.tab_key = l.tab_key"
     " ORDER BY l.id;"
     "DROP TABLE lines_v1;"},
};
static_assert(std::size(kUpgrades) == kSchemaVersion - 1);

bool exec(sqlite3* db, const char* sql, std::u16string& why) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK) {
        return true;
    }
    why = fromUtf8(sqlite3_errmsg(db));
    return false;
}

}  // namespace

bool migrate(sqlite3* db, std::u16string& why) {
    if (!exec(db, "BEGIN IMMEDIATE", why)) {
        return false;
    }
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
    }
    const bool read = rc == SQLITE_ROW;
    const std::int64_t version = read ? sqlite3_column_int64(statement, 0) : 0;
    sqlite3_finalize(statement);
    bool ok = true;
    if (!read) {
        why = fromUtf8(sqlite3_errmsg(db));
        ok = false;
    } else if (version < 0 || version > kSchemaVersion) {
        why = u"made by a newer version of Kolu (history version " + decimalText(version) + u")";
        ok = false;
    }
    if (ok && version == 0) {
        ok = exec(db, kCreate, why);  // fails on tables of another program
    }
    for (std::int64_t step = version == 0 ? kSchemaVersion : version; ok && step < kSchemaVersion;
         ++step) {
        for (const char* sql : kUpgrades[step - 1]) {
            ok = ok && exec(db, sql, why);
        }
    }
    if (ok && version != kSchemaVersion) {
        const std::string set = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
        ok = exec(db, set.c_str(), why);
    }
    if (ok) {
        return exec(db, "COMMIT", why);
    }
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

int moveAside(const std::string& path) {
    const std::string bad = path + ".bad";
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const std::string from = path + suffix;
        const std::string to = bad + suffix;
        if (std::rename(from.c_str(), to.c_str()) == 0) {
            continue;
        }
        const int error = errno;
        if (error != ENOENT) {
            return error;
        }
        if (*suffix == '\0') {
            return ENOENT;  // the file itself is gone: nothing was moved
        }
        std::remove(to.c_str());
    }
    return 0;
}

}  // namespace kolu::history
