#include "port_list.h"

namespace tools {

std::string portListText(const std::vector<platform::DevicePort>& ports)
{
    if (ports.empty())
        return "Портов нет (папка устройств: " + platform::deviceDirectory() + ")\n";
    std::string text;
    for (const platform::DevicePort& port : ports) {
        std::string line = port.name;
        if (!port.path.empty())
            line += "  " + port.path;
        if (!port.description.empty())
            line += "  " + port.description;
        text += line + "\n";
    }
    return text;
}

}  // namespace tools
