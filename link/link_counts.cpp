#include <kcmb/link_counts.h>

namespace kc {

TryOutcome outcomeOf(const Result& result)
{
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

void LinkCounts::note(const Result& result)
{
    if (result.ok())
        return;
    ++failedTries;
    switch (outcomeOf(result)) {
    case TryOutcome::Corrupt: ++corrupt; break;
    case TryOutcome::NoReply: ++noReply; break;
    default: break;
    }
}

LinkCounts LinkCounts::operator-(const LinkCounts& earlier) const
{
    return {readings - earlier.readings, failedTries - earlier.failedTries, givenUp - earlier.givenUp,
            corrupt - earlier.corrupt, noReply - earlier.noReply};
}

LinkCounts& LinkCounts::operator+=(const LinkCounts& other)
{
    readings += other.readings;
    failedTries += other.failedTries;
    givenUp += other.givenUp;
    corrupt += other.corrupt;
    noReply += other.noReply;
    return *this;
}

}  // namespace kc
