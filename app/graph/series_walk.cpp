#include "graph/series_walk.h"

#include "graph/column_summary.h"

#include <algorithm>

namespace graph {
namespace {

// The records from the first at or after `from` to the last published one.
struct RecordRange {
    const v4TermData* first = nullptr;
    const v4TermData* end = nullptr;
};

RecordRange recordsFrom(TermDataFile& series, long from)
{
    const v4TermData* first = series.GetFirst(from);
    if (first == nullptr)
        return {};
    return {first, series.GetTermData() + series.GetCount()};
}

}  // namespace

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

std::optional<ValueLimits> scanValueLimits(TermDataFile& series, long from, long to, GraphKind kind)
{
    const RecordRange records = recordsFrom(series, from);
    std::optional<ValueLimits> limits;
    for (const v4TermData* r = records.first; r != records.end && r->time <= to; ++r) {
        const long value = kind == GraphKind::Quantum ? r->quantum : r->temperature;
        if (value == 0)
            continue;
        if (!limits) {
            limits = ValueLimits{value, value};
            continue;
        }
        limits->lowest = std::min(limits->lowest, value);
        limits->highest = std::max(limits->highest, value);
    }
    return limits;
}

}  // namespace graph
