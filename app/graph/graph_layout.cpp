#include "graph/graph_layout.h"

#include <algorithm>

namespace graph {

GraphLayout layoutGraph(int width, int height, int statusHeight, int rulerWidth, int rulerHeight)
{
    const int a = rulerWidth;
    const int b = rulerHeight;
    const int h = std::max(0, height - statusHeight - b);
    const int rest = std::max(0, width - a);
    GraphLayout layout;
    layout.temperatureRuler = {0, 0, a, h};
    layout.view = {a, 0, rest, h};
    layout.timeRuler = {a, h, rest, b};
    layout.corner = {0, h, a, b};
    layout.statusBar = {0, std::max(0, height - statusHeight), width, statusHeight};
    return layout;
}

std::vector<int> paneLines(const int (&paneWidths)[4], int available, int gap)
{
    std::vector<int> lines;
    int used = 0;
    for (const int width : paneWidths) {
        if (!lines.empty() && used + gap + width <= available) {
            ++lines.back();
            used += gap + width;
        } else {
            lines.push_back(1);
            used = width;
        }
    }
    return lines;
}

}  // namespace graph
