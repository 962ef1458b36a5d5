// The command exchange: the "G" read-back and a command character with its
// packet. Both need the receive loop running on the same context; they write
// to the port from the calling thread.
#include "qrvx.h"

#include "context_buffer.h"
#include "exchange_log.h"
#include "tuning.h"
#include "zero_reply.h"

#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/sync.h"

#include <cstring>

namespace {

// "G" and CR LF.
constexpr unsigned kSmallestReply = 3;
constexpr int kSendAttempts = 10;
constexpr std::uint32_t kSendPauseMs = 10;

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Discards what was received and waits for a CR or LF of the stream, so that
// a command goes out between two frames.
bool waitLineEnd(QRVXContext& context, std::uint32_t timeoutMs)
{
    const qrvx::Deadline deadline(timeoutMs);
    qrvx::discardReceived(context);
    platform::purgePort(context.port, platform::kPurgeRxClear);
    char c = 0;
    while (qrvx::nextByte(context, c, deadline) == qrvx::Take::Byte)
        if (isLineEnd(c))
            return true;
    return false;
}

bool sendBytes(platform::Handle port, const char* bytes, std::uint32_t count)
{
    std::uint32_t written = 0;
    return platform::writePort(port, bytes, count, written) && written == count;
}

// Sends "G", pausing before each try; false when no try succeeded or the stop
// event came during a pause.
bool sendReadBackCommand(QRVXContext& context)
{
    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        if (platform::waitForEvent(context.stopEvent, kSendPauseMs))
            return false;
        if (sendBytes(context.port, "G", 1))
            return true;
    }
    return false;
}

bool readZero(QRVXContext* context, char* buffer, unsigned size, const qrvx::Tuning& tuning)
{
    if (!qrvx::contextUsable(context) || buffer == nullptr || size == 0)
        return false;
    std::memset(buffer, 0, size);
    if (size < kSmallestReply || !waitLineEnd(*context, tuning.zeroSyncWait))
        return false;
    const qrvx::Deadline deadline(tuning.zeroWaitTime);
    if (!sendReadBackCommand(*context))
        return false;
    qrvx::ZeroReplyCollector reply(buffer, size);
    char c = 0;
    while (qrvx::nextByte(*context, c, deadline) == qrvx::Take::Byte) {
        switch (reply.feed(c)) {
        case qrvx::ZeroReplyCollector::Step::Complete: return true;
        case qrvx::ZeroReplyCollector::Step::Overflow: return false;
        case qrvx::ZeroReplyCollector::Step::More: break;
        }
    }
    return false;
}

// Bytes sent after the command character: length - ZeroStrLen - 3, or none.
std::uint32_t packetBytes(unsigned length, std::uint32_t zeroStrLen)
{
    const std::uint64_t reserved = std::uint64_t{zeroStrLen} + 3;
    return length > reserved ? static_cast<std::uint32_t>(length - reserved) : 0;
}

// The length the log reports: length - ZeroStrLen - 1, or 0.
unsigned loggedLength(unsigned length, std::uint32_t zeroStrLen)
{
    const std::uint64_t reserved = std::uint64_t{zeroStrLen} + 1;
    return length > reserved ? static_cast<unsigned>(length - reserved) : 0;
}

}  // namespace

bool QRVXReadZero(QRVXContext* context, char* buffer, unsigned size)
{
    qrvx::reloadTuning();
    return readZero(context, buffer, size, qrvx::tuning());
}

bool QRVXWriteZero(QRVXContext* context, char* packet, unsigned length)
{
    const std::uint32_t start = platform::tickCount();
    qrvx::reloadTuning();
    const qrvx::Tuning tuning = qrvx::tuning();
    qrvx::ExchangeLog log(start);
    log.header(tuning.zeroWaitTime);
    if (!qrvx::contextUsable(context) || packet == nullptr || length == 0)
        return false;

    namespace fmt = qrvx::log_format;
    log.stamped(fmt::kBeginSync);
    if (!waitLineEnd(*context, tuning.zeroSyncWait)) {
        log.stamped(fmt::kSyncTimeout);
        return false;
    }
    log.stamped(fmt::kSyncSeen);
    const qrvx::Deadline echoDeadline(tuning.zeroWaitTime);
    log.stamped(fmt::kStartTimer);
    log.stamped(fmt::kBeginCommand);
    sendBytes(context->port, packet, 1);
    log.stamped(fmt::kEndCommand);
    log.stamped(fmt::kStartEchoWait);
    char c = 0;
    while (qrvx::nextByte(*context, c, echoDeadline) == qrvx::Take::Byte) {
        if (c != packet[0])
            continue;
        log.stamped(fmt::kEchoSeen);
        log.stamped(fmt::kBeginPacket, static_cast<int>(strnlen(packet + 1, length - 1)), packet + 1);
        sendBytes(context->port, packet + 1, packetBytes(length, tuning.zeroStrLen));
        log.stamped(fmt::kEndPacket, loggedLength(length, tuning.zeroStrLen));
        break;
    }
    if (echoDeadline.passed())
        log.stamped(fmt::kEchoTimeout);
    log.close();
    return readZero(context, packet, length, tuning);
}
