#include "range_format.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

namespace rangebar {
namespace {

template <typename... Args>
std::string printfText(const char* format, Args... args)
{
    const int length = std::snprintf(nullptr, 0, format, args...);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.pop_back();
    return text;
}

// |value| as whole milliseconds; NaN counts as 0 and values beyond the
// unsigned 64-bit range as its largest count.
std::uint64_t absoluteMilliseconds(double value)
{
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1.0))
        return 0;
    if (magnitude >= 18446744073709551615.0)
        return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(magnitude);
}

std::string timeOfDay(double value)
{
    const std::uint64_t ms = absoluteMilliseconds(value);
    const auto hours = static_cast<unsigned>((ms / 3600000) % 24);
    const auto minutes = static_cast<unsigned>((ms / 60000) % 60);
    const auto seconds = static_cast<unsigned>((ms / 1000) % 60);
    const auto hundredths = static_cast<unsigned>((ms % 1000) / 10);
    const std::string hoursText = hours != 0 ? printfText("%02u:", hours) : std::string();
    const std::string minutesText = (minutes != 0 || hours != 0) ? printfText("%02u:", minutes) : std::string();
    return printfText("%s%s%s%02u.%02u", value < 0 ? "-" : "", hoursText.c_str(), minutesText.c_str(), seconds,
                      hundredths);
}

// Decimals shown by modes 4 and 5: the format scale when it is positive, else 2.
int precisionOf(short decimals)
{
    return decimals > 0 ? decimals : 2;
}

}  // namespace

double decimalMultiplier(short decimals)
{
    return decimals > 0 ? std::pow(10.0, decimals) : 1.0;
}

std::string formatValue(double value, const ValueFormat& format)
{
    const double divisor = decimalMultiplier(format.decimals);
    const double offset = static_cast<double>(format.offset);
    switch (format.mode) {
    case 0:
        return printfText("%.0f", value / divisor);
    case 1:
        return printfText("%.0f", value / divisor + offset);
    case 2:
        return printfText("%0.2f", value / 1000.0);
    case 3:
        return timeOfDay(value);
    case 4:
        return printfText("%0.*f", precisionOf(format.decimals), value / divisor);
    case 5:
        return printfText("%0.*f", precisionOf(format.decimals), (value + offset) / divisor);
    default:
        return {};
    }
}

std::string formatOutTime(long ms)
{
    // Negating in unsigned arithmetic keeps the most negative value defined.
    const auto a = ms < 0 ? 0ULL - static_cast<unsigned long long>(ms) : static_cast<unsigned long long>(ms);
    const unsigned long long hours = a / 3600000;
    const unsigned long long minutes = a / 60000 - 60 * hours;
    const unsigned long long seconds = a / 1000 - 60 * (a / 60000);
    const unsigned long long millis = a % 1000;
    const std::string hoursText = hours != 0 ? printfText("%llu:", hours) : std::string();
    const std::string minutesText = (minutes != 0 || hours != 0) ? printfText("%llu:", minutes) : std::string();
    return printfText("%s%s%s%02llu.%03llu", ms < 0 ? "-" : "", hoursText.c_str(), minutesText.c_str(), seconds,
                      millis);
}

}  // namespace rangebar

char* FormatOutTime(long ms, char* buffer)
{
    constexpr std::size_t bufferSize = 16;
    const std::string text = rangebar::formatOutTime(ms);
    const std::size_t length = text.size() < bufferSize ? text.size() : bufferSize - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return buffer;
}
