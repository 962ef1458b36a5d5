#include "windows/display_format.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

QString temperatureText(std::uint32_t temperature)
{
    if (temperature >= 10000)
        return "Hi";
    if (temperature == 0)
        return "Lo";
    return QString::number(temperature);
}

QString emissivityText(unsigned short word, unsigned type)
{
    return QString::asprintf("%0.2f", word / emissivityDivisor(type));
}

std::optional<ModeParameter> modeParameter(const KCConfig& config)
{
    switch (config.mode) {
    case 1: return ModeParameter{"Степень сглаживания", QString::fromUtf8(KCGetSplineStepName(config.smoothing))};
    case 2: return ModeParameter{"Время выбора, сек.", QString::asprintf("%0.1f", config.minSampling / 10.0)};
    case 3: return ModeParameter{"Время выбора, сек.", QString::asprintf("%0.1f", config.maxSampling / 10.0)};
    default: return std::nullopt;
    }
}

std::optional<QDate> verificationDate(const char* ddmmyyyy)
{
    if (ddmmyyyy == nullptr)
        return std::nullopt;
    auto number = [&](int from, int length) {
        char part[5] = {};
        std::memcpy(part, ddmmyyyy + from, static_cast<std::size_t>(length));
        return std::atoi(part);
    };
    if (std::strlen(ddmmyyyy) < 8)
        return std::nullopt;
    const int day = number(0, 2);
    const int month = number(2, 2);
    const int year = number(4, 4);
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    const QDate date(year, month, day);
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}
