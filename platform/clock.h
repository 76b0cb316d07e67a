#pragma once
// Time and randomness behind small interfaces so tests can fix them.
#include <cstdint>

namespace kolu {

// The fields of the platform's broken-down time (SYSTEMTIME).
struct SystemTime {
    int year = 0;
    int month = 0;      // 1..12
    int dayOfWeek = 0;  // 0 = Sunday
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual SystemTime localTime() const = 0;
    virtual SystemTime utcTime() const = 0;
    // Milliseconds since an arbitrary start, wrapping at 2^32 (GetTickCount).
    virtual std::uint32_t tickCount() const = 0;
    // Milliseconds since an arbitrary start, never wrapping: for waits that
    // may follow weeks of idleness.
    virtual std::uint64_t monotonicMs() const = 0;
};

class SystemClock final : public Clock {
  public:
    SystemTime localTime() const override;
    SystemTime utcTime() const override;
    std::uint32_t tickCount() const override;
    std::uint64_t monotonicMs() const override;
};

// The C library's pseudo-random generator (srand / rand).
class Random {
  public:
    virtual ~Random() = default;
    virtual void seed(unsigned value) = 0;
    virtual int next() = 0;  // 0..RAND_MAX
};

class CRandom final : public Random {
  public:
    void seed(unsigned value) override;
    int next() override;
};

}  // namespace kolu
