// The Modbus ASCII exchange. It runs without heap allocation: the frames live
// on the stack and the reply is decoded into the caller's buffer.
//
// Order on the line, for real adapters as much as for pseudo-terminals:
// stale input is cleared before the request goes out, never after, since a
// device may answer within a millisecond while a driver still reports the
// request as being sent; whatever arrives from then on is kept and judged.
// The receive side is switched (DTR/RTS) only once the request has left the
// line. A frame equal to the request is the echo of a two-wire line, and a
// reply is believed only when it answers what was asked.
#include <kcmb/modbus_ascii.h>
#include <kcmb/port_table.h>

#include "Shared.h"
#include "platform/serial.h"
#include "platform/sync.h"

#include <chrono>
#include <cstring>
#include <optional>

namespace {

using kc::Fault;
using kc::Result;

constexpr int kFrameSize = 256;
constexpr int kLineSize = 1 + 2 * kFrameSize + 2;
constexpr std::uint32_t kMutexWaitMs = 3000;
// Scheduling slack on top of a write's line time and the port's time-out.
constexpr std::uint32_t kWriteSlackMs = 10;

void applyLine(platform::SerialPort& port, unsigned char wish, platform::LineFunction raise,
               platform::LineFunction drop)
{
    if (wish == 0)
        port.lineFunction(drop);
    else if (wish == 1)
        port.lineFunction(raise);
}

// Whether the receive wish changes a line that the send wish set otherwise:
// only then must the request have left the line before the switch.
bool switches(unsigned char sendWish, unsigned char receiveWish)
{
    return (receiveWish == 0 || receiveWish == 1) && receiveWish != sendWish;
}

// ':' + the hex digits of the frame + CR LF; returns the character count.
int encodeLine(const unsigned char* frame, int frameLength, char* line)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    int n = 0;
    line[n++] = ':';
    for (int i = 0; i < frameLength; ++i) {
        line[n++] = kDigits[frame[i] >> 4];
        line[n++] = kDigits[frame[i] & 0x0F];
    }
    line[n++] = '\r';
    line[n++] = '\n';
    return n;
}

enum class Received { Frame, Timeout, Endless, Failed };

// The end of an exchange on the port's own clock: the read time-out from the
// moment the request has gone, plus the line time of the request's echo and
// the longest reply. Every character counts against it, whether it is
// skipped before a ':' or belongs to a frame started afresh, so that a stream
// on the line cannot hold the exchange. A port without a read time-out has
// none.
class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    Deadline(platform::SerialPort& port, std::uint32_t readTimeoutMs, int requestChars) : port_(port)
    {
        if (readTimeoutMs == platform::kMaxTimeout)
            return;
        const auto lineTime = std::chrono::microseconds(
            port.lineTimeUs(static_cast<std::uint32_t>(requestChars + kFrameSize)));
        at_ = port.lineClock() + std::chrono::milliseconds(readTimeoutMs)
            + std::chrono::duration_cast<Clock::duration>(lineTime);
    }

    bool passed() const { return at_ && port_.lineClock() >= *at_; }

    // What a read may still wait, rounded up to whole milliseconds.
    std::uint32_t msLeft() const
    {
        if (!at_)
            return platform::kNoLimit;
        const auto left = *at_ - port_.lineClock();
        if (left <= Clock::duration::zero())
            return 0;
        return static_cast<std::uint32_t>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }

private:
    platform::SerialPort& port_;
    std::optional<Clock::time_point> at_;
};

