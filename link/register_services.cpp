#include "register_services.h"

#include "modbus_ascii.h"

#include "Shared.h"

#include <algorithm>
#include <cstring>

namespace {

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

// The exception code of a reply that carries one (function byte with bit 7
// set, and room for the code before the LRC), else 0.
int exceptionOf(const char* reply, int replyCount)
{
    if (replyCount > kReplyHead && (static_cast<unsigned char>(reply[1]) & 0x80) != 0)
        return static_cast<signed char>(reply[2]);
    return 0;
}

// A request of function `function` without data, whose reply's third byte
// is delivered sign-extended.
int readByte(void* port, char address, char function, unsigned short* value)
{
    if (value == nullptr)
        return KC_ILLEGAL_DATA;
    char request[2] = {address, function};
    char reply[kReplySize];
    int replyCount = 0;
    const int result = KCCommModBus(port, request, sizeof request, reply, sizeof reply, &replyCount);
    if (result != KC_OK)
        return result;
    *value = static_cast<unsigned short>(static_cast<signed char>(reply[2]));
    return KC_OK;
}

}  // namespace

int readException(void* port, char address, unsigned short* status)
{
    return readByte(port, address, 7, status);
}

int readTypeID(void* port, char address, unsigned short* type)
{
    return readByte(port, address, 5, type);
}

int readWords(void* port, char address, unsigned short start, unsigned short* words, unsigned short count)
{
    if (words == nullptr && count > 0)
        return KC_ILLEGAL_DATA;
    char request[6] = {address, 4, highByte(start), lowByte(start), highByte(count), lowByte(count)};
    char reply[kReplySize];
    int replyCount = 0;
    const int result = KCCommModBus(port, request, sizeof request, reply, sizeof reply, &replyCount);
    if (result != KC_OK)
        return result;
    if (replyCount < kReplyHead + 1)
        return KC_OK;
    if ((static_cast<unsigned char>(reply[1]) & 0x80) != 0)
        return exceptionOf(reply, replyCount);
    // The byte count is the device's word; the words that actually arrived
    // (between the head and the LRC) and the caller's count bound it.
    int stored = static_cast<signed char>(reply[2]) / 2;
    const int held = (replyCount - kReplyHead - 1) / 2;
    if (stored > held)
        stored = held;
    if (stored > count)
        stored = count;
    if (stored <= 0)
        return KC_OK;
    std::memcpy(words, reply + kReplyHead, static_cast<std::size_t>(stored) * 2);
    Shared::swapBytes(words, stored);
    return KC_OK;
}

int writeWords(void* port, char address, unsigned short start, unsigned short* words, unsigned short count)
{
    if (count > kMaxWriteWords || (words == nullptr && count > 0))
        return KC_ILLEGAL_DATA;
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
    const int result = KCCommModBus(port, request, 7 + 2 * count, reply, sizeof reply, &replyCount);
    if (result != KC_OK)
        return result;
    return exceptionOf(reply, replyCount);
}

int writeTable(void* port, char address, unsigned short start, unsigned short* words, unsigned short count,
               unsigned short swap)
{
    if (count > kMaxTableWords || (words == nullptr && count > 0))
        return KC_ILLEGAL_DATA;
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
        const int result = KCCommModBus(port, request, 7 + 2 * blockWords, reply, sizeof reply, &replyCount);
        if (result != KC_OK)
            return result;
        if (const int code = exceptionOf(reply, replyCount))
            return code;
    }
    return KC_OK;
}
