// Backend-independent part of the serial layer: the choice of the backend
// when a port is opened, handle dispatch and the parsing of textual line
// settings.
#include "platform/serial.h"

#include "platform/fake_serial_port.h"
#include "serial_backend.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {

namespace {

std::shared_ptr<SerialPort> portOf(Handle h)
{
    return handleObject<SerialPort>(h);
}

bool equalsIgnoreCase(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool parseNumber(const std::string& text, unsigned long& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    out = std::strtoul(text.c_str(), &end, 10);
    return *end == '\0';
}

bool applyField(const std::string& key, const std::string& value, LineSettings& out)
{
    unsigned long n = 0;
    if (equalsIgnoreCase(key, "baud")) {
        if (!parseNumber(value, n) || n == 0)
            return false;
        out.baudRate = static_cast<std::uint32_t>(n);
        return true;
    }
    if (equalsIgnoreCase(key, "data")) {
        if (!parseNumber(value, n) || n < 5 || n > 8)
            return false;
        out.dataBits = static_cast<std::uint8_t>(n);
        return true;
    }
    if (equalsIgnoreCase(key, "parity")) {
        if (value.size() != 1)
            return false;
        switch (std::toupper(static_cast<unsigned char>(value[0]))) {
        case 'N': out.parity = Parity::None; return true;
        case 'O': out.parity = Parity::Odd; return true;
        case 'E': out.parity = Parity::Even; return true;
        case 'M': out.parity = Parity::Mark; return true;
        case 'S': out.parity = Parity::Space; return true;
        default: return false;
        }
    }
    if (equalsIgnoreCase(key, "stop")) {
        if (value == "1") out.stopBits = StopBits::One;
        else if (value == "1.5") out.stopBits = StopBits::OneAndHalf;
        else if (value == "2") out.stopBits = StopBits::Two;
        else return false;
        return true;
    }
    if (equalsIgnoreCase(key, "dtr") || equalsIgnoreCase(key, "rts")) {
        LineControl control;
        if (equalsIgnoreCase(value, "on")) control = LineControl::Enable;
        else if (equalsIgnoreCase(value, "off")) control = LineControl::Disable;
        else if (equalsIgnoreCase(value, "hs")) control = LineControl::Handshake;
        else return false;
        (equalsIgnoreCase(key, "dtr") ? out.dtrControl : out.rtsControl) = control;
        return true;
    }
    return false;
}

}  // namespace

bool buildLineSettings(const char* text, LineSettings& out)
{
    if (text == nullptr)
        return false;
    LineSettings result = out;
    std::string word;
    const std::string all = std::string(text) + ' ';
    for (char c : all) {
        if (c != ' ' && c != '\t') {
            word += c;
            continue;
        }
        if (word.empty())
            continue;
        const auto eq = word.find('=');
        if (eq == std::string::npos || !applyField(word.substr(0, eq), word.substr(eq + 1), result))
            return false;
        word.clear();
    }
    out = result;
    return true;
}

Handle openSerialPort(const char* name, OpenError* why)
{
    OpenError error = OpenError::NotFound;
    Handle port = invalidHandle();
    if (name != nullptr && *name != '\0') {
        // A line of the unit tests registered under the name comes first;
        // every other name is a device of the machine.
        if (!isFakeDeviceName(name))
            port = openSystemPort(name, error);
        else if (auto fake = openFakeDevice(name))
            port = adoptSerialPort(std::move(fake));
        else
            error = OpenError::Busy;
    }
    if (why != nullptr)
        *why = isUsableHandle(port) ? OpenError::None : error;
    return port;
}

std::shared_ptr<SerialPort> serialPortOf(Handle port)
{
    return portOf(port);
}

Handle adoptSerialPort(std::unique_ptr<SerialPort> port)
{
    if (!port)
        return invalidHandle();
    return registerHandle(std::shared_ptr<HandleObject>(std::move(port)));
}

bool getLineSettings(Handle port, LineSettings& out)
{
    const auto p = portOf(port);
    return p && p->getLineSettings(out);
}

bool setLineSettings(Handle port, const LineSettings& settings)
{
    const auto p = portOf(port);
    return p && p->setLineSettings(settings);
}

bool getTimeouts(Handle port, Timeouts& out)
{
    const auto p = portOf(port);
    return p && p->getTimeouts(out);
}

bool setTimeouts(Handle port, const Timeouts& timeouts)
{
    const auto p = portOf(port);
    return p && p->setTimeouts(timeouts);
}

bool purgePort(Handle port, unsigned flags)
{
    const auto p = portOf(port);
    return p && p->purge(flags);
}

bool lineFunction(Handle port, LineFunction function)
{
    const auto p = portOf(port);
    return p && p->lineFunction(function);
}

bool drainPort(Handle port, std::uint32_t limitMs)
{
    const auto p = portOf(port);
    return p && p->drain(limitMs);
}

bool readPort(Handle port, void* buffer, std::uint32_t size, std::uint32_t& got)
{
    got = 0;
    const auto p = portOf(port);
    return p && (size == 0 || buffer != nullptr) && p->read(buffer, size, got, kNoLimit);
}

bool readWaiting(Handle port, void* buffer, std::uint32_t size, std::uint32_t& got)
{
    got = 0;
    const auto p = portOf(port);
    return p && (size == 0 || buffer != nullptr) && p->readWaiting(buffer, size, got);
}

bool writePort(Handle port, const void* data, std::uint32_t size, std::uint32_t& written)
{
    written = 0;
    const auto p = portOf(port);
    Timeouts t;
    if (!p || (size != 0 && data == nullptr) || !p->getTimeouts(t))
        return false;
    const std::uint64_t limit = std::uint64_t{t.writeMultiplier} * size + t.writeConstant;
    return p->write(data, size, written, limit == 0 || limit >= kNoLimit ? kNoLimit : static_cast<std::uint32_t>(limit));
}

}  // namespace platform
