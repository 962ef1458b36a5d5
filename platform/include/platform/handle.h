// Handles of the platform layer: opaque pointers to objects owned by the layer.
#pragma once

#include <cstdint>

namespace platform {

// An opaque handle, as the operating system hands them out. Null and the
// invalid-handle value (all bits set) never refer to an object.
using Handle = void*;

inline Handle invalidHandle() { return reinterpret_cast<Handle>(~std::uintptr_t{0}); }

inline bool isUsableHandle(Handle h) { return h != nullptr && h != invalidHandle(); }

// Base of every object a handle points at, so that one close function serves
// ports, files and synchronisation objects alike.
class HandleObject {
public:
    virtual ~HandleObject() = default;
};

// Closes any handle of this layer. Null and the invalid-handle value are
// refused with false.
bool closeHandle(Handle h);

}  // namespace platform
