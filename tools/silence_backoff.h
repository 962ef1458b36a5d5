// How often a device on a shared line that has stopped answering is asked, so
// that a silent device costs the others as few time-outs as possible and is
// still found again soon after it answers: every cycle for its first
// kSilentTurnsAskedEveryCycle silent turns, then after waits that begin at
// two periods and double up to kLongestWaitMs (or one period, when that is
// longer). Any answer ends the back-off.
#pragma once

#include <cstdint>

namespace tools {

class SilenceBackoff {
public:
    static constexpr int kSilentTurnsAskedEveryCycle = 3;
    static constexpr std::uint32_t kLongestWaitMs = 5000;

    explicit SilenceBackoff(std::uint32_t periodMs) : periodMs_(periodMs) {}

    // Whether the device is asked in a cycle that begins at tick `now`.
    bool due(std::uint32_t now) const
    {
        return waitMs_ == 0 || static_cast<std::int32_t>(now - nextTry_) >= 0;
    }
    // The device's turn that began at tick `now` ended without an answer.
    void silent(std::uint32_t now);
    void answered();

    // The wait before the next question; 0 while asked every cycle.
    std::uint32_t waitMs() const { return waitMs_; }

private:
    std::uint32_t periodMs_;
    int silentTurns_ = 0;
    std::uint32_t waitMs_ = 0;
    std::uint32_t nextTry_ = 0;
};

}  // namespace tools
