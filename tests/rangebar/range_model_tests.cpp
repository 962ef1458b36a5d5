// The range bar's value model without any widget: setters and their
// notifications, recalculation, steps, and the mouse state machine.
#include "range_model.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <vector>

using testing_support::caseName;

namespace {

using rangebar::BarRect;
using rangebar::CursorShape;
using rangebar::RangeModel;

// A model measured as a bar of the given size, recording its notifications
// with the window seen at that moment.
class ModelTest : public ::testing::Test {
protected:
    struct Seen {
        int code;
        long winMin;
        long winMax;
        bool operator==(const Seen& o) const { return code == o.code && winMin == o.winMin && winMax == o.winMax; }
    };

    ModelTest()
    {
        model.setStyle(RBS_HORIZONTAL);
        model.setClientSource([this] { return client; });
        model.setObserver([this](int code) { seen.push_back({code, model.winMin(), model.winMax()}); });
    }

    void makeBar(int width, int height, long style, long min, long max, long winMin, long winMax)
    {
        client = BarRect{0, 0, width, height};
        model.setStyle(style);
        model.setMax(max);
        model.setMin(min);
        model.setWinMax(winMax);
        model.setWinMin(winMin);
        model.recalc();
        seen.clear();
    }

    std::vector<int> codes() const
    {
        std::vector<int> result;
        for (const Seen& s : seen)
            result.push_back(s.code);
        return result;
    }

    std::optional<BarRect> client = BarRect{0, 0, 400, 30};
    RangeModel model;
    std::vector<Seen> seen;
};

TEST_F(ModelTest, SetWinMaxHalvesTheWindowWithOneNotification)
{
    EXPECT_EQ(model.setWinMax(50), 100);
    EXPECT_EQ(model.winMin(), 0);
    EXPECT_EQ(model.winMax(), 50);
    EXPECT_EQ(seen, (std::vector<Seen>{{RBN_WINCHANGED, 0, 50}}));
    EXPECT_DOUBLE_EQ(model.winCoeff(), 8.0);
}

TEST_F(ModelTest, AnUnchangedValueReturnsItAndNotifiesNobody)
{
    EXPECT_EQ(model.setMin(0), 0);
    EXPECT_EQ(model.setMax(100), 100);
    EXPECT_EQ(model.setWinMin(0), 0);
    EXPECT_EQ(model.setWinMax(100), 100);
    EXPECT_TRUE(seen.empty());
}

struct WindowCase {
    const char* name;
    long winMin, winMax;  // before, on the range 0..100
    bool setMinimum;      // setWinMin, else setWinMax
    long value;
    long expectMin, expectMax;
};

void PrintTo(const WindowCase& c, std::ostream* out)
{
    *out << c.name;
}

class WindowSetterTest : public ModelTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(WindowSetterTest, ClampsAndResetsAnEmptyWindow)
{
    const WindowCase& c = GetParam();
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, c.winMin, c.winMax);
    const long previous = c.setMinimum ? model.setWinMin(c.value) : model.setWinMax(c.value);
    EXPECT_EQ(previous, c.setMinimum ? c.winMin : c.winMax);
    EXPECT_EQ(model.winMin(), c.expectMin);
    EXPECT_EQ(model.winMax(), c.expectMax);
    EXPECT_EQ(codes(), (std::vector<int>{RBN_WINCHANGED}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowSetterTest,
    ::testing::Values(WindowCase{"MinToWindowMaxGivesWholeRange", 20, 30, true, 30, 0, 100},
                      WindowCase{"MinBelowRange", 20, 30, true, -50, 0, 30},
                      WindowCase{"MinAboveWindowMax", 20, 30, true, 60, 60, 100},
                      WindowCase{"MinAboveRangeEndsAsWholeRange", 20, 30, true, 500, 0, 100},
                      WindowCase{"MaxToWindowMinGivesWholeRange", 20, 30, false, 20, 0, 100},
                      WindowCase{"MaxAboveRange", 20, 30, false, 150, 20, 100},
                      WindowCase{"MaxBelowWindowMin", 20, 30, false, 10, 0, 10},
                      WindowCase{"MaxBelowRangeEndsAsWholeRange", 20, 30, false, -5, 0, 100}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelTest, SetMaxBelowTheMinimumMovesTheMinimumAndClampsTheWindowFirst)
{
    makeBar(400, 30, RBS_HORIZONTAL, 10, 100, 20, 30);
    EXPECT_EQ(model.setMax(5), 100);
    EXPECT_EQ(model.min(), 4);
    EXPECT_EQ(model.max(), 5);
    EXPECT_EQ(seen, (std::vector<Seen>{{RBN_WINCHANGED, 4, 5}, {RBN_MAXCHANGED, 4, 5}}));
}

TEST_F(ModelTest, SetMinAboveTheMaximumMovesTheMaximumAndClampsTheWindowFirst)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 20, 30);
    EXPECT_EQ(model.setMin(200), 0);
    EXPECT_EQ(model.max(), 201);
    EXPECT_EQ(model.winMin(), 200);
    EXPECT_EQ(model.winMax(), 201);
    EXPECT_EQ(codes(), (std::vector<int>{RBN_WINCHANGED, RBN_MINCHANGED}));
}

TEST_F(ModelTest, ARangeChangeInsideTheWindowLeavesTheWindowAlone)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 20, 30);
    EXPECT_EQ(model.setMax(200), 100);
    EXPECT_EQ(model.setMin(-100), 0);
    EXPECT_EQ(model.winMin(), 20);
    EXPECT_EQ(model.winMax(), 30);
    EXPECT_EQ(codes(), (std::vector<int>{RBN_MAXCHANGED, RBN_MINCHANGED}));
    EXPECT_DOUBLE_EQ(model.rangeScale(), 400.0 / 300.0);
}

