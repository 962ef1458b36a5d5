// The graph's rules without any widget: time texts, pixel mapping, pauses,
// column merging, the series walk, automatic limits, the owner's ranges, the
// time window following readings, the layout and the texts.
#include "graph/gap_detector.h"
#include "graph/graph_layout.h"
#include "graph/graph_rules.h"
#include "graph/graph_texts.h"
#include "graph/graph_time.h"
#include "graph/grid_lines.h"
#include "graph/pixel_map.h"
#include "graph/polyline_builder.h"
#include "graph/series_index.h"
#include "graph/series_walk.h"

#include "case_names.h"

#include <kcmb.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using testing_support::caseName;

namespace {

using graph::GraphKind;
using graph::Segment;

platform::SystemTime at(unsigned short year, unsigned short month, unsigned short day, unsigned short hour,
                        unsigned short minute, unsigned short second, unsigned short ms)
{
    return {year, month, 0, day, hour, minute, second, ms};
}

// --- time texts -------------------------------------------------------------

struct TimeCase {
    long ms;
    bool clock;
    bool withBegin;
    platform::SystemTime begin;
    const char* text;
};

void PrintTo(const TimeCase& c, std::ostream* out)
{
    *out << c.ms << " ms, clock " << c.clock << " -> " << c.text;
}

class FormatTimeTest : public ::testing::TestWithParam<TimeCase> {};

TEST_P(FormatTimeTest, GivesTheViewsText)
{
    const TimeCase& c = GetParam();
    EXPECT_EQ(graph::formatTime(c.ms, c.clock, c.withBegin ? &c.begin : nullptr), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatTimeTest,
    ::testing::Values(TimeCase{5020, false, false, {}, "05.020"}, TimeCase{-61000, false, false, {}, "-1:01.000"},
                      TimeCase{65004, false, false, {}, "1:05.004"}, TimeCase{0, false, false, {}, "00.000"},
                      TimeCase{3723004, false, false, {}, "1:2:03.004"},
                      // Clock time: begin + ms, "[hh:][mm:]ss.cc" without a sign.
                      TimeCase{2000, true, true, at(2024, 3, 7, 23, 59, 59, 0), "01.00"},
                      TimeCase{5120, true, true, at(2024, 3, 7, 10, 0, 0, 0), "10:00:05.12"},
                      TimeCase{0, true, true, at(2024, 3, 7, 0, 0, 7, 345), "07.34"},
                      TimeCase{-1000, true, true, at(2024, 3, 7, 10, 0, 0, 0), "09:59:59.00"},
                      TimeCase{60000, true, true, at(2024, 3, 7, 0, 0, 30, 0), "01:30.00"},
                      // Without a series the clock counts from midnight.
                      TimeCase{3723450, true, false, {}, "01:02:03.45"},
                      TimeCase{-1000, true, false, {}, "23:59:59.00"},
                      // A begin that is no calendar moment counts as no begin.
                      TimeCase{5000, true, true, at(2024, 13, 40, 10, 0, 0, 0), "05.00"}),
    [](const auto& info) { return caseName(info.param.clock ? "Clock" : "Elapsed", info.param.ms, info.param.text); });

TEST(ClockTime, CrossesMidnightIntoTheNextDay)
{
    const platform::SystemTime begin = at(2024, 2, 28, 23, 59, 59, 500);
    const graph::ClockTime t = graph::clockTimeAfter(&begin, 24L * 3600000 + 1000);
    EXPECT_EQ(t.year, 2024u);
    EXPECT_EQ(t.month, 3u);
    EXPECT_EQ(t.day, 1u);  // 2024 is a leap year: 29 February, then 1 March
    EXPECT_EQ(t.hour, 0u);
    EXPECT_EQ(t.minute, 0u);
    EXPECT_EQ(t.second, 0u);
    EXPECT_EQ(t.milliseconds, 500u);
}

// --- pixel mapping ----------------------------------------------------------

TEST(PixelMap, TruncatesTowardsZero)
{
    EXPECT_EQ(graph::timeToX(5000, 5000, 0.1), 0);
    EXPECT_EQ(graph::timeToX(5019, 5000, 0.1), 1);    // 1.9
    EXPECT_EQ(graph::timeToX(4991, 5000, 0.1), 0);    // -0.9
    EXPECT_EQ(graph::timeToX(4980, 5000, 0.1), -2);
    EXPECT_EQ(graph::valueToY(812, 800, 2.5, 200), 170);  // 200 - 30
    EXPECT_EQ(graph::valueToY(801, 800, 0.3, 200), 199);  // 199.7
    EXPECT_EQ(graph::valueToY(2000, 0, 50.0, 100), -99900) << "far above the view, not wrapped";
}

TEST(PixelMap, TheMouseMapsBackWithTwoPixelsOfSlack)
{
    EXPECT_EQ(graph::timeAtX(0, 0.1, 5000), 5020);
    EXPECT_EQ(graph::valueAtY(200, 200, 0.5, 100), 104);
    EXPECT_EQ(graph::valueAtY(0, 200, 0.1, -10), 2010);
}

TEST(PixelMap, HugeOrUndefinedPositionsStayInRange)
{
    EXPECT_EQ(graph::truncPixel(1e300), graph::truncPixel(1e12));
    EXPECT_LT(graph::truncPixel(-1e300), -2000000000);
    EXPECT_EQ(graph::truncPixel(std::nan("")), 0);
    EXPECT_GT(graph::timeAtX(10, 0.0, 0), 1000000000000L) << "a zero coefficient does not trap";
}

// --- pauses -----------------------------------------------------------------

TEST(GapDetector, APauseOfTenMeansRestartsAndTheNextIntervalSeedsTheMean)
{
    graph::GapDetector gaps;
    std::vector<long> times = {0, 1000, 2000, 3000, 18000, 19000, 20000, 21000};
    std::vector<bool> found;
    for (long t : times)
        found.push_back(gaps.next(t));
    EXPECT_EQ(found, (std::vector<bool>{false, false, false, false, true, false, false, false}));
}

TEST(GapDetector, AfterARestartTheFirstIntervalIsNeverAPause)
{
    graph::GapDetector gaps;
    for (long t : {0L, 100L, 200L})
        gaps.next(t);
    EXPECT_TRUE(gaps.next(5000));
    EXPECT_FALSE(gaps.next(60000)) << "only seeds the mean again";
    EXPECT_FALSE(gaps.next(61000)) << "1 s against a mean of 55 s";
    EXPECT_TRUE(gaps.next(61000 + 10 * 28000)) << "the mean is now (1000 + 55000) / 2";
}

TEST(GapDetector, AnIntervalJustBelowTenMeansIsNoPause)
{
    graph::GapDetector gaps;
    for (long t : {0L, 1000L, 2000L})
        gaps.next(t);
    EXPECT_FALSE(gaps.next(2000 + 9999));
}

// --- column merging ---------------------------------------------------------

std::vector<Segment> build(const std::vector<std::tuple<int, int, bool>>& points, bool finish = true)
{
    std::vector<Segment> out;
    graph::PolylineBuilder line(out);
    for (const auto& [x, y, lift] : points)
        line.add(x, y, lift);
    if (finish)
        line.finish();
    return out;
}

TEST(PolylineBuilder, PointsInOneColumnBecomeOneStrokeThenTheLineGoesOnFromTheLast)
{
    // Entering column 5 at y 100, then 95 ... 104, last 97; then column 6.
    const auto out = build({{4, 100, false}, {5, 100, false}, {5, 95, false}, {5, 104, false}, {5, 97, false},
                            {6, 90, false}});
    EXPECT_EQ(out, (std::vector<Segment>{{4, 100, 5, 100}, {5, 100, 5, 95}, {5, 95, 5, 104}, {5, 97, 6, 90}}));
}

TEST(PolylineBuilder, ALiftedPenStartsANewLineAtThePoint)
{
    const auto out = build({{0, 10, false}, {1, 11, false}, {8, 20, true}, {9, 21, false}});
    EXPECT_EQ(out, (std::vector<Segment>{{0, 10, 1, 11}, {8, 20, 9, 21}}));
}

TEST(PolylineBuilder, TheLastColumnsStrokeIsDrawnAtTheEnd)
{
    const auto open = build({{0, 10, false}, {1, 10, false}, {1, 5, false}, {1, 15, false}}, false);
    EXPECT_EQ(open, (std::vector<Segment>{{0, 10, 1, 10}}));
    const auto finished = build({{0, 10, false}, {1, 10, false}, {1, 5, false}, {1, 15, false}});
    EXPECT_EQ(finished, (std::vector<Segment>{{0, 10, 1, 10}, {1, 10, 1, 5}, {1, 5, 1, 15}}));
}

TEST(PolylineBuilder, AColumnsStrokeIsKeptWhenThePenIsLiftedAfterIt)
{
    const auto out = build({{1, 10, false}, {1, 30, false}, {1, 20, false}, {50, 40, true}});
    EXPECT_EQ(out, (std::vector<Segment>{{1, 10, 1, 30}}));
}

TEST(PolylineBuilder, ASinglePointDrawsNothing)
{
    EXPECT_TRUE(build({{3, 3, false}}).empty());
    EXPECT_TRUE(build({}).empty());
}

// --- the series walk --------------------------------------------------------

class SeriesWalkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        series = std::make_unique<TermDataFile>();
        series->SetMin(300);
        series->SetMax(1200);
    }

