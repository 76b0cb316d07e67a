#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

namespace kolu {
namespace {

// Sets TZ for one test and puts the old value back.
class ScopedTz {
  public:
    explicit ScopedTz(const char* tz) {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (m_had) {
            m_old = old;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (m_had) {
            setenv("TZ", m_old.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    bool m_had = false;
    std::string m_old;
};

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

long minutesSinceEpoch(const SystemTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * 1440 + t.hour * 60 + t.minute;
}

// 1970-01-01 was a Thursday (4).
int weekdayOf(const SystemTime& t) {
    return static_cast<int>(((daysFromCivil(t.year, t.month, t.day) % 7) + 11) % 7);
}

void expectValid(const SystemTime& t) {
    EXPECT_GE(t.year, 2020);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12) << t.month;
    EXPECT_TRUE(t.day >= 1 && t.day <= 31) << t.day;
    EXPECT_TRUE(t.hour >= 0 && t.hour <= 23) << t.hour;
    EXPECT_TRUE(t.minute >= 0 && t.minute <= 59) << t.minute;
    EXPECT_TRUE(t.second >= 0 && t.second <= 59) << t.second;
    EXPECT_TRUE(t.milliseconds >= 0 && t.milliseconds <= 999) << t.milliseconds;
    EXPECT_EQ(t.dayOfWeek, weekdayOf(t)) << t.year << "-" << t.month << "-" << t.day;
}

// Local minus UTC in minutes, read within one minute so a minute boundary can't
// fall between the two readings.
long offsetMinutes(const Clock& clock) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        const SystemTime before = clock.utcTime();
        const SystemTime local = clock.localTime();
        const SystemTime after = clock.utcTime();
        expectValid(before);
        expectValid(local);
        if (minutesSinceEpoch(before) == minutesSinceEpoch(after)) {
            return minutesSinceEpoch(local) - minutesSinceEpoch(before);
        }
    }
    ADD_FAILURE() << "clock kept crossing minute boundaries";
    return 0;
}

TEST(SystemClock, LocalTimeFollowsTheTimeZone) {
    SystemClock clock;
    struct Case {
        const char* tz;
        long offset;
    } cases[] = {
        {"UTC0", 0},
        {"XYZ-2", 120},
        {"ABC+5", -300},
        {"IST-5:30", 330},
    };
    for (const auto& c : cases) {
        ScopedTz tz(c.tz);
        EXPECT_EQ(offsetMinutes(clock), c.offset) << c.tz;
    }
}

TEST(SystemClock, UtcTimeMatchesTheCLibrary) {
    SystemClock clock;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const SystemTime utc = clock.utcTime();
        const std::time_t after = std::time(nullptr);
        if (before / 60 != after / 60) {
            continue;
        }
        EXPECT_EQ(minutesSinceEpoch(utc), static_cast<long>(before / 60));
        return;
    }
    FAIL() << "clock kept crossing minute boundaries";
}

TEST(SystemClock, TickCountNeverGoesBackAndAdvances) {
    SystemClock clock;
    std::uint32_t previous = clock.tickCount();
    for (int i = 0; i < 10000; ++i) {
        const std::uint32_t now = clock.tickCount();
        // Differences are taken modulo 2^32, as callers of a wrapping counter must.
        ASSERT_LT(static_cast<std::uint32_t>(now - previous), 0x80000000u);
        previous = now;
    }
    const std::uint32_t start = clock.tickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(static_cast<std::uint32_t>(clock.tickCount() - start), 29u);
}

TEST(CRandom, SeedRepeatsTheSequence) {
    CRandom random;
    random.seed(2007);
    std::vector<int> first;
    for (int i = 0; i < 20; ++i) {
        first.push_back(random.next());
        EXPECT_TRUE(first.back() >= 0 && first.back() <= RAND_MAX);
    }
    random.seed(2007);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(random.next(), first[i]) << i;
    }
    random.seed(911);
    std::vector<int> other;
    for (int i = 0; i < 20; ++i) {
        other.push_back(random.next());
    }
    EXPECT_NE(other, first);
}

}  // namespace
}  // namespace kolu
