#include "graph/gap_index.h"

#include <algorithm>

namespace graph {

void GapIndex::clear()
{
    detector_ = GapDetector();
    after_.clear();
    pauses_.clear();
}

void GapIndex::push(long time)
{
    if (detector_.next(time))
        pauses_.push_back(size());
    after_.push_back(detector_);
}

GapWalk::GapWalk(const GapIndex& index, const v4TermData* records, long from)
    : index_(&index), records_(records), position_(from)
{
    // The first point never follows a pause.
    own_.next(records[from].time);
    joined_ = own_.sameFutureAs(index.after_[static_cast<std::size_t>(from)]);
}

long GapWalk::nextIndexedPause()
{
    const std::vector<long>& pauses = index_->pauses_;
    const auto found = std::upper_bound(pauses.begin(), pauses.end(), position_);
    if (found == pauses.end()) {
        position_ = std::max(position_, index_->size() - 1);
        return -1;
    }
    position_ = *found;
    return position_;
}

long GapWalk::next()
{
    if (index_ == nullptr)
        return -1;
    while (!joined_ && position_ + 1 < index_->size()) {
        ++position_;
        const bool pause = own_.next(records_[position_].time);
        joined_ = own_.sameFutureAs(index_->after_[static_cast<std::size_t>(position_)]);
        if (pause)
            return position_;
    }
    return joined_ ? nextIndexedPause() : -1;
}

}  // namespace graph
