// One wait's hold on the events it waits for, for waits that also watch
// descriptors of the system (port_wait_posix.cpp). Holding keeps the events
// alive for the wait even when another thread closes their handles.
#pragma once

#include "platform/handle.h"

#include <memory>

namespace platform::detail {

class HeldEvents {
public:
    static constexpr int kMax = 16;

    // False when `count` is outside 1..kMax or a handle is no event.
    bool hold(const Handle* events, int count);
    int count() const { return count_; }
    // A descriptor that polls readable while event `i` is signalled, made on
    // first use; -1 when the system gives none.
    int wakeDescriptor(int i) const;
    // The index of the first signalled event, consuming an auto-reset one;
    // -1 when none is signalled.
    int takeSignalled() const;

private:
    std::shared_ptr<HandleObject> events_[kMax];
    int count_ = 0;
};

}  // namespace platform::detail
