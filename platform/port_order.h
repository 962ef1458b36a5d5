// COM names in the order of their numbers, as every port list shows them;
// shared by the systems' device namespaces.
#pragma once

#include "platform/device_names.h"

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace platform {

// The number of a canonical COM name (COM12 gives 12).
inline int comNumberOf(const std::string& canonical)
{
    return std::atoi(canonical.c_str() + 3);
}

struct ByComNumber {
    bool operator()(const std::string& a, const std::string& b) const { return comNumberOf(a) < comNumberOf(b); }
};

using PortsByNumber = std::map<std::string, DevicePort, ByComNumber>;

// The ports in number order, with the in-memory fake ports added under their
// COM names where no port of the system has the name.
std::vector<DevicePort> portListWithFakes(PortsByNumber ports);

}  // namespace platform
