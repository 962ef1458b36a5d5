// Waiting on a port and events together. The port is opened without
// overlapped I/O, so the system cannot wait on it beside the events: the
// events are waited for in steps of a millisecond, and the port's input
// queue is looked at between the steps.
#include "platform/port_wait.h"

#include "platform/serial.h"
#include "platform/sync.h"

#include "win32_object.h"

#include <algorithm>
#include <chrono>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kLookAgainMs = 1;

}  // namespace

int waitForPortOrEvents(Handle port, const Handle* events, int count, std::uint32_t ms)
{
    constexpr int kMaxEvents = 16;
    const auto serial = serialPortOf(port);
    if (!serial || events == nullptr || count <= 0 || count > kMaxEvents)
        return -1;
    std::shared_ptr<detail::Win32Object> held[kMaxEvents];
    HANDLE handles[kMaxEvents];
    for (int i = 0; i < count; ++i) {
        if (!(held[i] = detail::win32Object(events[i], detail::Win32Object::Kind::Event)))
            return -1;
        handles[i] = held[i]->handle();
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        // Signalled events come before the port.
        DWORD r = ::WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE, 0);
        if (r < WAIT_OBJECT_0 + static_cast<DWORD>(count))
            return static_cast<int>(r - WAIT_OBJECT_0);
        if (serial->hasBufferedInput())
            return count;
        DWORD step = kLookAgainMs;
        if (ms != kInfinite) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return -1;
            step = static_cast<DWORD>(std::min<long long>(left, kLookAgainMs));
        }
        r = ::WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE, step);
        if (r < WAIT_OBJECT_0 + static_cast<DWORD>(count))
            return static_cast<int>(r - WAIT_OBJECT_0);
        if (r == WAIT_FAILED)
            return -1;
    }
}

}  // namespace platform
