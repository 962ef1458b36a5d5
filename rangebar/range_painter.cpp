#include "range_painter.h"

#include <QString>

namespace rangebar {
namespace {

void paintRuler(QPainter& painter, const RulerDrawing& ruler, const PaintTools& tools, const QRegion& dirty,
                LabelCache& labels)
{
    if (!ruler.band.empty())
        painter.fillRect(toQRect(ruler.band), tools.background);
    for (const Primitive& item : ruler.items) {
        const QRect rect = toQRect(item.rect);
        if (!dirty.intersects(rect))
            continue;
        switch (item.kind) {
        case Primitive::DarkLine:
            painter.fillRect(rect, tools.dark.brush());
            break;
        case Primitive::LightLine:
            painter.fillRect(rect, tools.light.brush());
            break;
        case Primitive::Text:
            labels.draw(painter, QPoint(item.rect.left, item.rect.top), item.text);
            break;
        }
    }
}

}  // namespace

QColor selectorColor(SelectorAction state)
{
    switch (state) {
    case SA_OFF:
        return {172, 168, 153};
    case SA_MOVE:
        return {0, 84, 227};
    case SA_MINEDGE:
    case SA_MAXEDGE:
        return {49, 106, 197};
    case SA_IDLE:
    default:
        return {122, 150, 223};
    }
}

void paintScene(QPainter& painter, const Scene& scene, const BarRect& client, const PaintTools& tools,
                const QRegion& dirty, LabelCache& labels)
{
    painter.fillRect(toQRect(client), tools.background);
    for (const BarRect& border : scene.borders)
        painter.fillRect(toQRect(border), tools.dark.brush());
    painter.fillRect(toQRect(scene.selector), selectorColor(scene.selectorState));
    painter.setFont(tools.font);
    painter.setPen(Qt::black);
    paintRuler(painter, scene.windowRuler, tools, dirty, labels);
    paintRuler(painter, scene.rangeRuler, tools, dirty, labels);
}

}  // namespace rangebar
