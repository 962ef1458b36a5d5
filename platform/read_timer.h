// Turns a port's read time-outs into the waits of one read call, so that every
// backend gives a read the same timing. Times are those of the port's line
// clock (the steady clock unless the backend keeps its own).
#pragma once

#include "platform/serial.h"

#include <chrono>
#include <cstdint>

namespace platform {

class ReadTimer {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::int64_t kForever = -1;

    // `limitMs` (kNoLimit: none) caps the whole read, whatever the time-outs.
    ReadTimer(const Timeouts& timeouts, std::uint32_t size, std::uint32_t limitMs = kNoLimit,
              Clock::time_point start = Clock::now());

    // How long the read may still wait for more bytes at `now`, given that
    // `got` bytes have arrived so far: 0 ends the read, kForever means no
    // limit.
    std::int64_t waitMs(std::uint32_t got, Clock::time_point now = Clock::now());

private:

    enum class Mode { AtOnce, FirstByte, Total };

    Mode mode_;
    Clock::time_point start_;
    Clock::time_point lastByte_;
    std::uint32_t lastGot_ = 0;
    std::int64_t totalMs_ = kForever;
    std::int64_t intervalMs_ = kForever;
};

}  // namespace platform
