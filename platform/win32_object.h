// A kernel object of Windows (mutex, event) named by a handle of this layer.
#pragma once

#include "platform/handle.h"

#include <windows.h>

namespace platform::detail {

class Win32Object final : public HandleObject {
public:
    enum class Kind { Mutex, Event };

    Win32Object(Kind kind, HANDLE handle) : kind_(kind), handle_(handle) {}
    ~Win32Object() override { ::CloseHandle(handle_); }
    Win32Object(const Win32Object&) = delete;
    Win32Object& operator=(const Win32Object&) = delete;

    Kind kind() const { return kind_; }
    HANDLE handle() const { return handle_; }

private:
    Kind kind_;
    HANDLE handle_;
};

// The object of a handle of the kind asked for, or null.
std::shared_ptr<Win32Object> win32Object(Handle h, Win32Object::Kind kind);

}  // namespace platform::detail
