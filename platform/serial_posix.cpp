// The machine's serial ports over termios. Reads are served from a small
// receive buffer so that the byte-by-byte reads of the protocol layers cost one
// system call per burst, not per byte; purging the receive side empties it.
// One thread may purge or write while another waits in a read (the second
// protocol's consumer purges while its receive loop reads), so the receive
// buffer has a lock of its own, released while the read waits for the line.
#include "platform/device_names.h"
#include "line_clock.h"
#include "read_timer.h"
#include "serial_backend.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

namespace platform {

namespace {

struct SpeedEntry {
    std::uint32_t baud;
    speed_t code;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool speedCode(std::uint32_t baud, speed_t& code)
{
    for (const auto& e : kSpeeds)
        if (e.baud == baud) {
            code = e.code;
            return true;
        }
    return false;
}

std::uint32_t baudOf(speed_t code)
{
    for (const auto& e : kSpeeds)
        if (e.code == code)
            return e.baud;
    return 0;
}

class PosixSerialPort final : public SerialPort {
public:
    explicit PosixSerialPort(int fd) : fd_(fd)
    {
        LineSettings now;
        if (getLineSettings(now))
            line_.setFormat(now);
    }

    ~PosixSerialPort() override
    {
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }

    bool getLineSettings(LineSettings& out) override
    {
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0)
            return false;
        out.baudRate = baudOf(::cfgetospeed(&tio));
        switch (tio.c_cflag & CSIZE) {
        case CS5: out.dataBits = 5; break;
        case CS6: out.dataBits = 6; break;
        case CS7: out.dataBits = 7; break;
        default: out.dataBits = 8; break;
        }
        if (!(tio.c_cflag & PARENB))
            out.parity = Parity::None;
        else if (tio.c_cflag & CMSPAR)
            out.parity = (tio.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
        else
            out.parity = (tio.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
        out.stopBits = (tio.c_cflag & CSTOPB) ? StopBits::Two : StopBits::One;
        out.dtrControl = dtrControl_;
        out.rtsControl = (tio.c_cflag & CRTSCTS) ? LineControl::Handshake : rtsControl_;
        out.xonLimit = xonLimit_;
        out.xoffLimit = xoffLimit_;
        return true;
    }

    bool setLineSettings(const LineSettings& s) override
    {
        termios tio{};
        speed_t speed{};
        if (::tcgetattr(fd_, &tio) != 0 || !speedCode(s.baudRate, speed))
            return false;
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
        if (s.dataBits < 5 || s.dataBits > 8)
            return false;
        tio.c_cflag |= kSizes[s.dataBits - 5];
        switch (s.parity) {
        case Parity::None: break;
        case Parity::Odd: tio.c_cflag |= PARENB | PARODD; break;
        case Parity::Even: tio.c_cflag |= PARENB; break;
        case Parity::Mark: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case Parity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
        }
        // termios knows no 1.5 stop bits; two is the nearest longer gap.
        if (s.stopBits != StopBits::One)
            tio.c_cflag |= CSTOPB;
        if (s.rtsControl == LineControl::Handshake)
            tio.c_cflag |= CRTSCTS;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0
            || ::tcsetattr(fd_, TCSANOW, &tio) != 0)
            return false;
        line_.setFormat(s);
        dtrControl_ = s.dtrControl;
        rtsControl_ = s.rtsControl == LineControl::Handshake ? rtsControl_ : s.rtsControl;
        xonLimit_ = s.xonLimit;
        xoffLimit_ = s.xoffLimit;
        // Pseudo-terminals have no modem lines; the failure is of no consequence.
        setModemLine(TIOCM_DTR, s.dtrControl != LineControl::Disable);
        if (s.rtsControl != LineControl::Handshake)
            setModemLine(TIOCM_RTS, s.rtsControl == LineControl::Enable);
        return true;
    }

    bool getTimeouts(Timeouts& out) override
    {
        out = timeouts();
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
        const bool tx = (flags & (kPurgeTxAbort | kPurgeTxClear)) != 0;
        const bool rx = (flags & (kPurgeRxAbort | kPurgeRxClear)) != 0;
        if (!tx && !rx)
            return true;
        std::unique_lock<std::mutex> lock(rxMutex_, std::defer_lock);
        if (rx) {
            lock.lock();
            rxHead_ = rxTail_ = 0;
        }
        // Both sides in one call: an exchange clears both before every request.
        return ::tcflush(fd_, tx && rx ? TCIOFLUSH : (tx ? TCOFLUSH : TCIFLUSH)) == 0;
    }

