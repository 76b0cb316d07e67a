#pragma once
// The thread lines are written on, with a connection of its own, so a commit (and
// the checkpoint that follows some) never holds up the thread that adds lines.
// Batches handed over are written in order, all those waiting in one
// transaction; the one handing over waits only while more than kMaxBacklog
// lines are not yet written, so memory stays bounded in a flood. A write that
// fails is kept for the owner to take, and nothing more is written. The rows'
// words go into the full-text index only once no batch was handed over for
// kIndexQuietMs (at once while the owner waits for the index), kIndexChunk rows
// a transaction, so lines handed over wait behind one chunk at most and a flood
// costs the thread, and the core it shares with the one adding lines, its rows
// alone; the index catches up once the flood ends. One start per object.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "history/pending_line.h"

struct sqlite3;

namespace kolu::history {

class LineWriter;

class WriterThread {
  public:
    static constexpr std::size_t kMaxBacklog = 8000;
    static constexpr int kIndexChunk = 2000;
    static constexpr int kIndexQuietMs = 100;

    WriterThread();
    ~WriterThread();
    WriterThread(const WriterThread&) = delete;
    WriterThread& operator=(const WriterThread&) = delete;

    // Opens the file at `path` (made and brought up to date already) and starts
    // the thread; false with the reason in `why`.
    bool start(const std::string& path, std::u16string& why);
    // Queues `batch` for the thread; waits while too much is not yet written.
    void hand(PendingBatch batch);
    // Waits until every batch handed over is written (or dropped after a failure).
    void waitWritten();
    // Waits until, besides, every row written is in the word index; at most
    // `limit` when one is given. Answers whether it is.
    bool waitIndexed(std::optional<std::chrono::milliseconds> limit = std::nullopt);
    // Holds the index's catch-up (waiting out a chunk under way) until
    // resumeIndex(), so a write transaction of the owner's own, on its own
    // connection, need not wait for the lock through a long catch-up.
    void pauseIndex();
    void resumeIndex();
    bool failed() const { return m_failed.load(std::memory_order_acquire); }
    // The failed write's SQLite error code (0: none).
    int failure();
    // Writes what was handed over, ends the thread and closes the connection.
    void stop();

  private:
    void run();
    // Rows wait for the index and it may take them; m_mutex held.
    bool indexDue() const { return m_indexBehind && m_failure == 0 && !m_indexPaused; }
    // Keeps a failed write's code and wakes the owner; m_mutex held.
    void noteResult(int rc);

    sqlite3* m_db = nullptr;
    std::unique_ptr<LineWriter> m_writer;  // the thread's alone while it runs
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_handed;     // the thread waits for work or the stop
    std::condition_variable m_written;    // the owner waits for lines written or indexed
    std::vector<PendingBatch> m_batches;  // handed over, not yet taken
    std::size_t m_backlog = 0;            // lines handed over and not yet written
    bool m_indexBehind = false;           // rows may wait for the index
    bool m_indexing = false;              // a chunk is under way
    bool m_indexPaused = false;
    int m_indexWaiters = 0;               // owners in waitIndexed()
    std::chrono::steady_clock::time_point m_quietFrom;  // the last hand-over's, and the pause
    bool m_stopping = false;
    int m_failure = 0;
    std::atomic<bool> m_failed{false};
};

}  // namespace kolu::history
