#pragma once
// A clock and random generator whose answers a test sets.
#include <algorithm>
#include <vector>

#include "platform/clock.h"

namespace kolu::test {

class FakeClock final : public Clock {
  public:
    SystemTime local{2007, 9, 2, 11, 20, 8, 0, 0};
    SystemTime utc{2007, 9, 2, 11, 18, 8, 0, 0};
    std::uint64_t ticks = 123456;  // the tick count is its low 32 bits

    SystemTime localTime() const override { return local; }
    SystemTime utcTime() const override { return utc; }
    std::uint32_t tickCount() const override { return static_cast<std::uint32_t>(ticks); }
    std::uint64_t monotonicMs() const override { return ticks; }
};

// Returns the scripted values in turn (then repeats the last); remembers the seed.
class FakeRandom final : public Random {
  public:
    unsigned seeded = 0;
    int seedCalls = 0;
    std::vector<int> values{0};
    std::size_t nextIndex = 0;

    void seed(unsigned value) override {
        seeded = value;
        ++seedCalls;
    }
    int next() override { return values[std::min(nextIndex++, values.size() - 1)]; }
};

}  // namespace kolu::test
