#include "history/history_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "history/history_query.h"
#include "history/history_rows.h"
#include "history/history_schema.h"
#include "history/history_text.h"
#include "history/writer_thread.h"
#include "platform/error_text.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kolu {
namespace {

// In Statement order.
const char* const kStatementSql[] = {
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "INSERT INTO lines_fts(lines_fts, rowid, text) VALUES('delete', ?1, ?2)",
    "DELETE FROM lines WHERE id = ?1",
    // Deleted rows stay in the index as marks until its segments are merged: this
    // merges a bounded part (negative: whatever the segments' levels).
    "INSERT INTO lines_fts(lines_fts, rank) VALUES('merge', -500)",
    // The tab's one row first, then its lines through the paging index.
    "SELECT l.id, t.network, coalesce(l.tab, t.tab), l.time_ms, l.colour, l.sender, l.text"
    " FROM tabs t CROSS JOIN lines l ON l.tab_id = t.id"
    " WHERE t.network = ?1 AND t.tab_key = ?2 AND l.id < ?3 ORDER BY l.id DESC LIMIT ?4",
    "SELECT l.id, t.network, coalesce(l.tab, t.tab), l.time_ms, l.colour, l.sender, l.text"
    " FROM tabs t CROSS JOIN lines l ON l.tab_id = t.id"
    " WHERE t.network = ?1 AND t.tab_key = ?2 AND l.id > ?3 ORDER BY l.id LIMIT ?4",
    "SELECT l.id, t.network, coalesce(l.tab, t.tab), l.time_ms, l.colour, l.sender, l.text"
    " FROM lines l CROSS JOIN tabs t ON t.id = l.tab_id WHERE l.id = ?1",
    nullptr,  // kSearch: history::kSearchSql
    "SELECT count(*) FROM lines",
    "SELECT (SELECT min(id) FROM lines), (SELECT max(id) FROM lines)",
    "SELECT time_ms FROM lines WHERE id >= ?1 ORDER BY id LIMIT 1",
    "SELECT id, text FROM lines WHERE id < ?1 ORDER BY id LIMIT ?2",
    "INSERT INTO lines_fts(lines_fts) VALUES('delete-all')",
    "DELETE FROM lines",
    nullptr,  // kIndexedMark: history::kIndexedMarkSql
};

// A file found damaged while in use is replaced as one found so at open.
bool isDamage(int code) {
    return (code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB;
}

std::int64_t limitOf(std::size_t count) {
    return static_cast<std::int64_t>(
        std::min<std::size_t>(count, std::numeric_limits<std::int64_t>::max()));
}

// toUtf8 with the leading ASCII (most of a line, mostly all) copied in one go:
// the conversion is most of what adding a line costs its thread.
std::string utf8Of(std::u16string_view text) {
    std::size_t ascii = 0;
    while (ascii < text.size() && text[ascii] < 0x80) {
        ++ascii;
    }
    std::string out(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(ascii));
    if (ascii < text.size()) {
        out += toUtf8(text.substr(ascii));
    }
    return out;
}

}  // namespace

HistoryStore::HistoryStore() = default;

HistoryStore::~HistoryStore() {
    close();
}

bool HistoryStore::open(const std::string& path, Reporter report) {
    close();
    m_path = path;
    m_report = std::move(report);
    m_writesStopped = false;
    m_readReported = false;
    makeFolders(folderOf(path));  // a folder that can't be made fails the open below
    std::u16string why;
    return openFile(why) || replaceFile(why);
}

bool HistoryStore::replaceFile(std::u16string why) {
    closeConnection();
    m_queue.clear();
    const std::u16string name = fromUtf8(m_path);
    if (!fileExists(m_path)) {
        report(u"History: " + name + u" could not be made (" + why + u"); no lines are kept.");
        return false;
    }
    if (const int error = history::moveAside(m_path)) {
        report(u"History: " + name + u" can't be used (" + why + u") nor moved aside (" +
               errorPhrase(error) + u"); no lines are kept.");
        return false;
    }
    report(u"History: " + name + u" can't be used (" + why + u"); it was moved to " + name +
           u".bad and a new history was begun.");
    if (openFile(why)) {
        return true;
    }
    report(u"History: a new " + name + u" could not be made (" + why + u"); no lines are kept.");
    return false;
}

bool HistoryStore::openFile(std::u16string& why) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    bool ok = sqlite3_open_v2(m_path.c_str(), &m_db, flags, nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_busy_timeout(m_db, history::kBusyMs);
        // WAL: a search on another connection reads while lines are written, and a
        // commit costs no sync (a crash of the program still loses no commit). The
        // checkpoints (which sync) are left to the writer thread's commits.
        ok = sqlite3_exec(m_db,
                          "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                          " PRAGMA wal_autocheckpoint=0",
                          nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    if (ok && !history::migrate(m_db, why)) {
        closeConnection();
        return false;
    }
    for (int i = 0; ok && i < kStatementCount; ++i) {
        const char* sql = i == kSearch         ? history::kSearchSql
                          : i == kIndexedMark ? history::kIndexedMarkSql
                                              : kStatementSql[i];
        ok = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statements[i],
                                nullptr) == SQLITE_OK;
    }
    // Reads the table's last page: the first read of the rows themselves. Ids
    // go on past the index's mark even when every row was removed, as a row at
    // or below the mark is taken as indexed.
    sqlite3_stmt* last = nullptr;
    ok = ok &&
         sqlite3_prepare_v2(m_db,
                            "SELECT max(coalesce((SELECT max(id) FROM lines), 0),"
                            " (SELECT value FROM meta WHERE key = 'indexed'))",
                            -1, &last, nullptr) == SQLITE_OK &&
         sqlite3_step(last) == SQLITE_ROW;
    if (ok) {
        m_nextId = sqlite3_column_int64(last, 0) + 1;
    }
    sqlite3_finalize(last);
    if (!ok) {
        why = m_db ? fromUtf8(sqlite3_errmsg(m_db)) : history::reasonOf(SQLITE_NOMEM);
        closeConnection();
        return false;
    }
    m_writer = std::make_unique<history::WriterThread>();
    if (!m_writer->start(m_path, why)) {
        closeConnection();
        return false;
    }
    return true;
}

void HistoryStore::closeConnection() {
    m_writer.reset();
    for (sqlite3_stmt*& statement : m_statements) {
        sqlite3_finalize(statement);
        statement = nullptr;
    }
    sqlite3_close(m_db);
    m_db = nullptr;
}

void HistoryStore::close() {
    syncWrites();
    closeConnection();
    m_queue.clear();
}

bool HistoryStore::isOpen() const {
    return m_db != nullptr;
}

void HistoryStore::report(const std::u16string& message) const {
    if (m_report) {
        m_report(message);
    }
}

std::int64_t HistoryStore::add(std::u16string_view network, std::u16string_view tab,
                               std::int64_t timeMs, Colour colour, std::u16string_view sender,
                               std::u16string_view text) {
    noticeWriteFailure();
    if (!m_db || m_writesStopped) {
        return 0;
    }
    history::PendingLine line;
    line.id = m_nextId++;
    line.timeMs = timeMs;
    line.colour = colour;
    line.network = utf8Of(network);
    line.tab = utf8Of(tab);
    line.sender = utf8Of(sender);
    line.text = utf8Of(text);
    m_queue.push_back(std::move(line));
    return m_queue.back().id;
}

void HistoryStore::flush() {
    noticeWriteFailure();
    if (!m_queue.empty() && m_writer && !m_writesStopped) {
        m_writer->hand(std::exchange(m_queue, {}));
    }
}

void HistoryStore::waitWritten() {
    if (m_writer) {
        m_writer->waitWritten();
    }
    noticeWriteFailure();
}

bool HistoryStore::waitIndexed(std::optional<std::chrono::milliseconds> limit) {
    flush();
    const bool indexed = !m_writer || m_writer->waitIndexed(limit);
    noticeWriteFailure();
    return indexed;
}

void HistoryStore::syncWrites() {
    flush();
    waitWritten();
}

void HistoryStore::noticeWriteFailure() {
    if (m_writer && !m_writesStopped && m_writer->failed()) {
        writeFailed(m_writer->failure());
    }
}

bool HistoryStore::flushIfDue(std::int64_t nowMs) {
    if (m_queue.empty() ||
        (m_queue.size() < kFlushLines && nowMs - m_lastFlushMs < kFlushMs)) {
        return false;
    }
    flush();
    m_lastFlushMs = nowMs;
    return !m_writesStopped;
}

std::size_t HistoryStore::queued() const {
    return m_queue.size();
}

bool HistoryStore::inTransaction(const std::function<int()>& body) {
    if (!m_db || m_writesStopped) {
        return false;
    }
    m_writer->pauseIndex();
    int rc = history::runOnce(m_statements[kBegin]);
    if (rc == SQLITE_DONE) {
        rc = body();
    }
    if (rc == SQLITE_DONE || rc == SQLITE_OK) {
        rc = history::runOnce(m_statements[kCommit]);
    }
    if (rc != SQLITE_DONE && !sqlite3_get_autocommit(m_db)) {
        history::runOnce(m_statements[kRollback]);
    }
    m_writer->resumeIndex();
    if (rc == SQLITE_DONE) {
        return true;
    }
    writeFailed(rc);
    return false;
}

void HistoryStore::writeFailed(int code) {
    if (isDamage(code)) {
        replaceFile(history::reasonOf(code));
    } else {
        stopWrites(code);
    }
}

void HistoryStore::stopWrites(int code) {
    m_writesStopped = true;
    m_queue.clear();
    if ((code & 0xFF) == SQLITE_FULL) {
        report(u"History: the disk is full; no more lines are stored until restart.");
    } else {
        report(u"History: lines could not be written to " + fromUtf8(m_path) + u" (" +
               history::reasonOf(code) + u"); no more lines are stored until restart.");
    }
}

void HistoryStore::readFailed(int code) {
    if (isDamage(code)) {
        replaceFile(history::reasonOf(code));
    } else if (!m_readReported) {
        m_readReported = true;
        report(u"History: " + fromUtf8(m_path) + u" could not be read (" + history::reasonOf(code) +
               u").");
    }
}

std::vector<StoredLine> HistoryStore::tabLines(Statement which, std::u16string_view network,
                                               std::u16string_view tab, std::int64_t id,
                                               std::size_t count) {
    syncWrites();
    std::vector<StoredLine> lines;
    if (!m_db || count == 0) {
        return lines;
    }
    const std::string networkText = toUtf8(network);
    const std::string key = lowerAscii(toUtf8(tab));
    sqlite3_stmt* select = m_statements[which];
    history::bindText(select, 1, networkText);
    history::bindText(select, 2, key);
    sqlite3_bind_int64(select, 3, id);
    sqlite3_bind_int64(select, 4, limitOf(count));
    if (const int rc = history::collectLines(select, lines); rc != SQLITE_DONE) {
        readFailed(rc);
    }
    if (which == kLinesBefore) {
        std::reverse(lines.begin(), lines.end());  // read newest first from the end
    }
    return lines;
}

std::vector<StoredLine> HistoryStore::lastLines(std::u16string_view network,
                                                std::u16string_view tab, std::size_t count) {
    return tabLines(kLinesBefore, network, tab, std::numeric_limits<std::int64_t>::max(), count);
}

std::vector<StoredLine> HistoryStore::linesBefore(std::u16string_view network,
                                                  std::u16string_view tab, std::int64_t id,
                                                  std::size_t count) {
    return tabLines(kLinesBefore, network, tab, id, count);
}

std::vector<StoredLine> HistoryStore::linesAfter(std::u16string_view network,
                                                 std::u16string_view tab, std::int64_t id,
                                                 std::size_t count) {
    return tabLines(kLinesAfter, network, tab, id, count);
}

std::optional<StoredLine> HistoryStore::line(std::int64_t id) {
    syncWrites();
    if (!m_db) {
        return std::nullopt;
    }
    std::vector<StoredLine> lines;
    sqlite3_bind_int64(m_statements[kLineById], 1, id);
    if (const int rc = history::collectLines(m_statements[kLineById], lines); rc != SQLITE_DONE) {
        readFailed(rc);
    }
    return lines.empty() ? std::nullopt : std::optional<StoredLine>(std::move(lines.front()));
}

std::vector<StoredLine> HistoryStore::search(std::u16string_view query, std::size_t limit) {
    waitIndexed();
    std::vector<StoredLine> lines;
    if (!m_db || limit == 0) {
        return lines;
    }
    const std::string match = history::matchQuery(m_db, query);
    if (match.empty()) {
        return lines;
    }
    sqlite3_stmt* select = m_statements[kSearch];
    history::bindText(select, 1, match);
    sqlite3_bind_int64(select, 2, limitOf(limit));
    if (const int rc = history::collectLines(select, lines); rc != SQLITE_DONE) {
        readFailed(rc);
    }
    return lines;
}

std::vector<StoredLine> HistoryStore::searchFile(const std::string& path,
                                                 std::u16string_view query, std::size_t limit) {
    std::vector<StoredLine> lines;
    if (limit == 0) {
        return lines;
    }
    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    std::string match;
    const int flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, history::kBusyMs);
        match = history::matchQuery(db, query);
        if (!match.empty() &&
            sqlite3_prepare_v2(db, history::kSearchSql, -1, &select, nullptr) == SQLITE_OK) {
            history::bindText(select, 1, match);
            sqlite3_bind_int64(select, 2, limitOf(limit));
            history::collectLines(select, lines);  // a failed read answers what it found
        }
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    return lines;
}

std::int64_t HistoryStore::storedCount() {
    syncWrites();
    if (!m_db) {
        return 0;
    }
    sqlite3_stmt* count = m_statements[kCount];
    const int rc = sqlite3_step(count);
    const std::int64_t value = rc == SQLITE_ROW ? sqlite3_column_int64(count, 0) : 0;
    if (rc != SQLITE_ROW) {
        readFailed(rc);
    }
    sqlite3_reset(count);
    return value;
}

}  // namespace kolu
