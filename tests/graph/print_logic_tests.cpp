// The printed page and the text export without painting: the page's frame,
// the grid's steps and labelled lines, the series on paper, the header
// texts, the snapshot a job prints from, and the export's lines and file.
#include "graph/print_header.h"
#include "graph/print_layout.h"
#include "graph/print_snapshot.h"
#include "graph/series_export.h"

#include "case_names.h"
#include "test_support.h"

#include <kcmb.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using testing_support::caseName;

namespace {

using graph::GraphKind;
using graph::Segment;

// --- frame and grid ---------------------------------------------------------

TEST(PageFrame, TenMillimetreMarginsRoomForLabelsAndTheHeader)
{
    const graph::PageFrame f = graph::pageFrame(2100, 2970, 60, 32, 40);
    EXPECT_EQ(f.left, 100);
    EXPECT_EQ(f.top, -100);
    EXPECT_EQ(f.right, 2000);
    EXPECT_EQ(f.bottom, -2870);
    EXPECT_EQ(f.plotLeft, 160);
    EXPECT_EQ(f.plotRight, 2000);
    EXPECT_EQ(f.plotBottom, -2838);
    EXPECT_EQ(f.plotTop, -244) << "3.6 header lines below the top margin";
    EXPECT_EQ(graph::secondHeaderLineY(40), -152);
}

struct StepCase {
    double scale;
    double value;
    int length, smallLines, spacing;
};

void PrintTo(const StepCase& c, std::ostream* out)
{
    *out << c.scale << " per unit";
}

class PrintStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(PrintStepTest, IsTheFirstStepOfTwentyMillimetresOrMore)
{
    const StepCase& c = GetParam();
    const std::optional<graph::PrintStep> step = graph::printStep(c.scale);
    ASSERT_TRUE(step.has_value());
    EXPECT_DOUBLE_EQ(step->value, c.value);
    EXPECT_EQ(step->length, c.length);
    EXPECT_EQ(step->smallLines, c.smallLines);
    EXPECT_EQ(step->spacing, c.spacing);
}

INSTANTIATE_TEST_SUITE_P(Cases, PrintStepTest,
                         ::testing::Values(StepCase{0.05, 5000, 250, 4, 62},  // 1000 units over 20 000 ms
                                           StepCase{2.0, 100, 200, 4, 50},
                                           StepCase{0.79, 500, 395, 4, 98},
                                           StepCase{300.0, 1, 300, 4, 75},
                                           StepCase{1e9, 0.000001, 1000, 8, 125},
                                           StepCase{0.0019, 200000, 380, 4, 95}),
                         [](const auto& info) {
                             return caseName("Scale", info.param.scale, "Value", info.param.value);
                         });

TEST(PrintStep, AnEmptyOrUnusableScaleHasNoStep)
{
    EXPECT_FALSE(graph::printStep(0.0).has_value());
    EXPECT_FALSE(graph::printStep(-1.0).has_value());
    EXPECT_FALSE(graph::printStep(1.0 / 0.0).has_value());
}

TEST(AxisLines, TimeLinesStartAtTheWindowAndAlwaysIncludeTheFirst)
{
    const graph::PrintStep step = *graph::printStep(0.05);  // 250 units, 5000 ms
    const auto lines = graph::timeAxisLines(step, 0.05, 1000, 2000);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].offset, 0);
    EXPECT_EQ(lines[0].value, 2000);
    EXPECT_EQ(lines[3].offset, 750);
    EXPECT_EQ(lines[3].value, 17000);
    EXPECT_EQ(graph::timeAxisLines(step, 0.05, 1, 0).size(), 1u);
    EXPECT_TRUE(graph::timeAxisLines(step, 0.05, 0, 0).empty()) << "no plot, no time axis";
}

TEST(AxisLines, AValueLineReadsOneMoreWhenItsDroppedFractionIsNineThousandthsOrMore)
{
    // 3 units per degree: the step is 100 degrees, 300 units.
    const graph::PrintStep step = *graph::printStep(3.0);
    const auto lines = graph::valueAxisLines(step, 3.0, 1000, 290);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].value, 390);
    // A scale that leaves fractions: 300 / 2.9999 = 100.0033...
    const auto fractional = graph::valueAxisLines(step, 2.9999, 1000, 290);
    EXPECT_EQ(fractional[1].value, 390) << "0.0033 is dropped";
    const auto raised = graph::valueAxisLines(step, 2.997, 1000, 290);
    EXPECT_EQ(raised[1].value, 391) << "100.1 keeps its fraction of 0.1 and reads one more";
}

