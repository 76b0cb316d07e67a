#include "history/writer_thread.h"

#include <sqlite3.h>

#include <system_error>

#include "history/history_rows.h"
#include "history/line_writer.h"
#include "platform/text.h"

namespace kolu::history {

WriterThread::WriterThread() = default;

WriterThread::~WriterThread() {
    stop();
}

bool WriterThread::start(const std::string& path, std::u16string& why) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    // The file is in WAL mode already; how much a commit syncs is each connection's own.
    bool ok =
        sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) == SQLITE_OK &&
        sqlite3_busy_timeout(m_db, kBusyMs) == SQLITE_OK &&
        sqlite3_exec(m_db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (ok) {
        m_writer = std::make_unique<LineWriter>(m_db);
        ok = m_writer->prepared();
    }
    // No write transaction at the open of a file whose index is whole.
    m_indexBehind = ok && m_writer->rowsUnindexed();
    if (!ok) {
        why = m_db ? fromUtf8(sqlite3_errmsg(m_db)) : reasonOf(SQLITE_NOMEM);
        stop();
        return false;
    }
    try {
        m_thread = std::thread(&WriterThread::run, this);
    } catch (const std::system_error& error) {
        why = fromUtf8(error.what());
        stop();
        return false;
    }
    return true;
}

void WriterThread::run() {
    std::vector<PendingBatch> taken;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_handed.wait(lock, [this] { return m_stopping || !m_batches.empty() || indexDue(); });
        if (m_batches.empty() && !m_stopping && m_indexWaiters == 0 &&
            std::chrono::steady_clock::now() < m_quietFrom) {
            m_handed.wait_until(lock, m_quietFrom);  // a hand-over ends it early
            continue;
        }
        if (m_batches.empty() && m_stopping) {
            return;  // everything is written; rows not yet indexed are at the next start
        }
        if (m_batches.empty()) {
            m_indexing = true;
            lock.unlock();
            bool more = false;
            const int rc = m_writer->indexRows(kIndexChunk, more);
            lock.lock();
            m_indexing = false;
            m_indexBehind = more;
            noteResult(rc);
            continue;
        }
        taken.swap(m_batches);
        const bool write = m_failure == 0;
        lock.unlock();
        const int rc = write ? m_writer->write(taken) : SQLITE_DONE;
        std::size_t lines = 0;
        for (const PendingBatch& batch : taken) {
            lines += batch.size();
        }
        taken.clear();  // the lines' memory is freed here, off the owner's thread
        lock.lock();
        m_backlog -= lines;
        m_indexBehind = true;
        noteResult(rc);
    }
}

void WriterThread::noteResult(int rc) {
    if (rc != SQLITE_DONE) {
        m_failure = rc;
        m_failed.store(true, std::memory_order_release);
    }
    m_written.notify_all();
}

void WriterThread::hand(PendingBatch batch) {
    std::unique_lock lock(m_mutex);
    m_backlog += batch.size();
    m_batches.push_back(std::move(batch));
    m_quietFrom = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIndexQuietMs);
    m_handed.notify_one();
    m_written.wait(lock, [this] { return m_backlog <= kMaxBacklog; });
}

void WriterThread::waitWritten() {
    std::unique_lock lock(m_mutex);
    m_written.wait(lock, [this] { return m_backlog == 0; });
}

bool WriterThread::waitIndexed(std::optional<std::chrono::milliseconds> limit) {
    std::unique_lock lock(m_mutex);
    ++m_indexWaiters;
    m_handed.notify_one();  // no quiet time to wait out
    const auto done = [this] { return m_backlog == 0 && (!m_indexBehind || m_failure != 0); };
    bool indexed = true;
    if (limit) {
        indexed = m_written.wait_for(lock, *limit, done);
    } else {
        m_written.wait(lock, done);
    }
    --m_indexWaiters;
    return indexed;
}

void WriterThread::pauseIndex() {
    std::unique_lock lock(m_mutex);
    m_indexPaused = true;
    m_written.wait(lock, [this] { return !m_indexing; });
}

void WriterThread::resumeIndex() {
    {
        const std::lock_guard lock(m_mutex);
        m_indexPaused = false;
    }
    m_handed.notify_one();
}

int WriterThread::failure() {
    const std::lock_guard lock(m_mutex);
    return m_failure;
}

void WriterThread::stop() {
    if (m_thread.joinable()) {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_handed.notify_one();
        m_thread.join();
    }
    m_writer.reset();
    sqlite3_close(m_db);
    m_db = nullptr;
}

}  // namespace kolu::history