// Collects the characters from ':' to LF into `frame`, bit 7 cleared. A ':'
// starts the frame afresh, so that the rest of a cut-off frame before it is
// dropped; a frame longer than the buffer ends the exchange as a time-out.
// `heard` is set once any character has come.
Received receiveFrame(platform::SerialPort& port, KCPortInfo* info, const Deadline& deadline, unsigned char* frame,
                      int& stored, bool& heard)
{
    stored = 0;
    bool started = false;
    for (;;) {
        if (deadline.passed())
            return heard ? Received::Endless : Received::Timeout;
        unsigned char c = 0;
        std::uint32_t got = 0;
        if (!port.read(&c, 1, got, deadline.msLeft()))
            return Received::Failed;
        if (got == 0)
            return heard && deadline.passed() ? Received::Endless : Received::Timeout;
        heard = true;
        c &= 0x7F;
        if (c == ':') {
            if (info != nullptr)
                info->state = 3;
            started = true;
            stored = 0;
        }
        if (!started)
            continue;
        if (stored == kFrameSize)
            return Received::Timeout;
        frame[stored++] = c;
        if (c == '\n')
            return Received::Frame;
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

// Whether a reply (without its LRC byte) answers the request, as a device of
// the register map answers: the same address, the same function or its
// exception form, and the length the function calls for.
Fault checkConfirmation(const unsigned char* request, int requestLength, const unsigned char* reply, int length)
{
    if (length < 2)
        return Fault::BadLength;
    if (reply[0] != request[0])
        return Fault::WrongAddress;
    const unsigned char function = request[1];
    if (reply[1] == (function | 0x80))
        return length == 3 ? Fault::None : Fault::BadLength;
    if (reply[1] != function)
        return Fault::WrongFunction;
    switch (function) {
    case 4:
    case 3: {
        if (requestLength < 6)
            return Fault::None;
        const int registers = request[4] << 8 | request[5];
        return length == 3 + 2 * registers && reply[2] == 2 * registers ? Fault::None : Fault::BadLength;
    }
    case 16:
    case 25:
        // The start (or table register) and the count come back as sent.
        if (requestLength < 6)
            return Fault::None;
        return length == 6 && std::memcmp(reply + 2, request + 2, 4) == 0 ? Fault::None : Fault::BadLength;
    case 5:
    case 7: return length == 3 ? Fault::None : Fault::BadLength;
    default: return Fault::None;
    }
}

class PortLock {
public:
    explicit PortLock(KCPortInfo* info) : mutex_(info != nullptr ? info->hMutex.load() : nullptr) {}
    ~PortLock()
    {
        if (held_)
            platform::releaseMutex(mutex_);
    }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

    bool take()
    {
        if (mutex_ == nullptr)
            return true;
        held_ = platform::waitForMutex(mutex_, kMutexWaitMs);
        return held_;
    }

private:
    void* mutex_;
    bool held_ = false;
};

// What the echo setting of a port and the line's record say about a frame
// equal to the request.
struct EchoPolicy {
    int mode = KC_ECHO_AUTO;
    int seen = -1;

    static EchoPolicy of(const KCPortInfo* info)
    {
        if (info == nullptr)
            return {};
        return {info->echoMode.load(std::memory_order_relaxed), info->lineEcho.load(std::memory_order_relaxed)};
    }
};

void noteEcho(KCPortInfo* info, int seen)
{
    if (info != nullptr)
        info->lineEcho.store(seen, std::memory_order_relaxed);
}

class Exchange {
public:
    Exchange(platform::SerialPort& port, KCPortInfo* info, const unsigned char* request, int requestLength,
             const char* line, int lineLength)
        : port_(port), info_(info), request_(request), requestLength_(requestLength), line_(line),
          lineLength_(lineLength), echo_(EchoPolicy::of(info))
    {
    }

    Result run(char* reply, int replyLength, int* replyCount);

private:
    Result send();
    Result receive(const Deadline& deadline, unsigned char* frame, int& stored);
    Fault check(const unsigned char* frame, int stored, char* reply, int replyLength, int* replyCount) const;
    bool isEcho(const unsigned char* frame, int stored) const
    {
        return stored == lineLength_ && std::memcmp(frame, line_, static_cast<std::size_t>(stored)) == 0;
    }
    bool answersRequest(const unsigned char* frame, int stored) const
    {
        char decoded[kFrameSize];
        return check(frame, stored, decoded, sizeof decoded, nullptr) == Fault::None;
    }
    std::uint32_t readTimeoutMs() const;

    platform::SerialPort& port_;
    KCPortInfo* info_;
    const unsigned char* request_;
    int requestLength_;
    const char* line_;
    int lineLength_;
    EchoPolicy echo_;
};

// The port's read time-out; kMaxTimeout when it waits for ever.
std::uint32_t Exchange::readTimeoutMs() const
{
    platform::Timeouts t;
    if (!port_.getTimeouts(t))
        return 0;
    return t.readConstant;
}

Result Exchange::send()
{
    // One bound for writing and draining the request: a wedged adapter ends
    // the exchange within the port's time-out and the request's line time.
    using Clock = std::chrono::steady_clock;
    const auto lineTime = std::chrono::microseconds(port_.lineTimeUs(static_cast<std::uint32_t>(lineLength_)));
    const std::uint32_t readMs = readTimeoutMs();
    const std::uint32_t timeoutMs = readMs == platform::kMaxTimeout ? 0 : readMs;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs + kWriteSlackMs)
        + std::chrono::duration_cast<Clock::duration>(lineTime);
    auto msLeft = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return static_cast<std::uint32_t>(left > 0 ? left : 0);
    };

    std::uint32_t written = 0;
    if (!port_.write(line_, static_cast<std::uint32_t>(lineLength_), written, msLeft()))
        return Result::failure(Fault::PortFailed);
    if (written != static_cast<std::uint32_t>(lineLength_))
        return Result::failure(Fault::WriteFailed);
    if (info_ == nullptr)
        return Result::success();
    info_->state = 2;
    if (switches(info_->sendDTR, info_->recvDTR) || switches(info_->sendRTS, info_->recvRTS)) {
        if (!port_.drain(msLeft()))
            return Result::failure(Fault::WriteFailed);
    }
    applyLine(port_, info_->recvDTR, platform::LineFunction::SetDtr, platform::LineFunction::ClearDtr);
    applyLine(port_, info_->recvRTS, platform::LineFunction::SetRts, platform::LineFunction::ClearRts);
    return Result::success();
}

