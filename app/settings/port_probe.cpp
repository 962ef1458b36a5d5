#include "settings/port_probe.h"

#include "platform/handle.h"
#include "platform/serial.h"

QList<PortChoice> probeQrvxPorts()
{
    std::vector<platform::DevicePort> present;
    for (const platform::DevicePort& port : platform::listDevicePorts()) {
        platform::OpenError why = platform::OpenError::None;
        const platform::Handle handle = platform::openSerialPort(port.name.c_str(), &why);
        if (platform::isUsableHandle(handle))
            platform::closeHandle(handle);
        else if (why == platform::OpenError::NotFound)
            continue;
        present.push_back(port);
    }
    return portChoices(present);
}
