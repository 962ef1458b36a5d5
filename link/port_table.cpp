#include "port_table.h"

#include "device_model.h"

#include "platform/device_names.h"
#include "platform/serial.h"
#include "platform/sync.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace {

constexpr int kHighestPort = 254;
constexpr std::size_t kPathSize = 4096;
constexpr int kDefaultReadTimeoutMs = 2000;

// The table has no lock: it is built, torn down and changed by one thread at a
// time, and only read by the exchanges.
KCPortInfo* g_ports = nullptr;
std::uint16_t g_portCount = 0;

// The number after "COM" (any case), read like strtol; 0 for other names.
long comNumber(const std::string& name)
{
    if (name.size() < 3)
        return 0;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return 0;
    return std::strtol(name.c_str() + 3, nullptr, 10);
}

void freeTable()
{
    if (g_ports == nullptr)
        return;
    for (std::uint16_t i = 0; i < g_portCount; ++i)
        if (g_ports[i].hMutex != nullptr)
            platform::closeHandle(g_ports[i].hMutex);
    delete[] g_ports;
    g_ports = nullptr;
    g_portCount = 0;
}

KCPortInfo* entryOf(int number)
{
    if (g_ports == nullptr || number < 1 || number > g_portCount)
        return nullptr;
    return &g_ports[number - 1];
}

// Forgets a port whose opening failed after it was recorded.
void abandonEntry(KCPortInfo& entry)
{
    platform::closeHandle(entry.hPort);
    entry.hPort = nullptr;
    if (entry.hMutex != nullptr)
        platform::closeHandle(entry.hMutex);
    entry.hMutex = nullptr;
}

}  // namespace

HandleGuard::HandleGuard(void* h) : handle(h) {}

HandleGuard::HandleGuard(HandleGuard&& other) noexcept : handle(other.handle)
{
    other.handle = platform::invalidHandle();
}

HandleGuard& HandleGuard::operator=(HandleGuard&& other) noexcept
{
    if (this != &other) {
        reset();
        handle = other.handle;
        other.handle = platform::invalidHandle();
    }
    return *this;
}

HandleGuard::~HandleGuard()
{
    reset();
}

void HandleGuard::reset()
{
    if (platform::isUsableHandle(handle))
        platform::closeHandle(handle);
    handle = platform::invalidHandle();
}

bool KCInit()
{
    // A table that exists already is replaced; its ports lose their records.
    freeTable();
    long highest = 0;
    for (const std::string& name : platform::listDeviceNames()) {
        const long number = comNumber(name);
        if (number >= 1 && number <= kHighestPort && number > highest)
            highest = number;
    }
    if (highest == 0)
        return false;
    g_ports = new (std::nothrow) KCPortInfo[highest];
    if (g_ports == nullptr)
        return false;
    g_portCount = static_cast<std::uint16_t>(highest);
    return true;
}

bool KCClose()
{
    freeTable();
    return true;
}

HandleGuard KCOpenPort(const char* name, char baudCode)
{
    if (name == nullptr)
        return HandleGuard(platform::invalidHandle());
    KCPortInfo* entry = entryOf(GetPortNum(name));
    if (entry == nullptr)
        return HandleGuard(platform::invalidHandle());
    char path[kPathSize];
    PreparePortName(path, name, sizeof path);

    HandleGuard guard(platform::openSerialPort(path));
    if (!platform::isUsableHandle(guard.handle))
        return HandleGuard(platform::invalidHandle());
    entry->hPort = guard.handle;

    platform::LineSettings settings;
    if (!platform::getLineSettings(guard.handle, settings)
        && !platform::buildLineSettings("baud=9600 parity=N data=8 stop=1", settings)) {
        abandonEntry(*entry);
        guard.handle = platform::invalidHandle();
        return guard;
    }
    settings.baudRate = baudRateOfCode(static_cast<unsigned char>(baudCode));
    settings.dataBits = 8;
    settings.parity = platform::Parity::None;
    settings.stopBits = platform::StopBits::One;
    entry->state = 0;

    char mutexName[32];
    std::snprintf(mutexName, sizeof mutexName, "KLMB_%" PRIxPTR, reinterpret_cast<std::uintptr_t>(guard.handle));
    entry->hMutex = platform::createMutex(mutexName);

    settings.dtrControl = entry->sendDTR == 1 ? platform::LineControl::Enable : platform::LineControl::Disable;
    settings.rtsControl = entry->sendRTS == 1 ? platform::LineControl::Enable : platform::LineControl::Disable;
    const bool applied = platform::setLineSettings(guard.handle, settings);
    KCSetTimeOut(guard.handle, kDefaultReadTimeoutMs);
    if (!applied) {
        abandonEntry(*entry);
        guard.handle = platform::invalidHandle();
    }
    return guard;
}

void KCClosePort(void* port)
{
    if (port != nullptr)
        platform::closeHandle(port);
    KCPortInfo* entry = getKCPortInfo(port);
    if (entry == nullptr)
        return;
    if (entry->hMutex != nullptr)
        platform::closeHandle(entry->hMutex);
    entry->hMutex = nullptr;
    entry->hPort = nullptr;
}

bool KCSetPortSpeed(void* port, char baudCode)
{
    platform::LineSettings settings;
    if (!platform::getLineSettings(port, settings))
        return false;
    settings.baudRate = baudRateOfCode(static_cast<unsigned char>(baudCode));
    return platform::setLineSettings(port, settings);
}

int KCGetTimeOut(void* port)
{
    platform::Timeouts t;
    if (!platform::getTimeouts(port, t))
        return -1;
    return static_cast<int>(t.readConstant);
}

int KCSetTimeOut(void* port, int ms)
{
    platform::Timeouts t;
    if (ms < 0 || !platform::getTimeouts(port, t))
        return -1;
    const int previous = static_cast<int>(t.readConstant);
    // With interval and multiplier at their maximum a one-byte read returns at
    // once when a byte is waiting and otherwise waits up to `ms` for one; the
    // exchange reads its reply byte by byte and relies on exactly this.
    t.readInterval = platform::kMaxTimeout;
    t.readMultiplier = platform::kMaxTimeout;
    t.readConstant = static_cast<std::uint32_t>(ms);
    if (!platform::setTimeouts(port, t))
        return -1;
    return previous;
}

KCPortInfo* getKCPortInfo(void* port)
{
    if (g_ports == nullptr || port == nullptr)
        return nullptr;
    for (std::uint16_t i = 0; i < g_portCount; ++i)
        if (g_ports[i].hPort == port)
            return &g_ports[i];
    return nullptr;
}
