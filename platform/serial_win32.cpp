// The machine's serial ports through the Win32 communications functions. The
// port is opened without overlapped I/O. Bytes that the driver reports
// waiting (ClearCommError) are taken without a wait; otherwise a read asks
// for one byte with the driver's COMMTIMEOUTS set to what is left of the
// layer's read time-outs (ReadTimer), so that it wakes with the first byte,
// as on the POSIX backend.
#include "platform/device_names.h"
#include "line_clock.h"
#include "read_timer.h"
#include "serial_backend.h"
#include "win32_text.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

namespace platform {

namespace {

class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(HANDLE port) : port_(port)
    {
        LineSettings now;
        if (getLineSettings(now))
            line_.setFormat(now);
    }

    ~Win32SerialPort() override { ::CloseHandle(port_); }

    bool getLineSettings(LineSettings& out) override
    {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!::GetCommState(port_, &dcb))
            return false;
        out.baudRate = dcb.BaudRate;
        out.dataBits = dcb.ByteSize;
        static constexpr Parity kParities[] = {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space};
        out.parity = dcb.Parity <= SPACEPARITY ? kParities[dcb.Parity] : Parity::None;
        out.stopBits = dcb.StopBits == ONESTOPBIT ? StopBits::One
            : dcb.StopBits == ONE5STOPBITS        ? StopBits::OneAndHalf
                                                  : StopBits::Two;
        out.dtrControl = controlOf(dcb.fDtrControl, DTR_CONTROL_HANDSHAKE);
        out.rtsControl = controlOf(dcb.fRtsControl, RTS_CONTROL_HANDSHAKE);
        out.xonLimit = dcb.XonLim;
        out.xoffLimit = dcb.XoffLim;
        return true;
    }

    bool setLineSettings(const LineSettings& s) override
    {
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (s.dataBits < 5 || s.dataBits > 8 || !::GetCommState(port_, &dcb))
            return false;
        dcb.fBinary = TRUE;
        dcb.BaudRate = s.baudRate;
        dcb.ByteSize = s.dataBits;
        static constexpr BYTE kParities[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
        dcb.Parity = kParities[static_cast<int>(s.parity)];
        dcb.fParity = s.parity != Parity::None;
        dcb.StopBits = s.stopBits == StopBits::One ? ONESTOPBIT
            : s.stopBits == StopBits::OneAndHalf   ? ONE5STOPBITS
                                                   : TWOSTOPBITS;
        dcb.fDtrControl = s.dtrControl == LineControl::Disable ? DTR_CONTROL_DISABLE
            : s.dtrControl == LineControl::Enable              ? DTR_CONTROL_ENABLE
                                                               : DTR_CONTROL_HANDSHAKE;
        dcb.fRtsControl = s.rtsControl == LineControl::Disable ? RTS_CONTROL_DISABLE
            : s.rtsControl == LineControl::Enable              ? RTS_CONTROL_ENABLE
                                                               : RTS_CONTROL_HANDSHAKE;
        dcb.fOutxCtsFlow = s.rtsControl == LineControl::Handshake;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        dcb.XonLim = s.xonLimit;
        dcb.XoffLim = s.xoffLimit;
        if (!::SetCommState(port_, &dcb))
            return false;
        line_.setFormat(s);
        return true;
    }

    bool getTimeouts(Timeouts& out) override
    {
        std::lock_guard<std::mutex> lock(timeoutsMutex_);
        out = timeouts_;
        return true;
    }

    bool setTimeouts(const Timeouts& t) override
    {
        std::lock_guard<std::mutex> lock(timeoutsMutex_);
        timeouts_ = t;
        return true;
    }

    bool purge(unsigned flags) override
    {
        DWORD what = 0;
        if (flags & kPurgeTxAbort) what |= PURGE_TXABORT;
        if (flags & kPurgeRxAbort) what |= PURGE_RXABORT;
        if (flags & kPurgeTxClear) what |= PURGE_TXCLEAR;
        if (flags & kPurgeRxClear) what |= PURGE_RXCLEAR;
        return what == 0 || ::PurgeComm(port_, what) != 0;
    }

    bool lineFunction(LineFunction f) override
    {
        static constexpr DWORD kFunctions[] = {SETDTR, CLRDTR, SETRTS, CLRRTS, SETBREAK, CLRBREAK};
        return ::EscapeCommFunction(port_, kFunctions[static_cast<int>(f)]) != 0;
    }

    // Waits the line time of what was written, then until the driver's
    // output queue is empty, in steps of a character's time, never longer
    // than the limit (FlushFileBuffers could wait for ever on a wedged
    // adapter).
    bool drain(std::uint32_t limitMs) override
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline = limitMs == kNoLimit ? Clock::time_point::max()
                                                  : Clock::now() + std::chrono::milliseconds(limitMs);
        const auto sent = line_.writtenEnd();
        std::this_thread::sleep_until(std::min(sent, deadline));
        const auto step = std::chrono::microseconds(std::max<std::uint32_t>(1000, lineTimeUs(1)));
        for (;;) {
            COMSTAT status{};
            DWORD errors = 0;
            if (!::ClearCommError(port_, &errors, &status))
                return false;
            if (status.cbOutQue == 0)
                return true;
            if (Clock::now() + step > deadline)
                return false;
            std::this_thread::sleep_for(step);
        }
    }

