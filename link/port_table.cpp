#include <kcmb/port_table.h>

#include <kcmb/device_model.h>

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
        if (void* mutex = g_ports[i].hMutex.exchange(nullptr))
            platform::closeHandle(mutex);
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

// Clears an entry's port and mutex; the mutex is closed.
void clearEntry(KCPortInfo& entry)
{
    entry.hPort = nullptr;
    if (void* mutex = entry.hMutex.exchange(nullptr))
        platform::closeHandle(mutex);
}

KCOpenError openErrorOf(platform::OpenError error)
{
    switch (error) {
    case platform::OpenError::None: return KC_OPEN_OK;
    case platform::OpenError::NotFound: return KC_OPEN_NOT_FOUND;
    case platform::OpenError::Busy: return KC_OPEN_BUSY;
    case platform::OpenError::NoPermission: return KC_OPEN_NO_PERMISSION;
    case platform::OpenError::NotSerial: return KC_OPEN_NOT_SERIAL;
    case platform::OpenError::Other: return KC_OPEN_FAILED;
    }
    return KC_OPEN_FAILED;
}

HandleGuard refuse(KCOpenError reason, KCOpenError* why)
{
    if (why != nullptr)
        *why = reason;
    return HandleGuard(platform::invalidHandle());
}

}  // namespace

HandleGuard::HandleGuard(void* h) : handle_(h) {}

HandleGuard::HandleGuard(HandleGuard&& other) noexcept : handle_(other.release()) {}

HandleGuard& HandleGuard::operator=(HandleGuard&& other) noexcept
{
    if (this != &other) {
        reset();
        handle_ = other.release();
    }
    return *this;
}

HandleGuard::~HandleGuard()
{
    reset();
}

HandleGuard::operator bool() const
{
    return platform::isUsableHandle(handle_);
}

void* HandleGuard::release()
{
    void* h = handle_;
    handle_ = platform::invalidHandle();
    return h;
}

void HandleGuard::reset()
{
    if (platform::isUsableHandle(handle_))
        KCClosePort(handle_);
    handle_ = platform::invalidHandle();
}

bool KCInit()
{
    // A table that exists already is replaced; its ports lose their records.
    freeTable();
    bool anyPort = false;
    for (const std::string& name : platform::listDeviceNames()) {
        const long number = comNumber(name);
        anyPort = anyPort || (number >= 1 && number <= kHighestPort);
    }
    if (!anyPort)
        return false;
    // Every number has its entry, so that an adapter plugged in later opens
    // like one that was there at the start.
    g_ports = new (std::nothrow) KCPortInfo[kHighestPort];
    if (g_ports == nullptr)
        return false;
    g_portCount = kHighestPort;
    return true;
}

bool KCClose()
{
    freeTable();
    return true;
}

HandleGuard KCOpenPort(const char* name, char baudCode)
{
    return KCOpenPortWhy(name, baudCode, nullptr);
}

HandleGuard KCOpenPortWhy(const char* name, char baudCode, KCOpenError* why)
{
    if (name == nullptr)
        return refuse(KC_OPEN_NOT_FOUND, why);
    KCPortInfo* entry = entryOf(GetPortNum(name));
    if (entry == nullptr)
        return refuse(KC_OPEN_NOT_FOUND, why);
    // The number is held by a port that is still open.
    if (platform::lookupHandle(entry->hPort.load()) != nullptr)
        return refuse(KC_OPEN_HELD, why);
    char path[kPathSize];
    PreparePortName(path, name, sizeof path);

    platform::OpenError openError = platform::OpenError::None;
    void* port = platform::openSerialPort(path, &openError);
    if (!platform::isUsableHandle(port))
        return refuse(openErrorOf(openError), why);
    // An entry still naming a port that was closed some other way is stale:
    // its mutex goes before the new port takes the entry over.
    clearEntry(*entry);
    entry->hPort = port;
    HandleGuard guard(port);

    platform::LineSettings settings;
    if (!platform::getLineSettings(port, settings)
        && !platform::buildLineSettings("baud=9600 parity=N data=8 stop=1", settings))
        return refuse(KC_OPEN_FAILED, why);
    settings.baudRate = baudRateOfCode(static_cast<unsigned char>(baudCode));
    settings.dataBits = 8;
    settings.parity = platform::Parity::None;
    settings.stopBits = platform::StopBits::One;
    entry->state = 0;
    entry->lineEcho = -1;

    char mutexName[32];
    std::snprintf(mutexName, sizeof mutexName, "KLMB_%" PRIxPTR, reinterpret_cast<std::uintptr_t>(port));
    entry->hMutex = platform::createMutex(mutexName);

    settings.dtrControl = entry->sendDTR == 1 ? platform::LineControl::Enable : platform::LineControl::Disable;
    settings.rtsControl = entry->sendRTS == 1 ? platform::LineControl::Enable : platform::LineControl::Disable;
    const bool applied = platform::setLineSettings(port, settings);
    KCSetTimeOut(port, kDefaultReadTimeoutMs);
    if (!applied)
        return refuse(KC_OPEN_FAILED, why);
    if (why != nullptr)
        *why = KC_OPEN_OK;
    return guard;
}

const char* KCGetOpenErrorTxt(KCOpenError why)
{
    switch (why) {
    case KC_OPEN_OK: return "";
    case KC_OPEN_NOT_FOUND: return "Порт не найден.";
    case KC_OPEN_BUSY: return "Порт занят другой программой.";
    case KC_OPEN_HELD: return "Порт уже открыт этой программой.";
    case KC_OPEN_NO_PERMISSION: return "Нет доступа к порту: пользователь должен входить в группу dialout.";
    case KC_OPEN_NOT_SERIAL: return "Это не последовательный порт.";
    case KC_OPEN_FAILED: break;
    }
    return "Порт не удалось настроить.";
}

void KCClosePort(void* port)
{
    if (port != nullptr)
        platform::closeHandle(port);
    if (KCPortInfo* entry = getKCPortInfo(port))
        clearEntry(*entry);
}

int KCSetEchoMode(void* port, int mode)
{
    KCPortInfo* entry = getKCPortInfo(port);
    if (entry == nullptr || mode < KC_ECHO_AUTO || mode > KC_ECHO_ON)
        return -1;
    return entry->echoMode.exchange(mode);
}

int KCGetEchoMode(void* port)
{
    const KCPortInfo* entry = getKCPortInfo(port);
    return entry != nullptr ? entry->echoMode.load() : -1;
}

int KCLineEchoes(void* port)
{
    const KCPortInfo* entry = getKCPortInfo(port);
    if (entry == nullptr)
        return -1;
    switch (entry->echoMode.load()) {
    case KC_ECHO_ON: return 1;
    case KC_ECHO_OFF: return 0;
    default: return entry->lineEcho.load();
    }
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
    if (g_ports == nullptr || !platform::isUsableHandle(port))
        return nullptr;
    for (std::uint16_t i = 0; i < g_portCount; ++i)
        if (g_ports[i].hPort.load(std::memory_order_acquire) == port)
            return &g_ports[i];
    return nullptr;
}
