// The series as the graph view draws it: the records of a time window,
// walked in order, read only up to the count the series has published
// (another thread may be adding).
#pragma once

#include "graph/graph_kind.h"
#include "graph/polyline_builder.h"

#include <kcmb.h>

#include <vector>

namespace graph {

// The rulers' numbers the view draws with.
struct SeriesScale {
    long walkFrom = 0;        // the walk begins at the first record at or after this time
    long timeMin = 0;         // time window start, ms
    long timeMax = 0;         // time window end, ms
    double timeCoeff = 1.0;   // pixels per ms
    long valueMin = 0;        // value window low
    double valueCoeff = 1.0;  // pixels per unit
    int height = 0;           // the view's client height
};

// The value a record plots, from the value it holds of `kind`: its quantum
// count in a quantum graph, unchanged; its temperature held inside the
// series' range in a temperature graph. A series without a range (minimum not
// below maximum, as before the device is known) plots its temperatures unchanged.
long plotValue(long recorded, GraphKind kind, long rangeMin, long rangeMax);

// Appends the segments of the series line to `out`: from the first record at
// or after scale.walkFrom up to and including the first record after the
// window's end, so that the line reaches the right edge, the points of one
// pixel column merged (PolylineBuilder). With `breakAtGaps` the line is
// lifted at a pause (GapDetector), else it joins across it. One drawing at
// one scale; a view that draws again and again keeps a ColumnSummary.
void buildSeriesSegments(TermDataFile& series, const SeriesScale& scale, GraphKind kind, bool breakAtGaps,
                         std::vector<Segment>& out);

}  // namespace graph
