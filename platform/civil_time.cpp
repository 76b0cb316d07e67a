#include "platform/civil_time.h"

namespace kolu {
namespace {

bool isLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Leap days (29 Februaries) in the years 1 .. year, inclusive; floor division
// keeps it right for years before the common era too.
std::int64_t leapDaysThrough(std::int64_t year) {
    auto floorDiv = [](std::int64_t a, std::int64_t b) {
        return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
    };
    return floorDiv(year, 4) - floorDiv(year, 100) + floorDiv(year, 400);
}

constexpr int kDaysBeforeMonth[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

}  // namespace

std::int64_t secondsSinceEpoch(const SystemTime& utc) {
    const std::int64_t year = utc.year;
    // 29 Februaries from 1970-01-01 up to the date: those of the whole years
    // before it, and this year's once March has begun.
    std::int64_t leapDays = leapDaysThrough(year - 1) - leapDaysThrough(1969);
    const int month = utc.month < 1 ? 1 : (utc.month > 12 ? 12 : utc.month);
    if (month > 2 && isLeapYear(year)) {
        ++leapDays;
    }
    const std::int64_t days =
        365 * (year - 1970) + leapDays + kDaysBeforeMonth[month - 1] + utc.day - 1;
    return ((days * 24 + utc.hour) * 60 + utc.minute) * 60 + utc.second;
}

std::int64_t pobierz_czas(const Clock& clock) {
    return secondsSinceEpoch(clock.utcTime());
}

}  // namespace kolu
