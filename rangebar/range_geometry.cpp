#include "range_geometry.h"

#include <algorithm>
#include <cmath>

namespace rangebar {

BarRect BarRect::normalized() const
{
    return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

bool BarRect::operator==(const BarRect& other) const
{
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
}

BarRect united(const BarRect& a, const BarRect& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

int truncPixels(double value)
{
    constexpr double limit = 1 << 30;
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(std::trunc(value), -limit, limit));
}

BarRect selectorRect(bool horizontal, const BarRect& client, long min, long winMin, long winMax,
                     double rangeScale)
{
    constexpr int shortest = 12;
    const int low = truncPixels(static_cast<double>(winMin - min) * rangeScale);
    const int high = truncPixels(static_cast<double>(winMax - min) * rangeScale);
    BarRect r;
    if (horizontal) {
        r.left = low;
        r.right = high - low < shortest ? low + shortest : high;
        r.top = client.bottom - 17;
        r.bottom = client.bottom - 5;
    } else {
        r.bottom = client.bottom - low;
        r.top = client.bottom - high;
        if (r.bottom - r.top < shortest)
            r.top = r.bottom - shortest;
        r.left = client.left + 5;
        r.right = client.left + 17;
    }
    return r;
}

int hitTest(const BarRect& selector, bool horizontal, int x, int y)
{
    constexpr int edge = 4;
    const BarRect r = selector.normalized();
    if (!r.contains(x, y))
        return 1;
    if (horizontal) {
        if (r.right - x <= edge)
            return 4;
        return x - r.left <= edge ? 3 : 2;
    }
    if (r.bottom - y <= edge)
        return 3;
    return y - r.top <= edge ? 4 : 2;
}

}  // namespace rangebar
