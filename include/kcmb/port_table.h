// The library's table of serial port numbers and the opening of ports with the
// line settings of the devices.
#pragma once

#include "platform/handle.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

// How an exchange treats a received frame that equals its request, the echo
// a two-wire line gives of everything sent.
enum KCEchoMode : int {
    // Skip such a frame when the line turns out to echo (a second frame
    // follows it); take it as the reply when nothing follows it, or when the
    // line has shown that it does not echo and the frame is a valid reply.
    KC_ECHO_AUTO = 0,
    // The line never echoes: every frame is a reply.
    KC_ECHO_OFF = 1,
    // The line always echoes: the first such frame is skipped.
    KC_ECHO_ON = 2,
};

// The record of one port number (COM<n> is entry n - 1).
struct KCPortInfo {
    // The port while it is open through KCOpenPort; null otherwise. Exchanges
    // on other threads read it while a port is opened or closed.
    std::atomic<void*> hPort{nullptr};
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
    std::atomic<void*> hMutex{nullptr};
    // The echo setting (KCEchoMode); kept across closing and reopening.
    std::atomic<int> echoMode{KC_ECHO_AUTO};
    // What the line has shown since the port was opened: -1 nothing yet,
    // 0 no echo, 1 echo.
    std::atomic<int> lineEcho{-1};
};

// Owns a port (or file) handle while it is being opened. A caller that keeps
// the port takes it with release(); otherwise the guard closes it when it goes
// out of scope, releasing what KCClosePort releases (the port's table entry
// and its mutex), so that a probe leaves nothing behind.
class HandleGuard {
public:
    explicit HandleGuard(void* h);
    HandleGuard(HandleGuard&& other) noexcept;
    HandleGuard& operator=(HandleGuard&& other) noexcept;
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    ~HandleGuard();

    // The held handle; the invalid-handle value when opening failed.
    void* get() const { return handle_; }
    // True when the guard holds an open handle.
    explicit operator bool() const;
    // Hands the handle over to the caller; the guard then holds the
    // invalid-handle value.
    void* release();
    // Closes the held handle (as KCClosePort) unless it is null or the
    // invalid-handle value.
    void reset();

private:
    void* handle_;
};

// Builds the port table, an entry for every number from 1 to 254, so that a
// port that appears later opens too; false when the machine has no COM port
// numbered 1 to 254 at the time. A second call builds a new table.
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
// Closes the port and clears its entry (handle and mutex); the line-control
// bytes, the echo setting, `state` and `lastError` stay.
void KCClosePort(void* port);

// Why KCOpenPort refused a port.
enum KCOpenError : int {
    KC_OPEN_OK = 0,
    // No such port: not in the device folder, no device behind it, or no
    // table entry for its number.
    KC_OPEN_NOT_FOUND,
    // Another program holds the port.
    KC_OPEN_BUSY,
    // The user may not open the device (on Debian: not in the group dialout).
    KC_OPEN_NO_PERMISSION,
    // The port opened but its line settings could not be applied, or another
    // failure of the system.
    KC_OPEN_FAILED,
    // The name leads to something other than a serial device: a file, a
    // folder, a pipe, /dev/null.
    KC_OPEN_NOT_SERIAL,
    // This program holds the port already (its number is open in the table).
    KC_OPEN_HELD,
};
// What the operator is told of a KCOpenError: "Порт не найден." and so on.
const char* KCGetOpenErrorTxt(KCOpenError why);
// KCOpenPort that also says why it failed.
HandleGuard KCOpenPortWhy(const char* name, char baudCode, KCOpenError* why);

// The echo setting of an open port (KCEchoMode); returns the previous one, or
// -1 for a handle without a record or an unknown mode. The setting survives
// closing and reopening, like the line-control bytes; what the line has shown
// is forgotten at every opening.
int KCSetEchoMode(void* port, int mode);
// The setting, or -1 for a handle without a record.
int KCGetEchoMode(void* port);
// What the exchanges have seen on the line since it was opened: 1 it echoes,
// 0 it does not, -1 not known yet (or no record). With KC_ECHO_ON or
// KC_ECHO_OFF this is what was set.
int KCLineEchoes(void* port);

// Switches an open port to the speed of a baud code (as KCOpenPort maps it),
// keeping its other line settings; false when they cannot be read or applied.
bool KCSetPortSpeed(void* port, char baudCode);

// Read time-out in ms; -1 when the port's time-outs cannot be read.
int KCGetTimeOut(void* port);
// Sets the read time-out and returns the previous one; -1 on failure.
int KCSetTimeOut(void* port, int ms);

// The record of a port opened with KCOpenPort, or null.
KCPortInfo* getKCPortInfo(void* port);