    std::uint32_t lineTimeUs(std::uint32_t chars) const override { return line_.lineTimeUs(chars); }

    bool read(void* buffer, std::uint32_t size, std::uint32_t& got, std::uint32_t limitMs) override
    {
        Timeouts t;
        getTimeouts(t);
        return readWithin(ReadTimer(t, size, limitMs), buffer, size, got);
    }

    bool readWaiting(void* buffer, std::uint32_t size, std::uint32_t& got) override
    {
        return readWithin(ReadTimer(Timeouts{kMaxTimeout, 0, 0, 0, 0}, size), buffer, size, got);
    }

    bool hasBufferedInput() override
    {
        COMSTAT status{};
        DWORD errors = 0;
        // A port that fails counts as ready: the next read reports it.
        return !::ClearCommError(port_, &errors, &status) || status.cbInQue > 0;
    }

    int pollDescriptor() const override { return -1; }

    bool write(const void* data, std::uint32_t size, std::uint32_t& written, std::uint32_t limitMs) override
    {
        written = 0;
        if (size == 0)
            return true;
        const auto start = std::chrono::steady_clock::now();
        // A write time-out of the driver is a total of multiplier and
        // constant; none at all when both are 0.
        const DWORD limit = limitMs == kNoLimit ? 0 : std::max<std::uint32_t>(limitMs, 1);
        if (!setDriverTimeouts([limit](COMMTIMEOUTS& t) {
                t.WriteTotalTimeoutMultiplier = 0;
                t.WriteTotalTimeoutConstant = limit;
            }))
            return false;
        DWORD done = 0;
        const bool ok = ::WriteFile(port_, data, size, &done, nullptr) != 0;
        written = done;
        line_.noteWritten(start, written);
        // A write cut short by its time-out is no failure of the line.
        return ok || (::GetLastError() == ERROR_TIMEOUT || ::GetLastError() == ERROR_COUNTER_TIMEOUT);
    }

private:
    static LineControl controlOf(DWORD control, DWORD handshake)
    {
        if (control == handshake)
            return LineControl::Handshake;
        return control == 0 ? LineControl::Disable : LineControl::Enable;
    }

