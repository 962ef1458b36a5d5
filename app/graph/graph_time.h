// Time texts of the graph: elapsed time since the start of a series, or the
// clock time of a moment of the series, and the calendar fields behind them.
#pragma once

#include "platform/clock.h"

#include <string>

namespace graph {

struct ClockTime {
    unsigned year = 1601;
    unsigned month = 1;
    unsigned day = 1;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    unsigned milliseconds = 0;
};

// The moment `ms` after `begin`. A missing begin, or one that is no calendar
// moment, counts from midnight of 1 January 1601. The time of day is exact
// for any ms; a moment before 1601 keeps the date of 1 January 1601.
ClockTime clockTimeAfter(const platform::SystemTime* begin, long ms);

// The graph's time text of `ms` since the start:
//   elapsed time "[-][h:][m:]ss.mmm", as the range bar's FormatOutTime;
//   clock time "[hh:][mm:]ss.cc" (hundredths, no sign) of begin + ms.
std::string formatTime(long ms, bool clockTime, const platform::SystemTime* begin);

}  // namespace graph
