#pragma once
// Asynchronous playback of a sound file (PlaySound with SND_ASYNC | SND_FILENAME):
// the call starts the sound and returns at once; a new sound replaces the one
// that is playing. Failures come back as errno-style codes for the error log.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"

struct ca_context;

namespace kolu {

class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    // 0, or an error code (errno value) errorText can describe.
    virtual int playFileAsync(const std::string& path) = 0;
};

// The calls of a sound service, which may block (a busy ALSA device blocks its
// open). BackgroundSound makes them on a thread of their own.
class SoundBackend {
  public:
    virtual ~SoundBackend() = default;
    // Starts the sound, replacing the one playing; 0 or an errno value.
    virtual int play(const std::string& path) = 0;
};

// libcanberra (the desktop's event-sound service). The context is opened on first
// use; when it can't be opened, or has no device behind it, the failure is
// remembered and opening is retried at most once per kRetryMs, so a missing sound
// server costs nothing on every event. Never waits for a sound to finish.
class CanberraBackend final : public SoundBackend {
  public:
    static constexpr std::uint32_t kRetryMs = 10000;

    CanberraBackend();
    // `clock` times the retries; it must outlive the backend.
    explicit CanberraBackend(const Clock& clock);
    ~CanberraBackend() override;
    CanberraBackend(const CanberraBackend&) = delete;
    CanberraBackend& operator=(const CanberraBackend&) = delete;

    int play(const std::string& path) override;
    // How often opening the sound service has been tried (for tests).
    int openAttempts() const { return m_openAttempts; }

  private:
    int ensureOpen();
    int fail(int code);  // drops the context until the retry time

    SystemClock m_systemClock;
    const Clock& m_clock;
    ::ca_context* m_context = nullptr;
    std::uint32_t m_nextId = 1;
    std::uint32_t m_playingId = 0;  // 0: nothing started
    int m_openError = 0;            // the last failure, remembered until the retry time
    std::uint32_t m_failedAt = 0;
    int m_openAttempts = 0;
};

// Runs a backend on a worker thread so no caller ever hangs. A file that can't be
// read fails at once (ENOENT when missing) without the backend. A call waits at
// most kAnswerWaitMs for the backend's answer; while a backend call is stuck,
// further calls return EBUSY at once.
class BackgroundSound : public SoundPlayer {
  public:
    static constexpr int kAnswerWaitMs = 500;

    explicit BackgroundSound(std::unique_ptr<SoundBackend> backend);
    ~BackgroundSound() override;
    BackgroundSound(const BackgroundSound&) = delete;
    BackgroundSound& operator=(const BackgroundSound&) = delete;

    int playFileAsync(const std::string& path) override;

  private:
    struct Shared;
    static void runWorker(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
};

// The player the client uses: libcanberra on a worker thread.
class CanberraSound final : public BackgroundSound {
  public:
    CanberraSound();
};

// The errno value that stands for a libcanberra result (CA_SUCCESS -> 0).
int errnoFromCanberra(int caResult);

}  // namespace kolu
