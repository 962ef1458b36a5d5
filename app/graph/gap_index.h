// The pauses of a series as the view's walk finds them, without walking the
// records before the ones it needs. The index keeps, for every record, the
// pause detector's state as a walk from the first record leaves it, and the
// records that walk finds after a pause. A walk that starts later (the time
// window's first record) judges its first points by a detector of its own,
// only until that detector would judge every later point as the index's
// does: from there on the index answers. With a regular series that takes a
// handful of records; after a pause both start afresh.
#pragma once

#include "graph/gap_detector.h"

#include <kcmb.h>

#include <vector>

namespace graph {

class GapIndex {
public:
    void clear();
    // The next record's time.
    void push(long time);
    long size() const { return static_cast<long>(after_.size()); }

private:
    friend class GapWalk;

    GapDetector detector_;
    std::vector<GapDetector> after_;  // the detector after each record
    std::vector<long> pauses_;        // records that follow a pause, in order
};

// The pauses of a walk from record `from`: the records after it that follow
// a pause, in order, among the records indexed so far. The index and the
// records must outlive the walk and keep the records it has seen.
class GapWalk {
public:
    GapWalk() = default;
    GapWalk(const GapIndex& index, const v4TermData* records, long from);

    // The next record after the last one given that follows a pause, or -1
    // when none of the records indexed so far does; asked again once more
    // records are indexed, it goes on from where it stopped.
    long next();

private:
    long nextIndexedPause();

    const GapIndex* index_ = nullptr;
    const v4TermData* records_ = nullptr;
    long position_ = -1;  // the last record judged
    GapDetector own_;
    bool joined_ = false;  // the index's judgement holds from position_ on
};

}  // namespace graph
