// What the line did to each try of a request, and the counts a front end
// keeps of it: the readings, the failed tries and the requests given up, and
// of the tries the replies that came corrupt (noise, bit errors: a wrong
// checksum, address, function or length) and those that got no reply in time
// (a silent device, garbage without a frame, a reply cut short). A noise
// burst shows in the last two while polling goes on.
#pragma once

#include <kcmb/link_result.h>

namespace kc {

enum class TryOutcome {
    Answered,   // a reply that answers the request, a device exception included
    Corrupt,    // a reply that is damaged or answers something else
    NoReply,    // nothing complete in time, or the request never left
    PortLost,   // the port failed: the adapter is gone or the line hung up
    Refused,    // the library refused to send
};

TryOutcome outcomeOf(const Result& result);

struct LinkCounts {
    long readings = 0;
    long failedTries = 0;     // tries that did not succeed, whatever failed
    long givenUp = 0;         // requests given up after all their tries
    long corrupt = 0;         // tries answered by a corrupt reply
    long noReply = 0;         // tries without a reply

    // Counts one try; a success counts nowhere.
    void note(const Result& result);
    LinkCounts operator-(const LinkCounts& earlier) const;
    LinkCounts& operator+=(const LinkCounts& other);
};

}  // namespace kc
