#include "graph/series_walk.h"

#include "graph/gap_detector.h"
#include "graph/pixel_map.h"

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

long plottedValue(const v4TermData& record, GraphKind kind, long rangeMin, long rangeMax)
{
    if (kind == GraphKind::Quantum)
        return record.quantum;
    const long t = record.temperature;
    if (rangeMin >= rangeMax)
        return t;
    return std::clamp(t, rangeMin, rangeMax);
}

void buildSeriesSegments(TermDataFile& series, const SeriesScale& scale, GraphKind kind, bool breakAtGaps,
                         std::vector<Segment>& out)
{
    const RecordRange records = recordsFrom(series, scale.walkFrom);
    const long rangeMin = series.GetMin();
    const long rangeMax = series.GetMax();
    PolylineBuilder line(out);
    GapDetector gaps;
    for (const v4TermData* r = records.first; r != records.end; ++r) {
        const int x = timeToX(r->time, scale.timeMin, scale.timeCoeff);
        const int y = valueToY(plottedValue(*r, kind, rangeMin, rangeMax), scale.valueMin, scale.valueCoeff,
                               scale.height);
        const bool gap = gaps.next(r->time);
        line.add(x, y, gap && breakAtGaps);
        if (r->time > scale.timeMax)
            break;
    }
    line.finish();
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
