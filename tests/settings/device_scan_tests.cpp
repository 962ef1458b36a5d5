// A whole quick search over a line where nothing answers, against kl_sim:
// every speed and address is tried once, in order, and each request waits
// the full 100 ms reply time-out. It takes about three minutes.
#include "settings/device_search.h"

#include "test_support.h"

#include <kcmb.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <mutex>
#include <vector>

using testing_support::ScopedEnv;
using testing_support::SimProcess;
using testing_support::TempDir;

namespace {

struct TracedRequest {
    long ms;
    int address;
    int function;
    int start;
    int count;
};

TEST(QuickSearchOverASilentLine, Tries1785PointsInOrderEachWaitingTheReplyTimeout)
{
    TempDir devices;
    TempDir work;
    ScopedEnv deviceEnv("KL_DEVICE_DIR", devices.path());
    const std::string trace = work.file("sim.trace");
    SimProcess sim(devices.path(), {"--trace", trace, "--device", "fault=silence"});
    ASSERT_TRUE(KCInit());

    std::mutex mutex;
    std::vector<std::pair<unsigned, std::intptr_t>> reports;
    const auto began = std::chrono::steady_clock::now();
    {
        DeviceSearch search([&](unsigned kind, std::intptr_t point) {
            std::lock_guard<std::mutex> lock(mutex);
            reports.emplace_back(kind, point);
        });
        ASSERT_TRUE(search.start("COM1", true));
        ASSERT_TRUE(testing_support::waitFor(
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return !reports.empty() && reports.back().first == kSearchGone;
            },
            std::chrono::minutes(6)));
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
    std::cout << "quick search over a silent line: " << elapsed.count() << " ms\n";
    KCClose();

    // Reports: progress for every point in order, nothing found, then the end.
    ASSERT_EQ(reports.size(), static_cast<std::size_t>(kSearchSteps + 2));
    for (int i = 0; i < kSearchSteps; ++i) {
        ASSERT_EQ(reports[i].first, kSearchProgress) << i;
        ASSERT_EQ(searchProgress(reports[i].second), i + 1) << i;
    }
    EXPECT_EQ(reports[kSearchSteps], std::make_pair(unsigned{kSearchEnded}, std::intptr_t{0}));

    // The line: one state request per point, addresses 1 to 255 at each of
    // the seven speeds, the i-th no sooner than i x 100 ms after the first.
    // The simulator notes a request when it gets round to reading it, a few
    // ms late at times; that lateness of the first one is allowed for.
    std::ifstream in(trace);
    std::vector<TracedRequest> requests;
    TracedRequest r{};
    while (in >> r.ms >> r.address >> r.function >> r.start >> r.count)
        requests.push_back(r);
    ASSERT_EQ(requests.size(), static_cast<std::size_t>(kSearchSteps));
    for (int i = 0; i < kSearchSteps; ++i) {
        EXPECT_EQ(requests[i].function, 7) << i;
        EXPECT_EQ(requests[i].address, i % 255 + 1) << i;
        EXPECT_GE(requests[i].ms - requests[0].ms, i * kQuickSearchTimeoutMs - 10) << i;
    }
    EXPECT_GE(elapsed.count(), (kSearchSteps - 1) * kQuickSearchTimeoutMs);
}

}  // namespace