// --- the series on paper ----------------------------------------------------

class PaperSeriesTest : public ::testing::Test {
protected:
    graph::PlotScale scale() const
    {
        graph::PlotScale s;
        s.timeFrom = 0;
        s.timeTo = 20000;
        s.timeScale = 0.1;  // 1 unit per 10 ms
        s.valueFrom = 800;
        s.valueScale = 10;
        s.plotLeft = 100;
        s.plotBottom = -2000;
        return s;
    }

    std::vector<v4TermData> records;
};

TEST_F(PaperSeriesTest, ValuesBelowTheWindowLieOnItsEdgeAndTheWalkEndsAtItsEnd)
{
    records = {{0, 810, 95, 0}, {1000, 790, 95, 0}, {2000, 830, 95, 0}, {25000, 900, 95, 0}};
    EXPECT_EQ(graph::printSeriesSegments(records, scale(), false),
              (std::vector<Segment>{{100, -1900, 200, -2000}, {200, -2000, 300, -1700}}));
}

TEST_F(PaperSeriesTest, APauseBreaksTheLineOrIsJoinedAsOnTheScreen)
{
    records = {{0, 800, 95, 0}, {1000, 800, 95, 0}, {2000, 800, 95, 0}, {15000, 810, 95, 0}, {16000, 810, 95, 0}};
    const auto joined = graph::printSeriesSegments(records, scale(), false);
    ASSERT_EQ(joined.size(), 4u);
    EXPECT_EQ(joined[2], (Segment{300, -2000, 1600, -1900})) << "the reading after the pause is drawn";
    EXPECT_EQ(joined[3], (Segment{1600, -1900, 1700, -1900}));
    const auto broken = graph::printSeriesSegments(records, scale(), true);
    EXPECT_EQ(broken, (std::vector<Segment>{{100, -2000, 200, -2000}, {200, -2000, 300, -2000},
                                            {1600, -1900, 1700, -1900}}));
}

TEST_F(PaperSeriesTest, EveryReadingIsDrawnWithoutColumnMerging)
{
    for (long i = 0; i < 5; ++i)
        records.push_back({static_cast<std::int32_t>(i), static_cast<std::int32_t>(800 + i), 95, 0});
    EXPECT_EQ(graph::printSeriesSegments(records, scale(), false).size(), 4u) << "all in one 0.1 mm column";
}

TEST_F(PaperSeriesTest, AWindowEndingExactlyAtAReadingDrawsThatReading)
{
    records = {{0, 800, 95, 0}, {1000, 810, 95, 0}, {2000, 820, 95, 0}};
    graph::PlotScale s = scale();
    s.timeTo = 2000;
    EXPECT_EQ(graph::printSeriesSegments(records, s, false),
              (std::vector<Segment>{{100, -2000, 200, -1900}, {200, -1900, 300, -1800}}));
}

// --- header -----------------------------------------------------------------

graph::ClockTime clock(unsigned day, unsigned month, unsigned year, unsigned h, unsigned m, unsigned s, unsigned ms)
{
    graph::ClockTime c;
    c.day = day;
    c.month = month;
    c.year = year;
    c.hour = h;
    c.minute = m;
    c.second = s;
    c.milliseconds = ms;
    return c;
}

TEST(PrintHeader, TheSpanShowsOneDateWithinADayAndBothAcrossMidnight)
{
    EXPECT_EQ(graph::spanText(clock(7, 3, 2024, 9, 5, 3, 250), clock(7, 3, 2024, 9, 12, 0, 0)),
              "7.3.2024 9:5:3.250 - 9:12:0.000,  ");
    EXPECT_EQ(graph::spanText(clock(7, 3, 2024, 23, 50, 0, 0), clock(8, 3, 2024, 0, 10, 0, 5)),
              "7.3.2024 23:50:0.000 - 8.3.2024 0:10:0.005,  ");
}

