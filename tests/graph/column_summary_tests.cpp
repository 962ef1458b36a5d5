// The column summary against the record-by-record walk the view drew with
// before it: random series grown reading by reading (pauses, equal times,
// values beyond the range, times out of order), with the window rescaled,
// scrolled and the breaks at pauses switched between the readings. After
// every step the kept summary draws what the walk draws and holds what a
// summary built from scratch holds, and its index gives the automatic limits
// that a scan of the window's records gives. Its parts are checked the same way: the
// tree of extremes against a scan, the index of pauses against a detector
// started at the walk's first record.
#include "graph/column_summary.h"
#include "graph/extremes_tree.h"
#include "graph/gap_detector.h"
#include "graph/gap_index.h"
#include "graph/pixel_map.h"
#include "graph/polyline_builder.h"

#include <gtest/gtest.h>
// RapidCheck's GoogleTest glue expects GoogleTest to be there first.
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace graph {

std::ostream& operator<<(std::ostream& os, const Segment& s)
{
    return os << '(' << s.x1 << ',' << s.y1 << ")-(" << s.x2 << ',' << s.y2 << ')';
}

std::ostream& operator<<(std::ostream& os, const ColumnRun& r)
{
    return os << "{x " << r.x << ": " << r.firstY << ' ' << r.lowY << ' ' << r.highY << ' ' << r.lastY
              << (r.lift ? " lifted}" : "}");
}

}  // namespace graph

namespace {

using graph::ColumnSummary;
using graph::GraphKind;
using graph::Segment;
using graph::SeriesScale;

// Every record from the first at or after the window's start, each point
// given to the column merge in turn, up to the first record past the window.
std::vector<Segment> walkRecordByRecord(TermDataFile& series, const SeriesScale& scale, GraphKind kind,
                                        bool breakAtGaps)
{
    std::vector<Segment> out;
    const v4TermData* first = series.GetFirst(scale.walkFrom);
    if (first == nullptr)
        return out;
    const v4TermData* end = series.GetTermData() + series.GetCount();
    graph::PolylineBuilder line(out);
    graph::GapDetector gaps;
    for (const v4TermData* r = first; r != end; ++r) {
        const long recorded = kind == GraphKind::Quantum ? r->quantum : r->temperature;
        const long value = graph::plotValue(recorded, kind, series.GetMin(), series.GetMax());
        const bool gap = gaps.next(r->time);
        line.add(graph::timeToX(r->time, scale.timeMin, scale.timeCoeff),
                 graph::valueToY(value, scale.valueMin, scale.valueCoeff, scale.height), gap && breakAtGaps);
        if (r->time > scale.timeMax)
            break;
    }
    line.finish();
    return out;
}

// The lowest and highest non-zero value of the records from the first at or
// after `from` while their time is at most `to`, record by record.
std::optional<graph::ValueLimits> scanLimits(TermDataFile& series, long from, long to, GraphKind kind)
{
    std::optional<graph::ValueLimits> limits;
    const v4TermData* first = series.GetFirst(from);
    if (first == nullptr)
        return limits;
    const v4TermData* end = series.GetTermData() + series.GetCount();
    for (const v4TermData* r = first; r != end && r->time <= to; ++r) {
        const long value = kind == GraphKind::Quantum ? r->quantum : r->temperature;
        if (value == 0)
            continue;
        if (!limits)
            limits = graph::ValueLimits{value, value};
        limits->lowest = std::min(limits->lowest, value);
        limits->highest = std::max(limits->highest, value);
    }
    return limits;
}

bool sameLimits(const std::optional<graph::ValueLimits>& a, const std::optional<graph::ValueLimits>& b)
{
    if (!a || !b)
        return !a && !b;
    return a->lowest == b->lowest && a->highest == b->highest;
}

// What happens to the series or the view between two paints.
struct Step {
    enum Kind { Readings, Rescale, Scroll, ToggleBreaks, Refill, Range, Stretch } kind = Readings;
    std::vector<std::pair<int, int>> readings;  // interval before each and its temperature
    int from = 0;        // Rescale: the window's start, in thousandths of the series' length
    int span = 1;        // ms
    int width = 1;       // px
    int valueMin = 0;
    int valueSpan = 1;
    int height = 1;
    int scrollBy = 0;    // Scroll, Stretch: ms
};

std::ostream& operator<<(std::ostream& os, const Step& step)
{
    static const char* const names[] = {"readings", "rescale", "scroll", "breaks", "refill", "range", "stretch"};
    os << names[step.kind];
    if (step.kind == Step::Readings || step.kind == Step::Refill) {
        for (const auto& [interval, value] : step.readings)
            os << ' ' << interval << ':' << value;
    } else if (step.kind == Step::Rescale) {
        os << " from " << step.from << "/1000 span " << step.span << " width " << step.width << " values "
           << step.valueMin << '+' << step.valueSpan << " height " << step.height;
    } else if (step.kind == Step::Scroll || step.kind == Step::Stretch) {
        os << ' ' << step.scrollBy;
    }
    return os;
}

rc::Gen<int> interval(bool disorder)
{
    return rc::gen::weightedOneOf<int>({
        {12, rc::gen::element(100, 100, 100, 95, 105, 0, 1)},
        {4, rc::gen::inRange(0, 400)},
        {2, rc::gen::element(1500, 3000, 15000, 90000)},
        {disorder ? 2U : 0U, rc::gen::inRange(-3000, 0)},
    });
}

rc::Gen<Step> step(bool disorder)
{
    // Now and then a reading without a value (zero), which the automatic limits pass over.
    const auto value = rc::gen::weightedOneOf<int>({{9, rc::gen::inRange(200, 1300)}, {1, rc::gen::just(0)}});
    const auto readings =
        rc::gen::container<std::vector<std::pair<int, int>>>(rc::gen::pair(interval(disorder), value));
    return rc::gen::weightedOneOf<Step>({
        {8, rc::gen::map(readings, [](std::vector<std::pair<int, int>> r) {
             Step s;
             s.readings = std::move(r);
             return s;
         })},
        {3, rc::gen::map(rc::gen::tuple(rc::gen::inRange(-100, 1100), rc::gen::element(1, 50, 700, 5000, 60000, 400000),
                                        rc::gen::inRange(1, 1200), rc::gen::inRange(0, 1300), rc::gen::inRange(1, 1500),
                                        rc::gen::inRange(1, 500)),
                         [](std::tuple<int, int, int, int, int, int> t) {
                             Step s;
                             s.kind = Step::Rescale;
                             std::tie(s.from, s.span, s.width, s.valueMin, s.valueSpan, s.height) = t;
                             return s;
                         })},
        {3, rc::gen::map(rc::gen::inRange(-3000, 3000), [](int by) {
             Step s;
             s.kind = Step::Scroll;
             s.scrollBy = by;
             return s;
         })},
        {2, rc::gen::map(rc::gen::inRange(-3000, 3000), [](int by) {
             Step s;
             s.kind = Step::Stretch;
             s.scrollBy = by;
             return s;
         })},
        {1, rc::gen::just(Step{Step::ToggleBreaks, {}})},
        {1, rc::gen::map(readings, [](std::vector<std::pair<int, int>> r) {
             Step s;
             s.kind = Step::Refill;
             s.readings = std::move(r);
             return s;
         })},
        {1, rc::gen::just(Step{Step::Range, {}})},
    });
}

// A series and a view's summary of it, driven step by step.
class KeptSummary {
public:
    explicit KeptSummary(GraphKind kind) : kind_(kind), series_(std::make_unique<TermDataFile>())
    {
        setRange(300, 1200);
        scale_.timeMax = 10000;
        scale_.timeCoeff = 0.1;
        scale_.valueCoeff = 0.2;
        scale_.height = 200;
    }

