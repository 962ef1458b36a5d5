// The machine-wide tuning of the command exchange: group [QRVX] of the system
// configuration file OSTRELAN/VA_ZIRUDEZOV.conf (platform/system_config.h).
//
// This platform tells a library nothing when a thread starts, so the values
// are read when the library is loaded and again at the start of every
// QRVXReadZero and QRVXWriteZero call: a changed file counts from the next
// exchange on, for every caller in the process.
#pragma once

#include <cstdint>

namespace qrvx {

struct Tuning {
    std::uint32_t zeroWaitTime = 500;  // ms a reply or an echo is awaited
    std::uint32_t zeroSyncWait = 400;  // ms a line end of the stream is awaited
    std::uint32_t zeroStrLen = 0;      // fewer packet bytes sent
};

// The values in force.
Tuning tuning();

// Reads the file again. A value that is missing or not a 32-bit number keeps
// what it had, as does every value when the file cannot be read.
void reloadTuning();

}  // namespace qrvx
