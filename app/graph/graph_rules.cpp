#include "graph/graph_rules.h"

#include <algorithm>

namespace graph {

ValueRange valueRangeFor(long low, long high)
{
    if (low == 0 && high == 0)
        return {0, 2000};
    return {low - 10, high + 10};
}

ValueRange windowAround(long lowest, long highest)
{
    const long margin = std::max(10L, (highest - lowest) / 10);
    return {lowest - margin, highest + margin};
}

bool windowMissesValues(long winMin, long winMax, long lowest, long highest)
{
    return winMax < lowest || winMin > highest;
}

ReadingFollow followReading(long rangeMin, long rangeMax, long winMin, long winMax, long time)
{
    ReadingFollow follow;
    if (time <= rangeMax)
        return follow;
    follow.extendRange = true;
    if (winMax != rangeMax)
        return follow;
    if (winMin == rangeMin) {
        follow.window = WindowFollow::Extend;
    } else {
        follow.window = WindowFollow::Move;
        follow.moveBy = time - rangeMax;
    }
    return follow;
}

}  // namespace graph
