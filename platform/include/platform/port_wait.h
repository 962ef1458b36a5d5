// Waiting for a port's input and for events at once: a reader that must also
// see a stop request sleeps until either comes, instead of waking on a timer
// to look.
#pragma once

#include "platform/handle.h"

#include <cstdint>

namespace platform {

// Waits until one of `count` events (1 to 16) is signalled or the port has
// bytes to read (or its line failed, which the next read reports). Returns the
// index of the first signalled event, consuming an auto-reset one; `count` for
// the port; -1 after `ms` milliseconds (kInfinite: no limit) or for a handle
// that is no port or no event. Signalled events come before the port.
int waitForPortOrEvents(Handle port, const Handle* events, int count, std::uint32_t ms);

}  // namespace platform
