// The spelling of COM names and the list of names, the same on every system.
#include "platform/device_names.h"
#include "platform/fake_serial_port.h"

#include "port_order.h"

#include <cctype>
#include <cstdlib>

namespace platform {

std::string canonicalDeviceName(const std::string& name)
{
    std::string n = name;
    if (n.size() > 4 && n.compare(0, 4, "\\\\.\\") == 0)
        n = n.substr(4);
    for (char& c : n)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (n.size() < 4 || n.compare(0, 3, "COM") != 0)
        return {};
    for (std::size_t i = 3; i < n.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(n[i])))
            return {};
    // COM03 and COM3 are one port.
    const unsigned long number = std::strtoul(n.c_str() + 3, nullptr, 10);
    if (number == 0 || n.size() > 12)
        return {};
    return "COM" + std::to_string(number);
}

std::vector<std::string> listDeviceNames()
{
    std::vector<std::string> names;
    for (const DevicePort& port : listDevicePorts())
        names.push_back(port.name);
    return names;
}

std::vector<DevicePort> portListWithFakes(PortsByNumber ports)
{
    for (const auto& name : fakeDeviceNames())
        if (const std::string canonical = canonicalDeviceName(name); !canonical.empty())
            ports.emplace(canonical, DevicePort{canonical, {}, {}});
    std::vector<DevicePort> list;
    for (auto& entry : ports)
        list.push_back(std::move(entry.second));
    return list;
}

}  // namespace platform
