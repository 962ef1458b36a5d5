// What the range bar draws, as a list of pixel-exact primitives computed from
// the model: border lines, the selector, the window ruler (a filled band with
// labelled big ticks and small ticks) and the range ruler (plain ticks and
// the two end values). The painter only replays the lists; tests read them.
#pragma once

#include "range_geometry.h"
#include "range_model.h"

#include <functional>
#include <string>
#include <vector>

namespace rangebar {

struct TextExtent {
    int cx = 0;
    int cy = 0;
};
// The extent of a label in the label font.
using MeasureText = std::function<TextExtent(const std::string&)>;

// One thing to draw, in drawing order. Lines are one pixel wide and given as
// the rectangle of pixels they cover; a text's rectangle is its cell, text
// drawn from the top left corner.
struct Primitive {
    enum Kind { DarkLine, LightLine, Text };
    Kind kind;
    BarRect rect;
    std::string text;
};

struct RulerDrawing {
    BarRect band;  // filled with the background before the items; empty for the range ruler
    std::vector<Primitive> items;

    // Every pixel the ruler may touch: the band, the lines and the text cells.
    BarRect bounds() const;
};

struct Scene {
    std::vector<BarRect> borders;
    BarRect selector;
    SelectorAction selectorState = SA_IDLE;
    RulerDrawing windowRuler;
    RulerDrawing rangeRuler;
};

// The pixels of a line from (x1, y1) towards (x2, y2), the end point left out;
// the line runs along one axis.
BarRect axisLine(int x1, int y1, int x2, int y2);

// The band of the window ruler: below the top border of a horizontal bar,
// 3/4 of a text height + 4 pixels deep; at the right of a vertical bar, as
// wide as the label of the range maximum + 3 pixels.
BarRect windowRulerBand(const RangeModel& model, const BarRect& client, const MeasureText& measure);

// Labelled big ticks from the window minimum on, every whole big step in
// pixels, with 2, 4 or 8 small intervals each; nothing but the band when a big
// step is not shorter than the bar.
RulerDrawing windowRuler(const RangeModel& model, const BarRect& client, const MeasureText& measure);

// Ticks every range step along the bottom (horizontal) or the left edge
// (vertical), and the labels of the range minimum and maximum.
RulerDrawing rangeRuler(const RangeModel& model, const BarRect& client, const MeasureText& measure);

Scene buildScene(const RangeModel& model, const BarRect& client, const MeasureText& measure);

// Everything of the model and the client that buildScene reads: equal inputs
// (with the same font) give the same scene.
struct SceneInputs {
    long style, min, max, winMin, winMax;
    double rangeScale, winCoeff;
    double rangeStepDecade, windowStepDecade;
    int rangeStepIndex, windowStepIndex;
    short decimals;
    long offset;
    SelectorAction mouseState;
    BarRect client;

    bool operator==(const SceneInputs& other) const;
};

SceneInputs sceneInputs(const RangeModel& model, const BarRect& client);

}  // namespace rangebar
