#include <kcmb/register_services.h>

#include <kcmb/modbus_ascii.h>

#include "Shared.h"

#include <algorithm>
#include <cstring>

namespace {

using kc::Fault;
using kc::Result;

// Replies to the plain requests fit the exchange's frame; the table write
// expects only a short acknowledgement.
constexpr int kReplySize = 256;
constexpr int kTableReplySize = 50;
// Bytes of a reply before its data: address, function, byte count or code.
constexpr int kReplyHead = 3;
constexpr unsigned short kTableBlockWords = 10;
// The device expects the register of a table block shifted by this much.
constexpr unsigned short kTableRegisterShift = 22016;

char highByte(unsigned short value) { return static_cast<char>(value >> 8); }
char lowByte(unsigned short value) { return static_cast<char>(value & 0xFF); }

// The exchange has checked that an exception reply is whole: address,
// function with bit 7, code.
bool isException(const char* reply)
{
    return (static_cast<unsigned char>(reply[1]) & 0x80) != 0;
}

Result exceptionOf(const char* reply)
{
    return Result::deviceException(static_cast<signed char>(reply[2]));
}

// A request of `function` without data, whose reply's third byte is
// delivered sign-extended (an exception reply's code included).
Result readByte(void* port, char address, char function, unsigned short* value)
{
    if (value == nullptr)
        return Result::failure(Fault::BadArgument);
    const char request[2] = {address, function};
    char reply[kReplySize];
    int replyCount = 0;
    const Result result = kc::exchange(port, request, sizeof request, reply, sizeof reply, &replyCount);
    if (!result.ok())
        return result;
    *value = static_cast<unsigned short>(static_cast<signed char>(reply[2]));
    return result;
}

}  // namespace

namespace kc {

Result readException(void* port, char address, unsigned short* status)
{
    return readByte(port, address, 7, status);
}

Result readTypeID(void* port, char address, unsigned short* type)
{
    return readByte(port, address, 5, type);
}

Result readWords(void* port, char address, unsigned short start, unsigned short* words, unsigned short count)
{
    // A reply of more than 126 bytes does not fit the frame; the device would
    // refuse the count anyway.
    if ((words == nullptr && count > 0) || count > (kReplySize - kReplyHead - 1) / 2)
        return Result::failure(Fault::BadArgument);
    const char request[6] = {address, 4, highByte(start), lowByte(start), highByte(count), lowByte(count)};
    char reply[kReplySize];
    int replyCount = 0;
    const Result result = exchange(port, request, sizeof request, reply, sizeof reply, &replyCount);
    if (!result.ok())
        return result;
    if (isException(reply))
        return exceptionOf(reply);
    if (count > 0) {
        std::memcpy(words, reply + kReplyHead, 2u * count);
        Shared::swapBytes(words, count);
    }
    return result;
}

Result writeWords(void* port, char address, unsigned short start, unsigned short* words, unsigned short count)
{
    if (count > kMaxWriteWords || (words == nullptr && count > 0))
        return Result::failure(Fault::BadArgument);
    char request[7 + 2 * kMaxWriteWords];
    request[0] = address;
    request[1] = 16;
    request[2] = highByte(start);
    request[3] = lowByte(start);
    request[4] = highByte(count);
    request[5] = lowByte(count);
    request[6] = static_cast<char>(2 * count);
    Shared::swapBytes(words, count);
    if (count > 0)
        std::memcpy(request + 7, words, 2u * count);
    char reply[kReplySize];
    int replyCount = 0;
    const Result result = exchange(port, request, 7 + 2 * count, reply, sizeof reply, &replyCount);
    if (!result.ok())
        return result;
    return isException(reply) ? exceptionOf(reply) : result;
}

Result writeTable(void* port, char address, unsigned short start, unsigned short* words, unsigned short count,
                  unsigned short swap)
{
    if (count > kMaxTableWords || (words == nullptr && count > 0))
        return Result::failure(Fault::BadArgument);
    unsigned short copy[kMaxTableWords];
    if (count > 0)
        std::memcpy(copy, words, 2u * count);
    if (swap != 0)
        Shared::swapBytes(copy, count);
    for (unsigned short first = 0; first < count; first = static_cast<unsigned short>(first + kTableBlockWords)) {
        const int blockWords = std::min(count - first, int{kTableBlockWords});
        const auto reg = static_cast<unsigned short>(start + first - kTableRegisterShift);
        char request[7 + 2 * kTableBlockWords];
        request[0] = address;
        request[1] = 25;
        request[2] = highByte(reg);
        request[3] = lowByte(reg);
        request[4] = 0;
        request[5] = static_cast<char>(blockWords);
        request[6] = static_cast<char>(2 * blockWords);
        std::memcpy(request + 7, copy + first, 2 * static_cast<std::size_t>(blockWords));
        char reply[kTableReplySize];
        int replyCount = 0;
        const Result result = exchange(port, request, 7 + 2 * blockWords, reply, sizeof reply, &replyCount);
        if (!result.ok())
            return result;
        if (isException(reply))
            return exceptionOf(reply);
    }
    return Result::success();
}

}  // namespace kc

int readException(void* port, char address, unsigned short* status)
{
    return kc::readException(port, address, status).code();
}

int readTypeID(void* port, char address, unsigned short* type)
{
    return kc::readTypeID(port, address, type).code();
}

int readWords(void* port, char address, unsigned short start, unsigned short* words, unsigned short count)
{
    return kc::readWords(port, address, start, words, count).code();
}

int writeWords(void* port, char address, unsigned short start, unsigned short* words, unsigned short count)
{
    return kc::writeWords(port, address, start, words, count).code();
}

int writeTable(void* port, char address, unsigned short start, unsigned short* words, unsigned short count,
               unsigned short swap)
{
    return kc::writeTable(port, address, start, words, count, swap).code();
}
