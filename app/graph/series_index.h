// What the view knows of its series beyond the records, kept up to date as
// readings are added: the times side by side, the plotted kind's values in a
// tree of extremes and its non-zero values in another (for the automatic
// limits), the pauses, and whether the times run in order. Packed
// apart from the records, the times and values that a summary looks up at
// every column's edge lie four times closer together than in the records. Reads the series only up to
// its published count. A series that was cleared or read anew since (its
// first or last indexed record differs, or it holds fewer records) is
// indexed afresh.
#pragma once

#include "graph/extremes_tree.h"
#include "graph/gap_index.h"
#include "graph/graph_kind.h"

#include <kcmb.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace graph {

struct ValueLimits {
    long lowest;
    long highest;
};

class SeriesIndex {
public:
    // Indexes the records added since the last call; true when the index
    // started afresh (another series or kind, or a series refilled).
    bool catchUp(TermDataFile& series, GraphKind kind);
    void clear();

    long size() const { return values_.size(); }
    const v4TermData* records() const { return records_; }
    long time(long record) const { return times_[static_cast<std::size_t>(record)]; }
    // The record's value of the index's kind.
    long value(long record) const { return values_.at(record); }
    // The values of the index's kind: temperatures or quantum counts, as recorded.
    const ExtremesTree& values() const { return values_; }
    // The lowest and highest non-zero value of the records from the first at
    // or after `from` on while their time is at most `to`: the automatic
    // limits of a window from `from` to `to`. None without such a value.
    // O(log n) with the times in order, a walk of the times otherwise.
    std::optional<ValueLimits> nonZeroLimits(long from, long to) const;
    const GapIndex& gaps() const { return gaps_; }
    // Whether no record's time is below the one before it.
    bool timesInOrder() const { return inOrder_; }
    // The first record at or after `time` (size() when none), as TermDataFile::GetFirst.
    long firstAtOrAfter(long time) const;
    // The first record from `from` on whose time is above `time` (size() when
    // none); only for times in order.
    long firstAfter(long from, long time) const;

private:
    bool sameRecords(TermDataFile& series) const;

    TermDataFile* series_ = nullptr;
    const v4TermData* records_ = nullptr;
    GraphKind kind_ = GraphKind::Temperature;
    std::vector<std::int32_t> times_;
    ExtremesTree values_;
    ExtremesTree nonZero_;
    GapIndex gaps_;
    bool inOrder_ = true;
    v4TermData first_{};
    v4TermData last_{};
};

}  // namespace graph
