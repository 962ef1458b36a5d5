// What a port's writes take on the line: the speed and character format the
// port was set to, and when what was written will have left it. Each serial
// backend keeps one per port; its readers and writers run on several threads.
#pragma once

#include "platform/serial.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>

namespace platform {

class LineClock {
public:
    void setFormat(const LineSettings& s)
    {
        baud_.store(s.baudRate, std::memory_order_relaxed);
        // Start bit, data bits, parity, stop bits (1.5 counts as 2).
        const std::uint32_t bits = 1 + s.dataBits + (s.parity == Parity::None ? 0 : 1)
            + (s.stopBits == StopBits::One ? 1 : 2);
        bitsPerChar_.store(bits, std::memory_order_relaxed);
    }

    std::uint32_t lineTimeUs(std::uint32_t chars) const
    {
        const std::uint64_t baud = baud_.load(std::memory_order_relaxed);
        const std::uint64_t bits = bitsPerChar_.load(std::memory_order_relaxed);
        return baud == 0 ? 0 : static_cast<std::uint32_t>(chars * bits * 1000000 / baud);
    }

    // Remembers when what was written will have left the line: its line time
    // after the write began, or after the end of what was still going out.
    void noteWritten(std::chrono::steady_clock::time_point start, std::uint32_t chars)
    {
        if (chars == 0)
            return;
        const auto end = std::max(start, writtenEnd()) + std::chrono::microseconds(lineTimeUs(chars));
        lastWriteEnd_.store(end.time_since_epoch().count(), std::memory_order_relaxed);
    }

    // When the last write will have left the line.
    std::chrono::steady_clock::time_point writtenEnd() const
    {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(lastWriteEnd_.load(std::memory_order_relaxed)));
    }

private:
    std::atomic<std::uint32_t> baud_{0};
    std::atomic<std::uint32_t> bitsPerChar_{10};
    std::atomic<std::chrono::steady_clock::rep> lastWriteEnd_{0};
};

}  // namespace platform
