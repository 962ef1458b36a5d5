// The library's table of serial port numbers and the opening of ports with the
// line settings of the devices.
#pragma once

#include "platform/handle.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// The record of one port number (COM<n> is entry n - 1).
struct KCPortInfo {
    // The port while it is open through KCOpenPort; null otherwise.
    void* hPort = nullptr;
    // Modem lines while a request is sent and while its reply is awaited:
    // 0 drops the line, 1 raises it, any other value leaves it alone.
    unsigned char sendDTR = 255;
    unsigned char sendRTS = 255;
    unsigned char recvDTR = 255;
    unsigned char recvRTS = 255;
    // Progress of the port's exchange: 0 idle, 1 sending, 2 request sent,
    // 3 reply start seen, 4 reply checked and right. Written under the port's
    // mutex, read by anyone.
    std::atomic<unsigned char> state{0};
    // Result (0, 5 or 7) of the last exchange that held the port's mutex.
    std::atomic<std::int32_t> lastError{0};
    // The port's named mutex "KLMB_<handle in hex>", while the port is open.
    void* hMutex = nullptr;
};

// Owns a port handle while it is being opened. A caller that keeps the port
// copies `handle` out and sets it to the invalid-handle value; otherwise the
// guard closes the port when it goes out of scope.
class HandleGuard {
public:
    explicit HandleGuard(void* h);
    HandleGuard(HandleGuard&& other) noexcept;
    HandleGuard& operator=(HandleGuard&& other) noexcept;
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    ~HandleGuard();

    // Closes the held handle unless it is null or the invalid-handle value.
    void reset();

    void* handle;
};

// Builds the port table from the device names of the machine; false when there
// is no COM port numbered 1 to 254. A second call builds a new table.
bool KCInit();
// Frees the table and the mutexes of its entries; ports stay open. Always true.
bool KCClose();

// The number after the first "com" (any case) within the first 32 characters
// of the name; 0 when there is none.
int GetPortNum(const char* name);
// Writes "\\.\com<n>" for a name with a port number, else the name itself, into
// `out` and returns `out`. At most `outSize` characters are written, the
// terminating zero included; device paths may need more than the customary 32.
char* PreparePortName(char* out, const char* name, std::size_t outSize = 32);

// Opens a port with 8 data bits, no parity, one stop bit, the speed of the baud
// code (0..8: 600 to 115200 baud, anything else 19200) and a read time-out of
// 2000 ms. Refused with the invalid-handle value when the name is null, the
// port cannot be opened or configured, its number has no table entry, or
// KCInit has not built a table.
HandleGuard KCOpenPort(const char* name, char baudCode);
void KCClosePort(void* port);

// Switches an open port to the speed of a baud code (as KCOpenPort maps it),
// keeping its other line settings; false when they cannot be read or applied.
bool KCSetPortSpeed(void* port, char baudCode);

// Read time-out in ms; -1 when the port's time-outs cannot be read.
int KCGetTimeOut(void* port);
// Sets the read time-out and returns the previous one; -1 on failure.
int KCSetTimeOut(void* port, int ms);

// The record of a port opened with KCOpenPort, or null.
KCPortInfo* getKCPortInfo(void* port);