TEST(PrintHeader, EmissivityOfOneValueOrARangeAndARatioDevicesWords)
{
    EXPECT_EQ(graph::emissivityText({95, 95}, 100.0), "Степень черноты  0.95");
    EXPECT_EQ(graph::emissivityText({950, 970}, 100.0), "Степень черноты изменялась в пределах  0.95...0.97");
    EXPECT_EQ(graph::emissivityText({950, 970}, 1000.0), "Степень черноты изменялась в пределах  0.95...0.97");
    EXPECT_EQ(graph::emissivityText({100, 100}, 100.0), "Степень черноты  1.00") << "1.0 is not above 1";
}

TEST(PrintHeader, EmissivityLeavesOutRecordsWithAZeroAndStopsAfterTheWindow)
{
    const std::vector<v4TermData> records = {{0, 800, 50, 0},    {1000, 0, 60, 0},   {2000, 800, 0, 0},
                                             {3000, 800, 95, 0}, {4000, 800, 97, 0}, {9000, 800, 20, 0}};
    const auto range = graph::emissivityRange(records, 5000);
    ASSERT_TRUE(range.has_value());
    EXPECT_EQ(range->lowest, 95);
    EXPECT_EQ(range->highest, 97);
    EXPECT_FALSE(graph::emissivityRange({{0, 800, 95, 0}}, 5000).has_value()) << "time 0 does not count";
}

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const platform::SystemTime begin{2024, 3, 0, 7, 9, 5, 0, 0};
        series.SetBeginTime(&begin);
        v2DeviceInfo device;
        std::memset(&device, 0, sizeof device);
        device.type = 3;
        std::memcpy(device.serial, "01234", 5);  // five characters, no terminator
        device.tempMin = 300;
        device.tempMax = 1200;
        series.SetDeviceInfo(&device);
    }

    TermDataFile series;
};

TEST_F(SnapshotTest, HoldsTheWindowAndTheFirstRecordAfterIt)
{
    for (long t = 0; t <= 10000; t += 1000)
        series.Add(t, 800, 95);
    const graph::PrintSnapshot s = graph::snapshotForPrint(&series, 2500, 5000);
    ASSERT_EQ(s.records.size(), 4u);
    EXPECT_EQ(s.records.front().time, 3000);
    EXPECT_EQ(s.records.back().time, 6000);
    EXPECT_EQ(s.firstTime, 0);
    EXPECT_EQ(s.lastTime, 10000);
    EXPECT_EQ(s.rangeMax, 1200);
    EXPECT_EQ(graph::snapshotForPrint(&series, 9500, 20000).records.size(), 1u) << "the walk runs out";
}

TEST_F(SnapshotTest, AWindowEndingExactlyAtAReadingHoldsIt)
{
    for (long t = 0; t <= 4000; t += 1000)
        series.Add(t, 800, 95);
    const graph::PrintSnapshot s = graph::snapshotForPrint(&series, 1000, 4000);
    ASSERT_FALSE(s.records.empty());
    EXPECT_EQ(s.records.front().time, 1000);
    EXPECT_EQ(s.records.back().time, 4000) << "the last reading, at the window's end";
}

TEST_F(SnapshotTest, TheHeaderNamesTheDeviceAndTheSpanOfThePrintedReadings)
{
    series.Add(3250, 800, 95);
    series.Add(60000, 810, 95);
    series.Add(420000, 820, 97);
    series.Add(500000, 830, 99);
    const graph::PrintSnapshot s = graph::snapshotForPrint(&series, 0, 420000);
    EXPECT_EQ(graph::deviceHeaderLine(s),
              std::string(getDeviceName(3)) + "  Зав. № 01234,  Температурный  диапазон   300...1200 °C");
    EXPECT_EQ(graph::secondHeaderLine(s, 420000),
              "7.3.2024 9:5:3.250 - 9:13:20.000,  Степень черноты изменялась в пределах  0.95...0.97")
        << "ends at the first record after the window";
}

