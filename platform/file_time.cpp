// Calendar moments and 100-ns counts since 1601, by arithmetic alone, so that
// every system takes and refuses the same fields.
#include "platform/clock.h"

namespace platform {

namespace {

constexpr std::uint64_t kTicksPerMs = 10000;
constexpr std::uint64_t kTicksPerDay = 86400000ull * kTicksPerMs;

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1601-01-01 to the first day of year y.
std::int64_t daysBeforeYear(int y)
{
    const std::int64_t n = y - 1601;
    return n * 365 + n / 4 - n / 100 + n / 400;
}

}  // namespace

bool systemTimeToFileTime(const SystemTime& t, std::uint64_t& fileTime)
{
    if (t.year < 1601 || t.year > 30827 || t.month < 1 || t.month > 12 || t.day < 1
        || t.day > daysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59
        || t.milliseconds > 999)
        return false;
    std::int64_t days = daysBeforeYear(t.year);
    for (int m = 1; m < t.month; ++m)
        days += daysInMonth(t.year, m);
    days += t.day - 1;
    const std::uint64_t ms = ((static_cast<std::uint64_t>(t.hour) * 60 + t.minute) * 60 + t.second) * 1000
        + t.milliseconds;
    fileTime = static_cast<std::uint64_t>(days) * kTicksPerDay + ms * kTicksPerMs;
    return true;
}

bool fileTimeToSystemTime(std::uint64_t fileTime, SystemTime& t)
{
    std::int64_t days = static_cast<std::int64_t>(fileTime / kTicksPerDay);
    std::uint64_t ms = (fileTime % kTicksPerDay) / kTicksPerMs;
    if (days > daysBeforeYear(30828))
        return false;
    // 1 January 1601 was a Monday.
    const auto dayOfWeek = static_cast<std::uint16_t>((days + 1) % 7);
    int year = 1601 + static_cast<int>(days / 366);
    while (daysBeforeYear(year + 1) <= days)
        ++year;
    days -= daysBeforeYear(year);
    int month = 1;
    while (days >= daysInMonth(year, month))
        days -= daysInMonth(year, month++);
    t.year = static_cast<std::uint16_t>(year);
    t.month = static_cast<std::uint16_t>(month);
    t.dayOfWeek = dayOfWeek;
    t.day = static_cast<std::uint16_t>(days + 1);
    t.milliseconds = static_cast<std::uint16_t>(ms % 1000);
    ms /= 1000;
    t.second = static_cast<std::uint16_t>(ms % 60);
    ms /= 60;
    t.minute = static_cast<std::uint16_t>(ms % 60);
    t.hour = static_cast<std::uint16_t>(ms / 60);
    return true;
}

}  // namespace platform
