// What the backend-independent serial layer needs of the machine's backend
// (serial_posix.cpp here; a Windows backend would sit beside it).
#pragma once

#include "platform/serial.h"

namespace platform {

// Opens a serial device of the machine exclusively; on failure the invalid
// handle, with the reason in `why`.
Handle openSystemPort(const char* name, OpenError& why);

}  // namespace platform