    // 1 px per 100 ms from 0, 1 px per unit from 800, 200 px high.
    graph::SeriesScale scale(long from = 0, long to = 100000) const
    {
        graph::SeriesScale s;
        s.walkFrom = from;
        s.timeMin = from;
        s.timeMax = to;
        s.timeCoeff = 0.01;
        s.valueMin = 800;
        s.valueCoeff = 1.0;
        s.height = 200;
        return s;
    }

    std::vector<Segment> segments(const graph::SeriesScale& s, GraphKind kind = GraphKind::Temperature,
                                  bool breakAtGaps = false)
    {
        std::vector<Segment> out;
        graph::buildSeriesSegments(*series, s, kind, breakAtGaps, out);
        return out;
    }

    std::unique_ptr<TermDataFile> series;
};

TEST_F(SeriesWalkTest, AnEmptySeriesDrawsNothing)
{
    EXPECT_TRUE(segments(scale()).empty());
}

TEST_F(SeriesWalkTest, OneSecondPointsWithAFifteenSecondPauseJoinOrBreak)
{
    // 0..4 s, then 19..22 s; 1 px per 100 ms, values 800 + k.
    long k = 0;
    for (long t : {0L, 1000L, 2000L, 3000L, 4000L, 19000L, 20000L, 21000L, 22000L})
        series->Add(t, 800 + k++, 95);
    const auto joined = segments(scale());
    ASSERT_EQ(joined.size(), 8u);
    EXPECT_EQ(joined[4], (Segment{40, 196, 190, 195})) << "joined across the pause";
    const auto broken = segments(scale(), GraphKind::Temperature, true);
    ASSERT_EQ(broken.size(), 7u);
    EXPECT_EQ(broken[3], (Segment{30, 197, 40, 196}));
    EXPECT_EQ(broken[4], (Segment{190, 195, 200, 194})) << "resumes at the point after the pause";
}

