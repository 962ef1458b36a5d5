// getDeviceInfo: the identification registers 0 to 24 and the type byte,
// decoded into a DeviceInfo.
#include <kcmb/register_services.h>

#include <kcmb/modbus_ascii.h>
#include "platform/clock.h"

#include <cstring>

namespace {

using kc::Fault;
using kc::Result;

constexpr int kRegisterCount = 25;
// Devices need a pause between the reads of the identification block.
constexpr std::uint32_t kPauseMs = 50;
constexpr unsigned short kKelvinOffset = 273;

// Puts the characters of `count` registers from `first` into `text`, high byte
// first.
void copyText(const unsigned short* regs, int first, int count, char* text)
{
    for (int i = 0; i < count; ++i) {
        text[2 * i] = static_cast<char>(regs[first + i] >> 8);
        text[2 * i + 1] = static_cast<char>(regs[first + i] & 0xFF);
    }
}

bool isKnownType(unsigned t)
{
    switch (t) {
    case 0: case 1: case 2: case 3: case 6: case 8: case 131: case 135: return true;
    default: return false;
    }
}

// Older devices name their type in register 22; newer ones put another value
// there and answer the type byte request, with register 23 as the fallback.
void decodeType(const unsigned short* regs, bool typeRead, unsigned short typeByte, DeviceInfo& info)
{
    unsigned t = regs[22] & 0xFF;
    if (isKnownType(t)) {
        info.type = static_cast<unsigned short>(t);
        info.variant = 0;
        return;
    }
    if (typeRead) {
        t = typeByte & 0xFF;
        info.type = static_cast<unsigned short>(t);
    }
    if (t == 3 || t == 131) {
        info.variant = 1;
    } else if (t == 135) {
        info.variant = 2;
    } else {
        info.variant = 1;
        info.type = regs[23] & 0xFF;
    }
}

}  // namespace

namespace kc {

Result getDeviceInfo(void* port, char address, DeviceInfo* info)
{
    if (info == nullptr)
        return Result::failure(Fault::BadArgument);
    unsigned short typeByte = 0;
    const Result typeResult = readTypeID(port, address, &typeByte);
    // A stream on the line or a failed port spoils the register reads as
    // well: each would cost another exchange's deadline.
    if (typeResult.fault == Fault::EndlessInput || typeResult.fault == Fault::PortFailed)
        return typeResult;
    const bool typeRead = typeResult.ok();

    unsigned short regs[kRegisterCount] = {};
    Result result = readWords(port, address, 0, regs, 10);
    if (!result.ok())
        return result;
    platform::sleepMs(kPauseMs);
    result = readWords(port, address, 10, regs + 10, 10);
    if (!result.ok())
        return result;
    platform::sleepMs(kPauseMs);
    result = readWords(port, address, 20, regs + 20, 5);
    if (!result.ok())
        return result;

    std::memset(info, 0, sizeof *info);
    info->address = static_cast<unsigned char>(address);
    info->tempMin = static_cast<unsigned short>(regs[0] - kKelvinOffset);
    info->tempMax = static_cast<unsigned short>(regs[1] - kKelvinOffset);
    info->reg2 = regs[2];
    // Register 12 is the last of the verification date in the newer layout,
    // which gives the serial number four characters instead of two.
    if (regs[12] == 0) {
        copyText(regs, 5, 1, info->serial);
        copyText(regs, 6, 2, info->year);
        copyText(regs, 8, 4, info->verifyDate);
    } else {
        copyText(regs, 5, 2, info->serial);
        copyText(regs, 7, 2, info->year);
        copyText(regs, 9, 4, info->verifyDate);
    }
    info->sensor = static_cast<signed char>(regs[4] & 0xFF);
    decodeType(regs, typeRead, typeByte, *info);
    return result;
}

}  // namespace kc

int getDeviceInfo(void* port, char address, DeviceInfo* info)
{
    return kc::getDeviceInfo(port, address, info).code();
}
