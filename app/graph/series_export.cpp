#include "graph/series_export.h"

#include "graph/text_format.h"

#include "platform/file.h"

#include <memory>

namespace graph {
namespace {

struct HandleCloser {
    void operator()(void* handle) const
    {
        if (platform::isUsableHandle(handle))
            platform::closeHandle(handle);
    }
};

// Every record of `series`, read up to its published count, as text; false
// when a write failed.
bool writeText(void* file, TermDataFile* series, GraphKind kind)
{
    const long count = series != nullptr ? series->GetCount() : 0;
    if (count <= 0)
        return true;
    const v4TermData* records = series->GetTermData();
    const double eCoeff = series->GetECoeff();
    // Written in blocks: a full series makes about 3 MB of text.
    constexpr std::size_t kBlock = 64 * 1024;
    std::string text;
    text.reserve(kBlock + 64);
    for (long i = 0; i < count; ++i) {
        text += exportLine(kind, records[i], clockTimeAfter(series->GetBeginTime(), records[i].time), eCoeff);
        if (text.size() >= kBlock) {
            if (!platform::writeFile(file, text.data(), text.size()))
                return false;
            text.clear();
        }
    }
    return text.empty() || platform::writeFile(file, text.data(), text.size());
}

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

TextExport saveSeriesText(const std::string& path, TermDataFile* series, GraphKind kind)
{
    // Only a file may be replaced: a folder or a device under the name is
    // refused before anything is written.
    if (platform::pathExists(path)) {
        const std::unique_ptr<void, HandleCloser> existing(platform::openFile(path, platform::FileOpen::ReadExisting));
        if (!platform::isUsableHandle(existing.get()))
            return TextExport::NotCreated;
    }
    const std::string temporary = path + ".part";
    std::unique_ptr<void, HandleCloser> file(platform::openFile(temporary, platform::FileOpen::CreateAlways));
    if (!platform::isUsableHandle(file.get()))
        return TextExport::NotCreated;
    if (!writeText(file.get(), series, kind) || !platform::flushFile(file.get())) {
        file.reset();
        platform::removeFile(temporary);
        return TextExport::NotWritten;
    }
    file.reset();
    // The text takes the name only once all of it is on the disk.
    if (!platform::replaceFile(temporary, path)) {
        platform::removeFile(temporary);
        return TextExport::NotWritten;
    }
    return TextExport::Written;
}

}  // namespace graph