// The first frame after the echo, if any. With the echo setting on, a frame
// equal to the request is skipped; in automatic mode it is skipped unless the
// line has shown that it does not echo and the frame is a valid reply, and
// taken as the reply after all when nothing follows it.
Result Exchange::receive(const Deadline& deadline, unsigned char* frame, int& stored)
{
    unsigned char candidate[kFrameSize];
    int candidateLength = 0;
    bool first = true;
    bool heard = false;
    for (;;) {
        const Received got = receiveFrame(port_, info_, deadline, frame, stored, heard);
        if (got == Received::Failed)
            return Result::failure(Fault::PortFailed);
        if (got == Received::Timeout || got == Received::Endless) {
            if (candidateLength == 0 || echo_.mode == KC_ECHO_ON)
                return Result::failure(got == Received::Endless ? Fault::EndlessInput : Fault::Timeout);
            std::memcpy(frame, candidate, static_cast<std::size_t>(candidateLength));
            stored = candidateLength;
            return Result::success();
        }
        const bool equal = first && isEcho(frame, stored);
        if (!equal) {
            if (candidateLength > 0)
                noteEcho(info_, 1);
            else if (echo_.mode == KC_ECHO_AUTO)
                noteEcho(info_, 0);
            return Result::success();
        }
        first = false;
        if (echo_.mode == KC_ECHO_OFF)
            return Result::success();
        if (echo_.mode == KC_ECHO_ON)
            continue;
        // A line known not to echo gives such a frame as the reply to a
        // request that is answered in kind; one that is no valid reply can
        // only be an echo after all.
        if (echo_.seen == 0 && answersRequest(frame, stored))
            return Result::success();
        std::memcpy(candidate, frame, static_cast<std::size_t>(stored));
        candidateLength = stored;
    }
}

