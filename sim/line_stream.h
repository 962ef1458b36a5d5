// A talker that streams on the line while a device has the fault "stream":
// an NMEA-like sentence every 50 ms (text without a ':', as a GPS receiver
// on the wrong port sends), or ':' after ':' as fast as the line carries them.
#pragma once

#include "device.h"

#include <chrono>
#include <string>
#include <vector>

namespace sim {

class LineStream {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kSentencePeriod{50};
    static constexpr long long kColonBurst = 128;
    static constexpr char kSentence[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

    // The stream the devices' faults call for: that of the first device
    // with one, or none.
    static StreamKind of(const std::vector<Device*>& devices);

    // What the talker sends by `now` on a line at `baud` since it last sent;
    // empty when nothing is due. A stream that starts anew starts at once.
    std::string due(StreamKind kind, Clock::time_point now, unsigned baud);

private:
    StreamKind kind_ = StreamKind::None;
    Clock::time_point last_{};
};

}  // namespace sim
