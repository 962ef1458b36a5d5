// Waiting on a port and events together with poll: the port's descriptor
// beside the events' wake descriptors, so that an idle reader sleeps until
// bytes or a stop request come.
#include "platform/port_wait.h"

#include "platform/serial.h"
#include "platform/sync.h"

#include "held_events.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks again at what it cannot poll: a port or an event
// without a descriptor.
constexpr int kLookAgainMs = 1;

}  // namespace

int waitForPortOrEvents(Handle port, const Handle* events, int count, std::uint32_t ms)
{
    detail::HeldEvents held;
    const auto serial = serialPortOf(port);
    if (!serial || !held.hold(events, count))
        return -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    pollfd fds[detail::HeldEvents::kMax + 1];
    for (;;) {
        if (const int index = held.takeSignalled(); index >= 0)
            return index;
        if (serial->hasBufferedInput())
            return count;
        int watched = 0;
        bool blind = false;
        const int portFd = serial->pollDescriptor();
        if (portFd >= 0)
            fds[watched++] = {portFd, POLLIN, 0};
        else
            blind = true;
        for (int i = 0; i < count; ++i) {
            const int wake = held.wakeDescriptor(i);
            if (wake >= 0)
                fds[watched++] = {wake, POLLIN, 0};
            else
                blind = true;
        }
        int timeout = -1;
        if (ms != kInfinite) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            timeout = static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
        }
        if (blind)
            timeout = timeout < 0 ? kLookAgainMs : std::min(timeout, kLookAgainMs);
        const int ready = ::poll(fds, static_cast<nfds_t>(watched), timeout);
        if (ready < 0 && errno != EINTR)
            return -1;
        // Signalled events win over the port, as when both were ready before
        // the wait; a hung-up or failed line reports through the next read.
        if (ready > 0 && portFd >= 0 && fds[0].revents != 0) {
            const int index = held.takeSignalled();
            return index >= 0 ? index : count;
        }
        if (ready == 0 && ms != kInfinite && Clock::now() >= deadline) {
            const int index = held.takeSignalled();
            return index >= 0 ? index : (serial->hasBufferedInput() ? count : -1);
        }
    }
}

}  // namespace platform
