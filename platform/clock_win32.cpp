#include "platform/clock.h"

#include <windows.h>

namespace platform {

namespace {

// SystemTime has SYSTEMTIME's fields in SYSTEMTIME's order.
SYSTEMTIME toSystem(const SystemTime& t)
{
    return SYSTEMTIME{t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
}

SystemTime fromSystem(const SYSTEMTIME& t)
{
    return SystemTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace

std::uint32_t tickCount()
{
    return ::GetTickCount();
}

void sleepMs(std::uint32_t ms)
{
    ::Sleep(ms);
}

SystemTime localTime()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return fromSystem(now);
}

bool systemTimeToFileTime(const SystemTime& time, std::uint64_t& fileTime)
{
    const SYSTEMTIME in = toSystem(time);
    FILETIME out{};
    if (!::SystemTimeToFileTime(&in, &out))
        return false;
    fileTime = (std::uint64_t{out.dwHighDateTime} << 32) | out.dwLowDateTime;
    return true;
}

bool fileTimeToSystemTime(std::uint64_t fileTime, SystemTime& time)
{
    const FILETIME in{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
    SYSTEMTIME out{};
    if (!::FileTimeToSystemTime(&in, &out))
        return false;
    time = fromSystem(out);
    return true;
}

}  // namespace platform
