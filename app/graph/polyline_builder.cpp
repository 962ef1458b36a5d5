#include "graph/polyline_builder.h"

namespace graph {

void PolylineBuilder::lineTo(int x, int y)
{
    // A line onto the pen's own position draws nothing.
    if (x != penX_ || y != penY_)
        out_.push_back({penX_, penY_, x, y});
    penX_ = x;
    penY_ = y;
}

void PolylineBuilder::moveTo(int x, int y)
{
    penX_ = x;
    penY_ = y;
}

// The stroke of the current column from its lowest to its highest point;
// the pen then stands on the column's last point.
void PolylineBuilder::closeColumn()
{
    if (lowY_ == highY_)
        return;
    lineTo(column_, lowY_);
    lineTo(column_, highY_);
    moveTo(column_, lastY_);
    lowY_ = highY_ = lastY_;
}

void PolylineBuilder::startColumn(int x, int y)
{
    column_ = x;
    lowY_ = highY_ = lastY_ = y;
}

void PolylineBuilder::addOutsideColumn(int x, int y, bool liftPen)
{
    if (!started_) {
        started_ = true;
        moveTo(x, y);
        startColumn(x, y);
        return;
    }
    if (liftPen) {
        closeColumn();
        moveTo(x, y);
        startColumn(x, y);
        return;
    }
    closeColumn();
    lineTo(x, y);
    startColumn(x, y);
}

void PolylineBuilder::finish()
{
    if (started_)
        closeColumn();
}

}  // namespace graph
