// Ticks, sleeping and calendar time.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds of a monotonic clock, wrapping around every 49.7 days;
// differences of two ticks taken as unsigned 32-bit values are durations.
std::uint32_t tickCount();

void sleepMs(std::uint32_t ms);

// A calendar moment: eight unsigned 16-bit fields, 16 bytes, as stored in
// measurement files. dayOfWeek counts from Sunday = 0.
struct SystemTime {
    std::uint16_t year;
    std::uint16_t month;
    std::uint16_t dayOfWeek;
    std::uint16_t day;
    std::uint16_t hour;
    std::uint16_t minute;
    std::uint16_t second;
    std::uint16_t milliseconds;
};
static_assert(sizeof(SystemTime) == 16, "SystemTime is stored as 16 bytes");

// The local time now, to the millisecond.
SystemTime localTime();

// A calendar moment as 100-ns intervals since 1 January 1601 and back, with
// the fields taken as they are (no time-zone conversion). False for fields
// outside the calendar (month 13, day 0, year before 1601, ...).
bool systemTimeToFileTime(const SystemTime& time, std::uint64_t& fileTime);
bool fileTimeToSystemTime(std::uint64_t fileTime, SystemTime& time);

}  // namespace platform
