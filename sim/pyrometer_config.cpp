#include "pyrometer_config.h"

#include <algorithm>
#include <stdexcept>

namespace sim {

namespace {

constexpr int kKelvinOffset = 273;

struct ModelDefaults {
    int rangeMin;
    int rangeMax;
    int sensor;
};

ModelDefaults modelDefaults(int type)
{
    switch (type) {
    case 0: case 1: case 2: return {400, 1400, 0};
    case 3: return {200, 1000, 1};
    case 6: return {600, 2200, 0};
    case 131: return {700, 1800, 1};
    default: return {800, 2500, 0};
    }
}

bool isRatio(int type) { return (type & 0x80) != 0; }

// Puts `text` into `count` registers from `first`, two characters each,
// high byte first, zero-padded.
void putText(std::array<std::uint16_t, kIdentificationWords>& regs, int first, int count, const std::string& text)
{
    for (int i = 0; i < count; ++i) {
        const std::size_t at = 2 * static_cast<std::size_t>(i);
        const auto high = static_cast<unsigned char>(at < text.size() ? text[at] : 0);
        const auto low = static_cast<unsigned char>(at + 1 < text.size() ? text[at + 1] : 0);
        regs[static_cast<std::size_t>(first + i)] = static_cast<std::uint16_t>(high << 8 | low);
    }
}

}  // namespace

bool isPyrometerType(int type)
{
    switch (type) {
    case 0: case 1: case 2: case 3: case 6: case 131: case 135: return true;
    default: return false;
    }
}

PyrometerConfig defaultPyrometer(int type, int variant, IdLayout layout)
{
    if (!isPyrometerType(type))
        throw std::invalid_argument("type must be one of 0, 1, 2, 3, 6, 131, 135");
    const int reported = type == 135 ? 2 : 1;
    if (variant != 0 && variant != reported)
        throw std::invalid_argument("a device of type " + std::to_string(type) + " reports variant 0 or "
                                    + std::to_string(reported));
    PyrometerConfig config;
    config.type = type;
    config.variant = variant;
    config.layout = layout;
    config.serial = layout == IdLayout::Newer ? "1234" : "12";
    config.year = "2021";
    config.verified = "15032023";
    const ModelDefaults d = modelDefaults(type);
    config.rangeMin = d.rangeMin;
    config.rangeMax = d.rangeMax;
    config.sensor = d.sensor;
    config.typeByte = type;
    deriveDefaults(config);
    return config;
}

void deriveDefaults(PyrometerConfig& config)
{
    const auto low = static_cast<std::uint16_t>(config.rangeMin);
    const auto high = static_cast<std::uint16_t>(config.rangeMax);
    const auto outputLow = static_cast<std::uint16_t>(config.rangeMin / 50 * 50);
    const auto outputHigh = static_cast<std::uint16_t>(std::min((config.rangeMax + 49) / 50 * 50, 3000));
    const std::uint16_t emissivity = isRatio(config.type) ? 1000 : 100;
    config.settings = {0, emissivity, 1, 20, 20, 0, static_cast<std::uint16_t>(config.baudCode), 100,
                       config.address, outputLow, outputHigh, kTriggerOff, 1};

    const bool plain = config.type <= 2;
    config.limits = {
        isRatio(config.type) ? LimitEntry{850, 1150, 1, 1000} : LimitEntry{10, 100, 1, 100},
        {0, static_cast<std::uint16_t>(plain ? 9 : 11), 1, 1},  // smoothing step codes
        {5, 250, 5, 20},       // minimum sampling time, 0.1 s
        {5, 250, 5, 20},       // maximum sampling time, 0.1 s
        {0, 1, 1, 0},          // current output start
        {0, 6, 1, 5},          // baud code
        {25, 100, 5, 100},     // device time-out, 20 ms
        {1, 247, 1, 1},        // address
        {0, 2950, 50, low},    // current output T min
        {50, 3000, 50, high},  // current output T max
        {low, high, 1, kTriggerOff},
        {0, 100, 1, 1},        // hysteresis
        {},
    };

    config.signal.low = config.rangeMin;
    config.signal.high = config.rangeMax;
    config.signal.centre = (config.rangeMin + config.rangeMax) / 2.0;
    config.signal.seed = config.address;
}

int settingsWordCount(int type, int variant)
{
    switch (type) {
    case 3: case 6: return 11;
    case 131: return variant == 0 ? 9 : 11;
    case 135: return 13;
    default: return 9;
    }
}

std::array<std::uint16_t, kIdentificationWords> identificationRegisters(const PyrometerConfig& config)
{
    std::array<std::uint16_t, kIdentificationWords> regs{};
    regs[0] = static_cast<std::uint16_t>(config.rangeMin + kKelvinOffset);
    regs[1] = static_cast<std::uint16_t>(config.rangeMax + kKelvinOffset);
    regs[2] = config.reg2;
    regs[4] = static_cast<std::uint16_t>(config.sensor & 0xFF);
    if (config.layout == IdLayout::Newer) {
        putText(regs, 5, 2, config.serial);
        putText(regs, 7, 2, config.year);
        putText(regs, 9, 4, config.verified);
    } else {
        putText(regs, 5, 1, config.serial);
        putText(regs, 6, 2, config.year);
        putText(regs, 8, 4, config.verified);
    }
    regs[22] = config.variant == 0 ? static_cast<std::uint16_t>(config.type) : kNewIdentificationMark;
    regs[23] = config.variant == 0 ? 0 : static_cast<std::uint16_t>(config.type);
    return regs;
}

}  // namespace sim
