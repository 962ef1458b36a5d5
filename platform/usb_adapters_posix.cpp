#include "usb_adapters.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace platform {

namespace {

bool isAdapterFile(const std::string& file)
{
    for (const std::string prefix : {"ttyUSB", "ttyACM"}) {
        if (file.size() <= prefix.size() || file.compare(0, prefix.size(), prefix) != 0)
            continue;
        return std::all_of(file.begin() + static_cast<std::ptrdiff_t>(prefix.size()), file.end(),
                           [](char c) { return c >= '0' && c <= '9'; });
    }
    return false;
}

// The first line of a sysfs attribute, without its end of line.
std::string attribute(const fs::path& folder, const char* name)
{
    std::ifstream in(folder / name);
    std::string value;
    std::getline(in, value);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r'))
        value.pop_back();
    return value;
}

// Device files by kernel order: ttyUSB2 before ttyUSB10.
bool fileOrder(const UsbAdapter& a, const UsbAdapter& b)
{
    if (a.file.size() != b.file.size())
        return a.file.size() < b.file.size();
    return a.file < b.file;
}

}  // namespace

std::vector<UsbAdapter> usbAdapters(const std::string& devRoot)
{
    std::vector<UsbAdapter> adapters;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(devRoot, ec))
        if (isAdapterFile(entry.path().filename().string()))
            adapters.push_back({entry.path().filename().string(), {}});
    // by-id entries are links such as ../../ttyUSB0; the target's last part
    // names the adapter.
    for (const auto& entry : fs::directory_iterator(fs::path(devRoot) / "serial" / "by-id", ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(entry.path(), linkError);
        if (linkError)
            continue;
        const std::string file = target.filename().string();
        for (UsbAdapter& adapter : adapters)
            if (adapter.file == file && adapter.identity.empty())
                adapter.identity = entry.path().filename().string();
    }
    std::sort(adapters.begin(), adapters.end(), fileOrder);
    return adapters;
}

std::string adapterDescription(const std::string& sysRoot, const std::string& file)
{
    std::error_code ec;
    const fs::path root = fs::canonical(sysRoot, ec);
    if (ec)
        return {};
    fs::path folder = fs::canonical(fs::path(sysRoot) / "class" / "tty" / file / "device", ec);
    // The USB device is the first folder above the terminal that has a
    // vendor; the walk never leaves the root.
    for (int depth = 0; !ec && depth < 8; ++depth, folder = folder.parent_path()) {
        const std::string relative = folder.lexically_relative(root).string();
        if (relative.empty() || relative == "." || relative.compare(0, 2, "..") == 0)
            return {};
        if (!fs::exists(folder / "idVendor", ec))
            continue;
        std::string text = attribute(folder, "manufacturer");
        const std::string product = attribute(folder, "product");
        if (!product.empty())
            text += (text.empty() ? "" : " ") + product;
        const std::string serial = attribute(folder, "serial");
        if (!serial.empty())
            text += (text.empty() ? "" : ", ") + std::string("серийный номер ") + serial;
        return text;
    }
    return {};
}

}  // namespace platform
