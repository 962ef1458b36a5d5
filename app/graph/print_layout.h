// The printed page's geometry in 0.1 mm with y growing upwards (the top
// margin lies at y = -100): margins, the plot rectangle, the grid's steps
// and labelled lines, and the series line. Free of any painting.
#pragma once

#include "graph/polyline_builder.h"

#include <kcmb.h>

#include <optional>
#include <vector>

namespace graph {

constexpr int kPageMargin = 100;  // 10 mm on every side

struct PageFrame {
    int width = 0, height = 0;                   // the page
    int left = 0, top = 0, right = 0, bottom = 0;  // the margins' lines
    int plotLeft = 0, plotTop = 0, plotRight = 0, plotBottom = 0;
};

// The page of `width` x `height` with its margins; the plot leaves room on
// its left for a label of `labelWidth`, below it for a line of
// `labelHeight`, and above it for the header's two lines of
// `headerHeight` each (the header font's height).
PageFrame pageFrame(int width, int height, int labelWidth, int labelHeight, int headerHeight);
// Where the header's second line starts: 1.3 header heights below the top margin.
int secondHeaderLineY(int headerHeight);

// A grid step on paper: `value` units of the axis, the first of 1, 2, 2.5,
// 5 x 10^k (k >= -6) that is at least 20 mm long at `scale` (0.1 mm per
// unit); `length` its length truncated to 0.1 mm; `smallLines` the number of
// intervals between big lines (8 from 40 mm, 4 from 20 mm, else 2) and
// `spacing` their length.
struct PrintStep {
    double value = 0;
    int length = 0;
    int smallLines = 0;
    int spacing = 0;
};
// None for a scale that is not a positive finite number (an empty window).
std::optional<PrintStep> printStep(double scale);

// A labelled line of an axis: its offset from the plot's left or bottom
// edge and the value its label shows.
struct AxisLine {
    int offset;
    long value;
};
// Time lines every step from the plot's left edge while inside its width;
// the first always. Their values start at `from` and grow by the step's
// length in ms, accumulated exactly and truncated for the label.
std::vector<AxisLine> timeAxisLines(const PrintStep& step, double scale, int plotWidth, long from);
// Value lines every step from the plot's bottom while inside its height. A
// line's value is that at its offset, truncated, or one more when the
// dropped fraction is 0.009 or more (so that 24.999... reads 25).
std::vector<AxisLine> valueAxisLines(const PrintStep& step, double scale, int plotHeight, long from);

// The page's series line, without column merging: the records from the
// first (the caller's slice starts at the window's start) while their time
// is at most `timeTo`; values below the window lie on its lower edge, values
// above it are not limited. At a pause (GapDetector) the line is lifted when
// `breakAtGaps`, else it joins across the pause as on the screen.
struct PlotScale {
    long timeFrom = 0;
    long timeTo = 0;
    double timeScale = 0;  // 0.1 mm per ms
    long valueFrom = 0;
    double valueScale = 0;  // 0.1 mm per unit
    int plotLeft = 0;
    int plotBottom = 0;
};
std::vector<Segment> printSeriesSegments(const std::vector<v4TermData>& records, const PlotScale& scale,
                                         bool breakAtGaps);

}  // namespace graph
