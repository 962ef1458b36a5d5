// The mouse cursor over the graph view: a crosshair with a small thermometer
// beside it, the hot spot at the crosshair's centre.
#pragma once

#include <QCursor>

namespace graph {

QCursor thermometerCursor();

}  // namespace graph
