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
    values_.clear();
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
        values_.push(kind == GraphKind::Quantum ? r.quantum : r.temperature);
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
    const v4TermData* end = records_ + size();
    if (inOrder_)
        return std::lower_bound(records_, end, time, [](const v4TermData& r, long t) { return r.time < t; }) - records_;
    return std::find_if(records_, end, [time](const v4TermData& r) { return r.time >= time; }) - records_;
}

long SeriesIndex::firstAfter(long from, long time) const
{
    return std::upper_bound(records_ + from, records_ + size(), time,
                            [](long t, const v4TermData& r) { return t < r.time; }) -
           records_;
}

}  // namespace graph
