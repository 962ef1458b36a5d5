#include "link_counts.h"

namespace tools {

std::string describeCounts(const kc::LinkCounts& counts)
{
    return "показаний: " + std::to_string(counts.readings) + ", ошибок обмена: " + std::to_string(counts.givenUp)
        + ", искажённых ответов: " + std::to_string(counts.corrupt) + ", без ответа: "
        + std::to_string(counts.noReply);
}

bool anyFault(const kc::LinkCounts& counts)
{
    return counts.givenUp != 0 || counts.corrupt != 0 || counts.noReply != 0;
}

}  // namespace tools
