// Pixel geometry of the range bar that depends on numbers only: rectangles,
// the selector's place and the hit test.
#pragma once

namespace rangebar {

// A rectangle in client pixels; right and bottom are one past the last
// column and row, as in the drawing rules of the bar.
struct BarRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    // With left <= right and top <= bottom.
    BarRect normalized() const;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const BarRect& other) const;
    bool operator!=(const BarRect& other) const { return !(*this == other); }
};

// The smallest rectangle holding both; an empty rectangle adds nothing.
BarRect united(const BarRect& a, const BarRect& b);

// trunc(value) as a pixel count, kept within +-2^30 so that sums of a few
// pixel values cannot overflow; NaN gives 0. Coefficients become infinite or
// zero on an empty range or a zero-length bar.
int truncPixels(double value);

// The selector: along the bottom of a horizontal bar (rows bottom-17 to
// bottom-5) or the left of a vertical one (columns left+5 to left+17), from
// the window minimum to the window maximum at `rangeScale` pixels per unit,
// at least 12 pixels long. A vertical bar grows upwards.
BarRect selectorRect(bool horizontal, const BarRect& client, long min, long winMin, long winMax,
                     double rangeScale);

// Which part of `selector` holds the point: 1 outside, 2 the body, 3 the
// window minimum's edge, 4 the window maximum's edge. An edge is 4 pixels
// deep at the right or bottom end and 5 at the left or top end; the bottom
// end of a vertical bar is its minimum.
int hitTest(const BarRect& selector, bool horizontal, int x, int y);

}  // namespace rangebar
