// Named mutexes and events as the system's own kernel objects: a name opens
// the object of that name in the user's session, so that cooperating
// programs share them as on the desktop the library came from.
#include "platform/sync.h"

#include "win32_object.h"
#include "win32_text.h"

namespace platform {

namespace detail {

std::shared_ptr<Win32Object> win32Object(Handle h, Win32Object::Kind kind)
{
    auto object = handleObject<Win32Object>(h);
    return object && object->kind() == kind ? object : nullptr;
}

}  // namespace detail

namespace {

using detail::Win32Object;

Handle adopt(Win32Object::Kind kind, HANDLE handle)
{
    if (handle == nullptr)
        return invalidHandle();
    return registerHandle(std::make_shared<Win32Object>(kind, handle));
}

std::wstring nameOf(const char* name)
{
    return name != nullptr ? detail::wideText(name) : std::wstring();
}

}  // namespace

Handle createMutex(const char* name)
{
    const std::wstring wide = nameOf(name);
    return adopt(Win32Object::Kind::Mutex, ::CreateMutexW(nullptr, FALSE, wide.empty() ? nullptr : wide.c_str()));
}

bool waitForMutex(Handle mutex, std::uint32_t ms)
{
    const auto m = detail::win32Object(mutex, Win32Object::Kind::Mutex);
    if (!m)
        return false;
    // A mutex whose owner ended without releasing it is taken all the same.
    const DWORD r = ::WaitForSingleObject(m->handle(), ms);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

bool releaseMutex(Handle mutex)
{
    const auto m = detail::win32Object(mutex, Win32Object::Kind::Mutex);
    return m && ::ReleaseMutex(m->handle()) != 0;
}

Handle createEvent(const char* name, bool manualReset, bool initiallySignalled)
{
    const std::wstring wide = nameOf(name);
    return adopt(Win32Object::Kind::Event, ::CreateEventW(nullptr, manualReset, initiallySignalled,
                                                          wide.empty() ? nullptr : wide.c_str()));
}

bool setEvent(Handle event)
{
    const auto e = detail::win32Object(event, Win32Object::Kind::Event);
    return e && ::SetEvent(e->handle()) != 0;
}

bool resetEvent(Handle event)
{
    const auto e = detail::win32Object(event, Win32Object::Kind::Event);
    return e && ::ResetEvent(e->handle()) != 0;
}

bool waitForEvent(Handle event, std::uint32_t ms)
{
    return waitForAnyEvent(&event, 1, ms) == 0;
}

int waitForAnyEvent(const Handle* events, int count, std::uint32_t ms)
{
    constexpr int kMaxEvents = 16;
    if (events == nullptr || count <= 0 || count > kMaxEvents)
        return -1;
    // The objects are held for the wait, so that a handle closed on another
    // thread meanwhile does not end them under it.
    std::shared_ptr<Win32Object> held[kMaxEvents];
    HANDLE handles[kMaxEvents];
    for (int i = 0; i < count; ++i) {
        if (!(held[i] = detail::win32Object(events[i], Win32Object::Kind::Event)))
            return -1;
        handles[i] = held[i]->handle();
    }
    const DWORD r = ::WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE, ms);
    return r < WAIT_OBJECT_0 + static_cast<DWORD>(count) ? static_cast<int>(r - WAIT_OBJECT_0) : -1;
}

}  // namespace platform
