#include "graph_rules.h"

namespace graph {

ValueRange valueRangeFor(long low, long high)
{
    if (low == 0 && high == 0)
        return {0, 2000};
    return {low - 10, high + 10};
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
