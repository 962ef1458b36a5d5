// Turns the points of a series, in pixels, into the line segments the view
// draws. Points that fall into one pixel column are merged into one vertical
// stroke from their lowest to their highest y, after which the line goes on
// from the last of them; so a long series costs at most about three segments
// per column, whatever its number of points.
#pragma once

#include <vector>

namespace graph {

struct Segment {
    int x1, y1, x2, y2;
    bool operator==(const Segment& o) const { return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2; }
};

class PolylineBuilder {
public:
    // Appends to `out`, which the caller owns and may reuse between frames.
    explicit PolylineBuilder(std::vector<Segment>& out) : out_(out) {}

    // The next point. `liftPen` starts a new line at it (the point follows a
    // pause and the view breaks the line at pauses).
    void add(int x, int y, bool liftPen)
    {
        // Most points of a long series fall into the column already open.
        if (started_ && !liftPen && x == column_) {
            lowY_ = y < lowY_ ? y : lowY_;
            highY_ = y > highY_ ? y : highY_;
            lastY_ = y;
            return;
        }
        addOutsideColumn(x, y, liftPen);
    }
    // Draws the stroke of the last column, when it holds several points.
    void finish();

private:
    void addOutsideColumn(int x, int y, bool liftPen);
    void lineTo(int x, int y);
    void moveTo(int x, int y);
    void closeColumn();
    void startColumn(int x, int y);

    std::vector<Segment>& out_;
    bool started_ = false;
    int penX_ = 0, penY_ = 0;
    int column_ = 0;
    int lowY_ = 0, highY_ = 0, lastY_ = 0;
};

}  // namespace graph
