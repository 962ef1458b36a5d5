// Pixel geometry without a widget: the selector, the hit test, the layout of
// borders, bands, ticks and labels, with a fixed-size stand-in for the font.
#include "range_geometry.h"
#include "range_model.h"
#include "range_scene.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace rangebar {
// Found by the test framework next to the type.
void PrintTo(const BarRect& r, std::ostream* out)
{
    *out << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
}  // namespace rangebar

using testing_support::caseName;

namespace {

using rangebar::BarRect;
using rangebar::Primitive;
using rangebar::RangeModel;
using rangebar::RulerDrawing;

// 6 pixels a character, 12 pixels high.
rangebar::TextExtent fakeMeasure(const std::string& text)
{
    return {static_cast<int>(text.size()) * 6, 12};
}

struct SelectorCase {
    bool horizontal;
    long winMin, winMax;
    BarRect expected;
};

void PrintTo(const SelectorCase& c, std::ostream* out)
{
    *out << (c.horizontal ? "horizontal " : "vertical ") << c.winMin << ".." << c.winMax;
}

class SelectorRectTest : public ::testing::TestWithParam<SelectorCase> {};

TEST_P(SelectorRectTest, LiesWhereTheWindowIsOnTheRangeScale)
{
    const SelectorCase& c = GetParam();
    const BarRect client = c.horizontal ? BarRect{0, 0, 400, 30} : BarRect{0, 0, 30, 400};
    EXPECT_EQ(rangebar::selectorRect(c.horizontal, client, 0, c.winMin, c.winMax, 4.0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, SelectorRectTest,
                         ::testing::Values(SelectorCase{true, 20, 30, {80, 13, 120, 25}},
                                           SelectorCase{true, 20, 21, {80, 13, 92, 25}},  // at least 12 pixels
                                           SelectorCase{true, 0, 100, {0, 13, 400, 25}},
                                           SelectorCase{false, 20, 30, {5, 280, 17, 320}},
                                           SelectorCase{false, 20, 21, {5, 308, 17, 320}}),
                         [](const auto& info) {
                             return caseName(info.param.horizontal ? "Horizontal" : "Vertical", info.param.winMin,
                                             info.param.winMax);
                         });

TEST(SelectorRect, SurvivesInfiniteAndZeroScales)
{
    const BarRect client{0, 0, 400, 30};
    const BarRect onEmptyRange = rangebar::selectorRect(true, client, 0, 0, 0, HUGE_VAL);
    EXPECT_EQ(onEmptyRange, (BarRect{0, 13, 12, 25}));
    const BarRect huge = rangebar::selectorRect(true, client, 0, 0, 5, HUGE_VAL);
    EXPECT_EQ(huge.left, 0);
    EXPECT_EQ(huge.right, 1 << 30);
}

struct HitCase {
    bool horizontal;
    int x, y;
    int expected;
};

void PrintTo(const HitCase& c, std::ostream* out)
{
    *out << (c.horizontal ? "horizontal " : "vertical ") << c.x << "," << c.y;
}

class HitTestTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(HitTestTest, FindsTheEdgesAndTheBody)
{
    const HitCase& c = GetParam();
    const BarRect selector = c.horizontal ? BarRect{80, 13, 120, 25} : BarRect{5, 280, 17, 320};
    EXPECT_EQ(rangebar::hitTest(selector, c.horizontal, c.x, c.y), c.expected) << c.x << "," << c.y;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HitTestTest,
    ::testing::Values(HitCase{true, 117, 20, 4}, HitCase{true, 116, 20, 4}, HitCase{true, 115, 20, 2},
                      HitCase{true, 119, 24, 4}, HitCase{true, 83, 20, 3}, HitCase{true, 84, 13, 3},
                      HitCase{true, 85, 20, 2}, HitCase{true, 120, 20, 1},  // right column is outside
                      HitCase{true, 100, 25, 1},                            // bottom row is outside
                      HitCase{true, 79, 20, 1}, HitCase{true, 100, 12, 1},
                      HitCase{false, 10, 317, 3},  // bottom end: the minimum
                      HitCase{false, 10, 316, 3}, HitCase{false, 10, 315, 2}, HitCase{false, 10, 283, 4},
                      HitCase{false, 10, 284, 4}, HitCase{false, 10, 285, 2}, HitCase{false, 17, 300, 1},
                      HitCase{false, 4, 300, 1}),
    [](const auto& info) {
        return caseName(info.param.horizontal ? "Horizontal" : "Vertical", "At", info.param.x, info.param.y);
    });

TEST(HitTest, NormalisesAnUpsideDownRectangle)
{
    EXPECT_EQ(rangebar::hitTest(BarRect{120, 25, 80, 13}, true, 100, 20), 2);
}

TEST(TruncPixels, TruncatesTowardsZeroWithinBounds)
{
    EXPECT_EQ(rangebar::truncPixels(3.9), 3);
    EXPECT_EQ(rangebar::truncPixels(-3.9), -3);
    EXPECT_EQ(rangebar::truncPixels(std::nan("")), 0);
    EXPECT_EQ(rangebar::truncPixels(HUGE_VAL), 1 << 30);
    EXPECT_EQ(rangebar::truncPixels(-HUGE_VAL), -(1 << 30));
}

TEST(AxisLine, CoversFromTheStartUpToButNotTheEnd)
{
    EXPECT_EQ(rangebar::axisLine(5, 1, 5, 9), (BarRect{5, 1, 6, 9}));
    EXPECT_EQ(rangebar::axisLine(5, 30, 5, 26), (BarRect{5, 27, 6, 31}));
    EXPECT_EQ(rangebar::axisLine(0, 7, 400, 7), (BarRect{0, 7, 400, 8}));
    EXPECT_EQ(rangebar::axisLine(40, 7, 32, 7), (BarRect{33, 7, 41, 8}));
}

class SceneTest : public ::testing::Test {
protected:
    void makeBar(int width, int height, long style, long min, long max, long winMin, long winMax)
    {
        client = BarRect{0, 0, width, height};
        model.setClientSource([this] { return client; });
        model.setStyle(style);
        model.setMax(max);
        model.setMin(min);
        model.setWinMax(winMax);
        model.setWinMin(winMin);
        model.recalc();
    }

    static std::vector<BarRect> rectsOf(const RulerDrawing& ruler, Primitive::Kind kind)
    {
        std::vector<BarRect> result;
        for (const Primitive& p : ruler.items)
            if (p.kind == kind)
                result.push_back(p.rect);
        return result;
    }

    static std::vector<std::string> textsOf(const RulerDrawing& ruler)
    {
        std::vector<std::string> result;
        for (const Primitive& p : ruler.items)
            if (p.kind == Primitive::Text)
                result.push_back(p.text);
        return result;
    }

    BarRect client{};
    RangeModel model;
};

// 400 pixels over 0..100: big steps of 20 units, 80 pixels, 4 intervals each.
TEST_F(SceneTest, HorizontalWindowRulerHasLabelledBigTicksAndSmallTicks)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 0, 100);
    const RulerDrawing ruler = rangebar::windowRuler(model, client, fakeMeasure);
    EXPECT_EQ(ruler.band, (BarRect{0, 1, 400, 13}));  // 3/4 of 12 + 4
    EXPECT_EQ(rectsOf(ruler, Primitive::DarkLine),
              (std::vector<BarRect>{{0, 1, 1, 9}, {80, 1, 81, 9}, {160, 1, 161, 9}, {240, 1, 241, 9}, {320, 1, 321, 9}}));
    EXPECT_EQ(textsOf(ruler), (std::vector<std::string>{"0", "20", "40", "60", "80"}));
    const std::vector<BarRect> small = rectsOf(ruler, Primitive::LightLine);
    ASSERT_EQ(small.size(), 15u);
    EXPECT_EQ(small[0], (BarRect{20, 1, 21, 5}));
    EXPECT_EQ(small[1], (BarRect{40, 1, 41, 5}));
    EXPECT_EQ(small[2], (BarRect{60, 1, 61, 5}));
    // Drawing order: big tick, its label at (x+2, top+2), then its small ticks.
    EXPECT_EQ(ruler.items[1].kind, Primitive::Text);
    EXPECT_EQ(ruler.items[1].rect, (BarRect{2, 3, 8, 15}));
    EXPECT_EQ(ruler.items[5].rect, (BarRect{80, 1, 81, 9}));
    EXPECT_EQ(ruler.items[6].rect, (BarRect{82, 3, 94, 15}));
}

TEST_F(SceneTest, WindowLabelsStartAtTheWindowMinimumNotAtAMultipleOfTheStep)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 13, 63);  // 8 px a unit: steps of 10
    EXPECT_EQ(textsOf(rangebar::windowRuler(model, client, fakeMeasure)),
              (std::vector<std::string>{"13", "23", "33", "43", "53"}));
}

