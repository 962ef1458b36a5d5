// The line of kl_poll: its devices are polled in turn, a cycle every period;
// the port's speed is switched between devices at different speeds. When the
// port fails (an adapter pulled out, a line hung up) it is closed at once, so
// that the system can take the device away and give its name to the adapter
// when it comes back; the loss is said once on standard error, and the port
// is opened again, with the same settings, as soon as the same name leads to
// a device. Then every device is identified again and polling goes on; when
// none answers, the name may lead to another device now than at the moment
// it was opened (a port that came back under a new device node), and the
// port is closed and opened by its name again until a device answers.
// Stop signals end the loop at any moment, the wait for the port included.
#pragma once

#include "device_poller.h"
#include "poll_options.h"
#include "stop_signals.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tools {

class PollLoop {
public:
    // Takes over `port`, opened at the first device's speed, and closes it at
    // the end.
    PollLoop(void* port, const PollOptions& options, std::vector<std::unique_ptr<DevicePoller>>& devices,
             StopSignals& stop);
    ~PollLoop();
    PollLoop(const PollLoop&) = delete;
    PollLoop& operator=(const PollLoop&) = delete;

    // Polls until a stop signal comes or every device has logged the count
    // of readings asked for.
    void run();

    long portLosses() const { return portLosses_; }

    // The wait between attempts to open a port that went away: the period,
    // but not below 100 ms (opening costs a look through the device names)
    // nor above 1 s (a returning port is taken within a second).
    static std::uint32_t reopenEveryMs(int periodMs);

private:
    bool allFinished() const;
    // Sets the port to `baudCode`; false when the port refuses.
    bool useSpeed(int baudCode);
    // Closes the failed port and waits for it to come back; false when a stop
    // signal came first.
    bool recover();
    // Closes the port and opens it by its name again as soon as the name
    // leads to a device; false when a stop signal came first.
    bool reopen();
    void reportFaults(std::uint32_t now);

    void* port_;
    const PollOptions& options_;
    std::vector<std::unique_ptr<DevicePoller>>& devices_;
    StopSignals& stop_;
    int baudCode_;
    long portLosses_ = 0;
    bool awaitingDevice_ = false;  // the port came back and no device has answered since
    std::uint32_t lastReport_;
    std::vector<kc::LinkCounts> reported_;
};

}  // namespace tools
