#include "graph/series_walk.h"

#include "graph/column_summary.h"

#include <algorithm>

namespace graph {
long plotValue(long recorded, GraphKind kind, long rangeMin, long rangeMax)
{
    if (kind == GraphKind::Quantum || rangeMin >= rangeMax)
        return recorded;
    return std::clamp(recorded, rangeMin, rangeMax);
}

void buildSeriesSegments(TermDataFile& series, const SeriesScale& scale, GraphKind kind, bool breakAtGaps,
                         std::vector<Segment>& out)
{
    ColumnSummary summary;
    summary.update(series, scale, kind, breakAtGaps);
    summary.segments(out);
}

}  // namespace graph
