// The Modbus ASCII exchange. It runs without heap allocation: the frame lives
// on the stack and the reply is decoded into the caller's buffer.
#include "modbus_ascii.h"
#include "port_table.h"

#include "Shared.h"
#include "platform/serial.h"
#include "platform/sync.h"

#include <cstring>

namespace {

constexpr int kFrameSize = 256;
constexpr std::uint32_t kMutexWaitMs = 3000;

void applyLine(void* port, unsigned char wish, platform::LineFunction raise, platform::LineFunction drop)
{
    if (wish == 0)
        platform::lineFunction(port, drop);
    else if (wish == 1)
        platform::lineFunction(port, raise);
}

// Sends ':' + hex digits of the frame + CR LF in one write.
void sendFrame(void* port, const unsigned char* frame, int frameLength)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char line[1 + 2 * kFrameSize + 2];
    int n = 0;
    line[n++] = ':';
    for (int i = 0; i < frameLength; ++i) {
        line[n++] = kDigits[frame[i] >> 4];
        line[n++] = kDigits[frame[i] & 0x0F];
    }
    line[n++] = '\r';
    line[n++] = '\n';
    std::uint32_t written = 0;
    platform::writePort(port, line, static_cast<std::uint32_t>(n), written);
}

// Collects the characters from ':' to LF into `frame`, bit 7 cleared; returns
// their count, or 0 when no complete reply arrived or it overflowed the frame.
int receiveFrame(void* port, KCPortInfo* info, unsigned char* frame)
{
    int stored = 0;
    bool started = false;
    for (;;) {
        unsigned char c = 0;
        std::uint32_t got = 0;
        if (!platform::readPort(port, &c, 1, got) || got == 0)
            return 0;
        c &= 0x7F;
        if (c == ':') {
            if (info != nullptr)
                info->state = 3;
            started = true;
        }
        if (!started)
            continue;
        if (stored == kFrameSize)
            return 0;
        frame[stored++] = c;
        if (c == '\n')
            return stored;
    }
}

// Decodes the hex pairs between ':' and the last two characters into `reply`;
// false when they do not fit.
bool decodeFrame(const unsigned char* frame, int stored, char* reply, int replyLength, int& count)
{
    int decoded = 0;
    for (int pos = 1; pos < stored - 2; pos += 2) {
        if (decoded == replyLength)
            return false;
        reply[decoded++] = static_cast<char>(Shared::hex2bin(reinterpret_cast<const char*>(frame) + pos));
    }
    count = (stored - 3) / 2;
    return true;
}

int finish(KCPortInfo* info, int result)
{
    if (info != nullptr) {
        info->lastError = result;
        if (info->hMutex != nullptr)
            platform::releaseMutex(info->hMutex);
    }
    return result;
}

}  // namespace

int KCCommModBus(void* port, char* request, int requestLength, char* reply, int replyLength, int* replyCount)
{
    if (requestLength < 0 || requestLength >= kFrameSize || (request == nullptr && requestLength > 0)
        || replyLength < 0 || (reply == nullptr && replyLength > 0))
        return KC_TIMEOUT;

    unsigned char frame[kFrameSize] = {};
    // A handle opened elsewhere has no record: it is served without mutex and
    // without line switching.
    KCPortInfo* info = getKCPortInfo(port);
    if (requestLength > 0)
        std::memcpy(frame, request, static_cast<std::size_t>(requestLength));
    frame[requestLength] = Shared::LRC(reinterpret_cast<const char*>(frame), static_cast<char>(requestLength));
    const int frameLength = requestLength + 1;

    if (info != nullptr && info->hMutex != nullptr && !platform::waitForMutex(info->hMutex, kMutexWaitMs))
        return KC_TIMEOUT;

    platform::purgePort(port, platform::kPurgeTxAbort | platform::kPurgeTxClear);
    if (info != nullptr) {
        applyLine(port, info->sendDTR, platform::LineFunction::SetDtr, platform::LineFunction::ClearDtr);
        applyLine(port, info->sendRTS, platform::LineFunction::SetRts, platform::LineFunction::ClearRts);
        info->state = 1;
    }
    sendFrame(port, frame, frameLength);
    // Only once the request has left the port may the receive side be cleared:
    // clearing earlier could throw away the start of a fast reply. What is
    // dropped now is stale input and the echo of the request on a two-wire line.
    platform::drainPort(port);
    platform::purgePort(port, platform::kPurgeRxClear);
    if (info != nullptr) {
        info->state = 2;
        applyLine(port, info->recvDTR, platform::LineFunction::SetDtr, platform::LineFunction::ClearDtr);
        applyLine(port, info->recvRTS, platform::LineFunction::SetRts, platform::LineFunction::ClearRts);
    }

    std::memset(frame, 0, sizeof frame);
    const int stored = receiveFrame(port, info, frame);
    if (stored == 0)
        return finish(info, KC_TIMEOUT);
    if (info != nullptr && info->recvRTS == 1)
        platform::lineFunction(port, platform::LineFunction::ClearRts);

    if (replyLength > 0)
        std::memset(reply, 0, static_cast<std::size_t>(replyLength));
    int count = 0;
    if (!decodeFrame(frame, stored, reply, replyLength, count))
        return finish(info, KC_TIMEOUT);
    if (replyCount != nullptr)
        *replyCount = count;
    // A reply without a single byte has no checksum to agree with.
    if (count < 1)
        return finish(info, KC_BAD_LRC);
    const unsigned char lrc = Shared::LRC(reply, static_cast<char>(count - 1));
    if (lrc != static_cast<unsigned char>(reply[count - 1]))
        return finish(info, KC_BAD_LRC);
    if (info != nullptr)
        info->state = 4;
    return finish(info, KC_OK);
}
