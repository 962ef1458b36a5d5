// The two header lines of the printed page: the device with its serial
// number and measuring range, then the span of the printed readings and the
// emissivity they were taken with.
#pragma once

#include "graph/graph_time.h"
#include "graph/print_snapshot.h"

#include <optional>
#include <string>

namespace graph {

// "%s  Зав. № %s,  Температурный  диапазон   %ld...%ld °C": the model's
// name, the serial number and the series' range.
std::string deviceHeaderLine(const PrintSnapshot& snapshot);

// The lowest and highest emissivity word (as signed 16-bit numbers) of the
// records up to `to`, leaving out records whose emissivity, time or
// temperature is 0; none when no record counts.
struct EmissivityRange {
    short lowest;
    short highest;
};
std::optional<EmissivityRange> emissivityRange(const std::vector<v4TermData>& records, long to);

// "Степень черноты  %0.2f", or "Степень черноты изменялась в пределах
// %0.2f...%0.2f" for a range. A word that divided by `eCoeff` is above 1 is
// read with a divisor ten times larger (a ratio device's word under a
// divisor of 100).
std::string emissivityText(const EmissivityRange& range, double eCoeff);

// "d.m.yyyy h:m:s.mmm - h:m:s.mmm,  " within a day, else both moments with
// their dates.
std::string spanText(const ClockTime& start, const ClockTime& end);

// The second line: the span from the series' first record to the last
// record the window's walk reached (the series' last when the window holds
// no record), then the emissivity of the window's records. Without records
// in the window there is no emissivity text; an empty series gives an empty line.
std::string secondHeaderLine(const PrintSnapshot& snapshot, long to);

}  // namespace graph
