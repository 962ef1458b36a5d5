// Faults switched while the simulator runs, from a control file that a test
// or a user writes (--control FILE). One line per device:
//
//     ADDRESS FAULTS [MS]
//
// FAULTS as the key fault= takes them (F[+F...]), or "none"; MS how long they
// last, for good when left out. The file is read again whenever it changes. A
// line that is new or changed takes effect at once; a device without a line
// has the faults of its --device keys again, as has a device whose MS ran
// out. Every change is said in one line, and when a spell of "garble" ends,
// what it spoiled (for tests that hold a program's counts against it).
#pragma once

#include "device.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class FaultControl {
public:
    using Clock = std::chrono::steady_clock;
    using Say = std::function<void(const std::string& line)>;

    // The devices stay the caller's; their faults now are those of the
    // command line.
    FaultControl(std::string path, const std::vector<Device*>& devices, Say say);

    // Reads the file again if it changed and ends spells whose time is up.
    void poll(Clock::time_point now);

private:
    struct Controlled {
        Device* device;
        Faults commandLine;
        // The device's last line taken; it stays after its time ran out, so
        // that a change elsewhere in the file does not start it again.
        std::string line;
        bool active = false;  // the line's faults are in force
        std::optional<Clock::time_point> until;
    };

    void apply(const std::string& content, Clock::time_point now);
    // Reports what a spell of "garble" spoiled and starts the counts afresh.
    void endSpoiling(Controlled& c);
    void restore(Controlled& c, const std::string& why);

    std::string path_;
    std::vector<Controlled> devices_;
    Say say_;
    std::optional<std::string> content_;  // the file as last read
};

}  // namespace sim
