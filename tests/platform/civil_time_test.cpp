#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>

#include "platform/civil_time.h"
#include "tests/support/temp_dir.h"

namespace kolu {
namespace {

SystemTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return {year, month, 0, day, hour, minute, second, 0};
}

TEST(CivilTime, EveryDayFrom1900To2200MatchesTimegmAndBadMonthsStayInsideTheTable) {
    for (int year = 1900; year <= 2200; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 31; ++day) {
                // A time of day that moves with the date, so every field is exercised.
                const int hour = (day * 7 + month) % 24, minute = (year + day * 13) % 60,
                          second = (month * 17 + day) % 60;
                std::tm tm{second, minute, hour, day, month - 1, year - 1900, 0, 0, 0, 0, nullptr};
                const std::time_t expected = timegm(&tm);
                if (tm.tm_mday != day) {
                    continue;  // no such day in this month
                }
                ASSERT_EQ(secondsSinceEpoch(at(year, month, day, hour, minute, second)), expected)
                    << year << "-" << month << "-" << day;
            }
        }
    }
    EXPECT_EQ(secondsSinceEpoch(at(2001, 0, 1)), secondsSinceEpoch(at(2001, 1, 1)));
    EXPECT_EQ(secondsSinceEpoch(at(2001, 13, 1)), secondsSinceEpoch(at(2001, 12, 1)));
}

void expectSameMinute(const SystemTime& t, const std::tm& tm) {
    EXPECT_EQ(t.year, tm.tm_year + 1900);
    EXPECT_EQ(t.month, tm.tm_mon + 1);
    EXPECT_EQ(t.day, tm.tm_mday);
    EXPECT_EQ(t.dayOfWeek, tm.tm_wday);
    EXPECT_EQ(t.hour, tm.tm_hour);
    EXPECT_EQ(t.minute, tm.tm_min);
    EXPECT_TRUE(t.milliseconds >= 0 && t.milliseconds <= 999) << t.milliseconds;
}

// A zone with a half-hour offset, so local and UTC times differ in every field
// that can be mixed up.
TEST(SystemClock, LocalAndUtcTimesMatchTheCLibraryAndTicksAreMilliseconds) {
    auto zone = std::make_unique<test::ScopedEnv>("TZ", "IST-5:30");
    tzset();
    SystemClock clock;
    bool compared = false;
    for (int attempt = 0; attempt < 5 && !compared; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const SystemTime utc = clock.utcTime(), local = clock.localTime();
        if (std::time(nullptr) / 60 != before / 60) {
            continue;  // a minute boundary fell between the readings
        }
        std::tm utcTm{}, localTm{};
        gmtime_r(&before, &utcTm);
        localtime_r(&before, &localTm);
        expectSameMinute(utc, utcTm);
        expectSameMinute(local, localTm);
        compared = true;
    }
    EXPECT_TRUE(compared) << "the clock kept crossing minute boundaries";
    zone.reset();
    tzset();

    const std::uint32_t start = clock.tickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // Differences are taken modulo 2^32, as callers of a wrapping counter must.
    const std::uint32_t elapsed = clock.tickCount() - start;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 5000u);
}

}  // namespace
}  // namespace kolu
