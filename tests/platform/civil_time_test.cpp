// Seconds since the epoch from a broken-down UTC time, against the C library.
#include <gtest/gtest.h>

#include <ctime>

#include "platform/civil_time.h"
#include "tests/support/fake_clock.h"

namespace kolu {
namespace {

std::int64_t libraryTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&fields));
}

SystemTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    SystemTime time;
    time.year = year;
    time.month = month;
    time.day = day;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    return time;
}

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysIn(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

TEST(CivilTime, EveryDayFrom1970To2200MatchesTimegm) {
    int checked = 0;
    for (int year = 1970; year <= 2200; ++year) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= daysIn(year, month); ++day) {
                // A time of day that moves with the date, so every field is exercised.
                const int hour = (day * 7 + month) % 24;
                const int minute = (year + day * 13) % 60;
                const int second = (month * 17 + day) % 60;
                ASSERT_EQ(secondsSinceEpoch(at(year, month, day, hour, minute, second)),
                          libraryTime(year, month, day, hour, minute, second))
                    << year << "-" << month << "-" << day;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 84000);
}

TEST(CivilTime, LeapDaysAndCenturyRules) {
    struct Case {
        int year, month, day, hour, minute, second;
    };
    const Case cases[] = {
        {1970, 1, 1, 0, 0, 0},      {1972, 2, 29, 23, 59, 59},  {1972, 3, 1, 0, 0, 0},
        {1999, 12, 31, 23, 59, 59}, {2000, 2, 29, 12, 0, 0},    {2000, 3, 1, 0, 0, 0},
        {2038, 1, 19, 3, 14, 8},    {2100, 2, 28, 23, 59, 59},  {2100, 3, 1, 0, 0, 0},
        {2400, 2, 29, 0, 0, 0},     {2400, 12, 31, 23, 59, 59},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(secondsSinceEpoch(at(c.year, c.month, c.day, c.hour, c.minute, c.second)),
                  libraryTime(c.year, c.month, c.day, c.hour, c.minute, c.second))
            << c.year << "-" << c.month << "-" << c.day;
    }
    EXPECT_EQ(secondsSinceEpoch(at(1970, 1, 1)), 0);
    // 2100 is not a leap year: 28 February and 1 March are one day apart.
    EXPECT_EQ(secondsSinceEpoch(at(2100, 3, 1)) - secondsSinceEpoch(at(2100, 2, 28)), 86400);
    EXPECT_EQ(secondsSinceEpoch(at(2000, 3, 1)) - secondsSinceEpoch(at(2000, 2, 28)), 2 * 86400);
}

TEST(CivilTime, BeforeTheEpochCountsBackwards) {
    for (int year : {1900, 1960, 1968, 1969}) {
        EXPECT_EQ(secondsSinceEpoch(at(year, 3, 1, 6, 30, 15)), libraryTime(year, 3, 1, 6, 30, 15))
            << year;
    }
}

TEST(CivilTime, OutOfRangeMonthsStayInsideTheTable) {
    EXPECT_EQ(secondsSinceEpoch(at(2001, 0, 1)), secondsSinceEpoch(at(2001, 1, 1)));
    EXPECT_EQ(secondsSinceEpoch(at(2001, 13, 1)), secondsSinceEpoch(at(2001, 12, 1)));
}

TEST(CivilTime, TheCurrentTimeComesFromTheClocksUtcTime) {
    test::FakeClock clock;
    clock.utc = at(2007, 9, 2, 11, 18, 8);
    clock.local = at(2007, 9, 2, 13, 18, 8);  // must not be used
    EXPECT_EQ(pobierz_czas(clock), 1188731888);
}

}  // namespace
}  // namespace kolu