TEST_F(SeriesWalkTest, TenReadingsInOneColumnGiveOneStrokeThenTheLineGoesOn)
{
    series->Add(0, 900, 95);                 // x 0, y 100
    for (long i = 0; i < 10; ++i)            // x 5: values 100 ... 109 above 800
        series->Add(500 + i * 5, 900 + i, 95);
    series->Add(1000, 950, 95);              // x 10, y 50
    const auto out = segments(scale());
    EXPECT_EQ(out, (std::vector<Segment>{{0, 100, 5, 100}, {5, 100, 5, 91}, {5, 91, 5, 100}, {5, 91, 10, 50}}));
}

TEST_F(SeriesWalkTest, TemperaturesAreHeldInTheSeriesRangeQuantumCountsAreNot)
{
    series->Add(0, 1500, 95, 1500);
    series->Add(1000, 100, 95, 100);
    graph::SeriesScale s = scale();
    s.valueMin = 0;
    s.valueCoeff = 0.1;
    EXPECT_EQ(segments(s), (std::vector<Segment>{{0, 80, 10, 170}})) << "1200 and 300";
    EXPECT_EQ(segments(s, GraphKind::Quantum), (std::vector<Segment>{{0, 50, 10, 190}})) << "1500 and 100";
}

TEST_F(SeriesWalkTest, ASeriesWithoutARangePlotsItsTemperaturesUnchanged)
{
    series->SetMin(0);
    series->SetMax(0);
    series->Add(0, 850, 95);
    series->Add(1000, 860, 95);
    EXPECT_EQ(segments(scale()), (std::vector<Segment>{{0, 150, 10, 140}}));
}

TEST_F(SeriesWalkTest, TheWalkStartsInTheWindowAndEndsOnePointPastIt)
{
    for (long t = 0; t <= 10000; t += 1000)
        series->Add(t, 800, 95);
    const auto out = segments(scale(3000, 6000));  // x = (t - 3000) / 100
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.front().x1, 0);
    EXPECT_EQ(out.back().x2, 40) << "the point at 7000 ms, the first past the window, is still drawn";
}

TEST_F(SeriesWalkTest, AWalkFromPastTheLastRecordDrawsNothing)
{
    series->Add(0, 800, 95);
    series->Add(1000, 800, 95);
    EXPECT_TRUE(segments(scale(5000, 9000)).empty());
}

std::optional<graph::ValueLimits> limitsOf(TermDataFile& series, long from, long to, GraphKind kind)
{
    graph::SeriesIndex index;
    index.catchUp(series, kind);
    return index.nonZeroLimits(from, to);
}

