// The Modbus side of the simulator: the devices sharing one line, how fast
// they answer, and the turning of received characters into replies.
#pragma once

#include "device.h"
#include "request_trace.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

struct Timing {
    // Time between the end of a request and the start of the reply.
    std::chrono::microseconds turnaround{1000};
    // Whether the request and the reply take the time their characters need
    // on a real line at the speed set on the line (10 bits per character).
    bool lineTime = true;
    // Whether everything the program sends comes back to it, as on a
    // two-wire RS-485 line whose adapter hears its own transmitter.
    bool echo = false;
};

class ModbusBus {
public:
    explicit ModbusBus(Timing timing) : timing_(timing) {}

    void addDevice(std::unique_ptr<Device> device) { devices_.push_back(std::move(device)); }

    // Writes every request the line carries, answered or not, to `path`
    // (see RequestTrace); throws std::runtime_error when it cannot be created.
    void traceTo(const std::string& path);

    // Takes characters received at `arrival` on a line set to `baud`; for every
    // complete request that a device answers, `send` gets the reply characters
    // and the moment at which they may go out.
    using Sender = std::function<void(const std::string& reply, std::chrono::steady_clock::time_point due)>;
    void receive(const std::string& chars, unsigned baud, std::chrono::steady_clock::time_point arrival,
                 const Sender& send);

private:
    std::string replyLine(const Device& device, const Bytes& reply) const;
    std::chrono::microseconds lineTimeOf(std::size_t chars, unsigned baud) const;

    Timing timing_;
    std::vector<std::unique_ptr<Device>> devices_;
    std::unique_ptr<RequestTrace> trace_;
    std::string pending_;
    std::chrono::steady_clock::time_point frameStart_{};
};

}  // namespace sim
