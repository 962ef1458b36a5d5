#include "pyrometer_options.h"

#include "pyrometer.h"
#include "option_values.h"

#include <set>
#include <stdexcept>

namespace sim {

namespace {

const std::set<std::string> kKeys = {"type", "variant", "layout", "address", "baud", "serial", "year",
                                     "verified", "range", "sensor", "reg2", "type-byte", "settings", "temp",
                                     "drift", "noise", "seed", "thermostat", "fault"};

bool printable(const std::string& text)
{
    for (char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

// Two numbers A:B.
std::pair<std::string, std::string> pair(const std::string& text, const std::string& what)
{
    const auto parts = split(text, ':');
    if (parts.size() != 2)
        throw std::invalid_argument(what + " needs two values A:B: " + text);
    return {parts[0], parts[1]};
}

}  // namespace

bool describesPyrometer(const DeviceKeys& keys)
{
    return keys.count("type") != 0;
}

PyrometerConfig pyrometerConfigOf(const DeviceKeys& keys)
{
    for (const auto& entry : keys)
        if (kKeys.count(entry.first) == 0)
            throw std::invalid_argument("unknown pyrometer key: " + entry.first);
    auto has = [&](const char* key) { return keys.count(key) != 0; };
    auto get = [&](const char* key, const char* fallback) {
        const auto it = keys.find(key);
        return it == keys.end() ? std::string(fallback) : it->second;
    };

    const std::string layoutName = get("layout", "new");
    if (layoutName != "new" && layoutName != "old")
        throw std::invalid_argument("layout must be new or old: " + layoutName);
    const IdLayout layout = layoutName == "new" ? IdLayout::Newer : IdLayout::Older;
    PyrometerConfig config = defaultPyrometer(static_cast<int>(bounded(get("type", ""), "type", 0, 255)),
                                              static_cast<int>(bounded(get("variant", "0"), "variant", 0, 2)),
                                              layout);

    config.address = static_cast<std::uint8_t>(bounded(get("address", "1"), "address", 1, 247));
    config.baudCode = static_cast<int>(bounded(get("baud", "5"), "baud", 0, 8));
    if (has("range")) {
        const auto [low, high] = pair(get("range", ""), "range");
        config.rangeMin = static_cast<int>(bounded(low, "range minimum", 0, 4999));
        config.rangeMax = static_cast<int>(bounded(high, "range maximum", config.rangeMin + 1, 5000));
    }
    if (has("sensor"))
        config.sensor = static_cast<int>(bounded(get("sensor", ""), "sensor", 0, 255));
    deriveDefaults(config);

    if (has("serial")) {
        config.serial = get("serial", "");
        const std::size_t room = layout == IdLayout::Newer ? 4 : 2;
        if (config.serial.size() > room || !printable(config.serial))
            throw std::invalid_argument("serial must be up to " + std::to_string(room) + " printable characters");
    }
    if (has("year")) {
        config.year = get("year", "");
        if (config.year.size() > 4 || !printable(config.year))
            throw std::invalid_argument("year must be up to 4 printable characters");
    }
    if (has("verified")) {
        config.verified = get("verified", "");
        if (config.verified.size() != 8 || config.verified.find_first_not_of("0123456789") != std::string::npos)
            throw std::invalid_argument("verified must be eight digits DDMMYYYY");
    }
    config.reg2 = static_cast<std::uint16_t>(bounded(get("reg2", "0"), "reg2", 0, 0xFFFF));
    if (has("type-byte")) {
        const std::string typeByte = get("type-byte", "");
        config.typeByte = typeByte == "none" ? -1 : static_cast<int>(bounded(typeByte, "type-byte", 0, 255));
    }

    const auto words = split(get("settings", ""), ':');
    if (words.size() > config.settings.size())
        throw std::invalid_argument("at most 13 settings words");
    for (std::size_t i = 0; i < words.size(); ++i)
        config.settings[i] = static_cast<std::uint16_t>(bounded(words[i], "settings word", 0, 0xFFFF));
    config.settings[6] = static_cast<std::uint16_t>(config.baudCode);
    config.settings[8] = config.address;

    if (has("temp"))
        config.signal.centre = fraction(get("temp", ""), "temp", config.rangeMin, config.rangeMax);
    if (has("drift")) {
        const auto [amplitude, period] = pair(get("drift", ""), "drift");
        config.signal.driftAmplitude = fraction(amplitude, "drift amplitude", 0, 1000);
        config.signal.driftPeriodS = fraction(period, "drift period", 1, 86400);
    }
    if (has("noise"))
        config.signal.noise = fraction(get("noise", ""), "noise", 0, 100);
    if (has("seed"))
        config.signal.seed = static_cast<std::uint32_t>(bounded(get("seed", ""), "seed", 0, 0xFFFFFFFFL));
    if (has("thermostat")) {
        const auto [start, seconds] = pair(get("thermostat", ""), "thermostat");
        config.thermostatStart = static_cast<int>(bounded(start, "thermostat start", 0, 127));
        config.settling = std::chrono::milliseconds(
            static_cast<long long>(1000 * fraction(seconds, "thermostat time", 0, 86400)));
    }
    return config;
}

std::unique_ptr<Device> makePyrometer(const DeviceKeys& keys)
{
    auto device = std::make_unique<Pyrometer>(pyrometerConfigOf(keys));
    const auto fault = keys.find("fault");
    if (fault != keys.end())
        applyFaults(fault->second, device->faults());
    return device;
}

}  // namespace sim
