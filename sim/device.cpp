#include "device.h"

namespace sim {

namespace {

constexpr std::uint8_t kIllegalFunction = 1;
constexpr std::uint8_t kIllegalAddress = 2;
constexpr std::uint8_t kIllegalValue = 3;
constexpr std::uint16_t kMaxReadCount = 125;

std::uint16_t word(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

void putWord(Bytes& b, std::uint16_t w)
{
    b.push_back(static_cast<std::uint8_t>(w >> 8));
    b.push_back(static_cast<std::uint8_t>(w & 0xFF));
}

}  // namespace

unsigned baudOfCode(int code)
{
    static constexpr unsigned kBauds[] = {600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return code >= 0 && code <= 8 ? kBauds[code] : 19200;
}

Device::Device(std::uint8_t address, int baudCode) : address_(address), baudCode_(baudCode) {}

std::optional<Bytes> Device::answer(const Bytes& request)
{
    if (faults_.silence || faults_.stream != StreamKind::None || request.size() < 2 || faults_.muted.test(request[1]))
        return std::nullopt;
    const std::uint8_t function = request[1];
    if (faults_.exception != 0)
        return exceptionReply(function, static_cast<std::uint8_t>(faults_.exception));
    if (function == 4 && request.size() == 6 && faults_.refusedRegister >= 0
        && faults_.refusedRegister >= word(request, 2) && faults_.refusedRegister < word(request, 2) + word(request, 4))
        return exceptionReply(function, kIllegalAddress);
    beginRequest();
    Bytes reply;
    switch (function) {
    case 4: reply = readInputRegisters(request); break;
    case 16: reply = writeMultipleRegisters(request); break;
    case 7: reply = Bytes{address_, 7, statusByte()}; break;
    case 5: reply = hasTypeByte() ? Bytes{address_, 5, typeByte()} : exceptionReply(5, kIllegalFunction); break;
    default: reply = otherFunction(request); break;
    }
    if (!reply.empty())
        reply[0] = request[0];
    return reply;
}

bool Device::listensAt(std::uint8_t address, unsigned baud, const Bytes&) const
{
    return address == address_ && baud == baudOfCode(baudCode_);
}

Bytes Device::readInputRegisters(const Bytes& request)
{
    if (request.size() != 6)
        return exceptionReply(4, kIllegalValue);
    const std::uint16_t start = word(request, 2);
    const std::uint16_t count = word(request, 4);
    if (count == 0 || count > kMaxReadCount)
        return exceptionReply(4, kIllegalValue);
    Bytes reply{address_, 4, static_cast<std::uint8_t>(2 * count)};
    for (std::uint32_t reg = start; reg < std::uint32_t{start} + count; ++reg) {
        std::uint16_t value = 0;
        if (reg > 0xFFFF || !readRegister(static_cast<std::uint16_t>(reg), value))
            return exceptionReply(4, kIllegalAddress);
        putWord(reply, value);
    }
    return reply;
}

Bytes Device::writeMultipleRegisters(const Bytes& request)
{
    if (request.size() < 7)
        return exceptionReply(16, kIllegalValue);
    const std::uint16_t start = word(request, 2);
    const std::uint16_t count = word(request, 4);
    const std::uint8_t byteCount = request[6];
    if (count == 0 || byteCount != 2 * count || request.size() != 7u + byteCount)
        return exceptionReply(16, kIllegalValue);
    std::vector<std::uint16_t> values;
    for (std::uint16_t i = 0; i < count; ++i)
        values.push_back(word(request, 7 + 2 * i));
    if (const std::uint8_t code = writeRegisters(start, values))
        return exceptionReply(16, code);
    // The reply goes out from the old address; a new one applies afterwards.
    Bytes reply{address_, 16};
    putWord(reply, start);
    putWord(reply, count);
    afterWrite();
    return reply;
}

std::uint8_t Device::writeRegisters(std::uint16_t start, const std::vector<std::uint16_t>& values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!writeRegister(static_cast<std::uint16_t>(start + i), values[i]))
            return kIllegalAddress;
    return 0;
}

Bytes Device::otherFunction(const Bytes& request)
{
    return exceptionReply(request[1], kIllegalFunction);
}

Bytes Device::exceptionReply(std::uint8_t function, std::uint8_t code) const
{
    return Bytes{address_, static_cast<std::uint8_t>(function | 0x80), code};
}

bool RegisterDevice::readRegister(std::uint16_t reg, std::uint16_t& value)
{
    const auto it = registers_.find(reg);
    value = it == registers_.end() ? 0 : it->second;
    return true;
}

bool RegisterDevice::writeRegister(std::uint16_t reg, std::uint16_t value)
{
    registers_[reg] = value;
    return true;
}

}  // namespace sim
