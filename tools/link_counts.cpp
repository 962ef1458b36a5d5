#include "link_counts.h"

namespace tools {

TryOutcome outcomeOf(const kc::Result& result)
{
    using kc::Fault;
    switch (result.fault) {
    case Fault::None:
    case Fault::DeviceException: return TryOutcome::Answered;
    case Fault::BadChecksum:
    case Fault::WrongAddress:
    case Fault::WrongFunction:
    case Fault::BadLength: return TryOutcome::Corrupt;
    case Fault::Timeout:
    case Fault::EndlessInput:
    case Fault::PortBusy:
    case Fault::WriteFailed: return TryOutcome::NoReply;
    case Fault::PortFailed: return TryOutcome::PortLost;
    case Fault::BadArgument: return TryOutcome::Refused;
    }
    return TryOutcome::NoReply;
}

void LinkCounts::note(const kc::Result& result)
{
    switch (outcomeOf(result)) {
    case TryOutcome::Corrupt: ++corrupt; break;
    case TryOutcome::NoReply: ++noReply; break;
    default: break;
    }
}

LinkCounts LinkCounts::operator-(const LinkCounts& earlier) const
{
    return {readings - earlier.readings, failures - earlier.failures, corrupt - earlier.corrupt,
            noReply - earlier.noReply};
}

LinkCounts& LinkCounts::operator+=(const LinkCounts& other)
{
    readings += other.readings;
    failures += other.failures;
    corrupt += other.corrupt;
    noReply += other.noReply;
    return *this;
}

std::string describeCounts(const LinkCounts& counts)
{
    return "показаний: " + std::to_string(counts.readings) + ", ошибок обмена: " + std::to_string(counts.failures)
        + ", искажённых ответов: " + std::to_string(counts.corrupt) + ", без ответа: "
        + std::to_string(counts.noReply);
}

}  // namespace tools
