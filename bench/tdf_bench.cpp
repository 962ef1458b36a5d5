// Costs of the measurement series and its files on the local disk: the save
// after each reading early and late in a full series (it must not grow with
// the series), reading a full file of each record layout, saving it whole,
// and clearing the series.
#include <kcmb.h>

#include "platform/file.h"
#include "test_support.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const platform::SystemTime kBegin{2024, 3, 2, 5, 9, 7, 2, 0};
const char kFileName[] = "KL20240305090702.tdf";

// Runs a benchmark in a fresh folder of the local disk as the working
// directory, where the series' files go.
class WorkFolder {
public:
    WorkFolder() : old_(fs::current_path()) { fs::current_path(dir_.path()); }
    ~WorkFolder() { fs::current_path(old_); }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    std::string file(const std::string& name) const { return dir_.file(name); }

private:
    testing_support::TempDir dir_;
    fs::path old_;
};

void fill(TermDataFile& series, long records)
{
    series.SetBeginTime(&kBegin);
    for (long i = 0; i < records; ++i)
        series.Add(i * 20, 800 + i % 400, 95, i);
}

void storeCount(const std::string& path, std::int32_t count)
{
    HandleGuard file(platform::openFile(path, platform::FileOpen::ReadWriteExisting));
    unsigned char bytes[4] = {static_cast<unsigned char>(count), static_cast<unsigned char>(count >> 8),
                              static_cast<unsigned char>(count >> 16), static_cast<unsigned char>(count >> 24)};
    platform::setFilePosition(file.get(), 62);
    platform::writeFile(file.get(), bytes, sizeof bytes);
}

// SaveResult right after reading number `state.range(0)`: the file holds the
// readings before it, and the stored count is set back between rounds so
// every round appends the same record.
void BM_SaveResultAfterReading(benchmark::State& state)
{
    WorkFolder folder;
    TermDataFile series;
    const long reading = state.range(0);
    fill(series, reading - 1);
    series.Save();
    series.Add(reading * 20, 900, 95);
    const std::string path = folder.file(kFileName);
    int failures = 0;
    for (auto _ : state) {
        storeCount(path, static_cast<std::int32_t>(reading - 1));
        const auto start = std::chrono::steady_clock::now();
        failures += !series.SaveResult();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["failures"] = failures;
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A full file of version 1 or 3, built byte by byte.
std::string narrowFile(int version)
{
    std::string b("TDF");
    const auto put = [&b](std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b += static_cast<char>(v >> (8 * i) & 0xFF);
    };
    put(static_cast<unsigned>(version), 1);
    b += "\r\n";
    for (std::uint16_t field : {kBegin.year, kBegin.month, kBegin.dayOfWeek, kBegin.day, kBegin.hour, kBegin.minute,
                                kBegin.second, kBegin.milliseconds})
        put(field, 2);
    b += std::string(34, '\0');
    put(TermDataFile::kMaxCount, 4);
    std::uint64_t begin = 0;
    platform::systemTimeToFileTime(kBegin, begin);
    for (long i = 0; i < TermDataFile::kMaxCount; ++i) {
        if (version == 1)
            put(static_cast<std::uint64_t>(i * 20), 4);
        else
            put(begin + static_cast<std::uint64_t>(i) * 200000, 8);
        put(800 + i % 400, 2);
        put(95, 2);
    }
    return b;
}

void BM_ReadFullFile(benchmark::State& state)
{
    WorkFolder folder;
    const int version = static_cast<int>(state.range(0));
    const std::string path = folder.file("full.tdf");
    if (version == 4) {
        TermDataFile full;
        fill(full, TermDataFile::kMaxCount);
        full.Save();
        fs::rename(folder.file(kFileName), path);
    } else {
        writeBytes(path, narrowFile(version));
    }
    TermDataFile series;
    int failures = 0;
    for (auto _ : state)
        failures += !series.Read(path.c_str()) || series.GetCount() != TermDataFile::kMaxCount;
    state.counters["failures"] = failures;
    state.SetItemsProcessed(state.iterations() * TermDataFile::kMaxCount);
}

void BM_SaveFullSeries(benchmark::State& state)
{
    WorkFolder folder;
    TermDataFile series;
    fill(series, TermDataFile::kMaxCount);
    int failures = 0;
    for (auto _ : state)
        failures += !series.Save();
    state.counters["failures"] = failures;
}

void BM_Clear(benchmark::State& state)
{
    TermDataFile series;
    for (auto _ : state) {
        series.Clear();
        benchmark::DoNotOptimize(series.GetTermData());
    }
}

BENCHMARK(BM_SaveResultAfterReading)->Arg(10)->Arg(127998)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadFullFile)->Arg(4)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFullSeries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Clear)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
