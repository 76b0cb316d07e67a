#include "platform/civil_time.h"

#include <ctime>

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

int daysInMonth(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads exactly `digits` decimal digits at `pos`, moving past them.
bool readDigits(std::u16string_view text, std::size_t& pos, std::size_t digits, int& value) {
    if (text.size() - pos < digits) {
        return false;
    }
    value = 0;
    for (std::size_t end = pos + digits; pos < end; ++pos) {
        if (text[pos] < u'0' || text[pos] > u'9') {
            return false;
        }
        value = value * 10 + (text[pos] - u'0');
    }
    return true;
}

bool readMark(std::u16string_view text, std::size_t& pos, char16_t mark) {
    if (pos >= text.size() || text[pos] != mark) {
        return false;
    }
    ++pos;
    return true;
}

int millisecondsOf(std::int64_t value) {
    return static_cast<int>(value % 1000 < 0 ? value % 1000 + 1000 : value % 1000);
}

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

std::optional<std::int64_t> parseUtcStamp(std::u16string_view text) {
    SystemTime t;
    std::size_t pos = 0;
    if (!readDigits(text, pos, 4, t.year) || !readMark(text, pos, u'-') ||
        !readDigits(text, pos, 2, t.month) || !readMark(text, pos, u'-') ||
        !readDigits(text, pos, 2, t.day) || !readMark(text, pos, u'T') ||
        !readDigits(text, pos, 2, t.hour) || !readMark(text, pos, u':') ||
        !readDigits(text, pos, 2, t.minute) || !readMark(text, pos, u':') ||
        !readDigits(text, pos, 2, t.second)) {
        return std::nullopt;
    }
    if (readMark(text, pos, u'.')) {
        int scale = 100;
        const std::size_t first = pos;
        for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
            t.milliseconds += (text[pos] - u'0') * scale;
            scale /= 10;
        }
        if (pos == first) {
            return std::nullopt;
        }
    }
    // A leap second (60) is kept as the last second of its minute.
    if (!readMark(text, pos, u'Z') || pos != text.size() || t.month < 1 || t.month > 12 ||
        t.day < 1 || t.day > daysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 ||
        t.second > 60) {
        return std::nullopt;
    }
    t.second = t.second == 60 ? 59 : t.second;
    return secondsSinceEpoch(t) * 1000 + t.milliseconds;
}

std::optional<SystemTime> localTimeAt(std::int64_t epochMs) {
    const int ms = millisecondsOf(epochMs);
    const std::time_t seconds = static_cast<std::time_t>((epochMs - ms) / 1000);
    std::tm tm{};
    if (localtime_r(&seconds, &tm) == nullptr) {
        return std::nullopt;
    }
    return SystemTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_wday, tm.tm_mday,
                      tm.tm_hour,        tm.tm_min,     tm.tm_sec,  ms};
}

std::int64_t epochMs(const Clock& clock) {
    const SystemTime utc = clock.utcTime();
    return secondsSinceEpoch(utc) * 1000 + utc.milliseconds;
}

}  // namespace kolu
