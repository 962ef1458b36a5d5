#include "pty_line.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace sim {

namespace {

struct SpeedEntry {
    speed_t code;
    unsigned baud;
};

constexpr SpeedEntry kSpeeds[] = {
    {B300, 300},     {B600, 600},     {B1200, 1200},     {B2400, 2400},     {B4800, 4800},
    {B9600, 9600},   {B19200, 19200}, {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
    {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

}  // namespace

PtyLine::PtyLine(const std::string& folder, int comNumber)
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    terminalPath_ = ::ptsname(master_);
    terminal_ = ::open(terminalPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal_ < 0)
        throw std::runtime_error("cannot open " + terminalPath_);
    // Raw until a program sets the line up: no echo of requests, no line editing.
    termios tio{};
    ::tcgetattr(terminal_, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B19200);
    ::tcsetattr(terminal_, TCSANOW, &tio);

    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    linkPath_ = folder + "/COM" + std::to_string(comNumber);
    std::filesystem::remove(linkPath_, ec);
    std::filesystem::create_symlink(terminalPath_, linkPath_, ec);
    if (ec)
        throw std::runtime_error("cannot publish " + linkPath_ + ": " + ec.message());
}

PtyLine::~PtyLine()
{
    // Take the entry away only if it still names this line.
    std::error_code ec;
    if (std::filesystem::read_symlink(linkPath_, ec) == terminalPath_)
        std::filesystem::remove(linkPath_, ec);
    if (terminal_ >= 0)
        ::close(terminal_);
    if (master_ >= 0)
        ::close(master_);
}

unsigned PtyLine::lineBaud() const
{
    termios tio{};
    if (::tcgetattr(terminal_, &tio) != 0)
        return 0;
    const speed_t speed = ::cfgetospeed(&tio);
    for (const auto& e : kSpeeds)
        if (e.code == speed)
            return e.baud;
    return 0;
}

std::size_t PtyLine::unreadByTerminal() const
{
    int count = 0;
    return ::ioctl(terminal_, TIOCINQ, &count) == 0 && count > 0 ? static_cast<std::size_t>(count) : 0;
}

std::string PtyLine::read(std::chrono::milliseconds timeout)
{
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0 || !(p.revents & POLLIN))
        return {};
    char buffer[1024];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

void PtyLine::write(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return;
    }
}

}  // namespace sim
