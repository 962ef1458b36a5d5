// Backend-independent part of the serial layer: handle dispatch and the
// parsing of textual line settings.
#include "platform/serial.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {

namespace {

SerialPort* portOf(Handle h)
{
    if (!isUsableHandle(h))
        return nullptr;
    return dynamic_cast<SerialPort*>(static_cast<HandleObject*>(h));
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

Handle adoptSerialPort(std::unique_ptr<SerialPort> port)
{
    if (!port)
        return invalidHandle();
    return static_cast<HandleObject*>(port.release());
}

bool getLineSettings(Handle port, LineSettings& out)
{
    SerialPort* p = portOf(port);
    return p && p->getLineSettings(out);
}

bool setLineSettings(Handle port, const LineSettings& settings)
{
    SerialPort* p = portOf(port);
    return p && p->setLineSettings(settings);
}

bool getTimeouts(Handle port, Timeouts& out)
{
    SerialPort* p = portOf(port);
    return p && p->getTimeouts(out);
}

bool setTimeouts(Handle port, const Timeouts& timeouts)
{
    SerialPort* p = portOf(port);
    return p && p->setTimeouts(timeouts);
}

bool purgePort(Handle port, unsigned flags)
{
    SerialPort* p = portOf(port);
    return p && p->purge(flags);
}

bool lineFunction(Handle port, LineFunction function)
{
    SerialPort* p = portOf(port);
    return p && p->lineFunction(function);
}

bool drainPort(Handle port)
{
    SerialPort* p = portOf(port);
    return p && p->drain();
}

bool readPort(Handle port, void* buffer, std::uint32_t size, std::uint32_t& got)
{
    got = 0;
    SerialPort* p = portOf(port);
    return p && (size == 0 || buffer != nullptr) && p->read(buffer, size, got);
}

bool writePort(Handle port, const void* data, std::uint32_t size, std::uint32_t& written)
{
    written = 0;
    SerialPort* p = portOf(port);
    return p && (size == 0 || data != nullptr) && p->write(data, size, written);
}

}  // namespace platform
