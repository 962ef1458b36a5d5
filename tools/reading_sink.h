// Where kl_poll hands what it learns about each device besides its files:
// the device identified, each reading as it is taken, the device's state and
// its link counts. The plant outputs (an MQTT broker, a Modbus TCP server)
// take them from here. Every call comes from the polling thread and must
// return at once: a receiver that talks to the network does so on a thread
// of its own.
#pragma once

#include "link_counts.h"
#include "reading_outputs.h"

#include <kcmb.h>

#include <chrono>

namespace tools {

enum class DeviceState {
    Unknown,   // not identified yet
    Online,    // identified and answering
    PortLost,  // the port failed (an adapter pulled out, a line hung up)
    Silent,    // a request went unanswered after all its tries
};

class ReadingSink {
public:
    virtual ~ReadingSink() = default;

    // The device at `address` answered its identification; its type carries
    // the ratio bit for a ratio device.
    virtual void identified(int address, const v2DeviceInfo& device) = 0;
    // A reading of the device at `address`, taken at the clock time `taken`.
    virtual void reading(int address, const PollReading& reading, std::chrono::system_clock::time_point taken) = 0;
    // The state of the device at `address` changed.
    virtual void stateChanged(int address, DeviceState state) = 0;
    // The link counts of the device at `address` after its turn.
    virtual void countsChanged(int address, const kc::LinkCounts& counts) = 0;
};

}  // namespace tools
