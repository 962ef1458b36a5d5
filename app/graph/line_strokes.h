// The series line as the view hands it to the painter. A line of one pixel
// that runs straight down a pixel column covers exactly the pixels from its
// one end to the other, as a rectangle one pixel wide does, and filling a
// rectangle costs a fraction of drawing a line: so the vertical strokes of
// the column merge become spans (one per column where strokes touch), and
// only the segments between columns remain lines. Spans are cut to the rows
// `top`..`bottom`, which keeps their height inside the int range.
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

// Splits `segments` into `out` (cleared first); rows outside top..bottom are dropped.
void splitStrokes(const std::vector<Segment>& segments, int top, int bottom, LineStrokes& out);

}  // namespace graph
