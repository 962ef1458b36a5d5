// How the graph window sets its rulers from its owner's messages: the value
// range from the owner's bounds, and the time window following new readings.
#pragma once

namespace graph {

// The temperature ruler's range for the bounds an owner sends: 10 units of
// margin on either side, or 0..2000 when both bounds are 0 (no range known).
struct ValueRange {
    long min;
    long max;
};
ValueRange valueRangeFor(long low, long high);

// A value window that shows the values from `lowest` to `highest` with a
// tenth of their spread (at least 10 units) to spare on either side.
ValueRange windowAround(long lowest, long highest);

// Whether the value window `winMin`..`winMax` shows none of the values from
// `lowest` to `highest`: the quantum graph then starts on the values.
bool windowMissesValues(long winMin, long winMax, long lowest, long highest);

// What a reading at `time` does to the time ruler, whose range and window
// are read before the reading: a reading beyond the range's end extends the
// range; a window that showed the whole range then keeps showing it, a
// window that ended at the range's end scrolls along with its span, and any
// other window stays where the user put it.
enum class WindowFollow { Stay, Extend, Move };
struct ReadingFollow {
    bool extendRange = false;
    WindowFollow window = WindowFollow::Stay;
    long moveBy = 0;  // for Move
};
ReadingFollow followReading(long rangeMin, long rangeMax, long winMin, long winMax, long time);

}  // namespace graph
