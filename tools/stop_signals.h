// SIGINT and SIGTERM as a request to stop that a single-threaded program
// waits for: from construction on the two signals are held back instead of
// ending the process, and the program takes them up in its waits.
#pragma once

#include <cstdint>

namespace tools {

class StopSignals {
public:
    // Holds SIGINT and SIGTERM back; create it before any thread starts, so
    // that every thread inherits the mask. SIGPIPE is ignored, so that a
    // reader of the output that goes away ends no more than that output.
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Waits up to `ms` for a stop signal; true once one has come (then and
    // ever after). A wait of 0 tests without waiting.
    bool wait(std::uint32_t ms);
    bool requested() { return wait(0); }

private:
    bool stopped_ = false;
};

}  // namespace tools
