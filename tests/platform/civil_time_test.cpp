#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>
#include <tuple>

#include "platform/civil_time.h"
#include "platform/text.h"
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

std::int64_t timegmMs(int year, int month, int day, int hour, int minute, int second, int ms) {
    std::tm tm{second, minute, hour, day, month - 1, year - 1900, 0, 0, 0, 0, nullptr};
    return static_cast<std::int64_t>(timegm(&tm)) * 1000 + ms;
}

TEST(UtcStamp, ReadsTheServersFormatWithAnyFractionAndRefusesEverythingElse) {
    const std::pair<std::u16string_view, std::int64_t> good[] = {
        {u"2026-12-08T10:15:30.123Z", timegmMs(2026, 12, 8, 10, 15, 30, 123)},
        {u"2026-12-08T10:15:30.5Z", timegmMs(2026, 12, 8, 10, 15, 30, 500)},
        {u"2026-12-08T10:15:30.123999Z", timegmMs(2026, 12, 8, 10, 15, 30, 123)},
        {u"2024-02-29T23:59:59Z", timegmMs(2024, 2, 29, 23, 59, 59, 0)},
        {u"2016-12-31T23:59:60Z", timegmMs(2016, 12, 31, 23, 59, 59, 0)},
    };
    for (const auto& [stamp, ms] : good) {
        EXPECT_EQ(parseUtcStamp(stamp), ms) << toUtf8(stamp);
    }
    for (std::u16string_view bad :
         {u"", u"2026-12-08T10:15:30", u"2026-12-08 10:15:30Z", u"2026-12-08T10:15:30.Z",
          u"2026-12-08T10:15:30ZZ", u"2026-12-08T10:15:3Z", u"2026-12-08T1a:15:30Z",
          u"2026-12-08T10:15:30+01:00", u"2026-02-29T00:00:00Z", u"2026-04-31T00:00:00Z",
          u"2026-00-10T00:00:00Z", u"2026-13-10T00:00:00Z", u"2026-12-00T00:00:00Z",
          u"2026-12-08T24:00:00Z", u"2026-12-08T10:60:00Z", u"2026-12-08T10:15:61Z",
          u"-026-12-08T10:15:30Z", u"1765188930"}) {
        EXPECT_FALSE(parseUtcStamp(bad)) << toUtf8(bad);
    }
}

// Zones ahead of UTC by a half hour and behind it: the date moves across midnight.
TEST(UtcStamp, LocalTimeFollowsTheZoneAcrossMidnight) {
    const std::tuple<const char*, std::int64_t, SystemTime> cases[] = {
        {"IST-5:30", timegmMs(2026, 12, 8, 20, 15, 30, 250), {2026, 12, 3, 9, 1, 45, 30, 250}},
        {"IST-5:30", timegmMs(2026, 12, 8, 18, 29, 59, 0), {2026, 12, 2, 8, 23, 59, 59, 0}},
        {"EST5", timegmMs(2027, 1, 1, 3, 0, 0, 7), {2026, 12, 4, 31, 22, 0, 0, 7}},
        {"UTC0", -1, {1969, 12, 3, 31, 23, 59, 59, 999}},
    };
    const auto fields = [](const SystemTime& t) {
        return std::tuple(t.year, t.month, t.day, t.dayOfWeek, t.hour, t.minute, t.second,
                          t.milliseconds);
    };
    for (const auto& [zoneName, at, expected] : cases) {
        test::ScopedEnv zone("TZ", zoneName);
        tzset();
        const std::optional<SystemTime> local = localTimeAt(at);
        ASSERT_TRUE(local) << zoneName;
        EXPECT_EQ(fields(*local), fields(expected)) << zoneName << " " << at;
    }
    tzset();
}

}  // namespace
}  // namespace kolu
