// Where kl_poll puts its readings: the result file (.tdf), extended after
// every reading and saved whole at the end; a CSV file (or standard output),
// a row per reading; and otherwise a line per reading on standard output.
// Every output is brought up to date before the next reading is taken, so an
// interrupted logger loses nothing it has reported.
#pragma once

#include "csv_rows.h"
#include "replacing_file.h"

#include <kcmb.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace tools {

// One reading: the measurement block with the word of the temperature, the
// emissivity word in force, and when it was taken.
struct PollReading {
    std::int64_t msSinceStart = 0;
    kc::Measurement measurement;
    unsigned short emissivity = 0;
};

class ReadingOutputs {
public:
    // The result file and the CSV file (either empty: none; the CSV "-":
    // standard output); `label` begins each reading line (the port's name,
    // with the address when several devices share the line).
    ReadingOutputs(std::string tdfPath, std::string csvPath, std::string label);
    // The form of the CSV rows to come (standard unless set).
    void setCsvForm(CsvForm form) { csvForm_ = form; }
    ~ReadingOutputs();
    ReadingOutputs(const ReadingOutputs&) = delete;
    ReadingOutputs& operator=(const ReadingOutputs&) = delete;

    // Makes ready the files the options name; false, with the reason, when
    // one cannot be created. An existing file is replaced only with the
    // first reading: the result file is then saved whole through a
    // temporary file, and the CSV file, written as FILE.tmp until then, is
    // renamed into place. A run that stores no reading changes no file.
    bool open(std::string& error);
    // The device whose readings follow; its type carries the ratio bit for a
    // ratio device. Writes the CSV header.
    void setDevice(const v2DeviceInfo& device);
    // The local time at which the readings' time is 0.
    void start(const platform::SystemTime& begin);
    // Logs a reading. A result file whose series is full, or whose time would
    // no longer fit its records, is saved, and the readings go on in a new one
    // (FILE_2.tdf, FILE_3.tdf, ...), which is said on standard error.
    void add(const PollReading& reading);
    // Another device took the place of the last one: the series is saved, and
    // the readings go on in the next files (FILE_2.tdf, FILE_2.csv, the next
    // number of each), begun by setDevice and start. Returns the names of the
    // new files, comma-separated ("-" for standard output).
    std::string startNewFiles();
    // Saves the result file whole and closes the files; false when an output
    // failed at the end.
    bool finish();

    // Where the info lines go: standard error when the CSV takes standard
    // output, else standard output.
    std::FILE* infoStream() const;

private:
    void addToSeries(const PollReading& reading);
    void startNextSeries(const PollReading& reading);
    // Names the series' next file; the series is emptied.
    void nextSeriesFile();
    void writeCsv(const PollReading& reading);
    void printLine(const PollReading& reading);
    // Says once on standard error that an output fails, and again after a
    // write to it succeeded.
    void note(bool ok, bool& failing, const std::string& what);
    // Says that an output fails; a success here proves no write.
    void noteFailure(bool ok, bool& failing, const std::string& what);
    // Saves the series whole when it holds a reading.
    void saveSeries();

    std::string tdfPath_;
    std::string csvBasePath_;
    std::string label_;
    std::unique_ptr<TermDataFile> series_;
    v2DeviceInfo device_{};
    platform::SystemTime begin_{};
    std::int64_t seriesStartMs_ = 0;  // the readings' time at which the current series began
    int seriesNumber_ = 1;
    std::string seriesPath_;
    bool seriesFailing_ = false;
    ReplacingFile csvFile_;
    std::FILE* csv_ = nullptr;  // the CSV file's stream, or standard output
    std::string csvPath_;
    int csvNumber_ = 1;
    bool csvIsStdout_ = false;
    bool csvHeaderWritten_ = false;
    bool csvFailing_ = false;
    bool csvLost_ = false;  // a row could not be written: the CSV misses it
    std::optional<CsvRows> rows_;
    CsvForm csvForm_ = CsvForm::Standard;
};

}  // namespace tools
