#include "graph/line_strokes.h"

#include <algorithm>

namespace graph {
namespace {

// Adds the rows `from`..`to` of column `x`, joining the last span when they touch it.
void addSpan(std::vector<Span>& spans, int x, int from, int to)
{
    if (!spans.empty()) {
        Span& last = spans.back();
        if (last.x == x && from <= last.bottom + 1 && to >= last.top - 1) {
            last.top = std::min(last.top, from);
            last.bottom = std::max(last.bottom, to);
            return;
        }
    }
    spans.push_back({x, from, to});
}

}  // namespace

void splitStrokes(const std::vector<Segment>& segments, int width, int height, LineStrokes& out)
{
    out.clear();
    const auto inside = [width, height](int x, int y) { return x >= 0 && x < width && y >= 0 && y < height; };
    for (const Segment& s : segments) {
        if (s.x1 == s.x2) {
            const int from = std::max(std::min(s.y1, s.y2), -1);
            const int to = std::min(std::max(s.y1, s.y2), height);
            if (from <= to)
                addSpan(out.spans, s.x1, from, to);
        } else if (s.x2 == s.x1 + 1 && inside(s.x1, s.y1) && inside(s.x2, s.y2)) {
            const int beforeEnd = s.y2 > s.y1 ? s.y2 - 1 : s.y2 < s.y1 ? s.y2 + 1 : s.y1;
            addSpan(out.spans, s.x1, std::min(s.y1, beforeEnd), std::max(s.y1, beforeEnd));
            addSpan(out.spans, s.x2, s.y2, s.y2);
        } else {
            out.lines.push_back(s);
        }
    }
}

}  // namespace graph
