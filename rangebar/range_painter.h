// Replays a range bar scene on a QPainter.
#pragma once

#include "label_cache.h"
#include "range_scene.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <QRegion>

namespace rangebar {

// Background when the parent does not choose one.
inline QColor defaultBackground()
{
    return QColor(236, 233, 216);
}

// Fill of the selector in each state: disabled text grey when read-only, an
// inactive caption blue when idle, the active caption blue while moving, the
// selection blue while an edge is dragged. Fixed colours: the background is
// fixed too, and a desktop theme must not make the selector vanish on it.
QColor selectorColor(SelectorAction state);

inline QRect toQRect(const BarRect& r)
{
    return {r.left, r.top, r.width(), r.height()};
}

struct PaintTools {
    QBrush background;
    QPen dark;
    QPen light;
    QFont font;
};

// Paints what of `scene` meets `dirty`: background, borders, selector, window
// ruler, range ruler, in that order, over the client rectangle `client`.
// Labels are black, drawn as `labels` laid them out.
void paintScene(QPainter& painter, const Scene& scene, const BarRect& client, const PaintTools& tools,
                const QRegion& dirty, LabelCache& labels);

}  // namespace rangebar
