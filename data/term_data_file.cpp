#include <kcmb/term_data_file.h>

#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

constexpr std::size_t kBufferBytes = static_cast<std::size_t>(TermDataFile::kCapacity) * sizeof(v4TermData);

}  // namespace

TermDataFile::TermDataFile()
    // calloc hands back zero pages without writing 2 MB.
    : termData(static_cast<v4TermData*>(std::calloc(kBufferBytes, 1))), count(0), beginTime(platform::localTime())
{
    std::memset(&deviceInfo, 0, sizeof deviceInfo);
}

TermDataFile::~TermDataFile()
{
    count.store(0, std::memory_order_release);
    std::free(termData);
    termData = nullptr;
}

v4TermData* TermDataFile::Add(long time, long temperature, unsigned short emissivity, long quantum)
{
    const std::int32_t n = count.load(std::memory_order_relaxed);
    if (termData == nullptr || n + 1 >= kCapacity)
        return nullptr;
    v4TermData& record = termData[n];
    record.time = static_cast<std::int32_t>(time);
    record.temperature = static_cast<std::int32_t>(temperature);
    record.emissivity = emissivity;
    record.quantum = static_cast<std::int32_t>(quantum);
    count.store(n + 1, std::memory_order_release);
    return &record;
}

void TermDataFile::Clear()
{
    // The count goes first, so no reader is promised a record being zeroed.
    count.store(0, std::memory_order_release);
    if (termData != nullptr)
        std::memset(termData, 0, kBufferBytes);
    std::memset(&deviceInfo, 0, sizeof deviceInfo);
    beginTime = platform::localTime();
    // A new series never writes into the file of the one before.
    file_.clear();
}

v4TermData* TermDataFile::GetFirst(long time)
{
    if (termData == nullptr)
        return nullptr;
    const std::int32_t n = count.load(std::memory_order_acquire);
    for (std::int32_t i = 0; i < n; ++i)
        if (termData[i].time >= time)
            return &termData[i];
    return nullptr;
}

v4TermData* TermDataFile::GetNext(v4TermData** cursor)
{
    if (termData == nullptr || cursor == nullptr || *cursor == nullptr)
        return nullptr;
    const std::int32_t n = count.load(std::memory_order_acquire);
    if (n == 0)
        return nullptr;
    // Pointers into other storage are not ordered with ours by '<'.
    const std::less<const v4TermData*> before;
    if (before(*cursor, termData) || !before(*cursor, termData + n - 1))
        return nullptr;
    return ++*cursor;
}

void TermDataFile::SetBeginTime(const platform::SystemTime* time)
{
    if (time == nullptr)
        return;
    // The file is named after the begin time and holds it in its header.
    if (std::memcmp(time, &beginTime, sizeof beginTime) != 0)
        file_.clear();
    beginTime = *time;
}

v2DeviceInfo* TermDataFile::SetDeviceInfo(const v2DeviceInfo* info)
{
    if (info != nullptr)
        deviceInfo = *info;
    return &deviceInfo;
}

long TermDataFile::SetMin(long value)
{
    deviceInfo.tempMin = static_cast<int>(value);
    return deviceInfo.tempMin;
}

long TermDataFile::SetMax(long value)
{
    deviceInfo.tempMax = static_cast<int>(value);
    return deviceInfo.tempMax;
}

double TermDataFile::GetECoeff() const
{
    return (deviceInfo.type & 0x80) != 0 ? 1000.0 : 100.0;
}
