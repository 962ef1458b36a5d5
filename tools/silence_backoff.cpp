#include "silence_backoff.h"

#include <algorithm>

namespace tools {

void SilenceBackoff::silent(std::uint32_t now)
{
    if (++silentTurns_ < kSilentTurnsAskedEveryCycle)
        return;
    const std::uint32_t longest = std::max(kLongestWaitMs, periodMs_);
    waitMs_ = waitMs_ == 0 ? 2 * periodMs_ : 2 * waitMs_;
    waitMs_ = std::min(waitMs_, longest);
    nextTry_ = now + waitMs_;
}

void SilenceBackoff::answered()
{
    silentTurns_ = 0;
    waitMs_ = 0;
}

}  // namespace tools
