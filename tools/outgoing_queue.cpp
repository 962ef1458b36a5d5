#include "outgoing_queue.h"

#include <algorithm>

namespace tools {

OutgoingQueue::OutgoingQueue(std::size_t bound) : bound_(std::max<std::size_t>(bound, 1)) {}

void OutgoingQueue::push(OutgoingMessage message)
{
    if (message.retained) {
        const auto same = std::find_if(messages_.begin(), messages_.end(), [&](const OutgoingMessage& m) {
            return m.retained && m.topic == message.topic;
        });
        if (same != messages_.end())
            messages_.erase(same);
        messages_.push_back(std::move(message));
        return;
    }
    if (readings_ == bound_) {
        const auto oldest = std::find_if(messages_.begin(), messages_.end(),
                                         [](const OutgoingMessage& m) { return !m.retained; });
        messages_.erase(oldest);
        --readings_;
        ++dropped_;
    }
    messages_.push_back(std::move(message));
    ++readings_;
}

void OutgoingQueue::pop()
{
    if (!messages_.front().retained)
        --readings_;
    messages_.pop_front();
}

}  // namespace tools
