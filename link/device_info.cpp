#include <kcmb/device_info.h>

#include <cstring>

v2DeviceInfo::v2DeviceInfo(const DeviceInfo& info)
    : address(info.address),
      tempMin(info.tempMin),
      tempMax(info.tempMax),
      reg2(info.reg2),
      sensor(info.sensor),
      type(info.type),
      variant(info.variant)
{
    std::memcpy(serial, info.serial, sizeof serial);
    std::memcpy(year, info.year, sizeof year);
    std::memcpy(verifyDate, info.verifyDate, sizeof verifyDate);
}

void KCSetDefaultConfig(KCConfig* config)
{
    if (config == nullptr)
        return;
    static constexpr unsigned short kDefaults[13] = {0, 100, 1, 20, 20, 0, 5, 100, 1, 0, 0, 0, 0};
    std::memcpy(config->words, kDefaults, sizeof kDefaults);
}
