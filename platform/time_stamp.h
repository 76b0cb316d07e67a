#pragma once
// The time and date texts put in front of printed lines, log entries and log file names.
#include <string>

#include "platform/clock.h"

namespace kolu {

// "[hh:mm] " with two digits each: at 9:05 "[09:05] ".
std::u16string timeStamp(const SystemTime& time);

// "[year.month.day]" in plain decimal, then the time stamp: "[2007.9.11][20:08] ".
std::u16string errorLogStamp(const SystemTime& time);

}  // namespace kolu
