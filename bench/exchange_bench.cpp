// Exchanges per second of a 5-register read against kl_sim over a
// pseudo-terminal. The CPU column is the calling thread's own time per
// exchange: the library's work and its system calls, without the device's
// time, which is spent in the simulator's process.
#include <kcmb.h>

#include "alloc_counter.h"
#include "test_support.h"

#include <benchmark/benchmark.h>

namespace {

void readFive(benchmark::State& state, const std::vector<std::string>& simArgs)
{
    testing_support::TempDir dir;
    testing_support::ScopedEnv env("KL_DEVICE_DIR", dir.path());
    testing_support::SimProcess sim(dir.path(), simArgs);
    KCInit();
    HandleGuard guard = KCOpenPort("COM1", 5);
    char request[6] = {1, 4, 1, 0, 0, 5};
    char reply[32];
    int count = 0;
    int failures = 0;
    const std::uint64_t allocationsBefore = bench_support::allocationCount();
    for (auto _ : state)
        failures += KCCommModBus(guard.get(), request, 6, reply, sizeof reply, &count) != 0;
    state.counters["allocs/exchange"] =
        static_cast<double>(bench_support::allocationCount() - allocationsBefore) / static_cast<double>(state.iterations());
    state.counters["failures"] = failures;
    state.SetItemsProcessed(state.iterations());
    guard.reset();
    KCClose();
}

// A device without line time that answers 0.1 ms after the request: the
// exchange's own costs dominate.
void BM_ReadFiveRegisters_FastDevice(benchmark::State& state)
{
    readFive(state, {"--no-line-time", "--turnaround-ms", "0.1"});
}

void BM_ReadFiveRegisters_19200Baud(benchmark::State& state)
{
    readFive(state, {});
}

BENCHMARK(BM_ReadFiveRegisters_FastDevice)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_ReadFiveRegisters_19200Baud)->Unit(benchmark::kMillisecond)->Iterations(100)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
