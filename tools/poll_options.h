// The command line of kl_poll.
#pragma once

#include "csv_rows.h"

#include <optional>
#include <string>
#include <vector>

namespace tools {

// One device on the line: its address and the speed it answers at.
struct PolledDevice {
    int address = 1;   // 1 to 255
    int baudCode = 5;  // 0..8: 600 to 115200 baud

    bool operator==(const PolledDevice& other) const
    {
        return address == other.address && baudCode == other.baudCode;
    }
};

struct PollOptions {
    std::string port = "com1";
    int address = 1;        // --address: the one device when no --device is given
    int baudCode = 5;       // --baud: the speed of devices given without one
    // The devices polled in turn: those of --device in their order, else the
    // one of --address and --baud. Filled by parsePollOptions.
    std::vector<PolledDevice> devices;
    int periodMs = 500;     // one cycle every period; at least 20
    long count = 0;         // readings to log from each device before ending; 0: until interrupted
    int attempts = 5;       // tries per request
    int timeoutMs = 2000;   // how long a request waits for its reply
    int statsSeconds = 60;  // a line of the faults on the line every so often; 0: none
    std::string tdfPath;    // result file; empty: none
    std::string csvPath;    // CSV file, "-" for standard output; empty: none
    CsvForm csvForm = CsvForm::Standard;  // --ru: the form of a spreadsheet set up for Russian

    bool severalDevices() const { return devices.size() > 1; }
};

constexpr int kMinimumPeriodMs = 20;

// The options of `args` (the arguments after the program's name), or the
// reason they are wrong in `error`.
std::optional<PollOptions> parsePollOptions(const std::vector<std::string>& args, std::string& error);

extern const char kPollUsage[];

}  // namespace tools
