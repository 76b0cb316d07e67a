#pragma once
// Seconds since 1970-01-01 00:00:00 UTC computed from the clock's broken-down UTC
// time with plain Gregorian arithmetic. The CTCP PING request carries this value
// and its reply is measured against it, so both ends must count the same way.
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/clock.h"

namespace kolu {

// Whole seconds since the epoch for a UTC date and time (dates before 1970 give
// negative values). Fields are not normalised, except that a month outside
// 1..12 counts as the nearest valid one.
std::int64_t secondsSinceEpoch(const SystemTime& utc);

// The current time from the clock's UTC date and time.
std::int64_t pobierz_czas(const Clock& clock);

// Milliseconds since the epoch of a UTC time written "2026-12-08T10:15:30.123Z"
// (the fraction optional, any number of its digits, milliseconds kept); nothing
// for any other text or an impossible date or time.
std::optional<std::int64_t> parseUtcStamp(std::u16string_view text);

// The local date and time (the process's time zone) of a moment in milliseconds
// since the epoch; nothing when the C library can't convert it.
std::optional<SystemTime> localTimeAt(std::int64_t epochMs);

// The clock's UTC time in milliseconds since the epoch.
std::int64_t epochMs(const Clock& clock);

}  // namespace kolu
