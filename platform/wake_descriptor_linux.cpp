// Wake descriptors as eventfd counters that hold 0 (lowered) or 1 (raised).
#include "wake_descriptor.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace platform::detail {

int createWakeDescriptor()
{
    return ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

void raiseWakeDescriptor(int descriptor)
{
    const std::uint64_t one = 1;
    while (::write(descriptor, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void lowerWakeDescriptor(int descriptor)
{
    std::uint64_t count = 0;
    while (::read(descriptor, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

void closeWakeDescriptor(int descriptor)
{
    ::close(descriptor);
}

}  // namespace platform::detail
