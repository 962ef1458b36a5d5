// The messages kl_poll has for the broker and has not handed over yet: while
// the broker is away they wait here, in order, up to a bound. Beyond it the
// oldest reading is dropped and counted, so that a long outage costs its
// earliest readings and the latest ones always arrive. Status messages are
// never dropped: a device has one current status, which replaces any status
// of the same topic still waiting. Not thread-safe; its owner guards it.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace tools {

struct OutgoingMessage {
    std::string topic;
    std::string payload;
    bool retained = false;  // a status: kept by the broker, replaced rather than dropped
};

class OutgoingQueue {
public:
    // `bound`: the readings kept at most (at least 1).
    explicit OutgoingQueue(std::size_t bound);

    void push(OutgoingMessage message);
    bool empty() const { return messages_.empty(); }
    std::size_t size() const { return messages_.size(); }
    std::size_t readings() const { return readings_; }
    const OutgoingMessage& front() const { return messages_.front(); }
    void pop();

    // Readings dropped for the bound since the start.
    long dropped() const { return dropped_; }

private:
    std::size_t bound_;
    std::size_t readings_ = 0;
    long dropped_ = 0;
    std::deque<OutgoingMessage> messages_;
};

}  // namespace tools
