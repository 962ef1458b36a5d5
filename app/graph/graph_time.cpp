#include "graph/graph_time.h"

#include "range_format.h"
#include "graph/text_format.h"

#include <cstdint>

namespace graph {
namespace {

constexpr std::int64_t kUnitsPerMs = 10000;  // file times count 100 ns
constexpr std::int64_t kUnitsPerDay = 86400000LL * kUnitsPerMs;

}  // namespace

ClockTime clockTimeAfter(const platform::SystemTime* begin, long ms)
{
    std::uint64_t base = 0;
    if (begin == nullptr || !platform::systemTimeToFileTime(*begin, base))
        base = 0;
    const std::int64_t moment = static_cast<std::int64_t>(base) + static_cast<std::int64_t>(ms) * kUnitsPerMs;

    ClockTime clock;
    platform::SystemTime date{};
    if (moment >= 0 && platform::fileTimeToSystemTime(static_cast<std::uint64_t>(moment), date)) {
        clock.year = date.year;
        clock.month = date.month;
        clock.day = date.day;
    }
    // 1601-01-01 began at midnight, so the time of day is the moment modulo a day.
    const std::int64_t ofDay = ((moment % kUnitsPerDay) + kUnitsPerDay) % kUnitsPerDay / kUnitsPerMs;
    clock.hour = static_cast<unsigned>(ofDay / 3600000);
    clock.minute = static_cast<unsigned>(ofDay / 60000 % 60);
    clock.second = static_cast<unsigned>(ofDay / 1000 % 60);
    clock.milliseconds = static_cast<unsigned>(ofDay % 1000);
    return clock;
}

std::string formatTime(long ms, bool clockTime, const platform::SystemTime* begin)
{
    if (!clockTime)
        return rangebar::formatOutTime(ms);
    const ClockTime clock = clockTimeAfter(begin, ms);
    const std::string hours = clock.hour != 0 ? cformat("%02u:", clock.hour) : std::string();
    const std::string minutes =
        (clock.minute != 0 || clock.hour != 0) ? cformat("%02u:", clock.minute) : std::string();
    return cformat("%s%s%02u.%02u", hours.c_str(), minutes.c_str(), clock.second, clock.milliseconds / 10);
}

}  // namespace graph