TEST_F(SeriesWalkTest, AutoLimitsSkipZeroValuesAndStayInTheWindow)
{
    for (const auto& [t, v] : std::vector<std::pair<long, long>>{{0, 500}, {1000, 0}, {2000, 812}, {3000, 815},
                                                                 {4000, 809}, {5000, 900}})
        series->Add(t, v, 95, v * 10);
    const auto limits = limitsOf(*series, 1000, 4000, GraphKind::Temperature);
    ASSERT_TRUE(limits.has_value());
    EXPECT_EQ(limits->lowest, 809);
    EXPECT_EQ(limits->highest, 815);
    const auto counts = limitsOf(*series, 1000, 4000, GraphKind::Quantum);
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->lowest, 8090);
    EXPECT_EQ(counts->highest, 8150);
    EXPECT_FALSE(limitsOf(*series, 1000, 1500, GraphKind::Temperature).has_value())
        << "only a zero in the window";
}

TEST_F(SeriesWalkTest, AutoLimitsTakeANegativeValueAsAValue)
{
    series->Add(0, -1, 95);
    series->Add(1000, 5, 95);
    const auto limits = limitsOf(*series, 0, 1000, GraphKind::Temperature);
    ASSERT_TRUE(limits.has_value());
    EXPECT_EQ(limits->lowest, -1);
    EXPECT_EQ(limits->highest, 5);
}

// --- rulers from the owner's messages --------------------------------------

TEST(ValueRange, TenUnitsOfMarginOrTheDefaultRange)
{
    const auto check = [](long low, long high, long min, long max) {
        const graph::ValueRange r = graph::valueRangeFor(low, high);
        EXPECT_EQ(r.min, min) << low << ".." << high;
        EXPECT_EQ(r.max, max) << low << ".." << high;
    };
    check(0, 0, 0, 2000);
    check(300, 1200, 290, 1210);
    check(0, 65535, -10, 65545);
    check(0, 500, -10, 510);
}

struct FollowCase {
    long winMin, winMax, time;
    bool extends;
    graph::WindowFollow window;
    long moveBy;
};

class FollowTest : public ::testing::TestWithParam<FollowCase> {};

TEST_P(FollowTest, ReadingsMoveTheTimeWindowAlong)
{
    const FollowCase& c = GetParam();
    const graph::ReadingFollow f = graph::followReading(0, 11000, c.winMin, c.winMax, c.time);
    EXPECT_EQ(f.extendRange, c.extends);
    EXPECT_EQ(f.window, c.window);
    EXPECT_EQ(f.moveBy, c.moveBy);
}

INSTANTIATE_TEST_SUITE_P(Cases, FollowTest,
                         ::testing::Values(FollowCase{0, 11000, 12000, true, graph::WindowFollow::Extend, 0},
                                           FollowCase{5000, 11000, 12000, true, graph::WindowFollow::Move, 1000},
                                           FollowCase{2000, 8000, 12000, true, graph::WindowFollow::Stay, 0},
                                           FollowCase{0, 11000, 11000, false, graph::WindowFollow::Stay, 0},
                                           FollowCase{0, 11000, 500, false, graph::WindowFollow::Stay, 0}),
                         [](const auto& info) {
                             return caseName("Window", info.param.winMin, info.param.winMax, "At", info.param.time);
                         });

// --- layout, grid and texts -------------------------------------------------

TEST(GraphLayout, RulersBesideAndBelowTheViewTheCornerBetweenThem)
{
    const graph::GraphLayout l = graph::layoutGraph(300, 200, 20, 60, 33);
    EXPECT_EQ(l.temperatureRuler, (graph::Box{0, 0, 60, 147}));
    EXPECT_EQ(l.view, (graph::Box{60, 0, 240, 147}));
    EXPECT_EQ(l.timeRuler, (graph::Box{60, 147, 240, 33}));
    EXPECT_EQ(l.corner, (graph::Box{0, 147, 60, 33}));
    EXPECT_EQ(l.statusBar, (graph::Box{0, 180, 300, 20}));
    const graph::GraphLayout tiny = graph::layoutGraph(40, 30, 20, 60, 33);
    EXPECT_EQ(tiny.view.width, 0);
    EXPECT_EQ(tiny.view.height, 0);
}