    void apply(const Step& step)
    {
        switch (step.kind) {
        case Step::Readings:
            add(step.readings);
            break;
        case Step::Refill:
            series_->Clear();
            setRange(300, 1200);
            time_ = 0;
            add(step.readings);
            break;
        case Step::Rescale: {
            const long length = std::max(1L, time_);
            scale_.walkFrom = scale_.timeMin = length * step.from / 1000;
            scale_.timeMax = scale_.timeMin + step.span;
            scale_.timeCoeff = static_cast<double>(step.width) / step.span;
            scale_.valueMin = step.valueMin;
            scale_.valueCoeff = static_cast<double>(step.height) / step.valueSpan;
            scale_.height = step.height;
            break;
        }
        case Step::Scroll:
            scale_.walkFrom += step.scrollBy;
            scale_.timeMin += step.scrollBy;
            scale_.timeMax += step.scrollBy;
            break;
        case Step::Stretch:
            // The window's end alone moves: the records walked change, the pixels do not.
            scale_.timeMax += step.scrollBy;
            break;
        case Step::ToggleBreaks:
            breaks_ = !breaks_;
            break;
        case Step::Range:
            // The device's range becomes known, or is forgotten again.
            if (series_->GetMin() < series_->GetMax())
                setRange(0, 0);
            else
                setRange(600, 900);
            break;
        }
    }

    // The automatic limits are asked before the paint on every other step,
    // so that the index is caught up (or started afresh) by either.
    void check()
    {
        const bool limitsFirst = ++checks_ % 2 == 0;
        if (limitsFirst)
            checkLimits();
        kept_.update(*series_, scale_, kind_, breaks_);
        if (!limitsFirst)
            checkLimits();
        std::vector<Segment> drawn;
        kept_.segments(drawn);
        RC_ASSERT(drawn == walkRecordByRecord(*series_, scale_, kind_, breaks_));
        ColumnSummary fresh;
        fresh.update(*series_, scale_, kind_, breaks_);
        RC_ASSERT(kept_.runs() == fresh.runs());
    }

private:
    void checkLimits()
    {
        RC_ASSERT(sameLimits(kept_.valueLimits(*series_, kind_, scale_.timeMin, scale_.timeMax),
                             scanLimits(*series_, scale_.timeMin, scale_.timeMax, kind_)));
    }

