#include "context_buffer.h"

#include "platform/clock.h"
#include "platform/sync.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

// Callers rely on the layout the header documents.
static_assert(sizeof(QRVXContext) == 7 * sizeof(void*), "QRVXContext is seven pointers");
static_assert(offsetof(QRVXContext, stopEvent) == 3 * sizeof(void*), "stopEvent is the fourth field");
static_assert(offsetof(QRVXContext, dataEvent) == 6 * sizeof(void*), "dataEvent is the last field");

namespace qrvx {

namespace {

constexpr std::size_t kBufferSize = QRVX_BUFFER_SIZE;

// Without a data event the consumer looks for bytes this often while it
// sleeps on the stop event.
constexpr std::uint32_t kPollWithoutDataEventMs = 1;

bool stopRequested(const QRVXContext& context)
{
    return platform::waitForEvent(context.stopEvent, 0);
}

}  // namespace

ContextLock::ContextLock(const QRVXContext& context)
    : lock_(context.lock), held_(platform::waitForMutex(lock_, platform::kInfinite))
{
}

ContextLock::~ContextLock()
{
    if (held_)
        platform::releaseMutex(lock_);
}

Deadline::Deadline(std::uint32_t ms) : start_(platform::tickCount()), ms_(ms) {}

Deadline Deadline::never()
{
    return Deadline(platform::kInfinite);
}

bool Deadline::passed() const
{
    return ms_ != platform::kInfinite && platform::tickCount() - start_ >= ms_;
}

std::uint32_t Deadline::remaining() const
{
    if (ms_ == platform::kInfinite)
        return platform::kInfinite;
    const std::uint32_t elapsed = platform::tickCount() - start_;
    return elapsed >= ms_ ? 0 : ms_ - elapsed;
}

bool contextUsable(const QRVXContext* context)
{
    if (context == nullptr || !platform::isUsableHandle(context->lock)
        || !platform::isUsableHandle(context->stopEvent))
        return false;
    ContextLock lock(*context);
    return context->buffer != nullptr;
}

bool storeBytes(QRVXContext& context, const char* bytes, std::size_t count)
{
    bool wasEmpty = false;
    {
        ContextLock lock(context);
        char* const start = context.buffer;
        if (start == nullptr)
            return false;
        if (count == 0)
            return true;
        char* const end = start + QRVX_BUFFER_SIZE;
        // Positions that left the buffer (a caller's slip) count as an empty
        // buffer rather than as a licence to write elsewhere.
        const bool inside = context.readPos >= start && context.readPos <= context.writePos && context.writePos <= end;
        if (!inside || context.readPos == context.writePos)
            context.readPos = context.writePos = start;
        wasEmpty = context.readPos == context.writePos;
        if (count <= static_cast<std::size_t>(end - context.writePos)) {
            std::memcpy(context.writePos, bytes, count);
            context.writePos += count;
        } else {
            // Byte by byte the buffer would fill up, move its unconsumed bytes
            // to the front once (if some had been consumed) and from then on
            // push out the oldest for every new byte: what remains is the
            // newest QRVX_BUFFER_SIZE bytes of the unconsumed and the new ones
            // together, from the start.
            const std::size_t unconsumed = static_cast<std::size_t>(context.writePos - context.readPos);
            if (count >= kBufferSize) {
                std::memcpy(start, bytes + (count - kBufferSize), kBufferSize);
                context.writePos = end;
            } else {
                const std::size_t kept = std::min(unconsumed, kBufferSize - count);
                std::memmove(start, context.writePos - kept, kept);
                std::memcpy(start + kept, bytes, count);
                context.writePos = start + kept + count;
            }
            context.readPos = start;
        }
    }
    if (wasEmpty && context.dataEvent != nullptr)
        platform::setEvent(context.dataEvent);
    return true;
}

void discardReceived(QRVXContext& context)
{
    ContextLock lock(context);
    context.readPos = context.writePos = context.buffer;
}

Take nextByte(QRVXContext& context, char& out, const Deadline& deadline)
{
    for (;;) {
        if (stopRequested(context))
            return Take::Stopped;
        if (deadline.passed())
            return Take::TimedOut;
        {
            ContextLock lock(context);
            if (context.buffer != nullptr && context.readPos >= context.buffer && context.readPos < context.writePos
                && context.writePos <= context.buffer + QRVX_BUFFER_SIZE) {
                out = *context.readPos++;
                return Take::Byte;
            }
        }
        const std::uint32_t wait = deadline.remaining();
        if (context.dataEvent != nullptr) {
            const platform::Handle events[2] = {context.stopEvent, context.dataEvent};
            platform::waitForAnyEvent(events, 2, wait);
        } else {
            platform::waitForEvent(context.stopEvent, std::min(wait, kPollWithoutDataEventMs));
        }
    }
}

}  // namespace qrvx
