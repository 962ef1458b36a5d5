// Named objects live in one process-wide registry. Events share one condition
// variable, which makes waiting for any of several events simple; they are
// signalled seldom enough (stop requests, data notices) for that to be cheap.
// An event that a wait on a port has watched also keeps a wake descriptor
// raised exactly while it is signalled (held_events.h).
#include "platform/sync.h"

#include "held_events.h"
#include "wake_descriptor.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

struct MutexState {
    std::mutex guard;
    std::condition_variable released;
    std::thread::id owner;
    unsigned depth = 0;
};

struct EventState {
    EventState() = default;
    EventState(const EventState&) = delete;
    EventState& operator=(const EventState&) = delete;
    ~EventState()
    {
        if (wake >= 0)
            detail::closeWakeDescriptor(wake);
    }

    // Changes the state and keeps the wake descriptor in step; under eventGuard.
    void set(bool on)
    {
        if (on == signalled)
            return;
        signalled = on;
        if (wake >= 0)
            (on ? detail::raiseWakeDescriptor : detail::lowerWakeDescriptor)(wake);
    }

    bool manualReset = true;
    bool signalled = false;
    // -1 until a wait on a port first watches the event.
    int wake = -1;
};

// All event states are guarded by one mutex and share one condition variable.
std::mutex& eventGuard()
{
    static std::mutex m;
    return m;
}

std::condition_variable& eventChanged()
{
    static std::condition_variable cv;
    return cv;
}

template <class State>
class Registry {
public:
    std::shared_ptr<State> open(const char* name, const std::function<void(State&)>& init)
    {
        if (name == nullptr || *name == '\0') {
            auto state = std::make_shared<State>();
            init(*state);
            return state;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        auto& weak = byName_[name];
        if (auto existing = weak.lock())
            return existing;
        auto state = std::make_shared<State>();
        init(*state);
        weak = state;
        return state;
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::weak_ptr<State>> byName_;
};

Registry<MutexState>& mutexes()
{
    static Registry<MutexState> r;
    return r;
}

Registry<EventState>& events()
{
    static Registry<EventState> r;
    return r;
}

class MutexHandle final : public HandleObject {
public:
    explicit MutexHandle(std::shared_ptr<MutexState> s) : state(std::move(s)) {}
    std::shared_ptr<MutexState> state;
};

class EventHandle final : public HandleObject {
public:
    explicit EventHandle(std::shared_ptr<EventState> s) : state(std::move(s)) {}
    std::shared_ptr<EventState> state;
};

Clock::time_point deadlineAfter(std::uint32_t ms)
{
    return Clock::now() + std::chrono::milliseconds(ms);
}

// Index of the first signalled of `count` events, consuming an auto-reset
// one; -1 if none. `stateAt(i)` gives event i's state. Under eventGuard.
template <class StateAt>
int takeFirstSignalled(int count, StateAt stateAt)
{
    for (int i = 0; i < count; ++i) {
        EventState& s = stateAt(i);
        if (s.signalled) {
            if (!s.manualReset)
                s.set(false);
            return i;
        }
    }
    return -1;
}

EventState& stateOf(const std::shared_ptr<HandleObject>& event)
{
    return *static_cast<EventHandle&>(*event).state;
}

}  // namespace

Handle createMutex(const char* name)
{
    return registerHandle(std::make_shared<MutexHandle>(mutexes().open(name, [](MutexState&) {})));
}

bool waitForMutex(Handle mutex, std::uint32_t ms)
{
    const auto h = handleObject<MutexHandle>(mutex);
    if (!h)
        return false;
    MutexState& s = *h->state;
    const auto me = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(s.guard);
    auto free = [&] { return s.depth == 0 || s.owner == me; };
    if (ms == kInfinite)
        s.released.wait(lock, free);
    else if (!s.released.wait_until(lock, deadlineAfter(ms), free))
        return false;
    s.owner = me;
    ++s.depth;
    return true;
}

bool releaseMutex(Handle mutex)
{
    const auto h = handleObject<MutexHandle>(mutex);
    if (!h)
        return false;
    MutexState& s = *h->state;
    {
        std::lock_guard<std::mutex> lock(s.guard);
        if (s.depth == 0 || s.owner != std::this_thread::get_id())
            return false;
        if (--s.depth > 0)
            return true;
        s.owner = std::thread::id();
    }
    s.released.notify_one();
    return true;
}

Handle createEvent(const char* name, bool manualReset, bool initiallySignalled)
{
    std::lock_guard<std::mutex> lock(eventGuard());
    return registerHandle(std::make_shared<EventHandle>(events().open(name, [&](EventState& s) {
        s.manualReset = manualReset;
        s.signalled = initiallySignalled;
    })));
}

bool setEvent(Handle event)
{
    const auto h = handleObject<EventHandle>(event);
    if (!h)
        return false;
    {
        std::lock_guard<std::mutex> lock(eventGuard());
        h->state->set(true);
    }
    eventChanged().notify_all();
    return true;
}

bool resetEvent(Handle event)
{
    const auto h = handleObject<EventHandle>(event);
    if (!h)
        return false;
    std::lock_guard<std::mutex> lock(eventGuard());
    h->state->set(false);
    return true;
}

bool waitForEvent(Handle event, std::uint32_t ms)
{
    return waitForAnyEvent(&event, 1, ms) == 0;
}

int waitForAnyEvent(const Handle* handles, int count, std::uint32_t ms)
{
    constexpr int kMaxEvents = 16;
    if (handles == nullptr || count <= 0 || count > kMaxEvents)
        return -1;
    std::shared_ptr<EventHandle> list[kMaxEvents];
    for (int i = 0; i < count; ++i)
        if (!(list[i] = handleObject<EventHandle>(handles[i])))
            return -1;
    std::unique_lock<std::mutex> lock(eventGuard());
    // A test without waiting must not reach the timed wait: a deadline that
    // has already passed still costs a sleeping system call there.
    auto stateAt = [&list](int i) -> EventState& { return *list[i]->state; };
    if (ms == 0)
        return takeFirstSignalled(count, stateAt);
    int index = -1;
    auto ready = [&] { return (index = takeFirstSignalled(count, stateAt)) >= 0; };
    if (ms == kInfinite)
        eventChanged().wait(lock, ready);
    else
        eventChanged().wait_until(lock, deadlineAfter(ms), ready);
    return index;
}

namespace detail {

bool HeldEvents::hold(const Handle* events, int count)
{
    count_ = 0;
    if (events == nullptr || count <= 0 || count > kMax)
        return false;
    for (int i = 0; i < count; ++i) {
        auto event = handleObject<EventHandle>(events[i]);
        if (!event)
            return false;
        events_[i] = std::move(event);
    }
    count_ = count;
    return true;
}

int HeldEvents::wakeDescriptor(int i) const
{
    EventState& s = stateOf(events_[i]);
    std::lock_guard<std::mutex> lock(eventGuard());
    if (s.wake < 0) {
        s.wake = createWakeDescriptor();
        if (s.wake >= 0 && s.signalled)
            raiseWakeDescriptor(s.wake);
    }
    return s.wake;
}

int HeldEvents::takeSignalled() const
{
    std::lock_guard<std::mutex> lock(eventGuard());
    return takeFirstSignalled(count_, [this](int i) -> EventState& { return stateOf(events_[i]); });
}

}  // namespace detail

}  // namespace platform
