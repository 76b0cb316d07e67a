#include "history/history_schema.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <iterator>
#include <string>

#include "platform/text.h"

namespace kolu::history {
namespace {

// Step i takes a file of version i to version i + 1. The index reads a copy of the
// text without formatting codes, so it keeps no text of its own (contentless);
// rows leave it through its 'delete' command with that same copy. Lines are found
// newest first, never ranked, so it keeps no sizes for ranking either.
const char* const kSteps[] = {
    "CREATE TABLE lines(id INTEGER PRIMARY KEY, network TEXT NOT NULL, tab TEXT NOT NULL,"
    " tab_key TEXT NOT NULL, time_ms INTEGER NOT NULL, colour INTEGER NOT NULL,"
    " sender TEXT NOT NULL, text TEXT NOT NULL);"
    "CREATE INDEX lines_tab ON lines(network, tab_key, id);"
    "CREATE INDEX lines_time ON lines(time_ms);"
    "CREATE VIRTUAL TABLE lines_fts USING fts5(text, content='',"
    " tokenize=\"unicode61 remove_diacritics 2\", columnsize=0);",
};
static_assert(std::size(kSteps) == kSchemaVersion);

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
    for (std::int64_t step = version; ok && step < kSchemaVersion; ++step) {
        ok = exec(db, kSteps[step], why);
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
