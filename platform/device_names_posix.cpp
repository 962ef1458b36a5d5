#include "platform/device_names.h"

#include "port_order.h"

#include "platform/fake_serial_port.h"
#include "usb_adapters.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {

bool isDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

constexpr int kFirstAdapterNumber = 101;
constexpr int kLastAdapterNumber = 254;

std::string fromEnvironment(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// Entries by canonical name, in the order of their numbers.
using Entries = std::map<std::string, std::string, ByComNumber>;

// Entries of the device folder.
Entries folderEntries(const std::string& folder)
{
    Entries entries;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = canonicalDeviceName(entry.path().filename().string());
        if (!name.empty())
            entries[name] = entry.path().string();
    }
    return entries;
}

// The machine's serial devices under their automatic names.
Entries automaticEntries()
{
    Entries entries;
    const std::string dev = deviceRoot();
    std::vector<int> taken;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dev, ec)) {
        const std::string name = automaticDeviceName(entry.path().filename().string());
        if (!name.empty()) {
            entries[name] = entry.path().string();
            taken.push_back(comNumberOf(name));
        }
    }
    const std::vector<UsbAdapter> adapters = usbAdapters(dev);
    std::vector<std::string> identities;
    for (const UsbAdapter& adapter : adapters)
        if (!adapter.identity.empty())
            identities.push_back(adapter.identity);
    const auto numbers = identities.empty()
        ? std::map<std::string, int>{}
        : adapterNumbers(adapterNamesFile(), identities, taken, kFirstAdapterNumber, kLastAdapterNumber);
    for (const UsbAdapter& adapter : adapters)
        if (const auto it = numbers.find(adapter.identity); it != numbers.end())
            entries["COM" + std::to_string(it->second)] = dev + "/" + adapter.file;
    // An adapter without an identity has nothing to be known by again: it
    // takes the first number free now.
    int next = kFirstAdapterNumber;
    for (const UsbAdapter& adapter : adapters) {
        if (!adapter.identity.empty())
            continue;
        while (next <= kLastAdapterNumber && entries.count("COM" + std::to_string(next)) != 0)
            ++next;
        if (next <= kLastAdapterNumber)
            entries["COM" + std::to_string(next)] = dev + "/" + adapter.file;
    }
    return entries;
}

// The namespace as it is now: the device folder when it exists, else the
// machine's devices.
Entries namespaceEntries()
{
    const std::string folder = deviceDirectory();
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder, ec)))
        return folderEntries(folder);
    return automaticEntries();
}

// The device an entry of the device folder leads to; the entry itself when
// it leads nowhere.
std::string deviceOf(const std::string& path)
{
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    return ec ? path : target.string();
}

// What sysfs says of the device at `path`, named by the path's own last part
// (ttyUSB0 under the /dev root) or by that of the device it leads to.
std::string descriptionOf(const std::string& path)
{
    const std::string sys = systemRoot();
    const std::string own = adapterDescription(sys, fs::path(path).filename().string());
    return own.empty() ? adapterDescription(sys, fs::path(deviceOf(path)).filename().string()) : own;
}

}  // namespace

std::string deviceDirectory()
{
    if (const char* dir = std::getenv("KL_DEVICE_DIR"); dir && *dir)
        return dir;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/OSTRELAN/devices";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/OSTRELAN/devices";
}

std::string deviceRoot()
{
    return fromEnvironment("KL_DEV_ROOT", "/dev");
}

std::string systemRoot()
{
    return fromEnvironment("KL_SYS_ROOT", "/sys");
}

std::string adapterNamesFile()
{
    std::string base = fromEnvironment("KL_SETTINGS_DIR", "");
    if (base.empty())
        base = fromEnvironment("XDG_CONFIG_HOME", "");
    if (base.empty())
        base = fromEnvironment("HOME", "") + "/.config";
    return base + "/OSTRELAN/com-ports";
}

std::string automaticDeviceName(const std::string& file)
{
    const std::string prefix = "ttyS";
    const std::string digits = file.substr(std::min(prefix.size(), file.size()));
    if (file.compare(0, prefix.size(), prefix) != 0 || !isDigits(digits) || digits.size() > 2)
        return {};
    return "COM" + std::to_string(std::strtoul(digits.c_str(), nullptr, 10) + 1);
}

std::vector<DevicePort> listDevicePorts()
{
    PortsByNumber ports;
    const std::string folder = fs::path(deviceDirectory()).lexically_normal().string();
    for (const auto& [name, path] : namespaceEntries()) {
        const bool inFolder = fs::path(path).parent_path().lexically_normal().string() == folder;
        ports[name] = {name, inFolder ? deviceOf(path) : path, descriptionOf(path)};
    }
    return portListWithFakes(std::move(ports));
}

std::optional<std::string> findDevicePath(const std::string& name)
{
    const std::string canonical = canonicalDeviceName(name);
    if (canonical.empty())
        return name;
    const auto entries = namespaceEntries();
    const auto it = entries.find(canonical);
    if (it == entries.end())
        return std::nullopt;
    return it->second;
}

}  // namespace platform