TEST_F(ModelTest, AnEmptyRangeKeepsEveryNumberUsable)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 20, 30);
    model.setMax(0);
    EXPECT_EQ(model.min(), 0);
    EXPECT_EQ(model.max(), 0);
    EXPECT_TRUE(std::isinf(model.rangeScale()));
    EXPECT_EQ(model.smallStep(), 8);
    const BarRect selector = model.selectorRect();
    EXPECT_EQ(selector.width(), 12);
    EXPECT_EQ(model.hitTest(5, 20), SA_MOVE);
    model.setMin(-50);
    EXPECT_DOUBLE_EQ(model.rangeScale(), 8.0);
}

TEST_F(ModelTest, AZeroLengthBarGetsZeroStepsInsteadOfSearchingForever)
{
    makeBar(0, 30, RBS_HORIZONTAL, 0, 1000, 0, 1000);
    EXPECT_DOUBLE_EQ(model.rangeScale(), 0.0);
    EXPECT_DOUBLE_EQ(model.bigStep(), 0.0);
    EXPECT_EQ(model.smallStep(), 2);
}

TEST_F(ModelTest, MoveAtTheMinimumStillNotifiesWithTheWindowUnchanged)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 0, 30);
    model.move(-5);
    EXPECT_EQ(seen, (std::vector<Seen>{{RBN_WINMOVED, 0, 30}}));
}

TEST_F(ModelTest, MoveIsShortenedAtEitherLimitAndKeepsTheSpan)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 20, 30);
    model.move(-15);
    EXPECT_EQ(model.winMin(), 5);
    model.move(-15);
    EXPECT_EQ(model.winMin(), 0);
    EXPECT_EQ(model.winMax(), 10);
    model.move(1000);
    EXPECT_EQ(model.winMin(), 90);
    EXPECT_EQ(model.winMax(), 100);
    EXPECT_EQ(codes(), (std::vector<int>{RBN_WINMOVED, RBN_WINMOVED, RBN_WINMOVED}));
}

struct StepCase {
    int length;
    long min, max;
    double rangeScale;
    double stepUnits;
    int index;
};

void PrintTo(const StepCase& c, std::ostream* out)
{
    *out << c.length << " px over " << c.min << ".." << c.max;
}

class RangeStepTest : public ModelTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(RangeStepTest, IsTheSmallestStepOfAtLeastFiftyPixels)
{
    const StepCase& c = GetParam();
    makeBar(c.length, 30, RBS_HORIZONTAL, c.min, c.max, c.min, c.max);
    EXPECT_DOUBLE_EQ(model.rangeScale(), c.rangeScale);
    EXPECT_DOUBLE_EQ(model.rangeStep().units(), c.stepUnits);
    EXPECT_EQ(model.rangeStep().index, c.index);
    EXPECT_DOUBLE_EQ(model.windowStep().units(), c.stepUnits) << "the window is the whole range";
}