    void setRange(long low, long high)
    {
        series_->SetMin(low);
        series_->SetMax(high);
    }

    void add(const std::vector<std::pair<int, int>>& readings)
    {
        for (const auto& [gap, value] : readings) {
            time_ = std::max(0L, time_ + gap);
            series_->Add(time_, value, 95, value == 0 ? 0 : 30000 + 7 * value);
        }
    }

    GraphKind kind_;
    std::unique_ptr<TermDataFile> series_;
    ColumnSummary kept_;
    SeriesScale scale_;
    bool breaks_ = true;
    long time_ = 0;
    long checks_ = 0;
};

void keepAlongside(bool disorder)
{
    const GraphKind kind = *rc::gen::element(GraphKind::Temperature, GraphKind::Quantum);
    const auto steps = *rc::gen::container<std::vector<Step>>(step(disorder));
    KeptSummary summary(kind);
    for (const Step& s : steps) {
        summary.apply(s);
        summary.check();
    }
}

RC_GTEST_PROP(ColumnSummary, KeptReadingByReadingItDrawsWhatTheWalkDrawsAtEveryScale, ())
{
    keepAlongside(false);
}

RC_GTEST_PROP(ColumnSummary, TimesOutOfOrderAreWalkedRecordByRecordAlike, ())
{
    keepAlongside(true);
}

TEST(ColumnSummary, ReadingsAtAnUnchangedScaleAreAddedWithoutARebuild)
{
    TermDataFile series;
    series.SetMin(300);
    series.SetMax(1200);
    SeriesScale scale;
    scale.timeMax = 100000;
    scale.timeCoeff = 0.01;
    scale.valueMin = 800;
    scale.height = 200;
    ColumnSummary summary;
    for (long i = 0; i < 500; ++i) {
        series.Add(i * 100, 800 + i % 7, 95);
        summary.update(series, scale, GraphKind::Temperature, true);
    }
    EXPECT_EQ(summary.rebuilds(), 1);
    EXPECT_EQ(summary.runs().size(), 500U);  // one column a second
    scale.timeCoeff = 0.02;
    summary.update(series, scale, GraphKind::Temperature, true);
    EXPECT_EQ(summary.rebuilds(), 2);
}

RC_GTEST_PROP(ExtremesTree, AnyRunGivesItsLowestAndHighestValue, (const std::vector<int>& values))
{
    RC_PRE(!values.empty());
    graph::ExtremesTree tree;
    for (int v : values)
        tree.push(v);
    const long n = static_cast<long>(values.size());
    const long begin = *rc::gen::inRange(0L, n);
    const long end = *rc::gen::inRange(begin + 1, n + 1);
    const auto [low, high] = std::minmax_element(values.begin() + begin, values.begin() + end);
    const graph::Extremes found = tree.extremes(begin, end);
    RC_ASSERT(found.lowest == *low);
    RC_ASSERT(found.highest == *high);
}

// A walk of the index from any record finds the pauses that a detector of
// its own finds from there, also when records are indexed between its steps.
RC_GTEST_PROP(GapIndex, AWalkFromAnyRecordFindsThePausesOfADetectorStartedThere, ())
{
    const auto intervals = *rc::gen::nonEmpty(rc::gen::container<std::vector<int>>(interval(false)));
    std::vector<v4TermData> records;
    long t = 0;
    for (int i : intervals) {
        t += i;
        records.push_back({static_cast<std::int32_t>(t), 0, 0, 0});
    }
    const long n = static_cast<long>(records.size());
    const long from = *rc::gen::inRange(0L, n);
    const long indexedFirst = *rc::gen::inRange(from + 1, n + 1);

    std::vector<long> expected;
    graph::GapDetector own;
    for (long i = from; i < n; ++i)
        if (own.next(records[i].time))
            expected.push_back(i);

    graph::GapIndex index;
    for (long i = 0; i < indexedFirst; ++i)
        index.push(records[i].time);
    graph::GapWalk walk(index, records.data(), from);
    std::vector<long> found;
    for (long pause = walk.next(); pause >= 0; pause = walk.next())
        found.push_back(pause);
    for (long i = indexedFirst; i < n; ++i) {
        index.push(records[i].time);
        for (long pause = walk.next(); pause >= 0; pause = walk.next())
            found.push_back(pause);
    }
    RC_ASSERT(found == expected);
}

}  // namespace
