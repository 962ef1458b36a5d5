#include "read_timer.h"

#include <algorithm>

namespace platform {

ReadTimer::ReadTimer(const Timeouts& t, std::uint32_t size, std::uint32_t limitMs, Clock::time_point start)
    : start_(start), lastByte_(start_)
{
    if (t.readInterval == kMaxTimeout && t.readMultiplier == 0 && t.readConstant == 0) {
        mode_ = Mode::AtOnce;
    } else if (t.readInterval == kMaxTimeout && t.readMultiplier == kMaxTimeout && t.readConstant > 0
               && t.readConstant < kMaxTimeout) {
        mode_ = Mode::FirstByte;
        totalMs_ = t.readConstant;
    } else {
        mode_ = Mode::Total;
        if (t.readMultiplier != 0 || t.readConstant != 0)
            totalMs_ = static_cast<std::int64_t>(t.readMultiplier) * size + t.readConstant;
        // An interval of kMaxTimeout with a total limit means the total alone counts.
        if (t.readInterval != 0 && t.readInterval != kMaxTimeout)
            intervalMs_ = t.readInterval;
    }
    if (mode_ != Mode::AtOnce && limitMs != kNoLimit)
        totalMs_ = totalMs_ == kForever ? limitMs : std::min<std::int64_t>(totalMs_, limitMs);
}

std::int64_t ReadTimer::waitMs(std::uint32_t got, Clock::time_point now)
{
    if (got != lastGot_) {
        lastGot_ = got;
        lastByte_ = now;
    }
    if (mode_ == Mode::AtOnce)
        return 0;
    if (mode_ == Mode::FirstByte && got > 0)
        return 0;

    auto msSince = [now](Clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(now - t).count();
    };
    std::int64_t wait = kForever;
    if (totalMs_ != kForever)
        wait = std::max<std::int64_t>(0, totalMs_ - msSince(start_));
    if (intervalMs_ != kForever && got > 0) {
        const std::int64_t intervalLeft = std::max<std::int64_t>(0, intervalMs_ - msSince(lastByte_));
        wait = wait == kForever ? intervalLeft : std::min(wait, intervalLeft);
    }
    return wait;
}

}  // namespace platform
