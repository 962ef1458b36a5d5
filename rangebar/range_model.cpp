#include "range_model.h"

#include <cmath>
#include <limits>

namespace rangebar {
namespace {

constexpr double stepMultipliers[4] = {1.0, 2.0, 2.5, 5.0};
constexpr double shortestBigStepPixels = 50.0;
// A drag step may not make the window narrower than this on the range ruler.
constexpr double narrowestWindowPixels = 5.0;

// `length` pixels over `span` units. An empty span gives an infinite
// coefficient on a bar with pixels, 0 on a bar without.
double pixelsPerUnit(int length, long span)
{
    if (span != 0)
        return static_cast<double>(length) / static_cast<double>(span);
    return length > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

long truncUnits(double value)
{
    constexpr double limit = 1e15;
    if (std::isnan(value))
        return 0;
    return static_cast<long>(std::fmax(-limit, std::fmin(limit, std::trunc(value))));
}

}  // namespace

double RulerStep::units() const
{
    return decade * stepMultipliers[index];
}

RulerStep searchRulerStep(double pixelsPerUnit)
{
    constexpr int firstExponent = -5;
    RulerStep step{std::pow(10.0, firstExponent), 0};
    if (!(pixelsPerUnit > 0.0) || std::isinf(pixelsPerUnit))
        return step;
    // Powers of ten are computed, not accumulated, so that 10^0 is exactly 1.
    int exponent = firstExponent;
    while (pixelsPerUnit * stepMultipliers[step.index] * step.decade < shortestBigStepPixels) {
        if (++step.index == 4) {
            step.index = 0;
            step.decade = std::pow(10.0, ++exponent);
        }
    }
    return step;
}

long RangeModel::setStyle(long style)
{
    const long previous = style_;
    style_ = style;
    if ((style & RBS_READONLY) != 0)
        mouseState_ = SA_OFF;
    return previous;
}

void RangeModel::notify(int code)
{
    if (observer_)
        observer_(code);
}

long RangeModel::setMin(long value)
{
    if (value == min_)
        return value;
    const long previous = min_;
    if (value > max_)
        max_ = value + 1;
    min_ = value;
    if (winMin_ < value)
        setWinMin(value);
    recalc();
    notify(RBN_MINCHANGED);
    return previous;
}

long RangeModel::setMax(long value)
{
    if (value == max_)
        return value;
    const long previous = max_;
    if (value < min_)
        min_ = value - 1;
    max_ = value;
    if (value < winMax_)
        setWinMax(value);
    recalc();
    notify(RBN_MAXCHANGED);
    return previous;
}

long RangeModel::setWinMin(long value)
{
    if (value == winMin_)
        return value;
    const long previous = winMin_;
    winMin_ = value <= min_ ? min_ : value > max_ ? max_ : value;
    if (winMin_ > winMax_)
        winMax_ = max_;
    if (winMin_ == winMax_) {
        winMin_ = min_;
        winMax_ = max_;
    }
    recalc();
    notify(RBN_WINCHANGED);
    return previous;
}

long RangeModel::setWinMax(long value)
{
    if (value == winMax_)
        return value;
    const long previous = winMax_;
    winMax_ = value >= max_ ? max_ : value < min_ ? min_ : value;
    if (winMax_ < winMin_)
        winMin_ = min_;
    if (winMin_ == winMax_) {
        winMin_ = min_;
        winMax_ = max_;
    }
    recalc();
    notify(RBN_WINCHANGED);
    return previous;
}

void RangeModel::move(long delta)
{
    if (delta <= 0) {
        if (winMin_ + delta < min_)
            delta = min_ - winMin_;
    } else if (winMax_ + delta > max_) {
        delta = max_ - winMax_;
    }
    winMin_ += delta;
    winMax_ += delta;
    recalc();
    notify(RBN_WINMOVED);
}

void RangeModel::recalc()
{
    if (!clientSource_)
        return;
    const std::optional<BarRect> measured = clientSource_();
    if (!measured)
        return;
    client_ = *measured;
    const int pixels = length();
    rangeScale_ = pixelsPerUnit(pixels, max_ - min_);
    winCoeff_ = pixelsPerUnit(pixels, winMax_ - winMin_);
    if (minScale_ != 0) {
        const double widest = static_cast<double>(pixels) / static_cast<double>(minScale_);
        if (widest > winCoeff_) {
            winCoeff_ = widest;
            winMin_ = winMax_ - truncUnits(pixels / widest);
        }
    }
    rangeStep_ = searchRulerStep(rangeScale_);
    windowStep_ = searchRulerStep(winCoeff_);
}

double RangeModel::bigStep() const
{
    return windowStep_.units() * winCoeff_;
}

short smallIntervals(double pixels)
{
    const double n = pixels / 20.0;
    if (n >= 8)
        return 8;
    return n >= 4 ? 4 : 2;
}

short RangeModel::smallStep() const
{
    return smallIntervals(bigStep());
}

long RangeModel::setFormatOffset(long offset)
{
    const long previous = format_.offset;
    format_.offset = offset;
    return previous;
}

double RangeModel::setFormatOffset(double offset)
{
    const double multiplier = decimalMultiplier(format_.decimals);
    const long previous = format_.offset;
    format_.offset = truncUnits(offset * multiplier);
    return static_cast<double>(previous) / multiplier;
}

std::string RangeModel::formatValue(double value) const
{
    ValueFormat f = format_;
    f.mode = formatMode();
    return rangebar::formatValue(value, f);
}

BarRect RangeModel::selectorRect() const
{
    return rangebar::selectorRect(horizontal(), client_, min_, winMin_, winMax_, rangeScale_);
}

SelectorAction RangeModel::hitTest(int x, int y) const
{
    return static_cast<SelectorAction>(rangebar::hitTest(selectorRect(), horizontal(), x, y));
}

bool RangeModel::press(int x, int y)
{
    if (mouseState_ != SA_IDLE)
        return false;
    const SelectorAction hit = hitTest(x, y);
    if (hit == SA_IDLE)
        return false;
    lastX_ = x;
    lastY_ = y;
    mouseState_ = hit;
    return true;
}

long RangeModel::wholeUnits(int pixels) const
{
    // pixels / rangeScale in integers: dividing by the rounded scale lands a
    // unit short in about one case in twenty (80 pixels over 0..145 on a
    // 400-pixel bar give 28.999... units), and an edge could then never be
    // dragged exactly onto the end of the range.
    const int bar = length();
    if (bar <= 0)
        return 0;
    const long long span = static_cast<long long>(max_) - min_;
    constexpr long long exactSpan = 1LL << 40;  // pixels x span stays far inside 64 bits
    if (span > exactSpan || span < -exactSpan)
        return truncUnits(static_cast<double>(pixels) / rangeScale_);
    return static_cast<long>(static_cast<long long>(pixels) * span / bar);
}

RangeModel::DragResult RangeModel::dragTo(int x, int y)
{
    DragResult result;
    if (mouseState_ == SA_OFF)
        return result;
    if (mouseState_ == SA_IDLE) {
        const SelectorAction hit = hitTest(x, y);
        result.cursor = hit == SA_MOVE ? CursorShape::Move : hit == SA_IDLE ? CursorShape::Arrow : CursorShape::Resize;
        return result;
    }
    result.cursor = mouseState_ == SA_MOVE ? CursorShape::Move : CursorShape::Resize;
    // Upwards is positive on a vertical bar.
    const long du = wholeUnits(horizontal() ? x - lastX_ : lastY_ - y);
    if (du == 0)
        return result;
    switch (mouseState_) {
    case SA_MOVE: {
        const long span = winMax_ - winMin_;
        winMin_ += du;
        winMax_ += du;
        if (winMin_ < min_) {
            winMin_ = min_;
            winMax_ = min_ + span;
        }
        if (winMax_ > max_) {
            winMax_ = max_;
            winMin_ = max_ - span;
        }
        result.code = RBN_WINMOVED;
        break;
    }
    case SA_MINEDGE: {
        long moved = winMin_ + du;
        if (moved < min_)
            moved = min_;
        if (moved > winMax_)
            moved = winMax_;
        if (static_cast<double>(winMax_ - moved) * rangeScale_ >= narrowestWindowPixels)
            winMin_ = moved;
        recalc();
        result.code = RBN_WINCHANGED;
        break;
    }
    case SA_MAXEDGE: {
        const long moved = winMax_ + du;
        // Unlike the minimum edge, a step past the range is dropped, not clamped.
        if (moved > max_ || moved < winMin_)
            return result;
        if (static_cast<double>(moved - winMin_) * rangeScale_ >= narrowestWindowPixels)
            winMax_ = moved;
        recalc();
        result.code = RBN_WINCHANGED;
        break;
    }
    default:
        return result;
    }
    lastX_ = x;
    lastY_ = y;
    return result;
}

bool RangeModel::release()
{
    if (mouseState_ == SA_OFF || mouseState_ == SA_IDLE)
        return false;
    mouseState_ = SA_IDLE;
    lastX_ = 0;
    lastY_ = 0;
    return true;
}

bool RangeModel::doubleClick(int x, int y)
{
    if (hitTest(x, y) == SA_IDLE)
        return false;
    if (savedWinMin_ != 0 || savedWinMax_ != 0) {
        winMin_ = savedWinMin_;
        winMax_ = savedWinMax_;
        savedWinMin_ = 0;
        savedWinMax_ = 0;
    } else {
        savedWinMin_ = winMin_;
        savedWinMax_ = winMax_;
        winMin_ = min_;
        winMax_ = max_;
    }
    recalc();
    notify(RBN_WINCHANGED);
    return true;
}

void RangeModel::wheel(bool shift, bool control, int delta)
{
    long step = (max_ - min_) / 50;
    if (shift)
        step /= 10;
    if (step == 0)
        step = 1;
    const bool forward = delta >= 0;
    if (control) {
        if (forward)
            setWinMax(winMax_ - step);
        else if (winMin_ > min_)
            setWinMin(winMin_ - step);
        else
            setWinMax(winMax_ + step);
    } else {
        move(forward ? step : -step);
    }
}

}  // namespace rangebar
