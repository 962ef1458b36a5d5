#include "graph/print_layout.h"

#include "graph/gap_detector.h"
#include "graph/pixel_map.h"

#include <algorithm>
#include <cmath>

namespace graph {

PageFrame pageFrame(int width, int height, int labelWidth, int labelHeight, int headerHeight)
{
    PageFrame f;
    f.width = width;
    f.height = height;
    f.left = kPageMargin;
    f.top = -kPageMargin;
    f.right = width - kPageMargin;
    f.bottom = kPageMargin - height;
    f.plotLeft = f.left + labelWidth;
    f.plotRight = f.right;
    f.plotBottom = f.bottom + labelHeight;
    f.plotTop = -kPageMargin - static_cast<int>(std::trunc(3.6 * headerHeight));
    return f;
}

int secondHeaderLineY(int headerHeight)
{
    return -kPageMargin - static_cast<int>(std::trunc(1.3 * headerHeight));
}

std::optional<PrintStep> printStep(double scale)
{
    if (!(scale > 0.0) || std::isinf(scale))
        return std::nullopt;
    constexpr double multipliers[4] = {1.0, 2.0, 2.5, 5.0};
    constexpr double shortest = 200.0;  // 20 mm
    int exponent = -6;
    int index = 0;
    // Powers of ten are computed, not accumulated, so that 10^0 is exactly 1.
    while (multipliers[index] * std::pow(10.0, exponent) * scale < shortest) {
        if (++index == 4) {
            index = 0;
            ++exponent;
        }
    }
    PrintStep step;
    step.value = multipliers[index] * std::pow(10.0, exponent);
    step.length = truncPixel(step.value * scale);
    step.smallLines = step.length >= 400 ? 8 : step.length >= 200 ? 4 : 2;
    step.spacing = step.length / step.smallLines;
    return step;
}

std::vector<AxisLine> timeAxisLines(const PrintStep& step, double scale, int plotWidth, long from)
{
    std::vector<AxisLine> lines;
    if (plotWidth <= 0 || step.length <= 0)
        return lines;
    double value = static_cast<double>(from);
    int offset = 0;
    do {
        lines.push_back({offset, truncValue(value)});
        value += step.length / scale;
        offset += step.length;
    } while (offset < plotWidth);
    return lines;
}

std::vector<AxisLine> valueAxisLines(const PrintStep& step, double scale, int plotHeight, long from)
{
    std::vector<AxisLine> lines;
    if (step.length <= 0)
        return lines;
    for (int offset = 0; offset < plotHeight; offset += step.length) {
        const double exact = offset / scale + static_cast<double>(from);
        long value = truncValue(exact);
        if (exact - static_cast<double>(value) >= 0.009)
            ++value;
        lines.push_back({offset, value});
    }
    return lines;
}

std::vector<Segment> printSeriesSegments(const std::vector<v4TermData>& records, const PlotScale& scale,
                                         bool breakAtGaps)
{
    std::vector<Segment> segments;
    GapDetector gaps;
    bool started = false;
    int penX = 0;
    int penY = 0;
    for (const v4TermData& r : records) {
        if (r.time > scale.timeTo)
            break;
        const long t = std::max<long>(r.time, scale.timeFrom);
        const long v = std::max<long>(r.temperature, scale.valueFrom);
        const int x = truncPixel((static_cast<double>(t) - scale.timeFrom) * scale.timeScale + scale.plotLeft);
        const int y = truncPixel((static_cast<double>(v) - scale.valueFrom) * scale.valueScale + scale.plotBottom);
        const bool gap = gaps.next(r.time);
        if (started && !(gap && breakAtGaps))
            segments.push_back({penX, penY, x, y});
        started = true;
        penX = x;
        penY = y;
    }
    return segments;
}

}  // namespace graph
