#include "line_stream.h"

#include <algorithm>

namespace sim {

StreamKind LineStream::of(const std::vector<Device*>& devices)
{
    for (const Device* device : devices)
        if (device->faults().stream != StreamKind::None)
            return device->faults().stream;
    return StreamKind::None;
}

std::string LineStream::due(StreamKind kind, Clock::time_point now, unsigned baud)
{
    if (kind != kind_) {
        kind_ = kind;
        last_ = Clock::time_point{};
    }
    switch (kind) {
    case StreamKind::None: return {};
    case StreamKind::Text:
        if (now - last_ < kSentencePeriod)
            return {};
        last_ = now;
        return kSentence;
    case StreamKind::Colons: {
        // As many characters as the line carried since the last send, 10 bits
        // each; after a pause no more than a burst of kColonBurst.
        const auto since = last_ == Clock::time_point{} ? std::chrono::microseconds(std::chrono::milliseconds(10))
                                                         : std::chrono::duration_cast<std::chrono::microseconds>(now - last_);
        const auto chars
            = std::min<long long>(since.count() * std::max(baud, 300u) / 10 / 1000000, kColonBurst);
        if (chars < 1)
            return {};
        last_ = now;
        return std::string(static_cast<std::size_t>(chars), ':');
    }
    }
    return {};
}

}  // namespace sim
