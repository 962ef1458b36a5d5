// The register services against a simulated pyrometer over a
// pseudo-terminal, and the simulator's own cost of serving a measurement read.
#include <kcmb.h>

#include "alloc_counter.h"
#include "pyrometer.h"
#include "pyrometer_options.h"
#include "test_support.h"

#include <benchmark/benchmark.h>

namespace {

struct SimPort {
    explicit SimPort(const std::vector<std::string>& simArgs) : sim(dir.path(), simArgs)
    {
        KCInit();
        HandleGuard guard = KCOpenPort("COM1", 5);
        port = guard.release();
    }
    ~SimPort()
    {
        KCClosePort(port);
        KCClose();
    }

    testing_support::TempDir dir;
    testing_support::ScopedEnv env{"KL_DEVICE_DIR", dir.path()};
    testing_support::SimProcess sim;
    void* port = nullptr;
};

// The polling worker's read: 5 words from register 256, with the device
// answering 0.1 ms after the request and no line time.
void BM_ReadMeasurement_FastPyrometer(benchmark::State& state)
{
    SimPort sim({"--no-line-time", "--turnaround-ms", "0.1", "--device", "type=3"});
    unsigned short words[5];
    int failures = 0;
    const std::uint64_t allocationsBefore = bench_support::allocationCount();
    for (auto _ : state)
        failures += readWords(sim.port, 1, 256, words, 5) != 0;
    state.counters["allocs/read"] =
        static_cast<double>(bench_support::allocationCount() - allocationsBefore) / static_cast<double>(state.iterations());
    state.counters["failures"] = failures;
    state.SetItemsProcessed(state.iterations());
}

// The whole identification at 19200 baud with line time: four exchanges and
// the two 50 ms pauses between the register blocks.
void BM_GetDeviceInfo_19200Baud(benchmark::State& state)
{
    SimPort sim({"--device", "type=131,variant=1"});
    int failures = 0;
    for (auto _ : state) {
        DeviceInfo info{};
        failures += getDeviceInfo(sim.port, 1, &info) != 0;
    }
    state.counters["failures"] = failures;
}

// The simulated pyrometer alone: one measurement request with the longest
// sampling windows (25 s of 10 ms samples scanned for minimum and maximum).
void BM_PyrometerServesAMeasurementRead(benchmark::State& state)
{
    auto now = std::chrono::steady_clock::now();
    sim::Pyrometer device(sim::pyrometerConfigOf({{"type", "135"}, {"settings", "3:1000:11:250:250"}}),
                          [&now] { return now; });
    const sim::Bytes request{1, 4, 1, 0, 0, 5};
    for (auto _ : state) {
        now += std::chrono::milliseconds(100);
        benchmark::DoNotOptimize(device.answer(request));
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ReadMeasurement_FastPyrometer)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_GetDeviceInfo_19200Baud)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(BM_PyrometerServesAMeasurementRead)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
