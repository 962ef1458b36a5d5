#include "graph/extremes_tree.h"

#include <algorithm>
#include <limits>

namespace graph {
namespace {

// Records hold 32-bit values; an empty leaf is neutral to both minimum and maximum.
constexpr std::int32_t kNoLow = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kNoHigh = std::numeric_limits<std::int32_t>::min();

}  // namespace

void ExtremesTree::clear()
{
    size_ = 0;
    leaves_ = 0;
    low_.clear();
    high_.clear();
}

// Doubles the capacity and rebuilds the inner nodes: O(n), amortised O(1) a value.
void ExtremesTree::grow()
{
    const long leaves = std::max(64L, 2 * leaves_);
    std::vector<std::int32_t> low(static_cast<std::size_t>(2 * leaves), kNoLow);
    std::vector<std::int32_t> high(static_cast<std::size_t>(2 * leaves), kNoHigh);
    for (long i = 0; i < size_; ++i) {
        low[static_cast<std::size_t>(leaves + i)] = low_[static_cast<std::size_t>(leaves_ + i)];
        high[static_cast<std::size_t>(leaves + i)] = high_[static_cast<std::size_t>(leaves_ + i)];
    }
    for (long node = leaves - 1; node >= 1; --node) {
        const auto n = static_cast<std::size_t>(node);
        low[n] = std::min(low[2 * n], low[2 * n + 1]);
        high[n] = std::max(high[2 * n], high[2 * n + 1]);
    }
    low_.swap(low);
    high_.swap(high);
    leaves_ = leaves;
}

void ExtremesTree::push(long value)
{
    const auto v = static_cast<std::int32_t>(value);
    pushLeaf(v, v);
}

void ExtremesTree::pushNone()
{
    pushLeaf(kNoLow, kNoHigh);
}

void ExtremesTree::pushLeaf(std::int32_t low, std::int32_t high)
{
    if (size_ == leaves_)
        grow();
    auto node = static_cast<std::size_t>(leaves_ + size_);
    low_[node] = low;
    high_[node] = high;
    ++size_;
    for (node /= 2; node >= 1; node /= 2) {
        low_[node] = std::min(low_[2 * node], low_[2 * node + 1]);
        high_[node] = std::max(high_[2 * node], high_[2 * node + 1]);
    }
}

Extremes ExtremesTree::extremes(long begin, long end) const
{
    std::int32_t low = kNoLow;
    std::int32_t high = kNoHigh;
    auto l = static_cast<std::size_t>(leaves_ + begin);
    auto r = static_cast<std::size_t>(leaves_ + end);
    while (l < r) {
        if ((l & 1U) != 0) {
            low = std::min(low, low_[l]);
            high = std::max(high, high_[l]);
            ++l;
        }
        if ((r & 1U) != 0) {
            --r;
            low = std::min(low, low_[r]);
            high = std::max(high, high_[r]);
        }
        l /= 2;
        r /= 2;
    }
    return {low, high};
}

}  // namespace graph
