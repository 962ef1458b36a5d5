#include "reading_outputs.h"

#include <cerrno>
#include <climits>
#include <cstring>

namespace tools {

namespace {

// FILE.tdf, FILE_2.tdf, FILE_3.tdf, ...
std::string numberedPath(const std::string& path, int number)
{
    if (number == 1)
        return path;
    const std::string suffix = "_" + std::to_string(number);
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

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

ReadingOutputs::ReadingOutputs(const PollOptions& options, std::string label)
    : options_(options), label_(std::move(label))
{
}

ReadingOutputs::~ReadingOutputs()
{
    if (csv_ != nullptr && !csvIsStdout_)
        std::fclose(csv_);
}

bool ReadingOutputs::open(std::string& error)
{
    if (!options_.tdfPath.empty()) {
        series_ = std::make_unique<TermDataFile>();
        seriesPath_ = options_.tdfPath;
        series_->SetFilePath(seriesPath_.c_str());
        if (series_->GetTermData() == nullptr || !series_->Save()) {
            error = "не удаётся создать файл результатов " + seriesPath_;
            return false;
        }
    }
    if (options_.csvPath == "-") {
        csv_ = stdout;
        csvIsStdout_ = true;
    } else if (!options_.csvPath.empty()) {
        csv_ = std::fopen(options_.csvPath.c_str(), "wb");
        if (csv_ == nullptr) {
            error = "не удаётся создать файл CSV " + options_.csvPath + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

void ReadingOutputs::setDevice(const v2DeviceInfo& device)
{
    device_ = device;
    if (series_)
        series_->SetDeviceInfo(&device_);
    if (csv_ != nullptr && !csvHeaderWritten_) {
        const std::string header = csvHeader(isRatioDevice(device_.type));
        csvHeaderWritten_ = true;
        note(std::fputs(header.c_str(), csv_) >= 0 && std::fflush(csv_) == 0, csvFailing_, "файл CSV");
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
    rows_.emplace(begin_, isRatioDevice(device_.type));
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
    series_->Add(static_cast<long>(reading.msSinceStart - seriesStartMs_), reading.words[reading.mode],
                 reading.emissivity, reading.words[4]);
    note(series_->SaveResult(), seriesFailing_, "файл результатов " + seriesPath_);
}

void ReadingOutputs::startNextSeries(const PollReading& reading)
{
    note(series_->Save(), seriesFailing_, "файл результатов " + seriesPath_);
    seriesPath_ = numberedPath(options_.tdfPath, ++seriesNumber_);
    seriesStartMs_ = reading.msSinceStart;
    const platform::SystemTime begin = later(begin_, seriesStartMs_);
    series_->Clear();
    series_->SetBeginTime(&begin);
    series_->SetDeviceInfo(&device_);
    series_->SetFilePath(seriesPath_.c_str());
    std::fprintf(stderr, "kl_poll: серия заполнена, показания идут в %s\n", seriesPath_.c_str());
}

void ReadingOutputs::writeCsv(const PollReading& reading)
{
    std::string row;
    if (csv_ == nullptr || !rows_
        || !rows_->append(row, reading.msSinceStart, reading.words[reading.mode], reading.emissivity,
                          reading.words[4]))
        return;
    note(std::fwrite(row.data(), 1, row.size(), csv_) == row.size() && std::fflush(csv_) == 0, csvFailing_,
         "файл CSV");
    csvLost_ = csvLost_ || csvFailing_;
}

void ReadingOutputs::printLine(const PollReading& reading)
{
    std::printf("%s: температуры %u %u %u %u, кванты %u\n", label_.c_str(), reading.words[0], reading.words[1],
                reading.words[2], reading.words[3], reading.words[4]);
    std::fflush(stdout);
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
        note(series_->Save(), seriesFailing_, "файл результатов " + seriesPath_);
        ok = !seriesFailing_;
    }
    if (csv_ != nullptr) {
        if (!csvHeaderWritten_)
            setDevice(device_);
        bool closed = std::fflush(csv_) == 0;
        if (!csvIsStdout_)
            closed = std::fclose(csv_) == 0 && closed;
        csv_ = nullptr;
        note(closed, csvFailing_, "файл CSV");
        ok = ok && closed && !csvLost_;
    }
    return ok;
}

std::FILE* ReadingOutputs::infoStream() const
{
    return csvIsStdout_ ? stderr : stdout;
}

}  // namespace tools
