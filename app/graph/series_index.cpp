#include "graph/series_index.h"

#include <algorithm>
#include <cstring>

namespace graph {
namespace {

bool sameRecord(const v4TermData& a, const v4TermData& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

void SeriesIndex::clear()
{
    series_ = nullptr;
    records_ = nullptr;
    times_.clear();
    values_.clear();
    nonZero_.clear();
    gaps_.clear();
    inOrder_ = true;
}

bool SeriesIndex::sameRecords(TermDataFile& series) const
{
    if (&series != series_ || series.GetTermData() != records_)
        return false;
    const long count = series.GetCount();
    if (count < size())
        return false;
    return size() == 0 || (sameRecord(records_[0], first_) && sameRecord(records_[size() - 1], last_));
}

bool SeriesIndex::catchUp(TermDataFile& series, GraphKind kind)
{
    const bool afresh = kind != kind_ || !sameRecords(series);
    if (afresh) {
        clear();
        series_ = &series;
        records_ = series.GetTermData();
        kind_ = kind;
    }
    const long count = records_ != nullptr ? series.GetCount() : 0;
    for (long i = size(); i < count; ++i) {
        const v4TermData& r = records_[i];
        if (i > 0 && r.time < records_[i - 1].time)
            inOrder_ = false;
        times_.push_back(r.time);
        const long value = kind == GraphKind::Quantum ? r.quantum : r.temperature;
        values_.push(value);
        if (value != 0)
            nonZero_.push(value);
        else
            nonZero_.pushNone();
        gaps_.push(r.time);
    }
    if (size() > 0) {
        first_ = records_[0];
        last_ = records_[size() - 1];
    }
    return afresh;
}

long SeriesIndex::firstAtOrAfter(long time) const
{
    if (inOrder_)
        return std::lower_bound(times_.begin(), times_.end(), time) - times_.begin();
    return std::find_if(times_.begin(), times_.end(), [time](std::int32_t t) { return t >= time; }) - times_.begin();
}

long SeriesIndex::firstAfter(long from, long time) const
{
    return std::upper_bound(times_.begin() + from, times_.end(), time) - times_.begin();
}

std::optional<ValueLimits> SeriesIndex::nonZeroLimits(long from, long to) const
{
    const long begin = firstAtOrAfter(from);
    long end = begin;
    if (inOrder_)
        end = firstAfter(begin, to);
    else
        while (end < size() && time(end) <= to)
            ++end;
    if (begin >= end)
        return std::nullopt;
    const Extremes found = nonZero_.extremes(begin, end);
    if (found.lowest > found.highest)
        return std::nullopt;
    return ValueLimits{found.lowest, found.highest};
}

}  // namespace graph
