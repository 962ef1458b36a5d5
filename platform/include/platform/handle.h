// Handles of the platform layer: opaque values naming objects the layer owns.
//
// A handle is an index into one process-wide table together with the
// generation of its slot, so a handle that has been closed stays invalid even
// when its slot is reused: using it fails like any invalid handle instead of
// reaching freed memory or another object. A call that uses an object holds a
// reference to it, so closing a handle while another thread is inside a call
// on it ends the object only when that call returns.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// An opaque handle, as the operating system hands them out. Null and the
// invalid-handle value (all bits set) never refer to an object.
using Handle = void*;

inline Handle invalidHandle() { return reinterpret_cast<Handle>(~std::uintptr_t{0}); }

inline bool isUsableHandle(Handle h) { return h != nullptr && h != invalidHandle(); }

// Base of every object a handle names, so that one close function serves
// ports, files and synchronisation objects alike.
class HandleObject {
public:
    virtual ~HandleObject() = default;
};

// Enters the object into the table and returns its new handle; the invalid
// handle for a null object.
Handle registerHandle(std::shared_ptr<HandleObject> object);

// The object of an open handle, or null for a closed, foreign or invalid one.
std::shared_ptr<HandleObject> lookupHandle(Handle h);

template <class T>
std::shared_ptr<T> handleObject(Handle h)
{
    return std::dynamic_pointer_cast<T>(lookupHandle(h));
}

// Closes any handle of this layer. Null, the invalid-handle value and handles
// that are closed already are refused with false.
bool closeHandle(Handle h);

}  // namespace platform
