// The lowest and highest of any run of values appended one by one: a tree of
// minima and maxima over the values, so that a run of any length is answered
// in O(log n) and an appended value costs O(log n). The graph keeps one over
// the plotted values of its series, to summarise a pixel column without
// visiting its records.
#pragma once

#include <cstdint>
#include <vector>

namespace graph {

struct Extremes {
    long lowest;
    long highest;
};

class ExtremesTree {
public:
    void clear();
    void push(long value);
    // Appends a place that holds no value: runs over it give only their other values.
    void pushNone();
    long size() const { return size_; }
    // The value pushed `index`-th.
    long at(long index) const { return low_[static_cast<std::size_t>(leaves_ + index)]; }
    // The lowest and highest of the values at [begin, end); begin < end <= size().
    // Lowest above highest when the run holds no value.
    Extremes extremes(long begin, long end) const;

private:
    void grow();
    void pushLeaf(std::int32_t low, std::int32_t high);

    long size_ = 0;
    long leaves_ = 0;  // capacity: a power of two, the leaves at [leaves_, 2 * leaves_)
    std::vector<std::int32_t> low_;
    std::vector<std::int32_t> high_;
};

}  // namespace graph
