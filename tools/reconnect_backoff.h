// The waits between tries to reach the MQTT broker: kFirstMs after the first
// failure, then twice as long each time up to kLongestMs, so that a broker
// back after a restart is found within a second or two and one away for
// hours costs a try every half minute. A connection the broker accepted
// starts the series again.
#pragma once

#include <cstdint>

namespace tools {

class ReconnectBackoff {
public:
    static constexpr std::uint32_t kFirstMs = 500;
    static constexpr std::uint32_t kLongestMs = 30000;

    // The wait before the next try after a failure.
    std::uint32_t nextWaitMs();
    void connected() { waitMs_ = kFirstMs; }

private:
    std::uint32_t waitMs_ = kFirstMs;
};

}  // namespace tools