TEST_F(SnapshotTest, AWindowWithoutRecordsSpansTheWholeSeriesWithoutEmissivity)
{
    series.Add(3250, 800, 95);
    series.Add(60000, 810, 95);
    const graph::PrintSnapshot s = graph::snapshotForPrint(&series, 100000, 200000);
    EXPECT_TRUE(s.records.empty());
    EXPECT_EQ(graph::secondHeaderLine(s, 200000), "7.3.2024 9:5:3.250 - 9:6:0.000,  ");
    EXPECT_EQ(graph::secondHeaderLine(graph::snapshotForPrint(nullptr, 0, 1), 1), "");
    TermDataFile empty;
    EXPECT_EQ(graph::secondHeaderLine(graph::snapshotForPrint(&empty, 0, 1), 1), "");
}

// --- export -----------------------------------------------------------------

TEST(ExportLine, ClockTimeTemperatureCountAndEmissivityWithCrLf)
{
    const v4TermData record{2500, 812, 95, 31000};
    EXPECT_EQ(graph::exportLine(GraphKind::Temperature, record, clock(7, 3, 2024, 10, 15, 2, 500), 100.0),
              "10:15:02.500 812 0.95\r\n");
    EXPECT_EQ(graph::exportLine(GraphKind::Quantum, record, clock(7, 3, 2024, 10, 15, 2, 500), 100.0),
              "10:15:02.500 812 31000 0.95\r\n");
    EXPECT_EQ(graph::exportLine(GraphKind::Temperature, record, clock(7, 3, 2024, 0, 0, 7, 5), 1000.0),
              "00:00:07.005 812 0.10\r\n")
        << "hour 0 written as 00";
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(SaveSeriesText, WritesEveryRecordWithItsClockTime)
{
    testing_support::TempDir dir;
    TermDataFile series;
    const platform::SystemTime begin{2024, 3, 0, 7, 23, 59, 59, 0};
    series.SetBeginTime(&begin);
    series.Add(500, 812, 95, 31000);
    series.Add(1500, 815, 97, 31100);
    ASSERT_EQ(graph::saveSeriesText(dir.file("a.log"), &series, GraphKind::Temperature), graph::TextExport::Written);
    EXPECT_EQ(fileText(dir.file("a.log")), "23:59:59.500 812 0.95\r\n00:00:00.500 815 0.97\r\n");
    ASSERT_EQ(graph::saveSeriesText(dir.file("a.log"), &series, GraphKind::Quantum), graph::TextExport::Written);
    EXPECT_EQ(fileText(dir.file("a.log")), "23:59:59.500 812 31000 0.95\r\n00:00:00.500 815 31100 0.97\r\n")
        << "an old file is replaced";
}

TEST(SaveSeriesText, AnEmptySeriesLeavesAnEmptyFileAnUnwritablePathFails)
{
    testing_support::TempDir dir;
    TermDataFile series;
    {
        std::ofstream old(dir.file("b.log"));
        old << "old content";
    }
    ASSERT_EQ(graph::saveSeriesText(dir.file("b.log"), &series, GraphKind::Temperature), graph::TextExport::Written);
    EXPECT_EQ(fileText(dir.file("b.log")), "");
    EXPECT_EQ(graph::saveSeriesText(dir.file("missing/b.log"), &series, GraphKind::Temperature),
              graph::TextExport::NotCreated);
    EXPECT_EQ(graph::saveSeriesText(dir.path(), &series, GraphKind::Temperature), graph::TextExport::NotCreated)
        << "a folder";
}

TEST(SaveSeriesText, AFullSeriesIsWrittenWhole)
{
    testing_support::TempDir dir;
    auto series = std::make_unique<TermDataFile>();
    const platform::SystemTime midnight{2024, 3, 0, 7, 0, 0, 0, 0};
    series->SetBeginTime(&midnight);
    for (long i = 0; i < TermDataFile::kMaxCount; ++i)
        series->Add(i * 100, 800 + i % 7, 95);
    ASSERT_EQ(graph::saveSeriesText(dir.file("c.log"), series.get(), GraphKind::Temperature), graph::TextExport::Written);
    const std::string text = fileText(dir.file("c.log"));
    EXPECT_EQ(static_cast<long>(std::count(text.begin(), text.end(), '\n')), TermDataFile::kMaxCount);
    EXPECT_EQ(text.substr(text.size() - 24), "\n03:33:19.800 803 0.95\r\n") << "record 127,998 at 12,799,800 ms";
}

}  // namespace
