#include "platform/clock.h"

#include <cstdlib>
#include <ctime>

namespace kolu {
namespace {

SystemTime fromTm(const std::tm& tm, long nanoseconds) {
    SystemTime out;
    out.year = tm.tm_year + 1900;
    out.month = tm.tm_mon + 1;
    out.dayOfWeek = tm.tm_wday;
    out.day = tm.tm_mday;
    out.hour = tm.tm_hour;
    out.minute = tm.tm_min;
    // A leap second (tm_sec 60) is shown as the last second of its minute, as
    // the platform's broken-down time has no room for it.
    out.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    out.milliseconds = static_cast<int>(nanoseconds / 1000000);
    return out;
}

SystemTime now(bool local) {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    const bool ok =
        local ? localtime_r(&ts.tv_sec, &tm) != nullptr : gmtime_r(&ts.tv_sec, &tm) != nullptr;
    if (!ok) {
        return SystemTime{};  // only for times past the year 2^31
    }
    return fromTm(tm, ts.tv_nsec);
}

}  // namespace

SystemTime SystemClock::localTime() const {
    return now(true);
}

SystemTime SystemClock::utcTime() const {
    return now(false);
}

std::uint64_t SystemClock::monotonicMs() const {
    // Counts a suspend too, unlike CLOCK_MONOTONIC: a link silent through a
    // night's sleep is checked at the first tick after it, not minutes later.
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

std::uint32_t SystemClock::tickCount() const {
    return static_cast<std::uint32_t>(monotonicMs());  // wraps like GetTickCount
}

void CRandom::seed(unsigned value) {
    std::srand(value);
}

int CRandom::next() {
    return std::rand();
}

}  // namespace kolu
