#include <kcmb/device_model.h>

namespace {

constexpr int kRecordSize = 7;

}  // namespace

bool isRatioDevice(unsigned type)
{
    return (type & kRatioTypeBit) != 0;
}

double emissivityDivisor(unsigned type)
{
    return isRatioDevice(type) ? 1000.0 : 100.0;
}

bool hasCurrentOutput(unsigned type)
{
    return (type & 3) == 3 || (type & 6) == 6;
}

bool hasTrigger(unsigned type)
{
    return (type & 0x87) == 0x87;
}

int settingsWordsToRead(unsigned type, unsigned variant)
{
    switch (type) {
    case 3:
    case 6: return 11;
    case 135: return 13;
    case 131: return variant != 0 ? 11 : 9;
    default: return 9;
    }
}

int settingsWordsToWrite(unsigned type, unsigned variant)
{
    // A device with a trigger has all 13 words, whatever its variant: a
    // variant of 135 must not lose its trigger and hysteresis.
    if (hasTrigger(type))
        return 13;
    if ((type & 3) == 3 && variant != 0)
        return 11;
    return (type & 6) == 6 ? 11 : 9;
}

std::uint32_t baudRateOfCode(unsigned code)
{
    static constexpr std::uint32_t kBauds[] = {600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return code < sizeof kBauds / sizeof kBauds[0] ? kBauds[code] : 19200;
}

std::optional<LimitTableLayout> limitTableLayout(unsigned type, unsigned variant)
{
    switch (type) {
    case 0:
    case 1:
    case 2: return LimitTableLayout{123, 9, 1};
    case 3: return LimitTableLayout{220, 11, 1};
    case 6: return LimitTableLayout{247, 11, 0};
    case 131: return variant == 0 ? LimitTableLayout{127, 9, 1} : LimitTableLayout{128, 11, 1};
    case 135: return LimitTableLayout{130, 14, 1};
    default: return std::nullopt;
    }
}

LimitTable initialLimitTable()
{
    LimitTable table{};
    table[0] = {0, 3, 1, 0};
    table[kLimitSmoothing] = {0, 11, 1, 1};
    applyFallbackLimits(table, 0, 0);
    return table;
}

void applyFallbackLimits(LimitTable& table, int lowerRange, int upperRange)
{
    table[kLimitMinSampling] = {5, 250, 5, 20};
    table[kLimitMaxSampling] = {5, 250, 5, 20};
    table[kLimitOutputTMin] = {0, 2950, 50, static_cast<std::uint16_t>(lowerRange)};
    table[kLimitOutputTMax] = {50, 3000, 50, static_cast<std::uint16_t>(upperRange)};
    table[kLimitTrigger] = {0, 15000, 1, 15000};
    table[kLimitHysteresis] = {0, 100, 1, 1};
}

void decodeLimitTable(const LimitTableLayout& layout, const std::vector<std::uint16_t>& words, int lowerRange,
                      int upperRange, LimitTable& table)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(words.size() * 2);
    for (std::uint16_t w : words) {
        bytes.push_back(static_cast<std::uint8_t>(w >> 8));
        bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
    }
    auto word16 = [&](std::size_t at) { return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]); };
    // The last record position of the table is not used.
    for (int i = 0; i + 1 < layout.entries && i < kLimitEntryCount; ++i) {
        const std::size_t at = static_cast<std::size_t>(layout.lead + kRecordSize * i);
        if (at + kRecordSize > bytes.size())
            break;
        table[i] = {word16(at), word16(at + 2), bytes[at + 4], word16(at + 5)};
    }
    table[kLimitTrigger].minimum = static_cast<std::uint16_t>(lowerRange);
    table[kLimitTrigger].maximum = static_cast<std::uint16_t>(upperRange);
}
