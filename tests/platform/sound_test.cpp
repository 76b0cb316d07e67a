#include "platform/sound.h"

#include <canberra.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/error_text.h"
#include "platform/files.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_dir.h"

namespace kolu {
namespace {

using test::FakeClock;
using test::TempDir;
using test::ScopedEnv;

void putLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

// 50 ms of 8 kHz 8-bit mono silence.
std::string smallWav() {
    const std::uint32_t samples = 400;
    std::string wav = "RIFF";
    putLe(wav, 36 + samples, 4);
    wav += "WAVEfmt ";
    putLe(wav, 16, 4);
    putLe(wav, 1, 2);     // PCM
    putLe(wav, 1, 2);     // mono
    putLe(wav, 8000, 4);  // sample rate
    putLe(wav, 8000, 4);  // byte rate
    putLe(wav, 1, 2);     // block align
    putLe(wav, 8, 2);     // bits per sample
    wav += "data";
    putLe(wav, samples, 4);
    wav.append(samples, '\x80');
    return wav;
}

// Runs one call on another thread so a hang fails the test instead of stalling it.
template <typename Call>
int within10s(Call call) {
    auto result = std::async(std::launch::async, call);
    if (result.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the call did not return";
        std::abort();  // the call still uses the test's objects; nothing sane is left to do
    }
    return result.get();
}

// A backend that answers `result`, optionally only once the test opens the gate.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = true;
    std::vector<std::string> paths;
    int result = 0;
};

class GatedBackend final : public SoundBackend {
  public:
    explicit GatedBackend(std::shared_ptr<Gate> gate) : m_gate(std::move(gate)) {}
    int play(const std::string& path) override {
        std::unique_lock lock(m_gate->mutex);
        m_gate->paths.push_back(path);
        m_gate->opened.wait(lock, [&] { return m_gate->open; });
        return m_gate->result;
    }

