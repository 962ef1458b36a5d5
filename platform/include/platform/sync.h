// Process-wide synchronisation objects by name, with the semantics of the
// operating systems the program came from: creating an object whose name
// exists opens that object; the object lives while any handle to it is open
// (closeHandle). A null or empty name makes an unnamed object.
#pragma once

#include "platform/handle.h"

#include <cstdint>

namespace platform {

constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

// A mutex owned by one thread at a time; the owner may take it again and must
// release it as often as it took it.
Handle createMutex(const char* name);
// True when the mutex was taken within `ms` milliseconds.
bool waitForMutex(Handle mutex, std::uint32_t ms);
// False when the calling thread does not own the mutex.
bool releaseMutex(Handle mutex);

// An event. A manual-reset event stays signalled until reset; an auto-reset
// event lets one waiter through and resets itself.
Handle createEvent(const char* name, bool manualReset, bool initiallySignalled);
bool setEvent(Handle event);
bool resetEvent(Handle event);
// True when the event was signalled within `ms` milliseconds (0 tests it
// without waiting).
bool waitForEvent(Handle event, std::uint32_t ms);
// Waits until one of `count` events is signalled; returns its index, or -1
// after `ms` milliseconds (or for a bad argument).
int waitForAnyEvent(const Handle* events, int count, std::uint32_t ms);

}  // namespace platform
