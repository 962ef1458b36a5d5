#include "request_trace.h"

#include <stdexcept>

namespace sim {

RequestTrace::RequestTrace(const std::string& path) : out_(path, std::ios::trunc), start_(std::chrono::steady_clock::now())
{
    if (!out_)
        throw std::runtime_error("cannot create the trace " + path);
}

void RequestTrace::record(const Bytes& request, std::chrono::steady_clock::time_point at)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - start_).count();
    const int function = request.size() > 1 ? request[1] : 0;
    unsigned start = 0;
    unsigned count = 0;
    if ((function == 4 || function == 16 || function == 25) && request.size() >= 6) {
        start = static_cast<unsigned>(request[2] << 8 | request[3]);
        count = function == 25 ? request[5] : static_cast<unsigned>(request[4] << 8 | request[5]);
    }
    out_ << ms << ' ' << static_cast<int>(request[0]) << ' ' << function << ' ' << start << ' ' << count << std::endl;
}

}  // namespace sim
