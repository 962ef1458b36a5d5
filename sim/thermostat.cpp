#include "thermostat.h"

#include <algorithm>
#include <cmath>

namespace sim {

Thermostat::Thermostat(int start, std::chrono::milliseconds settling, Clock::time_point powerUp)
    : start_(std::clamp(start, 0, 127)), settling_(settling), powerUp_(powerUp)
{
}

int Thermostat::value(Clock::time_point now) const
{
    if (settling_.count() <= 0 || now >= powerUp_ + settling_)
        return 0;
    const double left = 1.0 - std::chrono::duration<double>(now - powerUp_) / settling_;
    return std::clamp(static_cast<int>(std::ceil(start_ * std::min(left, 1.0))), 0, start_);
}

std::uint8_t Thermostat::statusByte(Clock::time_point now) const
{
    const int v = value(now);
    return static_cast<std::uint8_t>(v == 0 ? 0 : 0x80 | v);
}

}  // namespace sim
