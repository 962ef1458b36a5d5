#include "series_export.h"

#include "text_format.h"

#include "platform/file.h"

#include <memory>

namespace graph {
namespace {

struct HandleCloser {
    void operator()(void* handle) const { platform::closeHandle(handle); }
};

}  // namespace

std::string exportLine(GraphKind kind, const v4TermData& record, const ClockTime& clock, double eCoeff)
{
    const double emissivity = record.emissivity / eCoeff;
    if (kind == GraphKind::Quantum)
        return cformat("%02u:%02u:%02u.%03u %d %d %0.2f\r\n", clock.hour, clock.minute, clock.second,
                       clock.milliseconds, record.temperature, record.quantum, emissivity);
    return cformat("%02u:%02u:%02u.%03u %d %0.2f\r\n", clock.hour, clock.minute, clock.second, clock.milliseconds,
                   record.temperature, emissivity);
}

bool saveSeriesText(const std::string& path, TermDataFile* series, GraphKind kind)
{
    const platform::Handle opened = platform::openFile(path, platform::FileOpen::CreateAlways);
    if (!platform::isUsableHandle(opened))
        return false;
    const std::unique_ptr<void, HandleCloser> file(opened);
    if (series == nullptr)
        return true;
    const long count = series->GetCount();
    const v4TermData* records = series->GetTermData();
    const double eCoeff = series->GetECoeff();
    // Written in blocks: a full series makes about 3 MB of text.
    constexpr std::size_t kBlock = 64 * 1024;
    std::string text;
    text.reserve(kBlock + 64);
    for (long i = 0; i < count; ++i) {
        text += exportLine(kind, records[i], clockTimeAfter(series->GetBeginTime(), records[i].time), eCoeff);
        if (text.size() >= kBlock) {
            platform::writeFile(file.get(), text.data(), text.size());
            text.clear();
        }
    }
    if (!text.empty())
        platform::writeFile(file.get(), text.data(), text.size());
    return true;
}

}  // namespace graph
