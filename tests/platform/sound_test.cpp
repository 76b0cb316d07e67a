#include "platform/sound.h"

#include <canberra.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
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

// A backend that answers `result`, only once the test opens the gate.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = true;
    std::vector<std::string> paths;
    int result = 0;

    void set(bool value) {
        std::lock_guard lock(mutex);
        open = value;
        opened.notify_all();
    }
    std::size_t calls() {
        std::lock_guard lock(mutex);
        return paths.size();
    }
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

// Plays until the worker takes the request: on a loaded machine even a quick
// backend may miss the caller's bounded wait, and the caller is then told "busy".
int playUntilAnswered(SoundPlayer& sound, const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int rc = EBUSY;
    while (rc == EBUSY && std::chrono::steady_clock::now() < deadline) {
        rc = sound.playFileAsync(path);
        std::this_thread::yield();
    }
    return rc;
}

class BackgroundSoundTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(writeFileAtomically(path, "x"), 0); }

    test::TempDir dir;
    const std::string path = dir.file("ping.wav");
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
};

// A file that can't be read never reaches the backend, whose answer comes back. A sound
// service that hangs costs a caller one bounded wait; later callers are told it is busy at
// once, it is used again once it answers, and it never holds up the player's end.
TEST_F(BackgroundSoundTest, AnswersAndAStuckBackendNeverHoldsTheCallerNorTheEnd) {
    gate->result = ENODEV;
    auto sound = std::make_unique<BackgroundSound>(std::make_unique<GatedBackend>(gate));
    EXPECT_EQ(sound->playFileAsync(dir.file("no/folder.wav")), ENOENT);
    EXPECT_EQ(sound->playFileAsync(dir.path()), EISDIR);
    EXPECT_EQ(gate->calls(), 0u);
    EXPECT_EQ(playUntilAnswered(*sound, path), ENODEV);
    EXPECT_EQ(gate->paths.back(), path);

    gate->set(false);
    const std::size_t answered = gate->calls();
    EXPECT_EQ(within10s([&] { return sound->playFileAsync(path); }), EBUSY);
    EXPECT_EQ(within10s([&] { return sound->playFileAsync(path); }), EBUSY);
    EXPECT_LE(gate->calls(), answered + 1);
    gate->set(true);
    EXPECT_EQ(playUntilAnswered(*sound, path), ENODEV);
    EXPECT_GE(gate->calls(), answered + 2);
    gate->set(false);
    within10s([&] {
        EXPECT_EQ(sound->playFileAsync(path), EBUSY);
        sound.reset();
        return 0;
    });
    gate->set(true);  // lets the abandoned worker finish
}

// No sound server is needed: the call returns, and a failure is a code the
// error log can describe.
TEST_F(BackgroundSoundTest, TheRealServiceReturnsWhateverTheOutcome) {
    within10s([&] {
        CanberraSound sound;
        const int rc = sound.playFileAsync(path);
        EXPECT_TRUE(rc == 0 || !errorText(rc).empty()) << rc;
        return 0;
    });
}

TEST(CanberraBackend, RetriesOpeningAtMostOncePerInterval) {
    test::ScopedEnv driver("CANBERRA_DRIVER", "kolu-no-such-driver");
    test::FakeClock clock;
    clock.ticks = 0xFFFFFFFFu - 1000;  // the interval is measured across the wrap
    CanberraBackend backend(clock);
    const std::string path = "/nonexistent.wav";  // never reached: opening fails first

    EXPECT_EQ(within10s([&] { return backend.play(path); }), ENODEV);
    clock.ticks += CanberraBackend::kRetryMs - 1;
    EXPECT_EQ(backend.play(path), ENODEV);
    EXPECT_EQ(backend.openAttempts(), 1);
    clock.ticks += 1;
    EXPECT_EQ(within10s([&] { return backend.play(path); }), ENODEV);
    EXPECT_EQ(backend.play(path), ENODEV);
    EXPECT_EQ(backend.openAttempts(), 2);
}

TEST(CanberraBackend, EveryResultMapsToADescribedCode) {
    EXPECT_EQ(errnoFromCanberra(CA_SUCCESS), 0);
    EXPECT_EQ(errnoFromCanberra(CA_ERROR_NOTFOUND), ENOENT);
    for (int result = CA_ERROR_NOTSUPPORTED; result > _CA_ERROR_MAX - 2; --result) {
        const int code = errnoFromCanberra(result);
        EXPECT_TRUE(code > 0 && !errorText(code).empty()) << result;
    }
}

}  // namespace
}  // namespace kolu
