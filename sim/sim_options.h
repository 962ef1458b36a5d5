// The simulator's command line.
#pragma once

#include "modbus_bus.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// One --device argument: comma-separated key=value pairs.
using DeviceKeys = std::map<std::string, std::string>;

struct SimOptions {
    std::string folder;
    int comNumber = 1;
    Timing timing;
    std::string traceFile;
    std::string controlFile;
    std::vector<DeviceKeys> devices;
    bool helpWanted = false;
};

extern const char* const kUsage;

// Parses the arguments; throws std::invalid_argument with a message for the
// user on anything it does not understand.
SimOptions parseOptions(int argc, char** argv);

// Builds the device a --device argument describes; throws std::invalid_argument.
std::unique_ptr<Device> makeDevice(const DeviceKeys& keys);

}  // namespace sim
