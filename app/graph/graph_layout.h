// Where the graph window places its children: the temperature ruler on the
// left, the view beside it, the time ruler below the view, the corner square
// between the rulers and the status bar along the bottom.
#pragma once

#include <vector>

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

// How the four status panes fill lines of `available` pixels, given the
// width each pane needs (`paneWidths`, in pane order) and the gap between
// two panes on a line: in order, a pane going onto the line before it when it
// fits there whole, else starting a line. Gives the number of panes on each
// line; a pane wider than a line has a line of its own.
std::vector<int> paneLines(const int (&paneWidths)[4], int available, int gap);

}  // namespace graph
