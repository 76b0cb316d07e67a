#pragma once
// Seconds since 1970-01-01 00:00:00 UTC computed from the clock's broken-down UTC
// time with plain Gregorian arithmetic. The CTCP PING request carries this value
// and its reply is measured against it, so both ends must count the same way.
#include <cstdint>

#include "platform/clock.h"

namespace kolu {

// Whole seconds since the epoch for a UTC date and time (dates before 1970 give
// negative values). Fields are not normalised, except that a month outside
// 1..12 counts as the nearest valid one.
std::int64_t secondsSinceEpoch(const SystemTime& utc);

// The current time from the clock's UTC date and time.
std::int64_t pobierz_czas(const Clock& clock);

}  // namespace kolu
