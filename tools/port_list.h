// kl_poll --list-ports: a line per port of the namespace.
#pragma once

#include "platform/device_names.h"

#include <string>
#include <vector>

namespace tools {

// "COM101  /dev/ttyUSB0  FTDI FT232R USB UART, серийный номер A1B2C3D4" per
// port (the description only for a USB adapter), or a line saying there is
// none.
std::string portListText(const std::vector<platform::DevicePort>& ports);

}  // namespace tools