Fault Exchange::check(const unsigned char* frame, int stored, char* reply, int replyLength, int* replyCount) const
{
    if (replyLength > 0)
        std::memset(reply, 0, static_cast<std::size_t>(replyLength));
    int count = 0;
    if (!decodeFrame(frame, stored, reply, replyLength, count))
        return Fault::Timeout;
    if (replyCount != nullptr)
        *replyCount = count;
    // A reply without a single byte has no checksum to agree with.
    if (count < 1)
        return Fault::BadChecksum;
    const unsigned char lrc = Shared::LRC(reply, static_cast<char>(count - 1));
    if (lrc != static_cast<unsigned char>(reply[count - 1]))
        return Fault::BadChecksum;
    return checkConfirmation(request_, requestLength_, reinterpret_cast<const unsigned char*>(reply), count - 1);
}

Result Exchange::run(char* reply, int replyLength, int* replyCount)
{
    // Stale input goes before the request: nothing received from here on is
    // thrown away.
    port_.purge(platform::kPurgeTxAbort | platform::kPurgeTxClear | platform::kPurgeRxClear);
    if (info_ != nullptr) {
        applyLine(port_, info_->sendDTR, platform::LineFunction::SetDtr, platform::LineFunction::ClearDtr);
        applyLine(port_, info_->sendRTS, platform::LineFunction::SetRts, platform::LineFunction::ClearRts);
        info_->state = 1;
    }
    if (const Result sent = send(); !sent.ok())
        return sent;

    const Deadline deadline(port_, readTimeoutMs(), lineLength_);
    unsigned char frame[kFrameSize];
    int stored = 0;
    if (const Result received = receive(deadline, frame, stored); !received.ok())
        return received;
    if (info_ != nullptr && info_->recvRTS == 1)
        port_.lineFunction(platform::LineFunction::ClearRts);
    const Fault fault = check(frame, stored, reply, replyLength, replyCount);
    if (fault != Fault::None)
        return Result::failure(fault);
    if (info_ != nullptr)
        info_->state = 4;
    return Result::success();
}

}  // namespace

namespace kc {

Result exchange(void* port, const char* request, int requestLength, char* reply, int replyLength, int* replyCount)
{
    if (requestLength < 2 || requestLength >= kFrameSize || request == nullptr || replyLength < 0
        || (reply == nullptr && replyLength > 0))
        return Result::failure(Fault::BadArgument);
    const std::shared_ptr<platform::SerialPort> serial = platform::serialPortOf(port);
    if (!serial)
        return Result::failure(Fault::PortFailed);

    unsigned char frame[kFrameSize];
    std::memcpy(frame, request, static_cast<std::size_t>(requestLength));
    frame[requestLength] = Shared::LRC(request, static_cast<char>(requestLength));
    char line[kLineSize];
    const int lineLength = encodeLine(frame, requestLength + 1, line);

    // A handle opened elsewhere has no record: it is served without mutex,
    // line switching or echo memory.
    KCPortInfo* info = getKCPortInfo(port);
    PortLock lock(info);
    if (!lock.take())
        return Result::failure(Fault::PortBusy);
    const Result result = Exchange(*serial, info, frame, requestLength, line, lineLength).run(reply, replyLength,
                                                                                              replyCount);
    if (info != nullptr)
        info->lastError = result.code();
    return result;
}

}  // namespace kc

int KCCommModBus(void* port, char* request, int requestLength, char* reply, int replyLength, int* replyCount)
{
    const kc::Result result = kc::exchange(port, request, requestLength, reply, replyLength, replyCount);
    // An unusable argument is a request that never reached the line.
    return result.fault == kc::Fault::BadArgument ? KC_TIMEOUT : result.code();
}
