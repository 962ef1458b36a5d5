// Where the graph window places its children: the temperature ruler on the
// left, the view beside it, the time ruler below the view, the corner square
// between the rulers and the status bar along the bottom.
#pragma once

namespace graph {

struct Box {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Box& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
};

struct GraphLayout {
    Box temperatureRuler;
    Box view;
    Box timeRuler;
    Box corner;
    Box statusBar;
};

// `width` x `height` the client area, `statusHeight` the status bar's,
// `rulerWidth` and `rulerHeight` the two rulers' static sizes (0 for a
// missing ruler). Sizes that would be negative are 0.
GraphLayout layoutGraph(int width, int height, int statusHeight, int rulerWidth, int rulerHeight);

}  // namespace graph
