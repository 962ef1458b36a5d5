// Texts of the range bar: value labels in the eight format modes and the
// elapsed-time text shared with the graph window. Free of any widget code.
#pragma once

#include <string>

namespace rangebar {

// How a value becomes a label. `mode` is the format mode (0..7) of the
// control style; `decimals` the format scale: values are divided by
// 10^decimals, a scale of 0 or below divides by 1; `offset` the format offset,
// added in modes 1 and 5.
struct ValueFormat {
    int mode = 0;
    short decimals = 0;
    long offset = 0;
};

// The label text of `value`:
//   0  "%.0f" of value / divisor
//   1  "%.0f" of value / divisor + offset
//   2  seconds with two decimals of a value in ms
//   3  time of day of |value| ms, "[-][hh:][mm:]ss.cc" (hundredths)
//   4  value / divisor with `decimals` decimals (2 when the scale is not positive)
//   5  (value + offset) / divisor with the same precision as mode 4
//   6, 7  empty text
std::string formatValue(double value, const ValueFormat& format);

// Elapsed time "[-][h:][m:]ss.mmm": hours are not limited to a day, hours and
// minutes are not padded. 65004 gives "1:05.004", -5004 "-05.004", 0 "00.000".
std::string formatOutTime(long ms);

// The multiplier between a value and its stored form at `decimals`:
// 10^decimals, or 1 when the scale is not positive.
double decimalMultiplier(short decimals);

}  // namespace rangebar

// Writes formatOutTime(ms) into `buffer` and returns it. The buffer holds at
// least 16 characters; at most 16 are written, the terminating zero included,
// which every time within the 32-bit range fits ("-596:31:23.648").
char* FormatOutTime(long ms, char* buffer);
