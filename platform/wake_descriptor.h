// A descriptor of the system that polls readable while it is raised: how an
// event of this layer joins a wait on the descriptors of ports.
#pragma once

namespace platform::detail {

// -1 when the system gives none.
int createWakeDescriptor();
void raiseWakeDescriptor(int descriptor);
void lowerWakeDescriptor(int descriptor);
void closeWakeDescriptor(int descriptor);

}  // namespace platform::detail
