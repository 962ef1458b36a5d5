#include "graph/grid_lines.h"

#include <cmath>

namespace graph {

GridLines gridLines(double bigStep, int smallIntervals, int limit)
{
    GridLines lines;
    // A step beyond the limit draws one line; NaN and small steps draw none.
    if (!(bigStep >= 2.0))
        return lines;
    // Steps beyond the limit count as just beyond it, which keeps them in range.
    const auto pixels = [limit](double step) {
        return step < limit ? static_cast<long long>(std::trunc(step)) : limit + 1LL;
    };
    const long long big = pixels(bigStep);
    const long long small = smallIntervals > 1 ? pixels(bigStep / smallIntervals) : 0;
    for (long long offset = 0; offset < limit; offset += big) {
        lines.big.push_back(static_cast<int>(offset));
        for (int k = 1; k < smallIntervals && small > 0; ++k) {
            const long long at = offset + k * small;
            if (at < limit)
                lines.small.push_back(static_cast<int>(at));
        }
    }
    return lines;
}

}  // namespace graph
