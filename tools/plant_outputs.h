// The plant outputs of kl_poll that its options ask for: readings and states
// for an MQTT broker (MqttPublisher) and Modbus TCP registers
// (ModbusTcpServer). Each device hands its news to sink(); each output works
// on a thread of its own, so that neither ever holds up the serial line.
// Built where libmosquitto and libmodbus are; elsewhere start() refuses
// the options that ask for them.
#pragma once

#include "plant_options.h"
#include "poll_options.h"
#include "reading_sink.h"

#include <memory>
#include <string>

namespace tools {

class PlantOutputs {
public:
    explicit PlantOutputs(PlantOptions options);
    ~PlantOutputs();
    PlantOutputs(const PlantOutputs&) = delete;
    PlantOutputs& operator=(const PlantOutputs&) = delete;

    // Connects to the broker and opens the server the options name; false,
    // with the reason, when the broker refuses the logger or the server's
    // address cannot be taken.
    bool start(const PollOptions& poll, std::string& error);
    // Where the devices hand their news; null when no output is asked for.
    ReadingSink* sink();
    // Says the devices and the logger offline, sends what waits (for a few
    // seconds at most), stops the outputs and says on standard error what
    // the broker got. Done at destruction if not before.
    void finish();

private:
    struct Parts;
    PlantOptions options_;
    std::unique_ptr<Parts> parts_;
};

}  // namespace tools
