// Counts the heap allocations of the process, for benchmarks that promise
// to allocate nothing in their loop.
#pragma once

#include <cstdint>

namespace bench_support {

std::uint64_t allocationCount();

}  // namespace bench_support