INSTANTIATE_TEST_SUITE_P(Cases, RangeStepTest,
                         ::testing::Values(StepCase{500, 0, 1000, 0.5, 100.0, 0}, StepCase{500, 0, 10, 50.0, 1.0, 0},
                                           StepCase{500, 0, 2000, 0.25, 200.0, 1},
                                           StepCase{500, 0, 2200, 500.0 / 2200, 250.0, 2},
                                           StepCase{500, 0, 4000, 0.125, 500.0, 3},
                                           StepCase{500, -1000000, 0, 0.0005, 100000.0, 0},
                                           StepCase{500000, 0, 1, 500000.0, 0.0001, 0}),
                         [](const auto& info) {
                             return caseName("Length", info.param.length, "Range", info.param.min, info.param.max);
                         });

TEST(RulerStep, StopsAtTheFirstStepOfTheSeriesForAnUnusableScale)
{
    for (double scale : {0.0, -3.0, std::nan(""), HUGE_VAL}) {
        const rangebar::RulerStep step = rangebar::searchRulerStep(scale);
        EXPECT_DOUBLE_EQ(step.units(), 0.00001) << scale;
    }
}

TEST_F(ModelTest, TheWindowStepFollowsTheWindowCoefficient)
{
    makeBar(500, 30, RBS_HORIZONTAL, 0, 1000, 0, 100);
    EXPECT_DOUBLE_EQ(model.winCoeff(), 5.0);
    EXPECT_DOUBLE_EQ(model.windowStep().units(), 10.0);
    EXPECT_DOUBLE_EQ(model.bigStep(), 50.0);
    EXPECT_EQ(model.smallStep(), 2);
}

TEST(SmallIntervals, ThresholdsAtEightyAndOneHundredSixtyPixels)
{
    const std::pair<double, short> cases[] = {{50, 2}, {79.9, 2}, {80, 4}, {159.9, 4}, {160, 8}, {400, 8}, {0, 2}};
    for (const auto& [pixels, intervals] : cases)
        EXPECT_EQ(rangebar::smallIntervals(pixels), intervals) << pixels;
}

TEST_F(ModelTest, SmallStepFollowsTheBigStepInPixels)
{
    makeBar(79, 30, RBS_HORIZONTAL, 0, 1, 0, 1);
    EXPECT_DOUBLE_EQ(model.bigStep(), 79.0);
    EXPECT_EQ(model.smallStep(), 2);
    makeBar(80, 30, RBS_HORIZONTAL, 0, 1, 0, 1);
    EXPECT_EQ(model.smallStep(), 4);
}

TEST_F(ModelTest, MinimumScaleNarrowsAWideWindowAtTheNextRecalculationSilently)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 0, 100);
    model.setMinScale(10);
    EXPECT_EQ(model.winMin(), 0) << "takes effect at the next recalculation";
    model.recalc();
    EXPECT_EQ(model.winMin(), 90);
    EXPECT_EQ(model.winMax(), 100);
    EXPECT_DOUBLE_EQ(model.winCoeff(), 40.0);
    EXPECT_TRUE(seen.empty());
}

TEST_F(ModelTest, MinimumScaleLeavesANarrowWindow)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 92, 96);
    model.setMinScale(10);
    model.recalc();
    EXPECT_EQ(model.winMin(), 92);
    EXPECT_EQ(model.winMax(), 96);
    EXPECT_DOUBLE_EQ(model.winCoeff(), 100.0);
}

// Mouse: a 400-pixel horizontal bar over 0..100 (4 pixels a unit) with the
// window 20..30, its selector at x 80..120, rows 13..25.
class DragTest : public ModelTest {
protected:
    void SetUp() override { makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 20, 30); }
    static constexpr int y = 20;
};

TEST_F(DragTest, OnAVerticalBarTheBottomEndIsTheMinimumEdge)
{
    makeBar(30, 400, 0, 0, 100, 20, 30);  // selector rows 280..320
    EXPECT_TRUE(model.press(10, 317));
    EXPECT_EQ(model.mouseState(), SA_MINEDGE);
    // Upwards is positive: 8 pixels up raise the minimum by 2 units.
    EXPECT_EQ(model.dragTo(10, 309).code, RBN_WINCHANGED);
    EXPECT_EQ(model.winMin(), 22);
    model.release();
    EXPECT_TRUE(model.press(10, 283));
    EXPECT_EQ(model.mouseState(), SA_MAXEDGE);
}

