// What kl_poll met on the line for one device: its readings, the requests
// that failed after all their tries, and per try the faults of the line:
// replies that came corrupt (noise, bit errors: a wrong checksum, address,
// function or length) and tries that got no reply in time (a silent device,
// garbage without a frame, a reply cut short). A noise burst shows in the
// last two while polling goes on.
#pragma once

#include <kcmb.h>

#include <string>

namespace tools {

enum class TryOutcome {
    Answered,   // a reply that answers the request, a device exception included
    Corrupt,    // a reply that is damaged or answers something else
    NoReply,    // nothing complete in time, or the request never left
    PortLost,   // the port failed: the adapter is gone or the line hung up
    Refused,    // the library refused to send
};

TryOutcome outcomeOf(const kc::Result& result);

struct LinkCounts {
    long readings = 0;
    long failures = 0;  // requests given up after their tries (each said on standard error)
    long corrupt = 0;   // tries answered by a corrupt reply
    long noReply = 0;   // tries without a reply

    // Counts one try.
    void note(const kc::Result& result);
    bool anyFault() const { return failures != 0 || corrupt != 0 || noReply != 0; }
    LinkCounts operator-(const LinkCounts& earlier) const;
    LinkCounts& operator+=(const LinkCounts& other);
};

// "показаний: N, ошибок обмена: M, искажённых ответов: C, без ответа: T"
std::string describeCounts(const LinkCounts& counts);

}  // namespace tools
