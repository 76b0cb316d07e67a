#pragma once
// The history of every tab on every network, kept in one SQLite database in
// the data folder: each line shown in a tab with its network, tab, time,
// colour, sender and text (formatting codes kept). Lines are queued as they
// come and handed over in batches (every kFlushMs or kFlushLines) to a thread
// of the store's own that writes each in one transaction, so adding a line costs
// its owner a conversion and a push, a flood costs one commit per batch, and a
// crash loses at most the batches in hand. The owner (the thread that opened
// the store, and the only one to call it, searchFile aside) reads over a
// connection of its own, after the lines it added are written. Words are found
// through a full-text index that folds case and accents; the writer thread
// fills it behind the rows, when no lines wait to be written, so in a flood a
// line is found a moment after the flood ends. A file that can't be opened or read as a history is moved aside and
// the client goes on without history; a write that fails (a full disk) stops
// the writes with one report, made on the owner's thread at its next call.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "history/pending_line.h"
#include "settings/colour_table.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kolu {

namespace history {
class WriterThread;
}

struct StoredLine {
    std::int64_t id = 0;  // grows with each line added, over every tab
    std::u16string network;
    std::u16string tab;
    std::int64_t timeMs = 0;  // UTC milliseconds since 1970
    Colour colour = 0;
    std::u16string sender;
    std::u16string text;
};

class HistoryStore {
  public:
    static constexpr const char* kFileName = "history.sqlite";
    static constexpr std::int64_t kFlushMs = 250;
    static constexpr std::size_t kFlushLines = 1000;

    // Hears each problem as one line for the user.
    using Reporter = std::function<void(const std::u16string& message)>;

    HistoryStore();
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens (creating or migrating) the database at `path`. A damaged or locked
    // file is renamed to `path` + ".bad" and reported, and a new one is made (as
    // is done when damage shows later, in a read or a write); false (no history)
    // when even that fails.
    bool open(const std::string& path, Reporter report);
    // Writes what is queued, ends the writer thread and closes.
    void close();
    bool isOpen() const;
    const std::string& path() const { return m_path; }

    // Queues one line; its id is given at once (0 when the store is closed or
    // writes have stopped). Reads see queued lines too: they hand them over and
    // wait until they are written.
    std::int64_t add(std::u16string_view network, std::u16string_view tab, std::int64_t timeMs,
                     Colour colour, std::u16string_view sender, std::u16string_view text);
    // Hands the queued lines to the writer thread, to be written in one
    // transaction. Waits only while more than 8,000 lines handed over are not yet
    // written (WriterThread::kMaxBacklog), so a flood's memory stays bounded.
    void flush();
    // Waits until every line handed over is written (flush() then waitWritten()
    // commits what was added).
    void waitWritten();
    // flush(), then waits until every line added is written and in the word
    // index, so a search finds it: after a flood, a catch-up of about 3 us a
    // line. With a limit it waits at most that long; answers whether all is indexed.
    bool waitIndexed(std::optional<std::chrono::milliseconds> limit = std::nullopt);
    // flush() when kFlushMs passed since the last one or kFlushLines are queued;
    // answers whether it handed lines over.
    bool flushIfDue(std::int64_t nowMs);
    std::size_t queued() const;

    // A tab's lines, oldest first (tab names compared without regard to ASCII case).
    std::vector<StoredLine> lastLines(std::u16string_view network, std::u16string_view tab,
                                      std::size_t count);
    // Up to `count` lines of the tab older / newer than line `id`, oldest first.
    std::vector<StoredLine> linesBefore(std::u16string_view network, std::u16string_view tab,
                                        std::int64_t id, std::size_t count);
    std::vector<StoredLine> linesAfter(std::u16string_view network, std::u16string_view tab,
                                       std::int64_t id, std::size_t count);
    std::optional<StoredLine> line(std::int64_t id);

    // Lines holding every word of `query` (case and accents folded), newest
    // first; it waits for the word index to take in every line added.
    std::vector<StoredLine> search(std::u16string_view query, std::size_t limit);
    // The same over a connection of its own to the file at `path`, for a thread
    // other than the owner (WAL lets it read while lines are written); it finds
    // the lines indexed so far (all but those of a flood still going on, unless
    // the owner called waitIndexed() just before).
    static std::vector<StoredLine> searchFile(const std::string& path, std::u16string_view query,
                                              std::size_t limit);

    // Removes one slice of rows older than `days` (0: no age limit) or past
    // `maxBytes` of file (0: no size limit), oldest first; true while more is
    // left to remove, so the caller runs the next slice later.
    bool pruneSlice(std::int64_t nowUtcMs, int days, std::int64_t maxBytes);
    // Removes every line.
    void clear();
    std::int64_t storedCount();

  private:
    // The statements prepared once at open and reused.
    enum Statement {
        kBegin,
        kCommit,
        kRollback,
        kUnindexLine,
        kDeleteLine,
        kMergeIndex,
        kLinesBefore,
        kLinesAfter,
        kLineById,
        kSearch,
        kCount,
        kIdRange,
        kTimeFrom,
        kOldestLines,
        kUnindexAll,
        kDeleteAll,
        kIndexedMark,
        kStatementCount
    };

    // One attempt at opening the file as a history; false with the reason in `why`.
    bool openFile(std::u16string& why);
    // Moves the file that can't be used (for the reason `why`) aside and begins a
    // new one in its place, with reports; false (closed) when that fails.
    bool replaceFile(std::u16string why);
    void closeConnection();
    void report(const std::u16string& message) const;
    // flush() and waitWritten(): what the owner added is in the file.
    void syncWrites();
    // Acts on a write the writer thread found failed, once.
    void noticeWriteFailure();
    // Stops every further write after a failed one, with one report.
    void stopWrites(int code);
    // Replaces a file found damaged by a write, or stops the writes.
    void writeFailed(int code);
    // Replaces a damaged file, or reports the first failed read (later ones
    // would say the same).
    void readFailed(int code);
    std::vector<StoredLine> tabLines(Statement which, std::u16string_view network,
                                     std::u16string_view tab, std::int64_t id, std::size_t count);
    // Removes the rows a bound `select` answers (id, text) from the table and,
    // those indexed, from the index, in the transaction the caller opened; adds
    // their number to `removed`.
    int removeRows(sqlite3_stmt* select, std::size_t& removed);
    // Runs `body` (answering SQLITE_OK or SQLITE_DONE, or the error) in one write
    // transaction; on an error it rolls back and stops the writes, or replaces a
    // damaged file (false).
    bool inTransaction(const std::function<int()>& body);
    // Bytes of the file's pages in use (free pages left by deletes don't count).
    std::int64_t usedBytes();
    // The id before which every line is older than `cutoffMs`, as times grow
    // with ids; 0 when no line is.
    std::int64_t agedBefore(std::int64_t cutoffMs);

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statements[kStatementCount] = {};
    std::string m_path;
    Reporter m_report;
    std::unique_ptr<history::WriterThread> m_writer;
    history::PendingBatch m_queue;
    std::int64_t m_nextId = 1;
    std::int64_t m_lastFlushMs = 0;
    bool m_writesStopped = false;
    bool m_readReported = false;
};

}  // namespace kolu
