// The namespace of serial device names (COM1, COM2, ...).
//
// The folder named by KL_DEVICE_DIR (by default $XDG_CONFIG_HOME/OSTRELAN/devices,
// that is ~/.config/OSTRELAN/devices) holds entries named COM<n>, any case, each
// a symbolic link to a serial device. A folder that exists is the whole
// namespace, even when it is empty. Only when there is no such folder do the
// machine's serial devices get automatic names:
//   /dev/ttyS<k>              -> COM<k+1>   (k = 0..99)
//   /dev/ttyUSB<k>, ttyACM<k> -> the COM name the adapter was first given
//                                (COM101 on), kept for its identity under
//                                /dev/serial/by-id in the settings folder
// The roots /dev and /sys may be moved with KL_DEV_ROOT and KL_SYS_ROOT.
// Every call looks at the machine as it is now. Fake ports registered for
// the unit tests are part of the namespace as well.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The folder of the namespace's entries.
std::string deviceDirectory();
// The folders standing for /dev and /sys.
std::string deviceRoot();
std::string systemRoot();
// The file that keeps the COM names given to USB adapters, in the settings
// folder ($KL_SETTINGS_DIR/OSTRELAN, else $XDG_CONFIG_HOME/OSTRELAN, else
// ~/.config/OSTRELAN).
std::string adapterNamesFile();

// One port of the namespace: its name, the device it leads to (empty for a
// fake port), and for a USB adapter its maker, product and serial number.
struct DevicePort {
    std::string name;
    std::string path;
    std::string description;
};

// Every port of the namespace, in the order of the numbers.
std::vector<DevicePort> listDevicePorts();

// Every device name of the namespace, in the order of the numbers.
std::vector<std::string> listDeviceNames();

// The device behind a name: COM3, com3 and \\.\COM3 give the target of the
// entry COM3; nothing for a COM name that is no entry of the namespace; any
// other name comes back unchanged.
std::optional<std::string> findDevicePath(const std::string& name);

// The automatic name of a fixed serial port of /dev ("ttyS2" gives "COM3"),
// or an empty string for a file that gets none.
std::string automaticDeviceName(const std::string& deviceFile);

// The canonical name ("COM3") of a device name, or an empty string when the
// name is not of the form COM<n> or \\.\COM<n> (any case).
std::string canonicalDeviceName(const std::string& name);

}  // namespace platform