  private:
    std::shared_ptr<Gate> m_gate;
};

void setGate(Gate& gate, bool open) {
    std::lock_guard lock(gate.mutex);
    gate.open = open;
    gate.opened.notify_all();
}

std::size_t callsOf(Gate& gate) {
    std::lock_guard lock(gate.mutex);
    return gate.paths.size();
}

TEST(CanberraSound, UnreadableFilesFailWithoutTheSoundService) {
    TempDir dir;
    auto gate = std::make_shared<Gate>();
    BackgroundSound sound(std::make_unique<GatedBackend>(gate));
    CanberraSound canberra;
    for (SoundPlayer* player :
         {static_cast<SoundPlayer*>(&sound), static_cast<SoundPlayer*>(&canberra)}) {
        EXPECT_EQ(player->playFileAsync(dir.file("missing.wav")), ENOENT);
        EXPECT_EQ(player->playFileAsync(dir.file("no/folder.wav")), ENOENT);
        EXPECT_EQ(player->playFileAsync(dir.path()), EISDIR);
        EXPECT_EQ(player->playFileAsync(""), ENOENT);
    }
    EXPECT_EQ(callsOf(*gate), 0u);
}

// No sound server is needed: whatever the outcome, the calls return, and a
// failure is a code the error log can describe.
TEST(CanberraSound, PlayingReturnsWhateverTheOutcome) {
    TempDir dir;
    const std::string path = dir.file("join.wav");
    ASSERT_EQ(writeFileAtomically(path, smallWav()), 0);
    within10s([&] {
        CanberraSound sound;
        for (int call = 0; call < 3; ++call) {
            const int rc = sound.playFileAsync(path);
            if (rc != 0) {
                EXPECT_FALSE(errorText(rc).empty()) << "call " << call << " code " << rc;
            }
        }
        return 0;
    });
}

TEST(CanberraBackend, RetriesOpeningAtMostOncePerInterval) {
    ScopedEnv driver("CANBERRA_DRIVER", "kolu-no-such-driver");
    FakeClock clock;
    clock.ticks = 0xFFFFFFFFu - 1000;  // the interval is measured across the wrap
    CanberraBackend backend(clock);
    const std::string path = "/nonexistent.wav";  // never reached: opening fails first

    const int first = within10s([&] { return backend.play(path); });
    EXPECT_EQ(first, ENODEV);
    EXPECT_FALSE(errorText(first).empty());
    EXPECT_EQ(backend.openAttempts(), 1);

    clock.ticks += CanberraBackend::kRetryMs - 1;
    EXPECT_EQ(backend.play(path), first);
    EXPECT_EQ(backend.openAttempts(), 1);

    clock.ticks += 1;
    EXPECT_EQ(within10s([&] { return backend.play(path); }), first);
    EXPECT_EQ(backend.openAttempts(), 2);
    EXPECT_EQ(backend.play(path), first);
    EXPECT_EQ(backend.openAttempts(), 2);
}

// Plays until the worker takes the request: on a loaded machine even a quick
// backend may miss the caller's bounded wait, and the caller is then told "busy".
int playUntilAnswered(SoundPlayer& sound, const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int rc = EBUSY;
    while (rc == EBUSY && std::chrono::steady_clock::now() < deadline) {
        rc = sound.playFileAsync(path);
        if (rc == EBUSY) {
            std::this_thread::yield();
        }
    }
    return rc;
}

TEST(BackgroundSound, ReturnsTheBackendsAnswer) {
    TempDir dir;
    ASSERT_EQ(writeFileAtomically(dir.file("a.wav"), "x"), 0);
    ASSERT_EQ(writeFileAtomically(dir.file("b.wav"), "x"), 0);
    auto gate = std::make_shared<Gate>();
    BackgroundSound sound(std::make_unique<GatedBackend>(gate));
    EXPECT_EQ(playUntilAnswered(sound, dir.file("a.wav")), 0);
    gate->result = ENODEV;
    EXPECT_EQ(playUntilAnswered(sound, dir.file("b.wav")), ENODEV);
    ASSERT_GE(callsOf(*gate), 2u);
    EXPECT_EQ(gate->paths.front(), dir.file("a.wav"));
    EXPECT_EQ(gate->paths.back(), dir.file("b.wav"));
}

// A sound service that hangs costs a caller one bounded wait; later callers are
// told it is busy at once, and it is used again once it answers.
TEST(BackgroundSound, AStuckBackendNeverHoldsTheCaller) {
    TempDir dir;
    const std::string path = dir.file("ping.wav");
    ASSERT_EQ(writeFileAtomically(path, "x"), 0);
    auto gate = std::make_shared<Gate>();
    gate->open = false;
    BackgroundSound sound(std::make_unique<GatedBackend>(gate));

    EXPECT_EQ(within10s([&] { return sound.playFileAsync(path); }), EBUSY);
    EXPECT_EQ(within10s([&] { return sound.playFileAsync(path); }), EBUSY);
    EXPECT_LE(callsOf(*gate), 1u);

    setGate(*gate, true);
    const int rc = playUntilAnswered(sound, path);
    EXPECT_EQ(rc, 0);
    EXPECT_GE(callsOf(*gate), 2u);
}

TEST(BackgroundSound, DestroyingWithAStuckBackendReturns) {
    TempDir dir;
    const std::string path = dir.file("quit.wav");
    ASSERT_EQ(writeFileAtomically(path, "x"), 0);
    auto gate = std::make_shared<Gate>();
    gate->open = false;
    within10s([&] {
        BackgroundSound sound(std::make_unique<GatedBackend>(gate));
        EXPECT_EQ(sound.playFileAsync(path), EBUSY);
        return 0;
    });
    setGate(*gate, true);  // lets the abandoned worker finish
}

TEST(ErrnoFromCanberra, EveryResultMapsToADescribedCode) {
    EXPECT_EQ(errnoFromCanberra(CA_SUCCESS), 0);
    EXPECT_EQ(errnoFromCanberra(CA_ERROR_NOTFOUND), ENOENT);
    EXPECT_EQ(errnoFromCanberra(CA_ERROR_ACCESS), EACCES);
    EXPECT_EQ(errnoFromCanberra(CA_ERROR_NODRIVER), ENODEV);
    EXPECT_EQ(errnoFromCanberra(CA_ERROR_OOM), ENOMEM);
    for (int result = CA_ERROR_NOTSUPPORTED; result > _CA_ERROR_MAX - 2; --result) {
        const int code = errnoFromCanberra(result);
        EXPECT_GT(code, 0) << result;
        EXPECT_FALSE(errorText(code).empty()) << result;
    }
}

}  // namespace
}  // namespace kolu
