#include "tuning.h"

#include "platform/system_config.h"

#include <atomic>

namespace qrvx {

namespace {

std::atomic<std::uint32_t> g_zeroWaitTime{Tuning{}.zeroWaitTime};
std::atomic<std::uint32_t> g_zeroSyncWait{Tuning{}.zeroSyncWait};
std::atomic<std::uint32_t> g_zeroStrLen{Tuning{}.zeroStrLen};

void take(const platform::ConfigGroup& group, const char* key, std::atomic<std::uint32_t>& setting)
{
    const auto it = group.find(key);
    std::uint32_t value = 0;
    if (it != group.end() && platform::parseConfigNumber(it->second, value))
        setting.store(value);
}

// Reads the values when the library is loaded into a process.
struct ReadAtLoad {
    ReadAtLoad() { reloadTuning(); }
};
const ReadAtLoad g_readAtLoad;

}  // namespace

Tuning tuning()
{
    return {g_zeroWaitTime.load(), g_zeroSyncWait.load(), g_zeroStrLen.load()};
}

void reloadTuning()
{
    const auto group = platform::readConfigGroup(platform::systemConfigPath("OSTRELAN", "VA_ZIRUDEZOV"), "QRVX");
    if (!group)
        return;
    take(*group, "ZeroWaitTime", g_zeroWaitTime);
    take(*group, "ZeroSyncWait", g_zeroSyncWait);
    take(*group, "ZeroStrLen", g_zeroStrLen);
}

}  // namespace qrvx
