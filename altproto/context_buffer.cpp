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

bool storeByte(QRVXContext& context, char byte)
{
    bool wasEmpty = false;
    {
        ContextLock lock(context);
        char* const start = context.buffer;
        if (start == nullptr)
            return false;
        char* const end = start + QRVX_BUFFER_SIZE;
        // Positions that left the buffer (a caller's slip) count as an empty
        // buffer rather than as a licence to write elsewhere.
        const bool inside = context.readPos >= start && context.readPos <= context.writePos && context.writePos <= end;
        if (!inside || context.readPos == context.writePos)
            context.readPos = context.writePos = start;
        wasEmpty = context.readPos == context.writePos;
        if (context.writePos == end) {
            if (context.readPos == start) {
                std::memmove(start, start + 1, QRVX_BUFFER_SIZE - 1);
                --context.writePos;
            } else {
                const std::size_t unconsumed = static_cast<std::size_t>(context.writePos - context.readPos);
                std::memmove(start, context.readPos, unconsumed);
                context.readPos = start;
                context.writePos = start + unconsumed;
            }
        }
        *context.writePos++ = byte;
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
