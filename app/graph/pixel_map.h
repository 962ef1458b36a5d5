// Pixel mapping of the graph view: record time and value to a pixel, and a
// pixel back to the time and value under the mouse. Positions are computed in
// double precision and truncated towards zero, as the view draws them.
// Inline: the view maps every record of its window on each repaint.
#pragma once

#include <cmath>
#include <limits>

namespace graph {

namespace detail {

template <typename Int>
inline Int saturatedTrunc(double value)
{
    // Beyond the type's range (or NaN) a value is held at the range's ends
    // (or 0); the bound keeps a margin below the maximum that doubles carry.
    constexpr double low = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double high = -static_cast<double>(std::numeric_limits<Int>::min()) - 1024.0;
    if (value > low && value < high)
        return static_cast<Int>(value);  // the conversion truncates towards zero
    if (std::isnan(value))
        return 0;
    return value <= low ? std::numeric_limits<Int>::min() : static_cast<Int>(high);
}

}  // namespace detail

// trunc(position), held inside the int range (a far-away point stays far
// away; NaN counts as 0).
inline int truncPixel(double position)
{
    return detail::saturatedTrunc<int>(position);
}

// trunc(value), held inside the long range.
inline long truncValue(double value)
{
    return detail::saturatedTrunc<long>(value);
}

// x = trunc((t - t0) * kt + left): kt pixels per ms, t0 the window's start.
inline int timeToX(long t, long t0, double kt, int left = 0)
{
    return truncPixel((static_cast<double>(t) - static_cast<double>(t0)) * kt + left);
}

// y = trunc(height - (v - v0) * kv): kv pixels per unit, v0 the window's low.
inline int valueToY(long v, long v0, double kv, int height)
{
    return truncPixel(height - (static_cast<double>(v) - static_cast<double>(v0)) * kv);
}

// The time and value under the mouse: trunc((x + 2) / kt + t0) and
// trunc((height - y + 2) / kv + v0).
inline long timeAtX(int x, double kt, long t0)
{
    return truncValue((x + 2) / kt + static_cast<double>(t0));
}

inline long valueAtY(int y, int height, double kv, long v0)
{
    return truncValue((height - y + 2) / kv + static_cast<double>(v0));
}

}  // namespace graph