TEST_F(DragTest, TheMinimumEdgeIsClampedAndKeptFivePixelsFromTheMaximum)
{
    model.press(83, y);
    EXPECT_EQ(model.dragTo(63, y).code, RBN_WINCHANGED);
    EXPECT_EQ(model.winMin(), 15);
    EXPECT_DOUBLE_EQ(model.winCoeff(), 400.0 / 15) << "recalculated";
    EXPECT_EQ(model.dragTo(-500, y).code, RBN_WINCHANGED);
    EXPECT_EQ(model.winMin(), 0);
    EXPECT_EQ(model.dragTo(-388, y).code, RBN_WINCHANGED);  // to 28: 8 pixels wide
    EXPECT_EQ(model.winMin(), 28);
    EXPECT_EQ(model.dragTo(-384, y).code, RBN_WINCHANGED) << "to 29 would be 4 pixels: undone, still reported";
    EXPECT_EQ(model.winMin(), 28);
    EXPECT_EQ(model.dragTo(1000, y).code, RBN_WINCHANGED) << "lowered to the maximum: 0 pixels, undone";
    EXPECT_EQ(model.winMin(), 28);
}

TEST_F(DragTest, AMaximumEdgeStepPastTheRangeIsDropped)
{
    model.press(117, y);
    EXPECT_EQ(model.dragTo(137, y).code, RBN_WINCHANGED);
    EXPECT_EQ(model.winMax(), 35);
    EXPECT_EQ(model.dragTo(1000, y).code, 0);
    EXPECT_EQ(model.winMax(), 35);
    EXPECT_EQ(model.dragTo(141, y).code, RBN_WINCHANGED) << "measured from the last applied position";
    EXPECT_EQ(model.winMax(), 36);
    EXPECT_EQ(model.dragTo(-1000, y).code, 0) << "below the window minimum";
    EXPECT_EQ(model.dragTo(101, y).code, RBN_WINCHANGED) << "to 26: 24 pixels wide";
    EXPECT_EQ(model.winMax(), 26);
    EXPECT_EQ(model.dragTo(93, y).code, RBN_WINCHANGED) << "to 24 would be 16 pixels: kept";
    EXPECT_EQ(model.winMax(), 24);
    EXPECT_EQ(model.dragTo(85, y).code, RBN_WINCHANGED) << "to 22 would be 8 pixels: kept";
    EXPECT_EQ(model.dragTo(81, y).code, RBN_WINCHANGED) << "to 21 would be 4 pixels: undone";
    EXPECT_EQ(model.winMax(), 22);
}

// The maximum edge dragged by exactly the pixels that carry it onto the end
// of the range, on bars whose pixels per unit are not exact in binary.
struct ExactEndCase {
    long max;
    long winMax;
    int pixels;
};

void PrintTo(const ExactEndCase& c, std::ostream* out)
{
    *out << "range 0.." << c.max << ", window 0.." << c.winMax << ", " << c.pixels << " pixels";
}

class ExactEndTest : public ModelTest, public ::testing::WithParamInterface<ExactEndCase> {};

TEST_P(ExactEndTest, TheMaximumEdgeDraggedExactlyOntoTheEndIsTaken)
{
    const ExactEndCase c = GetParam();
    makeBar(400, 30, RBS_HORIZONTAL, 0, c.max, 0, c.winMax);
    const int edge = model.selectorRect().right;
    ASSERT_TRUE(model.press(edge - 2, 20));
    ASSERT_EQ(model.mouseState(), SA_MAXEDGE);
    EXPECT_EQ(model.dragTo(edge - 2 + c.pixels, 20).code, RBN_WINCHANGED);
    EXPECT_EQ(model.winMax(), c.max);
}

INSTANTIATE_TEST_SUITE_P(Cases, ExactEndTest,
                         ::testing::Values(ExactEndCase{145, 116, 80},    // 2.76 px a unit, 29 units
                                           ExactEndCase{482, 241, 200},   // 0.83 px a unit, 241 units
                                           ExactEndCase{166, 83, 200},    // 2.41 px a unit, 83 units
                                           ExactEndCase{100, 30, 280}),  // 4 px a unit, exact in binary
                         [](const auto& info) {
                             return caseName("Max", info.param.max, "Window", info.param.winMax, info.param.pixels,
                                             "px");
                         });

