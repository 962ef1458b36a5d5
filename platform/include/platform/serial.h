// Serial ports: opening by device name, line settings, time-outs, modem lines,
// purging and byte transfer. Every function takes a port handle from
// openSerialPort (or adoptSerialPort) and fails with false on any other handle.
#pragma once

#include "platform/handle.h"

#include <chrono>
#include <cstdint>
#include <memory>

namespace platform {

enum class Parity : std::uint8_t { None, Odd, Even, Mark, Space };
enum class StopBits : std::uint8_t { One, OneAndHalf, Two };

// How the port drives DTR or RTS while it is open: held low, held high, or
// left to the driver's handshake.
enum class LineControl : std::uint8_t { Disable, Enable, Handshake };

struct LineSettings {
    std::uint32_t baudRate = 9600;
    std::uint8_t dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    LineControl dtrControl = LineControl::Enable;
    LineControl rtsControl = LineControl::Enable;
    std::uint16_t xonLimit = 0;
    std::uint16_t xoffLimit = 0;
};

// Parses settings written as "baud=9600 parity=N data=8 stop=1" (any order,
// any subset; fields left out keep their values in `out`). False on a field
// it does not understand.
bool buildLineSettings(const char* text, LineSettings& out);

// Read and write time-outs in milliseconds, with the meaning serial drivers
// give them: a read waits at most multiplier * bytes + constant in total and
// at most `readInterval` between two bytes; kMaxTimeout in `readInterval` with
// zero multiplier and constant returns at once with what is waiting; and
// kMaxTimeout in both `readInterval` and `readMultiplier` with a constant
// between 1 and kMaxTimeout - 1 returns as soon as one byte is there, or after
// `readConstant` ms with none.
struct Timeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readMultiplier = 0;
    std::uint32_t readConstant = 0;
    std::uint32_t writeMultiplier = 0;
    std::uint32_t writeConstant = 0;
};
constexpr std::uint32_t kMaxTimeout = 0xFFFFFFFFu;

enum PurgeFlags : unsigned {
    kPurgeTxAbort = 0x1,
    kPurgeRxAbort = 0x2,
    kPurgeTxClear = 0x4,
    kPurgeRxClear = 0x8,
};

enum class LineFunction { SetDtr, ClearDtr, SetRts, ClearRts, SetBreak, ClearBreak };

// A limit of "no limit" for the calls that take one.
constexpr std::uint32_t kNoLimit = 0xFFFFFFFFu;

// The operations every port backend provides: the termios port of the
// machine and the in-memory fake of the unit tests.
class SerialPort : public HandleObject {
public:
    virtual bool getLineSettings(LineSettings& out) = 0;
    virtual bool setLineSettings(const LineSettings& settings) = 0;
    virtual bool getTimeouts(Timeouts& out) = 0;
    virtual bool setTimeouts(const Timeouts& timeouts) = 0;
    virtual bool purge(unsigned flags) = 0;
    virtual bool lineFunction(LineFunction function) = 0;
    // Waits until everything written has left the line, at most `limitMs`;
    // false when it did not within the limit or the port failed. Where the
    // driver cannot tell when the last stop bit left, the characters' line
    // time at the port's speed since they were written is waited for.
    virtual bool drain(std::uint32_t limitMs) = 0;
    // The time `chars` characters take on the line at the port's speed and
    // character format, in microseconds; known without a system call.
    virtual std::uint32_t lineTimeUs(std::uint32_t chars) const = 0;
    // Reads up to `size` bytes within the port's read time-outs, and within
    // `limitMs` when it is not kNoLimit; true with `got` 0 means the time
    // passed without a byte; false means the line failed (a vanished adapter,
    // a hung-up line).
    virtual bool read(void* buffer, std::uint32_t size, std::uint32_t& got, std::uint32_t limitMs) = 0;
    // Reads up to `size` bytes of what has arrived, without waiting, whatever
    // the port's read time-outs; false means the line failed.
    virtual bool readWaiting(void* buffer, std::uint32_t size, std::uint32_t& got) = 0;
    // For waits on a port and events together (port_wait.h): true when bytes
    // are ready for a read without asking the system, or the line failed.
    virtual bool hasBufferedInput() = 0;
    // A descriptor of the system that polls readable when bytes arrive (or
    // the line fails); -1 when the port has none, and a wait then looks at
    // hasBufferedInput every millisecond.
    virtual int pollDescriptor() const = 0;
    // Writes within `limitMs` (kNoLimit: none); true with `written` below
    // `size` when the limit passed first; false when the line failed.
    virtual bool write(const void* data, std::uint32_t size, std::uint32_t& written, std::uint32_t limitMs) = 0;
    // The clock that deadlines on this port's line are measured by: the
    // machine's steady clock, or the in-memory line's own (which never runs
    // behind it).
    virtual std::chrono::steady_clock::time_point lineClock() const { return std::chrono::steady_clock::now(); }
};

// Why a port could not be opened: NotSerial for a name that leads to
// something other than a terminal (a file, a folder, a pipe, /dev/null).
enum class OpenError { None, NotFound, Busy, NoPermission, NotSerial, Other };

// Opens a port exclusively. `name` is a device name of the namespace (COM3,
// \\.\com3, any case) or a path such as /dev/ttyUSB0. Returns the
// invalid-handle value when the port cannot be opened or is in use, and then
// says why in `why` when it is given.
Handle openSerialPort(const char* name, OpenError* why = nullptr);

// The port object of a handle, held for the caller's use, or null for any
// other handle: for code that makes many calls on one port in a row.
std::shared_ptr<SerialPort> serialPortOf(Handle port);

// Hands a port object to the layer and returns its handle (for the fake
// backend and for tests); closeHandle destroys it.
Handle adoptSerialPort(std::unique_ptr<SerialPort> port);

bool getLineSettings(Handle port, LineSettings& out);
bool setLineSettings(Handle port, const LineSettings& settings);
bool getTimeouts(Handle port, Timeouts& out);
bool setTimeouts(Handle port, const Timeouts& timeouts);
bool purgePort(Handle port, unsigned flags);
bool lineFunction(Handle port, LineFunction function);
bool drainPort(Handle port, std::uint32_t limitMs = kNoLimit);
// Reads up to `size` bytes within the port's read time-outs; true with `got`
// 0 means the time-out passed without a byte.
bool readPort(Handle port, void* buffer, std::uint32_t size, std::uint32_t& got);
// Reads up to `size` bytes of what has arrived, without waiting.
bool readWaiting(Handle port, void* buffer, std::uint32_t size, std::uint32_t& got);
// Writes within the port's write time-outs (none when both are 0).
bool writePort(Handle port, const void* data, std::uint32_t size, std::uint32_t& written);

}  // namespace platform
