#include "graph/line_strokes.h"

#include <algorithm>

namespace graph {

void splitStrokes(const std::vector<Segment>& segments, int top, int bottom, LineStrokes& out)
{
    out.clear();
    for (const Segment& s : segments) {
        if (s.x1 != s.x2) {
            out.lines.push_back(s);
            continue;
        }
        const int from = std::max(std::min(s.y1, s.y2), top);
        const int to = std::min(std::max(s.y1, s.y2), bottom);
        if (from > to)
            continue;
        // A stroke that touches the last span of its column joins it.
        if (!out.spans.empty()) {
            Span& last = out.spans.back();
            if (last.x == s.x1 && from <= last.bottom + 1 && to >= last.top - 1) {
                last.top = std::min(last.top, from);
                last.bottom = std::max(last.bottom, to);
                continue;
            }
        }
        out.spans.push_back({s.x1, from, to});
    }
}

}  // namespace graph
