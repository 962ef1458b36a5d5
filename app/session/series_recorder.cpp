#include "session/series_recorder.h"

#include "platform/clock.h"

#include <new>

SeriesRecorder::SeriesRecorder() : series_(new (std::nothrow) TermDataFile) {}

void SeriesRecorder::begin()
{
    if (series_)
        series_->Clear();
    viewed_ = false;
    startTick_ = 0;
    startTickSet_ = false;
}

bool SeriesRecorder::view(const std::string& path)
{
    if (!series_)
        return false;
    series_->Clear();
    viewed_ = true;
    return series_->Read(path.c_str());
}

void SeriesRecorder::noteStart(std::uint32_t tick)
{
    if (startTickSet_)
        return;
    startTick_ = tick;
    startTickSet_ = true;
}

bool SeriesRecorder::record(const Reading& reading, double divisor, SessionReading& recorded)
{
    noteStart(reading.tick);
    recorded = SessionReading{reading.temperature, reading.quantum, reading.emissivity,
                              static_cast<long>(static_cast<std::int32_t>(reading.tick - startTick_))};
    bool saved = true;
    if (series_) {
        series_->Add(recorded.timeMs, static_cast<long>(recorded.temperature), recorded.emissivity,
                     static_cast<long>(recorded.quantum));
        if (saveResults_ && !series_->SaveResult()) {
            saveResults_ = false;
            saved = false;
        }
    }
    if (logging_ && log_.isOpen())
        log_.write(logLine(platform::localTime(), recorded.temperature, recorded.emissivity / divisor));
    return saved;
}

void SeriesRecorder::saveWhole()
{
    // A series that never received a reading leaves no empty file behind,
    // and a viewed file is never written again.
    if (series_ && saveResults_ && !viewed_ && series_->GetCount() > 0)
        series_->Save();
}