    bool lineFunction(LineFunction f) override
    {
        switch (f) {
        case LineFunction::SetDtr: return setModemLine(TIOCM_DTR, true);
        case LineFunction::ClearDtr: return setModemLine(TIOCM_DTR, false);
        case LineFunction::SetRts: return setModemLine(TIOCM_RTS, true);
        case LineFunction::ClearRts: return setModemLine(TIOCM_RTS, false);
        case LineFunction::SetBreak: return ::ioctl(fd_, TIOCSBRK) == 0;
        case LineFunction::ClearBreak: return ::ioctl(fd_, TIOCCBRK) == 0;
        }
        return false;
    }

    // tcdrain may wait for ever on a wedged adapter and returns as soon as a
    // USB adapter took the bytes, or a few milliseconds after the last stop
    // bit on a UART. So: wait the line time of what was written, then until
    // the driver's queue is empty, polling in steps of a character's time,
    // never longer than the limit.
    bool drain(std::uint32_t limitMs) override
    {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        const auto deadline = limitMs == kNoLimit ? Clock::time_point::max()
                                                  : start + std::chrono::milliseconds(limitMs);
        const auto sent = line_.writtenEnd();
        std::this_thread::sleep_until(std::min(sent, deadline));
        const auto step = std::chrono::microseconds(std::max<std::uint32_t>(100, lineTimeUs(1)));
        for (;;) {
            int queued = 0;
            if (::ioctl(fd_, TIOCOUTQ, &queued) != 0)
                return false;
            if (queued == 0)
                return true;
            if (Clock::now() + step > deadline)
                return false;
            std::this_thread::sleep_for(step);
        }
    }

    std::uint32_t lineTimeUs(std::uint32_t chars) const override { return line_.lineTimeUs(chars); }

    bool read(void* buffer, std::uint32_t size, std::uint32_t& got, std::uint32_t limitMs) override
    {
        return readWithin(ReadTimer(timeouts(), size, limitMs), buffer, size, got);
    }

    bool readWaiting(void* buffer, std::uint32_t size, std::uint32_t& got) override
    {
        return readWithin(ReadTimer(Timeouts{kMaxTimeout, 0, 0, 0, 0}, size), buffer, size, got);
    }

    bool hasBufferedInput() override
    {
        std::lock_guard<std::mutex> lock(rxMutex_);
        return rxHead_ != rxTail_;
    }

    int pollDescriptor() const override { return fd_; }

    bool write(const void* data, std::uint32_t size, std::uint32_t& written, std::uint32_t limitMs) override
    {
        const auto* in = static_cast<const unsigned char*>(data);
        const std::int64_t limit = limitMs == kNoLimit ? -1 : static_cast<std::int64_t>(limitMs);
        const std::uint32_t start = nowMs();
        const auto startTime = std::chrono::steady_clock::now();
        written = 0;
        struct NoteLineTime {
            PosixSerialPort& port;
            std::chrono::steady_clock::time_point start;
            std::uint32_t& written;
            ~NoteLineTime() { port.line_.noteWritten(start, written); }
        } note{*this, startTime, written};
        while (written < size) {
            const ssize_t n = ::write(fd_, in + written, size - written);
            if (n > 0) {
                written += static_cast<std::uint32_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                return false;
            std::int64_t wait = -1;
            if (limit >= 0) {
                wait = limit - static_cast<std::int64_t>(nowMs() - start);
                if (wait <= 0)
                    return true;
            }
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, static_cast<int>(wait)) < 0 && errno != EINTR)
                return false;
        }
        return true;
    }

private:
    // The time-outs may be changed from any thread while a read on another
    // one takes them.
    Timeouts timeouts() const
    {
        std::lock_guard<std::mutex> lock(timeoutsMutex_);
        return timeouts_;
    }