TEST(GraphLayout, StatusPanesShareALineOnlyWhenEachKeepsItsWidth)
{
    const int widths[4] = {200, 200, 100, 300};
    const int all = 200 + 200 + 100 + 300 + 3 * 8;
    EXPECT_EQ(graph::paneLines(widths, all, 8), (std::vector<int>{4}));
    EXPECT_EQ(graph::paneLines(widths, all - 1, 8), (std::vector<int>{3, 1}));
    EXPECT_EQ(graph::paneLines(widths, 500, 8), (std::vector<int>{2, 2}));
    EXPECT_EQ(graph::paneLines(widths, 407, 8), (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(graph::paneLines(widths, 299, 8), (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(graph::paneLines(widths, 0, 8), (std::vector<int>{1, 1, 1, 1})) << "too narrow for any: one a line";
}

TEST(GraphRules, TheQuantumWindowGoesOntoTheCountsWithAMargin)
{
    EXPECT_FALSE(graph::windowMissesValues(0, 65535, 43900, 44100));
    EXPECT_TRUE(graph::windowMissesValues(0, 10, 43900, 44100));
    EXPECT_TRUE(graph::windowMissesValues(50000, 60000, 43900, 44100));
    EXPECT_FALSE(graph::windowMissesValues(44000, 50000, 43900, 44100)) << "a window on some of them stays";
    const graph::ValueRange around = graph::windowAround(43900, 44100);
    EXPECT_EQ(around.min, 43880);
    EXPECT_EQ(around.max, 44120);
    const graph::ValueRange one = graph::windowAround(44000, 44000);
    EXPECT_EQ(one.min, 43990) << "at least 10 either side";
    EXPECT_EQ(one.max, 44010);
}

TEST(GridLines, BigLinesEveryStepWithSmallOnesBetween)
{
    const graph::GridLines g = graph::gridLines(50.0, 2, 120);
    EXPECT_EQ(g.big, (std::vector<int>{0, 50, 100}));
    EXPECT_EQ(g.small, (std::vector<int>{25, 75}));
    const graph::GridLines fractional = graph::gridLines(83.5, 4, 200);
    EXPECT_EQ(fractional.big, (std::vector<int>{0, 83, 166}));
    EXPECT_EQ(fractional.small, (std::vector<int>{20, 40, 60, 103, 123, 143, 186}));
}

TEST(GridLines, AStepOfOnePixelOrLessDrawsNothingAHugeOneDrawsOnce)
{
    EXPECT_TRUE(graph::gridLines(1.9, 2, 100).big.empty());
    EXPECT_TRUE(graph::gridLines(std::nan(""), 2, 100).big.empty());
    const graph::GridLines huge = graph::gridLines(1e300, 8, 100);
    EXPECT_EQ(huge.big, (std::vector<int>{0}));
    EXPECT_TRUE(huge.small.empty());
}

TEST(GraphTexts, PanesCornerAndTooltipAsTheOperatorReadsThem)
{
    EXPECT_EQ(graph::valuePaneText(GraphKind::Temperature, 812), "Температура 812 °С");
    EXPECT_EQ(graph::valuePaneText(GraphKind::Quantum, 31000), "Квант 31000");
    EXPECT_EQ(graph::valuePaneText(GraphKind::Quantum, -8), "Квант -8") << "below zero with its sign";
    EXPECT_EQ(graph::timePaneText("05.020"), "Время 05.020");
    EXPECT_EQ(graph::valueRangePaneText(-10, 65545), "Min -10 °C - Max 65545 °C");
    EXPECT_EQ(graph::timeRangePaneText(-1000, 65004), "Время от начала опроса -01.000 - 1:05.004");
    EXPECT_EQ(graph::cornerText(GraphKind::Temperature, 812), "812 °C");
    EXPECT_EQ(graph::cornerText(GraphKind::Quantum, 31000), "Кв. 31000");
    const v4TermData record{1000, 812, 95, 31000};
    EXPECT_EQ(graph::tooltipText(GraphKind::Temperature, record, "01.000", 100.0),
              "Температура=812, Время=01.000, Степень черноты=0.95");
    EXPECT_EQ(graph::tooltipText(GraphKind::Quantum, record, "01.000", 100.0),
              "Квант=31000 (812 °C), Время=01.000, Степень черноты=0.95");
}

TEST(GraphTexts, TheTemperaturePaneHasTheCyrillicEsAfterTheDegreeSign)
{
    const std::string pane = graph::valuePaneText(GraphKind::Temperature, 0);
    EXPECT_EQ(pane.substr(pane.size() - 4), "\xC2\xB0\xD0\xA1");
    EXPECT_EQ(std::string(graph::paneSizingText(0)), "Температура 0000 \xC2\xB0\xD0\xA1 ");
    EXPECT_EQ(graph::cornerText(GraphKind::Temperature, 0), "0 \xC2\xB0" "C");
}

}  // namespace
