// The measurement series in memory: adding up to the limit, walking by time,
// the device fields, clearing, a series without buffer, and a reader thread.
#include <kcmb.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

// Under a sanitizer a failed allocation comes back as null, as it does
// without one, instead of ending the process. The sanitizers call these.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" const char* __tsan_default_options() { return "allocator_may_return_null=1"; }

namespace {

// A series whose records have times 250, 500, 750, ... and temperatures 800, 801, ...
void fill(TermDataFile& series, int records)
{
    for (int i = 0; i < records; ++i)
        ASSERT_NE(series.Add(250L * (i + 1), 800 + i, 95), nullptr);
}

TEST(TermDataFileStore, StartsEmptyBegunNowWithoutDevice)
{
    const platform::SystemTime now = platform::localTime();
    TermDataFile series;
    ASSERT_NE(series.GetTermData(), nullptr);
    EXPECT_EQ(series.GetCount(), 0);
    EXPECT_EQ(series.GetFirst(0), nullptr);
    EXPECT_EQ(series.GetBeginTime()->year, now.year);
    const v2DeviceInfo* device = series.GetDeviceInfo();
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(device);
    for (std::size_t i = 0; i < sizeof(v2DeviceInfo); ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(TermDataFileStore, AddWritesTheNextSlotWithQuantumZero)
{
    TermDataFile series;
    v4TermData* first = series.Add(-5, 812, 95);
    v4TermData* second = series.Add(70000, -40, 970, 12345);
    ASSERT_EQ(first, series.GetTermData());
    ASSERT_EQ(second, series.GetTermData() + 1);
    EXPECT_EQ(series.GetCount(), 2);
    EXPECT_EQ(first->time, -5);
    EXPECT_EQ(first->temperature, 812);
    EXPECT_EQ(first->emissivity, 95);
    EXPECT_EQ(first->quantum, 0);
    EXPECT_EQ(second->temperature, -40);
    EXPECT_EQ(second->quantum, 12345);
}

TEST(TermDataFileStore, HoldsAtMost127999RecordsInPlace)
{
    TermDataFile series;
    v4TermData* const buffer = series.GetTermData();
    v4TermData* last = nullptr;
    for (long i = 0; i < TermDataFile::kMaxCount; ++i)
        last = series.Add(i, 1000, 100);
    ASSERT_EQ(last, buffer + 127998);
    EXPECT_EQ(series.GetCount(), 127999);
    EXPECT_EQ(series.Add(999999, 1, 1), nullptr);
    EXPECT_EQ(series.GetCount(), 127999);
    // Records never move, and the last slot stays unused.
    EXPECT_EQ(series.GetTermData(), buffer);
    EXPECT_EQ(buffer[127999].time, 0);
    EXPECT_EQ(buffer[127999].temperature, 0);
}

TEST(TermDataFileStore, GetFirstFindsTheFirstRecordAtOrAfterATime)
{
    TermDataFile series;
    fill(series, 4);  // 250, 500, 750, 1000
    v4TermData* records = series.GetTermData();
    struct Case {
        long time;
        v4TermData* expected;
    } const cases[] = {
        {-100000, records}, {0, records}, {250, records}, {251, records + 1}, {1000, records + 3}, {1001, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(series.GetFirst(c.time), c.expected) << "time " << c.time;
}

TEST(TermDataFileStore, GetNextStopsAtTheLastRecordAndKeepsTheCursor)
{
    TermDataFile series;
    fill(series, 3);
    v4TermData* cursor = series.GetFirst(0);
    int walked = 1;
    while (series.GetNext(&cursor) != nullptr)
        ++walked;
    EXPECT_EQ(walked, 3);
    EXPECT_EQ(cursor, series.GetTermData() + 2);
    EXPECT_EQ(series.GetNext(&cursor), nullptr);
    EXPECT_EQ(cursor, series.GetTermData() + 2);
}

TEST(TermDataFileStore, GetNextRefusesCursorsOutsideTheSeries)
{
    TermDataFile series;
    v4TermData* cursor = series.GetTermData();
    EXPECT_EQ(series.GetNext(&cursor), nullptr) << "empty series";
    fill(series, 2);
    v4TermData elsewhere{};
    v4TermData* foreign = &elsewhere;
    EXPECT_EQ(series.GetNext(&foreign), nullptr);
    EXPECT_EQ(foreign, &elsewhere);
    v4TermData* unused = series.GetTermData() + 5;
    EXPECT_EQ(series.GetNext(&unused), nullptr);
    v4TermData* null = nullptr;
    EXPECT_EQ(series.GetNext(&null), nullptr);
    EXPECT_EQ(series.GetNext(nullptr), nullptr);
}

TEST(TermDataFileStore, EmissivityDivisorFollowsTheRatioBitOfTheType)
{
    struct Case {
        unsigned short type;
        double divisor;
    } const cases[] = {{131, 1000.0}, {135, 1000.0}, {0x80, 1000.0}, {3, 100.0}, {0, 100.0}, {0x7F, 100.0}};
    TermDataFile series;
    for (const Case& c : cases) {
        series.GetDeviceInfo()->type = c.type;
        EXPECT_EQ(series.GetECoeff(), c.divisor) << "type " << c.type;
    }
}

TEST(TermDataFileStore, LimitsAreTheDevicesRange)
{
    TermDataFile series;
    EXPECT_EQ(series.SetMin(-50), -50);
    EXPECT_EQ(series.SetMax(1500), 1500);
    EXPECT_EQ(series.GetMin(), -50);
    EXPECT_EQ(series.GetMax(), 1500);
    EXPECT_EQ(series.GetDeviceInfo()->tempMin, -50);
    EXPECT_EQ(series.GetDeviceInfo()->tempMax, 1500);
}

TEST(TermDataFileStore, SetDeviceInfoCopiesAndAlwaysGivesTheSeriesOwn)
{
    TermDataFile series;
    v2DeviceInfo device{};
    device.type = 131;
    device.tempMax = 2500;
    std::memcpy(device.serial, "1234", 5);
    v2DeviceInfo* own = series.SetDeviceInfo(&device);
    EXPECT_EQ(own, series.GetDeviceInfo());
    EXPECT_EQ(own->type, 131);
    EXPECT_EQ(own->tempMax, 2500);
    EXPECT_STREQ(own->serial, "1234");
    EXPECT_EQ(series.SetDeviceInfo(nullptr), own);
    EXPECT_EQ(own->type, 131);
}

TEST(TermDataFileStore, ClearZeroesEverythingAndBeginsAgain)
{
    TermDataFile series;
    fill(series, 10);
    series.GetTermData()[9].quantum = 77;
    series.SetMax(1500);
    const platform::SystemTime old{2001, 1, 1, 1, 0, 0, 0, 0};
    series.SetBeginTime(&old);
    series.Clear();
    EXPECT_EQ(series.GetCount(), 0);
    EXPECT_EQ(series.GetMax(), 0);
    EXPECT_NE(series.GetBeginTime()->year, 2001);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(series.GetTermData());
    for (std::size_t i = 0; i < 10 * sizeof(v4TermData); ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

// Whether the buffer can be obtained is out of the caller's hands: with the
// address space limited, construction must leave a usable empty series.
TEST(TermDataFileStore, WithoutBufferEveryOperationFailsSafely)
{
    // A fresh process, so no freed buffer of an earlier test is reused.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto scenario = [] {
        long pages = 0;
        long resident = 0;
        FILE* statm = std::fopen("/proc/self/statm", "r");
        if (statm == nullptr || std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            _exit(2);
        std::fclose(statm);
        // Room for small allocations, none for 2 MB.
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (1u << 20);
        const rlimit rl{limit, limit};
        if (setrlimit(RLIMIT_AS, &rl) != 0)
            _exit(3);
        TermDataFile series;
        if (series.GetTermData() != nullptr)
            _exit(4);
        const platform::SystemTime old{2001, 1, 1, 1, 0, 0, 0, 0};
        series.SetBeginTime(&old);
        series.SetMax(1500);
        series.Clear();
        v4TermData* cursor = nullptr;
        const bool ok = series.Add(1, 2, 3) == nullptr && series.GetCount() == 0 && series.GetFirst(0) == nullptr
            && series.GetNext(&cursor) == nullptr && series.GetMax() == 0 && series.GetBeginTime()->year != 2001
            && !series.Read("/dev/null");
        _exit(ok ? 0 : 1);
    };
    EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(0), "");
}

// A reader on another thread walks the series while records are added: every
// record the count covers must already hold its values.
TEST(TermDataFileStore, ARecordIsCompleteBeforeTheCountCoversIt)
{
    TermDataFile series;
    constexpr long kRecords = 100000;
    std::atomic<bool> done{false};
    std::atomic<long> torn{0};
    std::thread reader([&] {
        const v4TermData* records = series.GetTermData();
        while (!done.load(std::memory_order_acquire)) {
            const long n = series.GetCount();
            if (n == 0)
                continue;
            const v4TermData& last = records[n - 1];
            if (last.time != n - 1 || last.temperature != 3 * (n - 1) + 1 || last.quantum != 7 * (n - 1))
                torn.fetch_add(1);
        }
    });
    for (long i = 0; i < kRecords; ++i)
        series.Add(i, 3 * i + 1, 95, 7 * i);
    done.store(true, std::memory_order_release);
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(series.GetCount(), kRecords);
}

}  // namespace
