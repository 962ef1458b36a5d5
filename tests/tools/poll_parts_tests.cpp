// The parts of kl_poll that need no line: the names of its files, the
// back-off for a silent device, and what counts as noise.
#include "link_counts.h"
#include "output_paths.h"
#include "silence_backoff.h"

#include <gtest/gtest.h>

namespace {

TEST(OutputPaths, ADevicesFileAndTheFilesThatContinueASeries)
{
    struct Case {
        const char* path;
        int address;
        int number;
        const char* device;
        const char* numbered;
    } const cases[] = {
        {"r.tdf", 2, 2, "r_a2.tdf", "r_2.tdf"},
        {"/data/run.1/r.csv", 17, 3, "/data/run.1/r_a17.csv", "/data/run.1/r_3.csv"},
        {"/data/run.1/log", 1, 2, "/data/run.1/log_a1", "/data/run.1/log_2"},
        {".hidden", 3, 2, ".hidden_a3", ".hidden_2"},
        {"dir/.hidden", 3, 2, "dir/.hidden_a3", "dir/.hidden_2"},
        {"r.tdf", 5, 1, "r_a5.tdf", "r.tdf"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tools::deviceFilePath(c.path, c.address), c.device) << c.path;
        EXPECT_EQ(tools::numberedPath(c.path, c.number), c.numbered) << c.path;
    }
    EXPECT_EQ(tools::numberedPath(tools::deviceFilePath("r.tdf", 2), 2), "r_a2_2.tdf");
}

// The ticks at which a device silent in every turn is asked, cycles a period
// apart from tick `start` on, up to `until`.
std::vector<std::uint32_t> askedWhileSilent(tools::SilenceBackoff& backoff, std::uint32_t start,
                                            std::uint32_t period, std::uint32_t until)
{
    std::vector<std::uint32_t> asked;
    for (std::uint32_t now = start; now - start < until; now += period)
        if (backoff.due(now)) {
            asked.push_back(now - start);
            backoff.silent(now);
        }
    return asked;
}

TEST(SilenceBackoff, ASilentDeviceIsAskedEveryCycleThreeTimesThenAfterDoublingWaits)
{
    tools::SilenceBackoff backoff(100);
    const std::vector<std::uint32_t> expected = {0, 100, 200, 400, 800, 1600, 3200, 6400, 11400, 16400};
    EXPECT_EQ(askedWhileSilent(backoff, 0, 100, 20000), expected);
}

TEST(SilenceBackoff, AnAnswerEndsTheBackOffAndTicksMayWrap)
{
    tools::SilenceBackoff backoff(100);
    const std::uint32_t start = 0xFFFFFF00u;
    askedWhileSilent(backoff, start, 100, 2000);
    EXPECT_GT(backoff.waitMs(), 0u);
    EXPECT_FALSE(backoff.due(start + 2000));
    backoff.answered();
    EXPECT_TRUE(backoff.due(start + 2000));
    EXPECT_EQ(backoff.waitMs(), 0u);
}

TEST(SilenceBackoff, APeriodLongerThanTheLongestWaitAsksEveryCycle)
{
    tools::SilenceBackoff backoff(10000);
    const auto asked = askedWhileSilent(backoff, 0, 10000, 100000);
    EXPECT_EQ(asked.size(), 10u);
}

TEST(LinkCounts, EachTryCountsAsWhatTheLineDidToIt)
{
    using kc::Fault;
    using kc::Result;
    using kc::TryOutcome;
    struct Case {
        Result result;
        TryOutcome outcome;
    } const cases[] = {
        {Result::success(), TryOutcome::Answered},
        {Result::deviceException(2), TryOutcome::Answered},
        {Result::failure(Fault::BadChecksum), TryOutcome::Corrupt},
        {Result::failure(Fault::WrongAddress), TryOutcome::Corrupt},
        {Result::failure(Fault::WrongFunction), TryOutcome::Corrupt},
        {Result::failure(Fault::BadLength), TryOutcome::Corrupt},
        {Result::failure(Fault::Timeout), TryOutcome::NoReply},
        {Result::failure(Fault::PortBusy), TryOutcome::NoReply},
        {Result::failure(Fault::WriteFailed), TryOutcome::NoReply},
        {Result::failure(Fault::PortFailed), TryOutcome::PortLost},
        {Result::failure(Fault::BadArgument), TryOutcome::Refused},
    };
    kc::LinkCounts counts;
    for (const Case& c : cases) {
        EXPECT_EQ(kc::outcomeOf(c.result), c.outcome) << static_cast<int>(c.result.fault);
        counts.note(c.result);
    }
    EXPECT_EQ(counts.corrupt, 4);
    EXPECT_EQ(counts.noReply, 3);
    EXPECT_EQ(counts.readings, 0);
    EXPECT_EQ(tools::describeCounts(counts), "показаний: 0, ошибок обмена: 0, искажённых ответов: 4, без ответа: 3");
}

}  // namespace
