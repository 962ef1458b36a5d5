// The thermostat of a simulated pyrometer: its value falls from a start value
// to 0 (settled) over a settling time after power-up.
#pragma once

#include <chrono>
#include <cstdint>

namespace sim {

class Thermostat {
public:
    using Clock = std::chrono::steady_clock;

    // `start` is clamped to 0..127; a settling time of 0 settles at once.
    Thermostat(int start, std::chrono::milliseconds settling, Clock::time_point powerUp);

    // 0 when settled; otherwise falls linearly, never reaching 0 early.
    int value(Clock::time_point now) const;

    // The status byte of function 7: the value in bits 0-6 and bit 7 (the
    // setting-up state) while the value is not 0.
    std::uint8_t statusByte(Clock::time_point now) const;

private:
    int start_;
    std::chrono::milliseconds settling_;
    Clock::time_point powerUp_;
};

}  // namespace sim
