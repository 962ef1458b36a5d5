#include "series_recorder.h"

#include "platform/clock.h"

#include <new>

SeriesRecorder::SeriesRecorder() : series_(new (std::nothrow) TermDataFile) {}

void SeriesRecorder::begin()
{
    if (series_)
        series_->Clear();
    startTick_ = 0;
    startTickSet_ = false;
}

void SeriesRecorder::noteSettled(std::uint32_t tick)
{
    if (startTickSet_)
        return;
    startTick_ = tick;
    startTickSet_ = true;
}

bool SeriesRecorder::record(const Reading& reading, double divisor, SessionReading& recorded)
{
    noteSettled(reading.tick);
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
    // A series that never received a reading leaves no empty file behind.
    if (series_ && saveResults_ && series_->GetCount() > 0)
        series_->Save();
}
