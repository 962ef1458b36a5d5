// The namespace of serial device names (COM1, COM2, ...).
//
// The folder named by KL_DEVICE_DIR (by default $XDG_CONFIG_HOME/OSTRELAN/devices,
// that is ~/.config/OSTRELAN/devices) holds entries named COM<n>, any case, each
// a symbolic link to a serial device. When it holds no such entry, the
// machine's serial devices get automatic names in a fixed order:
//   /dev/ttyS<k>   -> COM<k+1>    (k = 0..99)
//   /dev/ttyUSB<k> -> COM<101+k>  (k = 0..49)
//   /dev/ttyACM<k> -> COM<151+k>  (k = 0..49)
// Fake ports registered for the unit tests are part of the namespace as well.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The folder of the namespace's entries.
std::string deviceDirectory();

// Every device name of the namespace, in no particular order.
std::vector<std::string> listDeviceNames();

// The device behind a name: COM3, com3 and \\.\COM3 give the target of the
// entry COM3; a name that is no entry of the namespace comes back unchanged.
std::string resolveDevicePath(const std::string& name);

// The automatic name of a device file of /dev ("ttyUSB2" gives "COM103"), or
// an empty string for a file that gets none.
std::string automaticDeviceName(const std::string& deviceFile);

// The canonical name ("COM3") of a device name, or an empty string when the
// name is not of the form COM<n> or \\.\COM<n> (any case).
std::string canonicalDeviceName(const std::string& name);

}  // namespace platform
