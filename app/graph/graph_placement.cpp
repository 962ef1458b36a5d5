#include "graph/graph_placement.h"

#include "session/settings_backend.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>

namespace graph {

namespace {

constexpr QRect kFirstPlace(0, 0, 300, 200);

bool onAScreen(const QRect& place)
{
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->virtualGeometry().intersects(place))
            return true;
    return false;
}

}  // namespace

QString placementKey(GraphKind kind)
{
    return kind == GraphKind::Temperature ? QStringLiteral("TempGraphRect") : QStringLiteral("QuantGraphRect");
}

std::optional<QRect> storedPlacement(const SettingsBackend& store, GraphKind kind)
{
    const QStringList parts = store.value(placementKey(kind), QString()).toString().split(' ', Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return std::nullopt;
    int numbers[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = parts[i].toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    const QRect place(numbers[0], numbers[1], numbers[2], numbers[3]);
    if (place.width() <= 0 || place.height() <= 0 || !onAScreen(place))
        return std::nullopt;
    return place;
}

void storePlacement(SettingsBackend& store, GraphKind kind, const QWidget& window)
{
    store.setValue(placementKey(kind), QStringLiteral("%1 %2 %3 %4")
                                           .arg(window.x())
                                           .arg(window.y())
                                           .arg(window.width())
                                           .arg(window.height()));
}

void placeNewGraph(QWidget& window, const SettingsBackend& store, GraphKind kind)
{
    const QRect place = storedPlacement(store, kind).value_or(kFirstPlace);
    window.move(place.topLeft());
    window.resize(place.size());
}

}  // namespace graph
