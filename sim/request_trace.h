// A record of the requests on the line, for tests that check what a program
// sent and when: one line "ms address function start count" per request, ms
// counted from the trace's creation, start and count 0 for functions that
// carry none. Each line is flushed at once, so a reader sees it while the
// simulator runs.
#pragma once

#include "ascii_frame.h"

#include <chrono>
#include <fstream>
#include <string>

namespace sim {

class RequestTrace {
public:
    // Throws std::runtime_error when the file cannot be created.
    explicit RequestTrace(const std::string& path);

    void record(const Bytes& request, std::chrono::steady_clock::time_point at);

private:
    std::ofstream out_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace sim
