#include "graph/column_summary.h"

#include "graph/pixel_map.h"

#include <algorithm>
#include <cstdlib>

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

namespace {

// How many records a column may gain or lose at each end and still take its
// extremes from a column of the build before.
constexpr long kNearRecords = 4;

}  // namespace

void ColumnSummary::clear()
{
    index_.clear();
    built_ = false;
    runs_.clear();
    builtRuns_.clear();
    before_.clear();
}

void ColumnSummary::update(TermDataFile& series, const SeriesScale& scale, GraphKind kind, bool breakAtGaps)
{
    const Key key{scale, kind, breakAtGaps, series.GetMin(), series.GetMax()};
    const bool afresh = index_.catchUp(series, kind);
    if (afresh || !built_ || !(key == key_)) {
        key_ = key;
        rebuild(afresh);
        return;
    }
    extend();
}

std::optional<ValueLimits> ColumnSummary::valueLimits(TermDataFile& series, GraphKind kind, long from, long to)
{
    // An index started afresh here holds other records than the columns drawn
    // from it: the next paint builds them anew, without the last build's help.
    if (index_.catchUp(series, kind)) {
        built_ = false;
        builtRuns_.clear();
    }
    return index_.nonZeroLimits(from, to);
}

int ColumnSummary::xOf(long record) const
{
    return timeToX(index_.time(record), key_.scale.timeMin, key_.scale.timeCoeff);
}

// The record's value of the summary's kind, as recorded.
long ColumnSummary::recorded(long record) const
{
    return index_.value(record);
}

long ColumnSummary::plotted(long value) const
{
    return plotValue(value, key_.kind, key_.rangeMin, key_.rangeMax);
}

int ColumnSummary::yOf(long value) const
{
    return valueToY(plotted(value), key_.scale.valueMin, key_.scale.valueCoeff, key_.scale.height);
}

void ColumnSummary::rebuild(bool afresh)
{
    ++rebuilds_;
    built_ = true;
    runs_.clear();
    // Other records at the same places (a series refilled, another kind) leave nothing to go by.
    before_.swap(builtRuns_);
    if (afresh)
        before_.clear();
    builtRuns_.clear();
    nextBefore_ = 0;
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

// The columns of the records from start_ to `end`, each found by a search
// for its last record and summarised by the tree of extremes.
void ColumnSummary::buildColumns(long end)
{
    if (key_.breakAtGaps)
        nextPause_ = pauses_.next();
    long i = start_;
    while (i < end) {
        const long beyond = columnEnd(i, end, xOf(i));
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

// The first record after `first` (and before `end`) outside column `x`, or
// `end`: a galloping search from the guess, to either side of it.
long ColumnSummary::columnEnd(long first, long end, int x)
{
    const long guess = guessedEnd(first, end);
    long inside = first;  // a record known to lie in column x
    long beyond = end;    // a record known to lie beyond it, or the end
    if (guess < end && xOf(guess) == x) {
        inside = guess;
        for (long step = 1; inside + step < end; step *= 2) {
            if (xOf(inside + step) != x) {
                beyond = inside + step;
                break;
            }
            inside += step;
        }
    } else {
        beyond = guess;
        for (long step = 1; beyond - step > first; step *= 2) {
            if (xOf(beyond - step) == x) {
                inside = beyond - step;
                break;
            }
            beyond -= step;
        }
    }
    while (beyond - inside > 1) {
        const long middle = inside + (beyond - inside) / 2;
        (xOf(middle) == x ? inside : beyond) = middle;
    }
    return beyond;
}

// Where the column beginning at `first` probably ends: where the build
// before ended one after it, or else right after it.
long ColumnSummary::guessedEnd(long first, long end)
{
    while (nextBefore_ < before_.size() && before_[nextBefore_].end <= first)
        ++nextBefore_;
    const long guess = nextBefore_ < before_.size() ? before_[nextBefore_].end : first + 1;
    return std::clamp(guess, first + 1, end);
}

// The extremes of the records [begin, end): those of a run of the build
// before with nearly the same records, corrected by the few records gained
// or lost at its ends, or else the tree's.
Extremes ColumnSummary::extremesOf(long begin, long end)
{
    while (nextBefore_ < before_.size() && before_[nextBefore_].end <= begin)
        ++nextBefore_;
    if (nextBefore_ < before_.size()) {
        const RunRecords& near = before_[nextBefore_];
        if (std::abs(near.begin - begin) <= kNearRecords && std::abs(near.end - end) <= kNearRecords &&
            std::max(near.begin, begin) < std::min(near.end, end)) {
            Extremes extremes = near.extremes;
            bool lostAnExtreme = false;
            const auto lose = [&](long from, long to) {
                for (long r = from; r < to; ++r) {
                    const long value = recorded(r);
                    lostAnExtreme = lostAnExtreme || value == extremes.lowest || value == extremes.highest;
                }
            };
            const auto gain = [&](long from, long to) {
                for (long r = from; r < to; ++r) {
                    extremes.lowest = std::min(extremes.lowest, recorded(r));
                    extremes.highest = std::max(extremes.highest, recorded(r));
                }
            };
            lose(near.begin, begin);
            lose(end, near.end);
            if (!lostAnExtreme) {
                gain(begin, near.begin);
                gain(near.end, end);
                return extremes;
            }
        }
    }
    return index_.values().extremes(begin, end);
}

void ColumnSummary::addRun(long begin, long end, bool lift)
{
    const Extremes extremes = extremesOf(begin, end);
    builtRuns_.push_back({begin, end, extremes});
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
        while (next_ < size && index_.time(next_) < key_.scale.walkFrom)
            ++next_;
        if (next_ == size)
            return;
        start_ = next_;
        if (key_.breakAtGaps)
            pauses_ = GapWalk(index_.gaps(), index_.records(), start_);
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
    if (index_.time(record) > key_.scale.timeMax)
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
