#include "range_scene.h"

#include <algorithm>

namespace rangebar {
namespace {

constexpr int bigTickLength = 8;
constexpr int smallTickLength = 4;
constexpr int rangeTickLength = 4;
constexpr int labelMargin = 2;

void addLine(RulerDrawing& ruler, Primitive::Kind kind, const BarRect& rect)
{
    ruler.items.push_back({kind, rect, {}});
}

void addText(RulerDrawing& ruler, int x, int y, const TextExtent& extent, std::string text)
{
    ruler.items.push_back({Primitive::Text, {x, y, x + extent.cx, y + extent.cy}, std::move(text)});
}

}  // namespace

BarRect RulerDrawing::bounds() const
{
    BarRect all = band;
    for (const Primitive& item : items)
        all = united(all, item.rect);
    return all;
}

BarRect axisLine(int x1, int y1, int x2, int y2)
{
    if (y1 == y2)
        return x2 >= x1 ? BarRect{x1, y1, x2, y1 + 1} : BarRect{x2 + 1, y1, x1 + 1, y1 + 1};
    return y2 >= y1 ? BarRect{x1, y1, x1 + 1, y2} : BarRect{x1, y2 + 1, x1 + 1, y1 + 1};
}

BarRect windowRulerBand(const RangeModel& model, const BarRect& client, const MeasureText& measure)
{
    if (model.horizontal()) {
        const int textHeight = measure("9").cy;
        return {client.left, client.top + 1, client.right, client.top + 3 * textHeight / 4 + 4};
    }
    const int labelWidth = measure(model.formatValue(static_cast<double>(model.max()))).cx;
    return {client.right - labelWidth - 3, client.top, client.right, client.bottom};
}

RulerDrawing windowRuler(const RangeModel& model, const BarRect& client, const MeasureText& measure)
{
    RulerDrawing ruler;
    ruler.band = windowRulerBand(model, client, measure);
    const double stepUnits = model.windowStep().units();
    const double stepPixels = stepUnits * model.winCoeff();
    const int length = model.horizontal() ? client.width() : client.height();
    if (!(stepPixels > 1.0 && stepPixels < length && length > 0))
        return ruler;
    const int advance = truncPixels(stepPixels);
    const int intervals = smallIntervals(stepPixels);
    const int smallAdvance = truncPixels(stepPixels / intervals);
    double value = static_cast<double>(model.winMin());
    int offset = 0;
    do {
        std::string label = model.formatValue(value);
        const TextExtent extent = measure(label);
        if (model.horizontal()) {
            const int x = client.left + offset;
            const int top = ruler.band.top;
            addLine(ruler, Primitive::DarkLine, axisLine(x, top, x, top + bigTickLength));
            addText(ruler, x + labelMargin, top + labelMargin, extent, std::move(label));
            for (int k = 1; k < intervals; ++k)
                addLine(ruler, Primitive::LightLine,
                        axisLine(x + k * smallAdvance, top, x + k * smallAdvance, top + smallTickLength));
        } else {
            const int right = client.right;
            const int y = client.bottom - offset;
            addLine(ruler, Primitive::DarkLine, axisLine(right, y, right - bigTickLength, y));
            addText(ruler, right - extent.cx - labelMargin, y - extent.cy - labelMargin, extent, std::move(label));
            for (int k = 1; k < intervals; ++k)
                addLine(ruler, Primitive::LightLine,
                        axisLine(right, y - k * smallAdvance, right - smallTickLength, y - k * smallAdvance));
        }
        value += stepUnits;
        offset += advance;
    } while (offset < length);
    return ruler;
}

RulerDrawing rangeRuler(const RangeModel& model, const BarRect& client, const MeasureText& measure)
{
    RulerDrawing ruler;
    const double stepPixels = model.rangeStep().units() * model.rangeScale();
    const int length = model.horizontal() ? client.width() : client.height();
    if (stepPixels > 1.0 && stepPixels < length && length > 0) {
        const int advance = truncPixels(stepPixels);
        for (int offset = 0; offset < length; offset += advance) {
            if (model.horizontal())
                addLine(ruler, Primitive::DarkLine,
                        axisLine(client.left + offset, client.bottom, client.left + offset, client.bottom - rangeTickLength));
            else
                addLine(ruler, Primitive::DarkLine,
                        axisLine(client.left, client.top + offset, client.left + rangeTickLength, client.top + offset));
        }
    }
    std::string minLabel = model.formatValue(static_cast<double>(model.min()));
    std::string maxLabel = model.formatValue(static_cast<double>(model.max()));
    const TextExtent minExtent = measure(minLabel);
    const TextExtent maxExtent = measure(maxLabel);
    if (model.horizontal()) {
        addText(ruler, client.left + labelMargin, client.bottom - minExtent.cy - labelMargin, minExtent,
                std::move(minLabel));
        addText(ruler, client.right - maxExtent.cx - labelMargin, client.bottom - maxExtent.cy - labelMargin,
                maxExtent, std::move(maxLabel));
    } else {
        addText(ruler, client.left + labelMargin, client.top + labelMargin, maxExtent, std::move(maxLabel));
        addText(ruler, client.left + labelMargin, client.bottom - minExtent.cy - labelMargin, minExtent,
                std::move(minLabel));
    }
    return ruler;
}

Scene buildScene(const RangeModel& model, const BarRect& client, const MeasureText& measure)
{
    Scene scene;
    if (model.horizontal()) {
        scene.borders.push_back(axisLine(client.left, client.top, client.right, client.top));
        scene.borders.push_back(axisLine(client.left, client.bottom - 1, client.right, client.bottom - 1));
    } else {
        scene.borders.push_back(axisLine(client.right - 1, client.top, client.right - 1, client.bottom));
        scene.borders.push_back(axisLine(client.left, client.top, client.left, client.bottom));
    }
    scene.selector = model.selectorRect().normalized();
    scene.selectorState = (model.style() & RBS_READONLY) != 0 ? SA_OFF : SA_IDLE;
    if (model.mouseState() != SA_OFF && model.mouseState() != SA_IDLE)
        scene.selectorState = model.mouseState();
    scene.windowRuler = windowRuler(model, client, measure);
    scene.rangeRuler = rangeRuler(model, client, measure);
    return scene;
}

bool SceneInputs::operator==(const SceneInputs& o) const
{
    return style == o.style && min == o.min && max == o.max && winMin == o.winMin && winMax == o.winMax &&
           rangeScale == o.rangeScale && winCoeff == o.winCoeff && rangeStepDecade == o.rangeStepDecade &&
           windowStepDecade == o.windowStepDecade && rangeStepIndex == o.rangeStepIndex &&
           windowStepIndex == o.windowStepIndex && decimals == o.decimals && offset == o.offset &&
           mouseState == o.mouseState && client == o.client;
}

SceneInputs sceneInputs(const RangeModel& model, const BarRect& client)
{
    return {model.style(),
            model.min(),
            model.max(),
            model.winMin(),
            model.winMax(),
            model.rangeScale(),
            model.winCoeff(),
            model.rangeStep().decade,
            model.windowStep().decade,
            model.rangeStep().index,
            model.windowStep().index,
            model.format().decimals,
            model.format().offset,
            model.mouseState(),
            client};
}

}  // namespace rangebar
