#include "reconnect_backoff.h"

#include <algorithm>

namespace tools {

std::uint32_t ReconnectBackoff::nextWaitMs()
{
    const std::uint32_t wait = waitMs_;
    waitMs_ = std::min(waitMs_ * 2, kLongestMs);
    return wait;
}

}  // namespace tools
