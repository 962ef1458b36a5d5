// COM names as Windows knows them: the ports that serial drivers entered
// under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, together with the
// COM names of the system's DOS device namespace (QueryDosDevice), which also
// holds ports that no driver entered there (wine's mapped ports, virtual
// port pairs). A COM name is opened as \\.\COM<n>.
#include "platform/device_names.h"

#include "port_order.h"

#include "platform/fake_serial_port.h"
#include "win32_text.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <map>
#include <vector>

namespace platform {

namespace {

constexpr wchar_t kSerialCommKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

using Ports = PortsByNumber;

// Value names are the drivers' device objects, the data the COM names.
void addRegistryPorts(Ports& ports)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        DWORD nameLength = 256;
        wchar_t data[64] = {};
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG r = ::RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type,
                                       reinterpret_cast<BYTE*>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS || type != REG_SZ)
            continue;
        const std::string name = canonicalDeviceName(detail::utf8Text(data));
        if (!name.empty())
            ports[name] = {name, detail::utf8Text(valueName, static_cast<int>(nameLength)), {}};
    }
    ::RegCloseKey(key);
}

// The whole namespace comes as one list of zero-terminated names.
void addDosDevicePorts(Ports& ports)
{
    std::vector<wchar_t> names(1 << 16);
    for (;;) {
        const DWORD n = ::QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
        if (n != 0)
            break;
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() >= (1u << 22))
            return;
        names.resize(names.size() * 4);
    }
    for (const wchar_t* p = names.data(); *p != L'\0'; p += std::wcslen(p) + 1) {
        const std::string name = canonicalDeviceName(detail::utf8Text(p));
        if (name.empty() || ports.count(name) != 0)
            continue;
        wchar_t target[512] = {};
        const std::string path = ::QueryDosDeviceW(p, target, 512) != 0 ? detail::utf8Text(target) : std::string();
        ports[name] = {name, path, {}};
    }
}

}  // namespace

std::string deviceDirectory()
{
    return "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
}

std::vector<DevicePort> listDevicePorts()
{
    Ports ports;
    addRegistryPorts(ports);
    addDosDevicePorts(ports);
    return portListWithFakes(std::move(ports));
}

std::optional<std::string> findDevicePath(const std::string& name)
{
    const std::string canonical = canonicalDeviceName(name);
    return canonical.empty() ? name : "\\\\.\\" + canonical;
}

}  // namespace platform