TEST_F(DragTest, TheBodyMovesByExactUnitsToo)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 145, 29, 58);
    ASSERT_TRUE(model.press(model.selectorRect().left + 20, y));
    ASSERT_EQ(model.mouseState(), SA_MOVE);
    model.dragTo(model.selectorRect().left + 20 - 80, y);
    EXPECT_EQ(model.winMin(), 0) << "80 pixels are 29 units";
    EXPECT_EQ(model.winMax(), 29);
}

TEST_F(DragTest, CursorsFollowThePointerAndTheDrag)
{
    EXPECT_EQ(model.dragTo(100, y).cursor, CursorShape::Move);
    EXPECT_EQ(model.dragTo(118, y).cursor, CursorShape::Resize);
    EXPECT_EQ(model.dragTo(81, y).cursor, CursorShape::Resize);
    EXPECT_EQ(model.dragTo(200, y).cursor, CursorShape::Arrow);
    model.press(100, y);
    EXPECT_EQ(model.dragTo(300, 2).cursor, CursorShape::Move) << "anywhere during a move";
    model.release();
    ASSERT_EQ(model.winMin(), 70);
    model.press(317, y);
    EXPECT_EQ(model.dragTo(5, 2).cursor, CursorShape::Resize);
}

TEST_F(DragTest, ReadOnlySwitchesTheMouseOffForGoodButNotDoubleClickAndWheel)
{
    model.setStyle(RBS_HORIZONTAL | RBS_READONLY);
    EXPECT_EQ(model.mouseState(), SA_OFF);
    EXPECT_FALSE(model.press(100, y));
    EXPECT_EQ(model.dragTo(100, y).cursor, CursorShape::Arrow);
    model.setStyle(RBS_HORIZONTAL);
    EXPECT_FALSE(model.press(100, y)) << "clearing the bit does not switch interaction back on";
    EXPECT_TRUE(model.doubleClick(100, y));
    EXPECT_EQ(model.winMin(), 0);
    model.wheel(false, false, -120);
    EXPECT_EQ(codes(), (std::vector<int>{RBN_WINCHANGED, RBN_WINMOVED}));
}

struct WheelCase {
    const char* name;
    long min, max, winMin, winMax;
    bool shift, control;
    int delta;
    long expectMin, expectMax;
    int code;
};

void PrintTo(const WheelCase& c, std::ostream* out)
{
    *out << c.name;
}

class WheelTest : public ModelTest, public ::testing::WithParamInterface<WheelCase> {};

TEST_P(WheelTest, StepsAFiftiethOfTheRange)
{
    const WheelCase& c = GetParam();
    makeBar(400, 30, RBS_HORIZONTAL, c.min, c.max, c.winMin, c.winMax);
    model.wheel(c.shift, c.control, c.delta);
    EXPECT_EQ(model.winMin(), c.expectMin);
    EXPECT_EQ(model.winMax(), c.expectMax);
    EXPECT_EQ(codes(), (std::vector<int>{c.code}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WheelTest,
    ::testing::Values(WheelCase{"CtrlBackwardAtTheMinimumWidensTheTop", 0, 1000, 0, 500, false, true, -120, 0, 520,
                                RBN_WINCHANGED},
                      WheelCase{"CtrlBackwardWidensTheBottom", 0, 1000, 100, 500, false, true, -120, 80, 500,
                                RBN_WINCHANGED},
                      WheelCase{"CtrlForwardNarrowsTheTop", 0, 1000, 0, 500, false, true, 120, 0, 480, RBN_WINCHANGED},
                      WheelCase{"ForwardMovesUp", 0, 1000, 100, 500, false, false, 120, 120, 520, RBN_WINMOVED},
                      WheelCase{"BackwardMovesDown", 0, 1000, 100, 500, false, false, -120, 80, 480, RBN_WINMOVED},
                      WheelCase{"ShiftTakesATenth", 0, 1000, 100, 500, true, false, 120, 102, 502, RBN_WINMOVED},
                      WheelCase{"ShortRangeStepsOne", 0, 10, 0, 5, false, false, 120, 1, 6, RBN_WINMOVED},
                      WheelCase{"ShiftOnAShortRangeStepsOne", 0, 100, 10, 50, true, false, -1, 9, 49, RBN_WINMOVED},
                      WheelCase{"ZeroCountsAsForward", 0, 1000, 100, 500, false, false, 0, 120, 520, RBN_WINMOVED}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
