#include "graph/column_summary.h"

#include "graph/pixel_map.h"

#include <algorithm>

namespace graph {

bool ColumnSummary::Key::operator==(const Key& o) const
{
    const SeriesScale& a = scale;
    const SeriesScale& b = o.scale;
    return a.walkFrom == b.walkFrom && a.timeMin == b.timeMin && a.timeMax == b.timeMax &&
           a.timeCoeff == b.timeCoeff && a.valueMin == b.valueMin && a.valueCoeff == b.valueCoeff &&
           a.height == b.height && kind == o.kind && breakAtGaps == o.breakAtGaps && rangeMin == o.rangeMin &&
           rangeMax == o.rangeMax;
}

void ColumnSummary::clear()
{
    index_.clear();
    built_ = false;
    runs_.clear();
}

void ColumnSummary::update(TermDataFile& series, const SeriesScale& scale, GraphKind kind, bool breakAtGaps)
{
    const Key key{scale, kind, breakAtGaps, series.GetMin(), series.GetMax()};
    const bool afresh = index_.catchUp(series, kind);
    if (afresh || !built_ || !(key == key_)) {
        key_ = key;
        rebuild();
        return;
    }
    extend();
}

int ColumnSummary::xOf(long record) const
{
    return timeToX(index_.records()[record].time, key_.scale.timeMin, key_.scale.timeCoeff);
}

// The record's value of the summary's kind, as recorded.
long ColumnSummary::recorded(long record) const
{
    const v4TermData& r = index_.records()[record];
    return key_.kind == GraphKind::Quantum ? r.quantum : r.temperature;
}

long ColumnSummary::plotted(long value) const
{
    return plotValue(value, key_.kind, key_.rangeMin, key_.rangeMax);
}

int ColumnSummary::yOf(long value) const
{
    return valueToY(plotted(value), key_.scale.valueMin, key_.scale.valueCoeff, key_.scale.height);
}

void ColumnSummary::rebuild()
{
    ++rebuilds_;
    built_ = true;
    runs_.clear();
    closed_ = false;
    pauses_ = GapWalk();
    nextPause_ = -1;
    start_ = -1;
    next_ = 0;
    const long size = index_.size();
    const long first = index_.firstAtOrAfter(key_.scale.walkFrom);
    if (first >= size) {
        next_ = size;
        return;
    }
    start_ = first;
    next_ = first;
    if (key_.breakAtGaps)
        pauses_ = GapWalk(index_.gaps(), index_.records(), first);
    // Columns in time order need times in order and a time axis that does not run backwards;
    // any other series is walked record by record, as the view always did.
    if (!index_.timesInOrder() || key_.scale.timeCoeff < 0) {
        extend();
        return;
    }
    long end = index_.firstAfter(first, key_.scale.timeMax);
    if (end < size) {
        ++end;  // the line reaches on to the first record beyond the window
        closed_ = true;
    }
    buildColumns(end);
    next_ = end;
}

// The columns of the records from start_ to `end`, each found by a galloping
// search for its last record and summarised by the tree of extremes.
void ColumnSummary::buildColumns(long end)
{
    if (key_.breakAtGaps)
        nextPause_ = pauses_.next();
    long i = start_;
    while (i < end) {
        const int x = xOf(i);
        long inside = i;  // a record known to lie in column x
        long beyond = i + 1;
        for (long step = 1; beyond < end && xOf(beyond) == x; step *= 2) {
            inside = beyond;
            beyond = std::min(end, inside + step);
        }
        while (beyond - inside > 1) {
            const long middle = inside + (beyond - inside) / 2;
            (xOf(middle) == x ? inside : beyond) = middle;
        }
        long begin = i;
        bool lift = false;
        while (nextPause_ >= 0 && nextPause_ < beyond) {
            if (nextPause_ > begin)
                addRun(begin, nextPause_, lift);
            begin = nextPause_;
            lift = true;
            nextPause_ = pauses_.next();
        }
        addRun(begin, beyond, lift);
        i = beyond;
    }
}

void ColumnSummary::addRun(long begin, long end, bool lift)
{
    const Extremes extremes = index_.values().extremes(begin, end);
    const int a = yOf(extremes.lowest);
    const int b = yOf(extremes.highest);
    runs_.push_back({xOf(begin), yOf(recorded(begin)), std::min(a, b), std::max(a, b), yOf(recorded(end - 1)), lift});
}

bool ColumnSummary::isPause(long record)
{
    if (nextPause_ < 0)
        nextPause_ = pauses_.next();
    if (nextPause_ != record)
        return false;
    nextPause_ = -1;
    return true;
}

void ColumnSummary::extend()
{
    const long size = index_.size();
    if (start_ < 0) {
        const v4TermData* records = index_.records();
        while (next_ < size && records[next_].time < key_.scale.walkFrom)
            ++next_;
        if (next_ == size)
            return;
        start_ = next_;
        if (key_.breakAtGaps)
            pauses_ = GapWalk(index_.gaps(), records, start_);
    }
    while (!closed_ && next_ < size)
        append(next_++);
}

// One record of the walk, as PolylineBuilder::add takes its point.
void ColumnSummary::append(long record)
{
    const int x = xOf(record);
    const int y = yOf(recorded(record));
    const bool lift = key_.breakAtGaps && record != start_ && isPause(record);
    if (runs_.empty() || lift || x != runs_.back().x) {
        runs_.push_back({x, y, y, y, y, lift});
    } else {
        ColumnRun& run = runs_.back();
        run.lowY = std::min(run.lowY, y);
        run.highY = std::max(run.highY, y);
        run.lastY = y;
    }
    if (index_.records()[record].time > key_.scale.timeMax)
        closed_ = true;
}

void ColumnSummary::segments(std::vector<Segment>& out) const
{
    PolylineBuilder line(out);
    for (const ColumnRun& run : runs_) {
        line.add(run.x, run.firstY, run.lift);
        line.add(run.x, run.lowY, false);
        line.add(run.x, run.highY, false);
        line.add(run.x, run.lastY, false);
    }
    line.finish();
}

}  // namespace graph
