#include "graph/print_header.h"

#include "graph/text_format.h"

#include <algorithm>
#include <cstring>

namespace graph {

std::string deviceHeaderLine(const PrintSnapshot& snapshot)
{
    const std::string serial(snapshot.device.serial, strnlen(snapshot.device.serial, sizeof snapshot.device.serial));
    return cformat("%s  Зав. № %s,  Температурный  диапазон   %ld...%ld °C", getDeviceName(snapshot.device.type),
                   serial.c_str(), snapshot.rangeMin, snapshot.rangeMax);
}

std::optional<EmissivityRange> emissivityRange(const std::vector<v4TermData>& records, long to)
{
    std::optional<EmissivityRange> range;
    for (const v4TermData& r : records) {
        if (r.time > to)
            break;
        if (r.emissivity == 0 || r.time == 0 || r.temperature == 0)
            continue;
        const auto word = static_cast<short>(r.emissivity);
        if (!range)
            range = EmissivityRange{word, word};
        range->lowest = std::min(range->lowest, word);
        range->highest = std::max(range->highest, word);
    }
    return range;
}

std::string emissivityText(const EmissivityRange& range, double eCoeff)
{
    double divisor = eCoeff;
    if (range.lowest / divisor > 1.0)
        divisor *= 10;
    if (range.lowest == range.highest)
        return cformat("Степень черноты  %0.2f", range.lowest / divisor);
    return cformat("Степень черноты изменялась в пределах  %0.2f...%0.2f", range.lowest / divisor,
                   range.highest / divisor);
}

std::string spanText(const ClockTime& s, const ClockTime& e)
{
    if (s.day == e.day && s.month == e.month && s.year == e.year)
        return cformat("%u.%u.%u %u:%u:%u.%03u - %u:%u:%u.%03u,  ", s.day, s.month, s.year, s.hour, s.minute,
                       s.second, s.milliseconds, e.hour, e.minute, e.second, e.milliseconds);
    return cformat("%u.%u.%u %u:%u:%u.%03u - %u.%u.%u %u:%u:%u.%03u,  ", s.day, s.month, s.year, s.hour, s.minute,
                   s.second, s.milliseconds, e.day, e.month, e.year, e.hour, e.minute, e.second, e.milliseconds);
}

std::string secondHeaderLine(const PrintSnapshot& snapshot, long to)
{
    if (!snapshot.firstTime)
        return {};
    const long end = snapshot.records.empty() ? *snapshot.lastTime : snapshot.records.back().time;
    std::string line = spanText(clockTimeAfter(&snapshot.begin, *snapshot.firstTime),
                                clockTimeAfter(&snapshot.begin, end));
    if (const std::optional<EmissivityRange> range = emissivityRange(snapshot.records, to))
        line += emissivityText(*range, snapshot.eCoeff);
    return line;
}

}  // namespace graph
