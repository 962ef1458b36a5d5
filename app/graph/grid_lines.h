// The view's grid from a ruler's big step (pixels) and number of small
// intervals: offsets of the lines from the edge the grid is anchored at (the
// bottom for rows, the left for columns).
#pragma once

#include <vector>

namespace graph {

struct GridLines {
    std::vector<int> big;
    std::vector<int> small;
};

// Big lines at 0, B, 2B, ... while below `limit` (B = trunc(bigStep)), each
// followed by small lines at k * trunc(bigStep / smallIntervals) for k = 1 ..
// smallIntervals - 1. No lines when B is 1 or less; no small lines for fewer
// than 2 intervals.
GridLines gridLines(double bigStep, int smallIntervals, int limit);

}  // namespace graph
