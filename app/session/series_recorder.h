// What a session does with each reading: the measurement series, its result
// file, the text log, and the moment the readings' times count from.
#pragma once

#include "session/modbus_workers.h"
#include "session/text_log.h"

#include <kcmb.h>

#include <cstdint>
#include <memory>
#include <string>

// A reading as the series records it.
struct SessionReading {
    std::uint32_t temperature = 0;
    std::uint32_t quantum = 0;
    std::uint16_t emissivity = 0;
    // Milliseconds since the start tick, taken when the device answered.
    long timeMs = 0;
};

class SeriesRecorder {
public:
    SeriesRecorder();

    // The series; null when it could not be allocated.
    TermDataFile* series() { return series_.get(); }
    bool savesResults() const { return saveResults_; }
    void setSaveResults(bool on) { saveResults_ = on; }
    TextLog& log() { return log_; }
    // Lines go to an open log only while logging is on.
    void setLogging(bool on) { logging_ = on; }
    bool logging() const { return logging_; }

    // A new run of readings: an empty, live series, no start tick yet.
    void begin();
    // Reads the saved series at `path` (a file name in the system's
    // encoding) for viewing: it is not live, and nothing saves it. False
    // when it cannot be read.
    bool view(const std::string& path);
    // The readings may start counting at `tick` (a settled thermostat, the
    // stream started): they count from the first such tick of the run.
    void noteStart(std::uint32_t tick);
    // Adds the reading to the series, extends the result file while saving
    // is on and writes the log line while the log is open; `divisor` is the
    // emissivity's. False when the result file could not be extended: saving
    // is then off.
    bool record(const Reading& reading, double divisor, SessionReading& recorded);
    // Writes the whole series when saving is on and it is live and holds a
    // reading.
    void saveWhole();

private:
    std::unique_ptr<TermDataFile> series_;
    bool saveResults_ = true;
    // The series holds a viewed file rather than readings taken live.
    bool viewed_ = false;
    TextLog log_;
    bool logging_ = false;
    // The first start noted after connecting, or the first reading when none
    // was noted before it.
    std::uint32_t startTick_ = 0;
    bool startTickSet_ = false;
};
