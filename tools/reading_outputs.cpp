#include "reading_outputs.h"

#include "output_paths.h"

#include <cerrno>
#include <climits>
#include <cstring>

namespace tools {

namespace {

// `ms` after `begin`, on its clock; `begin` itself when no calendar holds it.
platform::SystemTime later(const platform::SystemTime& begin, std::int64_t ms)
{
    std::uint64_t units = 0;
    platform::SystemTime time = begin;
    if (platform::systemTimeToFileTime(begin, units))
        platform::fileTimeToSystemTime(units + static_cast<std::uint64_t>(ms) * 10000, time);
    return time;
}

}  // namespace

ReadingOutputs::ReadingOutputs(std::string tdfPath, std::string csvPath, std::string label)
    : tdfPath_(std::move(tdfPath)), csvBasePath_(std::move(csvPath)), label_(std::move(label))
{
}

ReadingOutputs::~ReadingOutputs() = default;

bool ReadingOutputs::open(std::string& error)
{
    std::string reason;
    if (!tdfPath_.empty()) {
        // The file is written at the first reading, so that a run that stores
        // none leaves an older file as it was.
        series_ = std::make_unique<TermDataFile>();
        seriesPath_ = tdfPath_;
        series_->SetFilePath(seriesPath_.c_str());
        if (series_->GetTermData() == nullptr || !canReplace(seriesPath_, reason)) {
            error = "не удаётся создать файл результатов " + seriesPath_ + (reason.empty() ? "" : ": " + reason);
            return false;
        }
    }
    csvPath_ = csvBasePath_;
    if (csvPath_ == "-") {
        csv_ = stdout;
        csvIsStdout_ = true;
    } else if (!csvPath_.empty()) {
        if (!csvFile_.open(csvPath_, reason)) {
            error = "не удаётся создать файл CSV " + csvPath_ + ": " + reason;
            return false;
        }
        csv_ = csvFile_.stream();
    }
    return true;
}

void ReadingOutputs::setDevice(const v2DeviceInfo& device)
{
    device_ = device;
    if (series_)
        series_->SetDeviceInfo(&device_);
    if (csv_ != nullptr && !csvHeaderWritten_) {
        const std::string header = csvHeader(isRatioDevice(device_.type), csvForm_);
        csvHeaderWritten_ = true;
        noteFailure(std::fputs(header.c_str(), csv_) >= 0 && std::fflush(csv_) == 0, csvFailing_,
                    "файл CSV " + csvPath_);
    }
}

void ReadingOutputs::start(const platform::SystemTime& begin)
{
    begin_ = begin;
    seriesStartMs_ = 0;
    if (series_) {
        // A new begin time lets go of the file; the series keeps its name.
        series_->SetBeginTime(&begin_);
        series_->SetFilePath(seriesPath_.c_str());
    }
    rows_.emplace(begin_, isRatioDevice(device_.type), csvForm_);
}

void ReadingOutputs::add(const PollReading& reading)
{
    addToSeries(reading);
    writeCsv(reading);
    if (!csvIsStdout_)
        printLine(reading);
}

void ReadingOutputs::addToSeries(const PollReading& reading)
{
    if (!series_)
        return;
    if (series_->GetCount() >= TermDataFile::kMaxCount || reading.msSinceStart - seriesStartMs_ > INT32_MAX)
        startNextSeries(reading);
    series_->Add(static_cast<long>(reading.msSinceStart - seriesStartMs_), reading.measurement.temperature(),
                 reading.emissivity, reading.measurement.quantum());
    note(series_->SaveResult(), seriesFailing_, "файл результатов " + seriesPath_);
}

void ReadingOutputs::nextSeriesFile()
{
    saveSeries();
    seriesPath_ = numberedPath(tdfPath_, ++seriesNumber_);
    series_->Clear();
    series_->SetFilePath(seriesPath_.c_str());
}

void ReadingOutputs::startNextSeries(const PollReading& reading)
{
    nextSeriesFile();
    seriesStartMs_ = reading.msSinceStart;
    const platform::SystemTime begin = later(begin_, seriesStartMs_);
    series_->SetBeginTime(&begin);
    series_->SetDeviceInfo(&device_);
    series_->SetFilePath(seriesPath_.c_str());
    std::fprintf(stderr, "kl_poll: серия заполнена, показания идут в %s\n", seriesPath_.c_str());
}

std::string ReadingOutputs::startNewFiles()
{
    std::string names;
    if (series_) {
        nextSeriesFile();
        names = seriesPath_;
    }
    if (csv_ != nullptr || csvLost_) {
        if (!csvIsStdout_) {
            if (csv_ != nullptr)
                noteFailure(csvFile_.close(), csvFailing_, "файл CSV " + csvPath_);
            csvPath_ = numberedPath(csvBasePath_, ++csvNumber_);
            std::string reason;
            const bool opened = csvFile_.open(csvPath_, reason);
            csv_ = csvFile_.stream();
            noteFailure(opened, csvFailing_, "файл CSV " + csvPath_);
            csvLost_ = csvLost_ || !opened;
        }
        csvHeaderWritten_ = false;
        names += (names.empty() ? "" : ", ") + csvPath_;
    }
    // Rows wait for the new device's begin time.
    rows_.reset();
    return names;
}

void ReadingOutputs::writeCsv(const PollReading& reading)
{
    std::string row;
    if (csv_ == nullptr || !rows_
        || !rows_->append(row, reading.msSinceStart, reading.measurement.temperature(), reading.emissivity,
                          reading.measurement.quantum()))
        return;
    // The file takes the place of an older one with its first row.
    const bool written = std::fwrite(row.data(), 1, row.size(), csv_) == row.size() && std::fflush(csv_) == 0
        && (csvIsStdout_ || csvFile_.commit());
    note(written, csvFailing_, "файл CSV " + csvPath_);
    csvLost_ = csvLost_ || csvFailing_;
}

void ReadingOutputs::printLine(const PollReading& reading)
{
    const std::uint16_t* words = reading.measurement.words;
    std::printf("%s: температуры %u %u %u %u, кванты %u\n", label_.c_str(), words[0], words[1], words[2], words[3],
                reading.measurement.quantum());
    std::fflush(stdout);
}

void ReadingOutputs::noteFailure(bool ok, bool& failing, const std::string& what)
{
    if (!ok)
        note(false, failing, what);
}

void ReadingOutputs::saveSeries()
{
    // A series without a reading has no file of its own yet.
    if (series_->GetCount() > 0)
        note(series_->Save(), seriesFailing_, "файл результатов " + seriesPath_);
}

void ReadingOutputs::note(bool ok, bool& failing, const std::string& what)
{
    if (ok == !failing)
        return;
    failing = !ok;
    std::fprintf(stderr, ok ? "kl_poll: %s снова пишется\n" : "kl_poll: ошибка записи: %s\n", what.c_str());
}

bool ReadingOutputs::finish()
{
    bool ok = true;
    if (series_) {
        saveSeries();
        ok = !seriesFailing_;
    }
    if (csv_ != nullptr) {
        if (csvIsStdout_ && !csvHeaderWritten_)
            setDevice(device_);
        const bool closed = csvIsStdout_ ? std::fflush(csv_) == 0 : csvFile_.close();
        csv_ = nullptr;
        noteFailure(closed, csvFailing_, "файл CSV " + csvPath_);
        ok = ok && closed;
    }
    return ok && !csvLost_;
}

std::FILE* ReadingOutputs::infoStream() const
{
    return csvIsStdout_ ? stderr : stdout;
}

}  // namespace tools