TEST_F(SceneTest, ABigStepAsLongAsTheBarDrawsOnlyTheBand)
{
    makeBar(60, 30, RBS_HORIZONTAL, 0, 1, 0, 1);  // 60 px a unit: a step of 1 is 60 px
    EXPECT_DOUBLE_EQ(model.bigStep(), 60.0);
    const RulerDrawing ruler = rangebar::windowRuler(model, client, fakeMeasure);
    EXPECT_TRUE(ruler.items.empty());
    EXPECT_FALSE(ruler.band.empty());
}

TEST_F(SceneTest, HorizontalRangeRulerTicksAlongTheBottomWithTheEndValues)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 20, 30);
    const RulerDrawing ruler = rangebar::rangeRuler(model, client, fakeMeasure);
    EXPECT_TRUE(ruler.band.empty());
    EXPECT_EQ(rectsOf(ruler, Primitive::DarkLine),
              (std::vector<BarRect>{{0, 27, 1, 31}, {80, 27, 81, 31}, {160, 27, 161, 31}, {240, 27, 241, 31},
                                    {320, 27, 321, 31}}));
    EXPECT_EQ(textsOf(ruler), (std::vector<std::string>{"0", "100"}));
    EXPECT_EQ(rectsOf(ruler, Primitive::Text), (std::vector<BarRect>{{2, 16, 8, 28}, {380, 16, 398, 28}}));
}

