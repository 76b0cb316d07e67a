#include "platform/sound.h"

#include <canberra.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace kolu {

int errnoFromCanberra(int caResult) {
    switch (caResult) {
        case CA_SUCCESS:
            return 0;
        case CA_ERROR_NOTFOUND:
            return ENOENT;
        case CA_ERROR_ACCESS:
            return EACCES;
        case CA_ERROR_OOM:
            return ENOMEM;
        case CA_ERROR_INVALID:
            return EINVAL;
        case CA_ERROR_TOOBIG:
            return EFBIG;
        case CA_ERROR_NOTSUPPORTED:
        case CA_ERROR_CORRUPT:
            return ENOTSUP;  // a format or property the backend can't play
        case CA_ERROR_NODRIVER:
        case CA_ERROR_NOTAVAILABLE:
        case CA_ERROR_DISABLED:
        case CA_ERROR_DISCONNECTED:
            return ENODEV;  // no sound server or device, or sounds switched off
        case CA_ERROR_CANCELED:
            return ECANCELED;
        default:
            return EIO;
    }
}

CanberraBackend::CanberraBackend() : m_clock(m_systemClock) {}

CanberraBackend::CanberraBackend(const Clock& clock) : m_clock(clock) {}

CanberraBackend::~CanberraBackend() {
    if (m_context) {
        // Stop our sound first: destroying waits for the backend's players.
        if (m_playingId != 0) {
            ca_context_cancel(m_context, m_playingId);
        }
        ca_context_destroy(m_context);
    }
}

int CanberraBackend::fail(int code) {
    if (m_context) {
        ca_context_destroy(m_context);
        m_context = nullptr;
    }
    m_playingId = 0;
    m_openError = code;
    m_failedAt = m_clock.tickCount();
    return code;
}

int CanberraBackend::ensureOpen() {
    if (m_context) {
        return 0;
    }
    // Unsigned difference: correct across the tick counter's wrap.
    if (m_openError != 0 && m_clock.tickCount() - m_failedAt < kRetryMs) {
        return m_openError;
    }
    ++m_openAttempts;
    int result = ca_context_create(&m_context);
    if (result == CA_SUCCESS) {
        result = ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Kolu",
                                         CA_PROP_APPLICATION_ID, "kolu", nullptr);
    }
    if (result == CA_SUCCESS) {
        result = ca_context_open(m_context);
    }
    if (result != CA_SUCCESS) {
        return fail(errnoFromCanberra(result));
    }
    m_openError = 0;
    return 0;
}

int CanberraBackend::play(const std::string& path) {
    if (const int rc = ensureOpen()) {
        return rc;
    }
    if (m_playingId != 0) {
        ca_context_cancel(m_context, m_playingId);  // a new sound replaces the old one
        m_playingId = 0;
    }
    const std::uint32_t id = m_nextId++;
    if (m_nextId == 0) {
        m_nextId = 1;
    }
    const int result = ca_context_play(m_context, id, CA_PROP_MEDIA_FILENAME, path.c_str(),
                                       CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr);
    switch (result) {
        case CA_SUCCESS:
            m_playingId = id;
            return 0;
        case CA_ERROR_NOTFOUND:
            // The player checked the file: it is the output device that is missing.
            return fail(ENODEV);
        case CA_ERROR_NODRIVER:
        case CA_ERROR_NOTAVAILABLE:
        case CA_ERROR_DISCONNECTED:
        case CA_ERROR_DESTROYED:
        case CA_ERROR_FORKED:
            // Nothing behind the context: open afresh, after the retry time.
            return fail(errnoFromCanberra(result));
        default:
            return errnoFromCanberra(result);
    }
}

struct BackgroundSound::Shared {
    std::mutex mutex;
    std::condition_variable wake;      // the worker waits for a request or stop
    std::condition_variable answered;  // callers wait for an answer or the end
    std::unique_ptr<SoundBackend> backend;
    std::thread worker;
    std::string path;
    std::uint64_t requests = 0;
    std::uint64_t answers = 0;  // the request the answer belongs to
    int answer = 0;
    bool requested = false;  // a request waits for the worker
    bool busy = false;       // the worker is inside the backend
    bool stop = false;
    bool finished = false;
};

namespace {

int checkReadable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return errno != 0 ? errno : ENOENT;
    }
    if (S_ISDIR(st.st_mode)) {
        return EISDIR;
    }
    if (::access(path.c_str(), R_OK) != 0) {
        return errno != 0 ? errno : EACCES;
    }
    return 0;
}

}  // namespace

BackgroundSound::BackgroundSound(std::unique_ptr<SoundBackend> backend)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->backend = std::move(backend);
}

BackgroundSound::~BackgroundSound() {
    Shared& s = *m_shared;
    std::unique_lock lock(s.mutex);
    s.stop = true;
    s.wake.notify_one();
    if (!s.worker.joinable()) {
        return;
    }
    // A worker stuck in the sound service is left behind rather than waited for:
    // it owns what it uses through the shared state.
    const bool done =
        s.answered.wait_for(lock, std::chrono::seconds(1), [&] { return s.finished; });
    lock.unlock();
    if (done) {
        s.worker.join();
    } else {
        s.worker.detach();
    }
}

int BackgroundSound::playFileAsync(const std::string& path) {
    if (const int rc = checkReadable(path)) {
        return rc;
    }
    Shared& s = *m_shared;
    std::unique_lock lock(s.mutex);
    if (!s.backend) {
        return ENODEV;
    }
    if (s.busy || s.requested) {
        return EBUSY;
    }
    if (!s.worker.joinable()) {
        try {
            s.worker = std::thread(&BackgroundSound::runWorker, m_shared);
        } catch (const std::system_error& e) {
            return e.code().value() != 0 ? e.code().value() : EAGAIN;
        }
    }
    s.path = path;
    s.requested = true;
    const std::uint64_t request = ++s.requests;
    s.wake.notify_one();
    if (!s.answered.wait_for(lock, std::chrono::milliseconds(kAnswerWaitMs),
                             [&] { return s.answers == request; })) {
        return EBUSY;
    }
    return s.answer;
}

void BackgroundSound::runWorker(std::shared_ptr<Shared> shared) {
    Shared& s = *shared;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.wake.wait(lock, [&] { return s.stop || s.requested; });
        if (s.stop) {
            break;
        }
        s.requested = false;
        s.busy = true;
        const std::string path = std::move(s.path);
        const std::uint64_t request = s.requests;
        lock.unlock();
        const int rc = s.backend->play(path);
        lock.lock();
        s.busy = false;
        s.answer = rc;
        s.answers = request;
        s.answered.notify_all();
    }
    // The backend is closed on the thread that used it.
    std::unique_ptr<SoundBackend> backend = std::move(s.backend);
    lock.unlock();
    backend.reset();
    lock.lock();
    s.finished = true;
    s.answered.notify_all();
}

CanberraSound::CanberraSound() : BackgroundSound(std::make_unique<CanberraBackend>()) {}

}  // namespace kolu
