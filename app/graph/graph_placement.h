// Where a graph window opens: where the operator left the last one of its
// kind (kept in the settings), else at the top left corner of the screen,
// 300 x 200.
#pragma once

#include "graph/graph_kind.h"

#include <QRect>

#include <optional>

class QWidget;
class SettingsBackend;

namespace graph {

// The settings key of a kind's place.
QString placementKey(GraphKind kind);

// The place kept for `kind`: position of the frame and size of the window,
// if one was kept and it still lies on a screen.
std::optional<QRect> storedPlacement(const SettingsBackend& store, GraphKind kind);
void storePlacement(SettingsBackend& store, GraphKind kind, const QWidget& window);

// Puts a new graph window where `store` says, or at 0,0 with 300 x 200.
void placeNewGraph(QWidget& window, const SettingsBackend& store, GraphKind kind);

}  // namespace graph