TEST_F(SceneTest, VerticalRulersGrowUpwardsFromTheBottom)
{
    makeBar(40, 400, 0, 0, 100, 0, 100);
    const RulerDrawing window = rangebar::windowRuler(model, client, fakeMeasure);
    EXPECT_EQ(window.band, (BarRect{19, 0, 40, 400}));  // label "100" is 18 wide, + 3
    const std::vector<BarRect> big = rectsOf(window, Primitive::DarkLine);
    ASSERT_EQ(big.size(), 5u);
    EXPECT_EQ(big[0], (BarRect{33, 400, 41, 401}));  // the tick of the minimum lies on the bottom edge
    EXPECT_EQ(big[1], (BarRect{33, 320, 41, 321}));
    EXPECT_EQ(rectsOf(window, Primitive::LightLine)[0], (BarRect{37, 380, 41, 381}));
    EXPECT_EQ(rectsOf(window, Primitive::Text)[1], (BarRect{26, 306, 38, 318}));  // "20" right-aligned above its tick

    const RulerDrawing range = rangebar::rangeRuler(model, client, fakeMeasure);
    EXPECT_EQ(rectsOf(range, Primitive::DarkLine)[1], (BarRect{0, 80, 4, 81}));
    EXPECT_EQ(textsOf(range), (std::vector<std::string>{"100", "0"}));
    EXPECT_EQ(rectsOf(range, Primitive::Text), (std::vector<BarRect>{{2, 2, 20, 14}, {2, 386, 8, 398}}));
}

TEST_F(SceneTest, BordersAndSelectorStateFollowStyleAndDrag)
{
    makeBar(400, 30, RBS_HORIZONTAL, 0, 100, 20, 30);
    rangebar::Scene scene = rangebar::buildScene(model, client, fakeMeasure);
    EXPECT_EQ(scene.borders, (std::vector<BarRect>{{0, 0, 400, 1}, {0, 29, 400, 30}}));
    EXPECT_EQ(scene.selector, (BarRect{80, 13, 120, 25}));
    EXPECT_EQ(scene.selectorState, SA_IDLE);
    model.press(118, 20);
    EXPECT_EQ(rangebar::buildScene(model, client, fakeMeasure).selectorState, SA_MAXEDGE);
    model.release();
    model.setStyle(RBS_HORIZONTAL | RBS_READONLY);
    EXPECT_EQ(rangebar::buildScene(model, client, fakeMeasure).selectorState, SA_OFF);

    makeBar(40, 400, 0, 0, 100, 20, 30);
    scene = rangebar::buildScene(model, client, fakeMeasure);
    EXPECT_EQ(scene.borders, (std::vector<BarRect>{{39, 0, 40, 400}, {0, 0, 1, 400}}));
}

TEST_F(SceneTest, RulerBoundsHoldTheBandAndEveryLabel)
{
    // Offset -100: the maximum's label "0.00" is narrower than "-100.00".
    makeBar(40, 400, RbsFormat(5), 0, 100, 0, 100);
    model.setFormatOffset(-100L);
    const RulerDrawing ruler = rangebar::windowRuler(model, client, fakeMeasure);
    const BarRect bounds = ruler.bounds();
    EXPECT_LT(bounds.left, ruler.band.left);
    for (const Primitive& p : ruler.items)
        EXPECT_EQ(rangebar::united(bounds, p.rect), bounds);
    EXPECT_EQ(rangebar::united(bounds, ruler.band), bounds);
}

}  // namespace
