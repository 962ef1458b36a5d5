// The receive buffer of a context as both sides use it: the receive loop
// stores bytes, the consumer takes them out or discards them. Everything here
// holds the context's lock while it touches positions or contents.
#pragma once

#include "qrvx.h"

#include <cstddef>
#include <cstdint>

namespace qrvx {

// Holds a context's lock for its scope.
class ContextLock {
public:
    explicit ContextLock(const QRVXContext& context);
    ~ContextLock();
    ContextLock(const ContextLock&) = delete;
    ContextLock& operator=(const ContextLock&) = delete;

private:
    void* lock_;
    bool held_;
};

// A time limit counted from its creation in ticks; kInfinite never passes.
class Deadline {
public:
    explicit Deadline(std::uint32_t ms);
    static Deadline never();

    bool passed() const;
    // Milliseconds left, kInfinite for a deadline that never passes.
    std::uint32_t remaining() const;

private:
    std::uint32_t start_;
    std::uint32_t ms_;
};

// True when the context can be used by a consumer or the receive loop: its
// lock and stop event are handles and its buffer is present.
bool contextUsable(const QRVXContext* context);

// The receive loop's store: puts the bytes behind the unconsumed ones, byte
// by byte as if each came alone: a byte that finds the buffer full first
// drops the oldest unconsumed byte when nothing has been consumed, or moves
// the unconsumed bytes to the front when some have. Signals the data event
// when the buffer was empty. False when the buffer is gone (the stream is
// over).
bool storeBytes(QRVXContext& context, const char* bytes, std::size_t count);

// Sets both positions to the buffer start: what was received is dropped.
void discardReceived(QRVXContext& context);

enum class Take { Byte, Stopped, TimedOut };

// The consumer's take: the next unconsumed byte, waiting for one until the
// deadline passes. The stop event ends the wait at once; stop and deadline are
// tested before each byte, so a byte that is waiting does not outlive them.
Take nextByte(QRVXContext& context, char& out, const Deadline& deadline);

}  // namespace qrvx
