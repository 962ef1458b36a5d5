#include <kcmb/pyrometer.h>

#include <kcmb/register_services.h>

#include <algorithm>
#include <cstring>

namespace kc {

namespace {

constexpr unsigned kHighestModeWithOwnWord = 3;
// Emissivity words hold the emissivity x 100: above 100 is above 1.00.
constexpr std::uint16_t kHighestEmissivityWord = 100;

// writeWords turns the words it sends into line order in place: it gets a copy.
Result writeConfigWords(void* port, char address, std::uint16_t reg, const KCConfig& config, int first, int count)
{
    KCConfig words = config;
    return kc::writeWords(port, address, reg, words.words + first, static_cast<unsigned short>(count));
}

}  // namespace

unsigned temperatureWordOf(unsigned mode)
{
    return mode <= kHighestModeWithOwnWord ? mode : 0;
}

bool reportsRatio(unsigned type, std::uint16_t emissivityWord)
{
    return isRatioDevice(type) || emissivityWord > kHighestEmissivityWord;
}

unsigned workingType(unsigned type, std::uint16_t emissivityWord)
{
    return reportsRatio(type, emissivityWord) ? type | kRatioTypeBit : type;
}

unsigned thermostatOf(std::uint8_t state)
{
    return state & kThermostatBits;
}

bool isSettled(std::uint8_t state)
{
    return thermostatOf(state) == 0;
}

bool sameDevice(const v2DeviceInfo& before, const v2DeviceInfo& now)
{
    return std::strncmp(before.serial, now.serial, sizeof before.serial) == 0
        && (before.type & ~kRatioTypeBit) == (now.type & ~kRatioTypeBit);
}

Result Pyrometer::identify(DeviceInfo& info) const
{
    return kc::getDeviceInfo(port_, address_, &info);
}

Result Pyrometer::readState(std::uint8_t& state) const
{
    unsigned short status = 0;
    const Result r = kc::readException(port_, address_, &status);
    if (r.ok())
        state = static_cast<std::uint8_t>(status);
    return r;
}

Result Pyrometer::readMeasurement(unsigned mode, Measurement& measurement) const
{
    Measurement read;
    const Result r = kc::readWords(port_, address_, kMeasurementRegister, read.words, kMeasurementWords);
    if (r.ok()) {
        read.temperatureWord = temperatureWordOf(mode);
        measurement = read;
    }
    return r;
}

Result Pyrometer::readMode(std::uint16_t& mode) const
{
    return kc::readWords(port_, address_, kSettingsRegister, &mode, 1);
}

Result Pyrometer::readModeAndEmissivity(std::uint16_t& mode, std::uint16_t& emissivity) const
{
    std::uint16_t words[2] = {};
    const Result r = kc::readWords(port_, address_, kSettingsRegister, words, 2);
    if (r.ok()) {
        mode = words[0];
        emissivity = words[1];
    }
    return r;
}

Result Pyrometer::readSettings(KCConfig& config, int count) const
{
    Result r = kc::readWords(port_, address_, kSettingsRegister, config.words, kFirstSettingsWords);
    if (r.ok() && count > kFirstSettingsWords)
        r = kc::readWords(port_, address_, kOutputSettingsRegister, config.words + kFirstSettingsWords,
                      static_cast<unsigned short>(count - kFirstSettingsWords));
    return r;
}

Result Pyrometer::readLimitWords(const LimitTableLayout& layout, int& at, std::vector<std::uint16_t>& words) const
{
    const int total = std::min(layout.wordCount(), static_cast<int>(words.size()));
    const int n = std::min(kMaxLimitWordsPerRequest, total - at);
    if (at < 0 || n <= 0)
        return Result::failure(Fault::BadArgument);
    const Result r = kc::readWords(port_, address_, static_cast<unsigned short>(layout.firstRegister() + at),
                               words.data() + at, static_cast<unsigned short>(n));
    if (r.ok())
        at += n;
    return r;
}

Result Pyrometer::writeSettings(const KCConfig& config) const
{
    return writeConfigWords(port_, address_, kSettingsRegister, config, 0, kFirstSettingsWords);
}

bool Pyrometer::hasOutputSettings(unsigned type, unsigned variant)
{
    return hasCurrentOutput(type) && settingsWordsToWrite(type, variant) > kFirstSettingsWords;
}

Result Pyrometer::writeOutputSettings(const KCConfig& config, unsigned type, unsigned variant) const
{
    return writeConfigWords(port_, address_, kOutputSettingsRegister, config, kFirstSettingsWords,
                            settingsWordsToWrite(type, variant) - kFirstSettingsWords);
}

}  // namespace kc