    // Waits first and reads after: a byte that is waiting ends the wait at
    // once, and a reply that arrives in one piece costs one wait and one read.
    bool readWithin(ReadTimer timer, void* buffer, std::uint32_t size, std::uint32_t& got)
    {
        auto* out = static_cast<unsigned char*>(buffer);
        got = 0;
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(rxMutex_);
                got += takeBuffered(out + got, size - got);
                if (got == size)
                    return true;
            }
            const std::int64_t wait = timer.waitMs(got);
            bool hungUp = false;
            if (wait != 0 && !waitReadable(wait, hungUp))
                return false;
            std::lock_guard<std::mutex> lock(rxMutex_);
            const std::uint32_t before = rxTail_ - rxHead_;
            if (!fillBuffer())
                return false;
            // A hung-up terminal (its adapter or far end gone) polls readable
            // and then reads as empty: the line has failed once what it still
            // held has been read.
            if (hungUp && rxTail_ - rxHead_ == before)
                return false;
            if (wait == 0 && rxTail_ - rxHead_ == before) {
                got += takeBuffered(out + got, size - got);
                return true;
            }
        }
    }

    static std::uint32_t nowMs()
    {
        timespec ts{};
        ::clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::uint32_t>(ts.tv_sec * 1000u + ts.tv_nsec / 1000000);
    }

    bool setModemLine(int bit, bool on)
    {
        return ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
    }

    std::uint32_t takeBuffered(unsigned char* out, std::uint32_t room)
    {
        const std::uint32_t n = std::min<std::uint32_t>(room, rxTail_ - rxHead_);
        std::memcpy(out, rxBuffer_ + rxHead_, n);
        rxHead_ += n;
        return n;
    }

    // Reads what is waiting without blocking; false on a failed line.
    bool fillBuffer()
    {
        if (rxHead_ == rxTail_)
            rxHead_ = rxTail_ = 0;
        if (rxTail_ == sizeof rxBuffer_)
            return true;
        for (;;) {
            const ssize_t n = ::read(fd_, rxBuffer_ + rxTail_, sizeof rxBuffer_ - rxTail_);
            if (n > 0) {
                rxTail_ += static_cast<std::uint32_t>(n);
                return true;
            }
            if (n < 0 && errno == EINTR)
                continue;
            // With VMIN and VTIME 0 an empty line reads as 0 bytes, and so
            // does a hung-up one, which poll tells apart.
            return n == 0 || errno == EAGAIN;
        }
    }

    // False when the line failed; `hungUp` when poll says it hung up, which
    // it may say together with readable.
    bool waitReadable(std::int64_t ms, bool& hungUp)
    {
        pollfd p{fd_, POLLIN, 0};
        const int timeout = ms == ReadTimer::kForever ? -1 : static_cast<int>(std::min<std::int64_t>(ms, 1 << 30));
        const int r = ::poll(&p, 1, timeout);
        if (r < 0)
            return errno == EINTR;
        hungUp = r > 0 && (p.revents & (POLLHUP | POLLERR)) != 0;
        // A hung-up line with nothing to read would wake poll forever.
        return r == 0 || (p.revents & POLLIN) || !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
    }

    int fd_;
    LineClock line_;
    mutable std::mutex timeoutsMutex_;
    Timeouts timeouts_{};  // guarded by timeoutsMutex_
    LineControl dtrControl_ = LineControl::Enable;
    LineControl rtsControl_ = LineControl::Enable;
    std::uint16_t xonLimit_ = 0;
    std::uint16_t xoffLimit_ = 0;
    std::mutex rxMutex_;  // guards rxBuffer_, rxHead_ and rxTail_
    unsigned char rxBuffer_[512];
    std::uint32_t rxHead_ = 0;
    std::uint32_t rxTail_ = 0;
};

OpenError openErrorOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case ENOTDIR: return OpenError::NotFound;
    case EBUSY:
    case EWOULDBLOCK: return OpenError::Busy;
    case EACCES:
    case EPERM: return OpenError::NoPermission;
    case EISDIR: return OpenError::NotSerial;
    default: return OpenError::Other;
    }
}

}  // namespace

Handle openSystemPort(const char* name, OpenError& why)
{
    // A COM name without an entry names no port; it is never opened as a
    // file of the working folder.
    const std::optional<std::string> path = findDevicePath(name);
    if (!path) {
        why = OpenError::NotFound;
        return invalidHandle();
    }
    const int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = openErrorOf(errno);
        return invalidHandle();
    }
    if (::isatty(fd) == 0) {
        why = OpenError::NotSerial;
        ::close(fd);
        return invalidHandle();
    }
    // Ports are not shared: the advisory lock keeps out every other opener that
    // plays by the same rule, TIOCEXCL every other non-root one.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        why = OpenError::Busy;
        ::close(fd);
        return invalidHandle();
    }
    ::ioctl(fd, TIOCEXCL);
    return adoptSerialPort(std::make_unique<PosixSerialPort>(fd));
}

}  // namespace platform
