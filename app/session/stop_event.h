// The event that tells a session's worker threads to end, by the name both
// main windows give it.
#pragma once

#include "platform/handle.h"

// Manual reset, created signalled: no worker runs yet.
platform::Handle createStopEvent();