    // Reads what is waiting at once; otherwise lets the driver wait up to
    // what the timer leaves for the first byte, then takes what followed it.
    bool readWithin(ReadTimer timer, void* buffer, std::uint32_t size, std::uint32_t& got)
    {
        auto* out = static_cast<unsigned char*>(buffer);
        got = 0;
        while (got < size) {
            COMSTAT status{};
            DWORD errors = 0;
            if (!::ClearCommError(port_, &errors, &status))
                return false;
            const std::int64_t wait = status.cbInQue > 0 ? 0 : timer.waitMs(got);
            if (wait == 0 && status.cbInQue == 0)
                return true;
            // Waiting, one byte is asked for with a total time-out: the read
            // ends as soon as it is full. (The driver's "first byte" form of
            // the time-outs is not honoured by every driver: wine waits its
            // whole constant.) The constant must lie below MAXDWORD; a read
            // without a limit waits in long steps.
            const DWORD waitMs = wait == 0 ? 0
                : wait == ReadTimer::kForever ? kLongWaitMs
                                              : static_cast<DWORD>(std::min<std::int64_t>(wait, kLongWaitMs));
            if (!setDriverTimeouts([waitMs](COMMTIMEOUTS& t) {
                    t.ReadIntervalTimeout = waitMs == 0 ? MAXDWORD : 0;
                    t.ReadTotalTimeoutMultiplier = 0;
                    t.ReadTotalTimeoutConstant = waitMs;
                }))
                return false;
            const DWORD ask = waitMs == 0 ? std::min<DWORD>(size - got, status.cbInQue) : 1;
            DWORD n = 0;
            if (!::ReadFile(port_, out + got, ask, &n, nullptr))
                return false;
            got += n;
            if (n > 0)
                timer.waitMs(got);
        }
        return true;
    }

    // Changes the read or the write fields of the driver's time-outs, keeping
    // the others, so that a write on one thread leaves a read waiting on
    // another as it was; SetCommTimeouts is called only when a value changes,
    // as it is a round trip to the driver.
    template <class Change>
    bool setDriverTimeouts(Change change)
    {
        std::lock_guard<std::mutex> lock(driverMutex_);
        COMMTIMEOUTS t = driverTimeouts_;
        change(t);
        if (driverTimeoutsSet_ && t.ReadIntervalTimeout == driverTimeouts_.ReadIntervalTimeout
            && t.ReadTotalTimeoutMultiplier == driverTimeouts_.ReadTotalTimeoutMultiplier
            && t.ReadTotalTimeoutConstant == driverTimeouts_.ReadTotalTimeoutConstant
            && t.WriteTotalTimeoutMultiplier == driverTimeouts_.WriteTotalTimeoutMultiplier
            && t.WriteTotalTimeoutConstant == driverTimeouts_.WriteTotalTimeoutConstant)
            return true;
        if (!::SetCommTimeouts(port_, &t))
            return false;
        driverTimeouts_ = t;
        driverTimeoutsSet_ = true;
        return true;
    }

    static constexpr DWORD kLongWaitMs = 1000000;

    HANDLE port_;
    LineClock line_;
    std::mutex timeoutsMutex_;
    Timeouts timeouts_{};  // guarded by timeoutsMutex_
    std::mutex driverMutex_;
    COMMTIMEOUTS driverTimeouts_{};  // guarded by driverMutex_
    bool driverTimeoutsSet_ = false;  // guarded by driverMutex_
};

OpenError openErrorOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_INVALID_NAME: return OpenError::NotFound;
    // Windows refuses a port that another program holds with access denied.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return OpenError::Busy;
    default: return OpenError::Other;
    }
}

}  // namespace

Handle openSystemPort(const char* name, OpenError& why)
{
    const std::optional<std::string> path = findDevicePath(name);
    if (!path) {
        why = OpenError::NotFound;
        return invalidHandle();
    }
    const HANDLE port = ::CreateFileW(detail::wideText(*path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        why = openErrorOf(::GetLastError());
        return invalidHandle();
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (::GetFileType(port) != FILE_TYPE_CHAR || !::GetCommState(port, &dcb)) {
        why = OpenError::NotSerial;
        ::CloseHandle(port);
        return invalidHandle();
    }
    return adoptSerialPort(std::make_unique<Win32SerialPort>(port));
}

}  // namespace platform
