// The series line as the view hands it to the painter. Filling a rectangle
// one pixel wide costs a fraction of drawing a line, and the lines of the
// column merge are mostly of two kinds whose pixels are plain runs down a
// column: a line of the series pen straight down a column covers its rows
// from one end to the other, and a step to the next column (x to x + 1)
// covers its rows in the first column from its start up to the row before
// its end, and its end alone in the second (so Qt's raster engine draws it,
// which the tests hold it to). Those become spans, joined where they touch
// in a column; the other segments stay lines. A step becomes spans only
// when both its ends lie in the view (a step cut by the edge is drawn as
// the painter cuts it); a stroke down a column is cut to the rows -1 to
// `height`, which keeps a span's height inside the int range.
#pragma once

#include "graph/polyline_builder.h"

#include <vector>

namespace graph {

struct Span {
    int x;
    int top;
    int bottom;  // inclusive
    bool operator==(const Span& o) const { return x == o.x && top == o.top && bottom == o.bottom; }
};

struct LineStrokes {
    std::vector<Segment> lines;
    std::vector<Span> spans;
    void clear()
    {
        lines.clear();
        spans.clear();
    }
};

// Splits `segments` into `out` (cleared first) for a view of `width` x `height`.
void splitStrokes(const std::vector<Segment>& segments, int width, int height, LineStrokes& out);

}  // namespace graph
