// The range bar's value model: the range and its window, the pixel
// coefficients and ruler steps of the last recalculation, the label format,
// and the mouse interaction as a state machine over pixel positions. Free of
// any widget code; the widget supplies the client rectangle and repaints.
#pragma once

#include "range_format.h"
#include "range_geometry.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>

// Control style bits.
constexpr long RBS_HORIZONTAL = 0x01;  // values grow to the right, selector along the bottom
constexpr long RBS_READONLY = 0x02;    // no mouse interaction, selector drawn disabled
constexpr long RBS_FORMATMASK = 0x38;  // format mode, (style >> 3) & 7
constexpr long RbsFormat(int mode)
{
    return static_cast<long>(mode & 7) << 3;
}

// Codes sent to the parent after a change.
enum RangeBarNotification : int {
    RBN_MINCHANGED = 1,
    RBN_MAXCHANGED = 2,
    RBN_WINMOVED = 3,   // the window moved, its span unchanged
    RBN_WINCHANGED = 4,
};

// Hit-test result and mouse state at once; also picks the selector's colour.
enum SelectorAction : int {
    SA_OFF = 0,      // interaction off (read-only)
    SA_IDLE = 1,     // no drag; as a hit-test result: outside the selector
    SA_MOVE = 2,     // the selector body
    SA_MINEDGE = 3,  // the window minimum's edge
    SA_MAXEDGE = 4,  // the window maximum's edge
};

namespace rangebar {

// A big ruler step: decade x {1, 2, 2.5, 5}[index] units.
struct RulerStep {
    double decade = 1.0;
    int index = 0;

    double units() const;
};

// The smallest step of the series 1, 2, 2.5, 5 x 10^k (k >= -5) that spans at
// least 50 pixels at `pixelsPerUnit`. A scale that is not a positive finite
// number keeps the first step of the series (10^-5).
RulerStep searchRulerStep(double pixelsPerUnit);

// Sub-intervals of a big step of `pixels`: 8 from 160 pixels, 4 from 80, else 2.
short smallIntervals(double pixels);

enum class CursorShape { Arrow, Move, Resize };

class RangeModel {
public:
    // Measures the client rectangle; nothing while the control has no window,
    // and then recalculation does nothing.
    using ClientSource = std::function<std::optional<BarRect>()>;
    // Receives a notification code after the change it reports is complete.
    using Observer = std::function<void(int code)>;

    void setClientSource(ClientSource source) { clientSource_ = std::move(source); }
    void setObserver(Observer observer) { observer_ = std::move(observer); }

    long style() const { return style_; }
    // Returns the previous style. Read-only switches interaction off for good;
    // nothing is recalculated.
    long setStyle(long style);
    bool horizontal() const { return (style_ & RBS_HORIZONTAL) != 0; }
    int formatMode() const { return static_cast<int>((style_ >> 3) & 7); }

    long min() const { return min_; }
    long max() const { return max_; }
    long winMin() const { return winMin_; }
    long winMax() const { return winMax_; }
    long savedWinMin() const { return savedWinMin_; }
    long savedWinMax() const { return savedWinMax_; }

    // Each setter returns the previous value; a value equal to the current one
    // changes nothing and notifies nobody. A range end set past the other one
    // pushes it to one unit beyond; the window is then clamped into the range
    // through the window setters, which notify first. Window ends are clamped
    // to the range; a window end set past the other end moves that end to the
    // range limit, and a window that would be empty becomes the whole range.
    long setMin(long value);
    long setMax(long value);
    long setWinMin(long value);
    long setWinMax(long value);
    // Shifts the window by `delta`, shortened to stay inside the range;
    // notifies even when the window could not move.
    void move(long delta);

    // Largest window span in units the recalculation allows; 0 is no limit.
    void setMinScale(long units) { minScale_ = units; }
    long minScale() const { return minScale_; }

    // Pixel coefficients and steps of the last recalculation.
    void recalc();
    const BarRect& client() const { return client_; }
    int length() const { return horizontal() ? client_.width() : client_.height(); }
    double rangeScale() const { return rangeScale_; }
    double winCoeff() const { return winCoeff_; }
    const RulerStep& rangeStep() const { return rangeStep_; }
    const RulerStep& windowStep() const { return windowStep_; }
    // Pixels between labelled ticks of the window ruler.
    double bigStep() const;
    // Sub-intervals of a big step: 8, 4 or 2.
    short smallStep() const;

    const ValueFormat& format() const { return format_; }
    void setFormatScale(short decimals) { format_.decimals = decimals; }
    long setFormatOffset(long offset);
    // Stores trunc(offset x 10^scale); returns the previous offset in the same unit.
    double setFormatOffset(double offset);
    std::string formatValue(double value) const;

    BarRect selectorRect() const;
    SelectorAction hitTest(int x, int y) const;

    // Mouse interaction, in client pixels.
    SelectorAction mouseState() const { return mouseState_; }
    // A left press: starts a drag over the selector when idle; true if it did.
    bool press(int x, int y);
    struct DragResult {
        int code = 0;  // notification to send, 0 when nothing changed
        CursorShape cursor = CursorShape::Arrow;
    };
    // A pointer movement: applies whole units of movement during a drag and
    // picks the cursor.
    DragResult dragTo(int x, int y);
    // A left release: ends a drag; true if one was running.
    bool release();
    // A double click: over the selector, shows the whole range and remembers
    // the window, or brings a remembered window back; true if it did.
    bool doubleClick(int x, int y);
    // A wheel turn: `delta` >= 0 is forward. Shift takes finer steps, Ctrl
    // resizes the window instead of moving it.
    void wheel(bool shift, bool control, int delta);

private:
    void notify(int code);
    long wholeUnits(int pixels) const;

    long style_ = 0;
    long min_ = 0;
    long max_ = 100;
    long winMin_ = 0;
    long winMax_ = 100;
    long savedWinMin_ = 0;
    long savedWinMax_ = 0;
    BarRect client_{};
    double rangeScale_ = 1.0;
    RulerStep rangeStep_{};
    double winCoeff_ = 1.0;
    RulerStep windowStep_{};
    ValueFormat format_{};
    long minScale_ = 0;
    SelectorAction mouseState_ = SA_IDLE;
    int lastX_ = 0;
    int lastY_ = 0;
    ClientSource clientSource_;
    Observer observer_;
};

}  // namespace rangebar
