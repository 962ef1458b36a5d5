#include "platform/device_names.h"

#include "platform/fake_serial_port.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {

std::string upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// Entries of the device folder, by canonical name.
std::map<std::string, std::string> folderEntries()
{
    std::map<std::string, std::string> entries;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(deviceDirectory(), ec)) {
        const std::string name = canonicalDeviceName(entry.path().filename().string());
        if (!name.empty())
            entries[name] = entry.path().string();
    }
    return entries;
}

// The machine's serial devices under their automatic names.
std::map<std::string, std::string> automaticEntries()
{
    std::map<std::string, std::string> entries;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/dev", ec)) {
        const std::string name = automaticDeviceName(entry.path().filename().string());
        if (!name.empty())
            entries[name] = entry.path().string();
    }
    return entries;
}

std::map<std::string, std::string> namespaceEntries()
{
    auto entries = folderEntries();
    return entries.empty() ? automaticEntries() : entries;
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

std::string automaticDeviceName(const std::string& file)
{
    struct Family {
        const char* prefix;
        unsigned first;
        unsigned count;
    };
    static constexpr Family kFamilies[] = {{"ttyS", 1, 100}, {"ttyUSB", 101, 50}, {"ttyACM", 151, 50}};
    for (const auto& family : kFamilies) {
        const std::string prefix = family.prefix;
        const std::string digits = file.substr(std::min(prefix.size(), file.size()));
        if (file.compare(0, prefix.size(), prefix) != 0 || !isDigits(digits) || digits.size() > 3)
            continue;
        const unsigned long k = std::strtoul(digits.c_str(), nullptr, 10);
        if (k < family.count)
            return "COM" + std::to_string(family.first + k);
    }
    return {};
}

std::string canonicalDeviceName(const std::string& name)
{
    std::string n = name;
    if (n.size() > 4 && n.compare(0, 4, "\\\\.\\") == 0)
        n = n.substr(4);
    n = upper(n);
    if (n.size() < 4 || n.compare(0, 3, "COM") != 0 || !isDigits(n.substr(3)))
        return {};
    // COM03 and COM3 are one port.
    const unsigned long number = std::strtoul(n.c_str() + 3, nullptr, 10);
    if (number == 0 || n.size() > 12)
        return {};
    return "COM" + std::to_string(number);
}

std::vector<std::string> listDeviceNames()
{
    std::set<std::string> names;
    for (const auto& [name, path] : namespaceEntries())
        names.insert(name);
    for (const auto& name : fakeDeviceNames())
        names.insert(name);
    return {names.begin(), names.end()};
}

std::string resolveDevicePath(const std::string& name)
{
    const std::string canonical = canonicalDeviceName(name);
    if (canonical.empty())
        return name;
    const auto entries = namespaceEntries();
    const auto it = entries.find(canonical);
    return it == entries.end() ? name : it->second;
}

}  // namespace platform
