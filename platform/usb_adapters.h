// USB serial adapters of the machine and the COM names they keep.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace platform {

// One adapter: its device file under the /dev root (ttyUSB0, ttyACM1) and
// its identity, the name of its entry under serial/by-id (empty when it has
// none).
struct UsbAdapter {
    std::string file;
    std::string identity;
};

// The adapters under `devRoot`, in the order of their device files.
std::vector<UsbAdapter> usbAdapters(const std::string& devRoot);

// "maker product, serial number S" of the USB device that holds the
// terminal `file`, read from `sysRoot`/class/tty; empty when sysfs says
// nothing of it.
std::string adapterDescription(const std::string& sysRoot, const std::string& file);

// The COM numbers of `identities`: the one remembered in `memoryFile`, or
// for an identity seen for the first time the lowest number from `first` to
// `last` that no other identity holds, which is then remembered. Numbers in
// `taken` are given to no new identity. An identity that finds no number
// is left out.
std::map<std::string, int> adapterNumbers(const std::string& memoryFile, const std::vector<std::string>& identities,
                                          const std::vector<int>& taken, int first, int last);

}  // namespace platform
