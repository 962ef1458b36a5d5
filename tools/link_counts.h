// kl_poll's summary of what it met on the line for one device: its readings,
// the requests given up after all their tries (each said on standard error),
// the replies that came corrupt and the tries without a reply.
#pragma once

#include <kcmb/link_counts.h>

#include <string>

namespace tools {

// "показаний: N, ошибок обмена: M, искажённых ответов: C, без ответа: T"
std::string describeCounts(const kc::LinkCounts& counts);
// Whether the summary says more than readings: a request given up, a corrupt
// reply or a try without a reply.
bool anyFault(const kc::LinkCounts& counts);

}  // namespace tools
