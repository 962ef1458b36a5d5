// The polling cycle of kl_poll, as the program's main window polls: identify
// the device (again every 2 s until it answers), read its mode and
// emissivity, then per cycle the state (about every 6 s) and, while the
// thermostat is settled, the five measurement words. Link errors are said on
// standard error and polling goes on.
#pragma once

#include "poll_options.h"
#include "reading_outputs.h"
#include "stop_signals.h"

#include <cstdint>
#include <string>

namespace tools {

class PollLoop {
public:
    PollLoop(void* port, const PollOptions& options, ReadingOutputs& outputs, StopSignals& stop);

    // Polls until a stop signal comes or the options' count of readings is
    // logged.
    void run();

    long readings() const { return readings_; }
    long failures() const { return failures_; }

private:
    // Result of a request abandoned for a stop signal.
    static constexpr int kStopped = -1;

    template <typename Request>
    int withAttempts(Request request);
    void report(const char* caption, int code);

    // False when stopped before the device answered.
    bool identify();
    // The mode and emissivity; defaults (mode 0) with a message when they
    // cannot be read. False when stopped.
    bool readSettings();
    // False when stopped or done.
    bool pollState();
    bool pollTemperature();
    void startClock();
    std::int64_t elapsedMs();

    void* port_;
    PollOptions options_;
    ReadingOutputs& outputs_;
    StopSignals& stop_;
    char address_;
    unsigned mode_ = 0;
    unsigned short emissivity_ = 0;
    std::uint8_t state_ = 0;
    bool settled_ = true;
    bool started_ = false;
    std::uint32_t lastTick_ = 0;
    std::int64_t elapsed_ = 0;
    long readings_ = 0;
    long failures_ = 0;
};

}  // namespace tools
