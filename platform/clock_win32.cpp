#include "platform/clock.h"

#include <windows.h>

namespace platform {

namespace {

SystemTime fromSystem(const SYSTEMTIME& t)
{
    return SystemTime{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

}  // namespace

// From the performance counter: GetTickCount moves in steps of 10 to 16 ms.
std::uint32_t tickCount()
{
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f{};
        ::QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    const std::int64_t seconds = now.QuadPart / frequency;
    const std::int64_t rest = now.QuadPart % frequency;
    return static_cast<std::uint32_t>(seconds * 1000 + rest * 1000 / frequency);
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

}  // namespace platform
