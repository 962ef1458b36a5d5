// The device search against kl_sim over a pseudo-terminal:
// - a quick search over a line where nothing answers: its total time against
//   the limit of 1785 x 100 ms = 178.5 s, and the CPU the program spends on
//   it (the worker and the thread waiting for it), as a share of one core;
// - a whole quick search of a line with three devices at different speeds
//   and addresses, one at the last speed and the highest address a device
//   may have (247): each must be found once.
// Each case runs one search of about three minutes.
#include "settings/device_search.h"

#include "test_support.h"

#include <kcmb.h>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace {

double processCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct SearchOutcome {
    double seconds = 0;
    double cpuSeconds = 0;
    // Found points and how often each was reported.
    std::map<std::intptr_t, int> found;
    bool completed = false;
};

// Runs one quick search of COM1 to its end; the waiting thread sleeps on a
// condition variable, so the CPU time is the search's own.
SearchOutcome runQuickSearch()
{
    std::mutex mutex;
    std::condition_variable gone;
    SearchOutcome outcome;
    bool ended = false;
    const double cpuBefore = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    {
        DeviceSearch search([&](unsigned kind, std::intptr_t point) {
            std::lock_guard<std::mutex> lock(mutex);
            if (kind == kSearchFound)
                ++outcome.found[point];
            if (kind == kSearchEnded)
                outcome.completed = point == 0;
            if (kind == kSearchGone) {
                ended = true;
                gone.notify_one();
            }
        });
        search.start("COM1", true);
        std::unique_lock<std::mutex> lock(mutex);
        gone.wait(lock, [&] { return ended; });
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.cpuSeconds = processCpuSeconds() - cpuBefore;
    return outcome;
}

void searchLine(benchmark::State& state, const std::vector<std::string>& simArgs, std::size_t expectedDevices)
{
    testing_support::TempDir devices;
    testing_support::ScopedEnv env("KL_DEVICE_DIR", devices.path());
    testing_support::SimProcess sim(devices.path(), simArgs);
    if (!KCInit()) {
        state.SkipWithError("KCInit failed");
        return;
    }
    constexpr double kLimitSeconds = kSearchSteps * kQuickSearchTimeoutMs / 1000.0;
    for (auto _ : state) {
        const SearchOutcome outcome = runQuickSearch();
        state.SetIterationTime(outcome.seconds);
        state.counters["total_s"] = outcome.seconds;
        state.counters["over_limit_%"] = 100.0 * (outcome.seconds / kLimitSeconds - 1.0);
        state.counters["cpu_%_of_core"] = 100.0 * outcome.cpuSeconds / outcome.seconds;
        int reports = 0;
        for (const auto& [point, times] : outcome.found)
            reports += times;
        state.counters["devices_found"] = static_cast<double>(outcome.found.size());
        state.counters["found_reports"] = reports;
        if (!outcome.completed || outcome.found.size() != expectedDevices
            || reports != static_cast<int>(expectedDevices))
            state.SkipWithError("the search did not find each device exactly once");
    }
    KCClose();
}

void BM_QuickSearchSilentLine(benchmark::State& state)
{
    searchLine(state, {"--device", "fault=silence"}, 0);
}

// With the line time a reply at 600 or 1200 baud comes later than 100 ms,
// so the three devices sit at speeds a quick search reaches.
void BM_QuickSearchThreeDevices(benchmark::State& state)
{
    searchLine(state,
               {"--device", "type=3,address=17,baud=2", "--device", "type=135,address=1,baud=4", "--device",
                "address=247,baud=6"},
               3);
}

BENCHMARK(BM_QuickSearchSilentLine)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_QuickSearchThreeDevices)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
