// The command line of kl_poll.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tools {

struct PollOptions {
    std::string port = "com1";
    int address = 1;        // 1 to 255
    int baudCode = 5;       // 0..8: 600 to 115200 baud
    int periodMs = 500;     // one cycle every period; at least 20
    long count = 0;         // readings to log before ending; 0: until interrupted
    int attempts = 5;       // tries per request
    int timeoutMs = 2000;   // how long a request waits for its reply
    std::string tdfPath;    // result file; empty: none
    std::string csvPath;    // CSV file, "-" for standard output; empty: none
};

constexpr int kMinimumPeriodMs = 20;

// The options of `args` (the arguments after the program's name), or the
// reason they are wrong in `error`.
std::optional<PollOptions> parsePollOptions(const std::vector<std::string>& args, std::string& error);

extern const char kPollUsage[];

}  // namespace tools
