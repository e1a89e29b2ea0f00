#pragma once

// The program's date-time: a double whose integer part counts days so that 1 January of
// year 1 is day 1 (proleptic Gregorian; 30 December 1899 is day 693594) and whose
// fraction is the time of day. Always local time.

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace ferry {

using DateTime = double;

// A broken-down time, each field as the calendar reads it (month 1-12, day 1-31).
struct SystemTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;  // 0 Sunday .. 6 Saturday
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

// The current local time, to the millisecond.
DateTime now(Platform& system);

// False (and `value` 0) for a field out of range: year above 9999, month or day 0 or too
// large, hour above 23, minute or second above 59, milliseconds above 999.
bool systemTimeToDateTime(const SystemTime& time, DateTime& value);
// False, leaving `time` untouched, for values below day 1.
bool dateTimeToSystemTime(DateTime value, SystemTime& time);

// File time (UTC) to local DateTime and back; false (output 0 / untouched) when a step
// fails, as for dates the file-time range cannot hold.
bool fileTimeToDateTime(Platform& system, FileTime fileTime, DateTime& value);
bool dateTimeToFileTime(Platform& system, DateTime value, FileTime& fileTime);

// The user's short date and time, joined by one space. Values below 1.0 are shown one
// day later (a never-set time reads as the first day of year 1).
std::string dateTimeToText(DateTime value);

}  // namespace ferry
