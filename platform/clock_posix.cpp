#include "platform/clock.h"

#include <ctime>
#include <time.h>

namespace platform {

std::uint32_t tickCount()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u + ts.tv_nsec / 1000000);
}

void sleepMs(std::uint32_t ms)
{
    timespec req{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&req, &req) != 0) {
    }
}

SystemTime localTime()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    ::localtime_r(&ts.tv_sec, &tm);
    return SystemTime{static_cast<std::uint16_t>(tm.tm_year + 1900), static_cast<std::uint16_t>(tm.tm_mon + 1),
                      static_cast<std::uint16_t>(tm.tm_wday),         static_cast<std::uint16_t>(tm.tm_mday),
                      static_cast<std::uint16_t>(tm.tm_hour),         static_cast<std::uint16_t>(tm.tm_min),
                      static_cast<std::uint16_t>(tm.tm_sec),          static_cast<std::uint16_t>(ts.tv_nsec / 1000000)};
}

}  // namespace platform
