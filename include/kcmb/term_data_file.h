// A measurement series in memory and its .tdf files.
#pragma once

#include <kcmb/device_info.h>
#include "platform/clock.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// One reading, 16 bytes, in the layout of the records of .tdf files of
// versions 2 and 4.
struct v4TermData {
    std::int32_t time;         // ms since the series began
    std::int32_t temperature;  // whole °C
    unsigned short emissivity; // emissivity word in force; divide by GetECoeff()
    // 2 bytes of padding, zero in the series and in written files
    std::int32_t quantum;      // raw quantum count; 0 when the caller has none
};

static_assert(sizeof(v4TermData) == 16, "v4TermData is stored as 16 bytes");
static_assert(offsetof(v4TermData, time) == 0 && offsetof(v4TermData, temperature) == 4
                  && offsetof(v4TermData, emissivity) == 8 && offsetof(v4TermData, quantum) == 12,
              "v4TermData field offsets are those of the files");

// What Read found in a file, for programs that must tell a whole file from
// a damaged one (Read itself opens a file cut short with what it holds).
struct TdfReadReport {
    enum class Fault {
        None,       // read whole
        Open,       // cannot be opened, or is no regular file
        Header,     // shorter than its 6-byte header
        Magic,      // does not start with "TDF"
        Version,    // version not 1 to 4
        FixedPart,  // ends before its count
        Count,      // count negative or above the capacity of a series
        BeginTime,  // version 3: a begin time outside the calendar
        Stamp,      // version 3: a time stamp before the begin, or 2^31 ms or more after it
        Short,      // holds fewer records than its count; those it holds were read
    };
    Fault fault = Fault::None;
    int version = 0;               // the version byte, once the header was read
    std::int32_t storedCount = 0;  // the count field, once it was read
};

// A measurement series: when it began, the device that produced it and up to
// 127,999 readings in one buffer obtained at construction, so pointers to
// records stay valid for the life of the series.
//
// Threads: the owner adds, clears, reads and saves on one thread. Another
// thread may walk the records (GetCount, GetFirst, GetNext) while the owner
// adds: a record is complete before the count covers it. Clear and Read must
// not run while another thread walks the series.
//
// A series is never copied: a copy would share or duplicate 2 MB of records
// that belong to one window.
class TermDataFile {
public:
    // Slots in the buffer; the last is never used.
    static constexpr long kCapacity = 128000;
    static constexpr long kMaxCount = kCapacity - 1;

    TermDataFile();
    ~TermDataFile();
    TermDataFile(const TermDataFile&) = delete;
    TermDataFile& operator=(const TermDataFile&) = delete;

    // Appends a reading and returns it, or null when the series is full or has
    // no buffer. A caller that knows the quantum count passes it here, so the
    // record is whole when another thread first sees it.
    v4TermData* Add(long time, long temperature, unsigned short emissivity, long quantum = 0);
    // Empties the series (all records zero, no device), begun now. Without a
    // buffer only the count, the device and the begin time are reset.
    void Clear();

    // The first record whose time is at least `time`, or null.
    v4TermData* GetFirst(long time);
    // Moves the cursor to the next record and returns it; null, with the
    // cursor left alone, at the last record or for a cursor outside the series.
    v4TermData* GetNext(v4TermData** cursor);

    v4TermData* GetTermData() { return termData; }
    long GetCount() const { return count.load(std::memory_order_acquire); }

    platform::SystemTime* GetBeginTime() { return &beginTime; }
    void SetBeginTime(const platform::SystemTime* time);

    v2DeviceInfo* GetDeviceInfo() { return &deviceInfo; }
    // Copies the device in when `info` is not null; returns the series' own.
    v2DeviceInfo* SetDeviceInfo(const v2DeviceInfo* info);

    // The device's measuring range, which is also the series' temperature range.
    long GetMin() const { return deviceInfo.tempMin; }
    long GetMax() const { return deviceInfo.tempMax; }
    long SetMin(long value);
    long SetMax(long value);

    // The divisor of the emissivity word: 1000 for a ratio device (type bit
    // 0x80, the word holds the ratio x 1000), else 100.
    double GetECoeff() const;

    // Replaces the content with the .tdf file at `path` (versions 1 to 4);
    // callers Clear first. False, with a message for a file that cannot be
    // opened (or is no regular file) or is foreign, and without one for a null
    // or empty path, a series without buffer, or a file whose fixed part is cut
    // short, whose count is negative or above kMaxCount, or (version 3) whose
    // begin time is outside the calendar; the series is unchanged then. A file
    // holding fewer records than its count opens with every complete record
    // it holds. Texts come zero-terminated within their fields and record
    // padding zero, whatever the file holds. `report`, when given, says what
    // was found. The series has no file of its own afterwards.
    bool Read(const char* path, TdfReadReport* report = nullptr);
    // Writes the whole series as a version 4 file: into a new file beside the
    // series' file, flushed to the disk, which then takes the old one's place,
    // so a failure leaves the old file as it was.
    bool Save();
    // Brings the series' file up to date after Add: appends only the records
    // the file lacks, then stores the new count, so the file on disk is
    // consistent at every moment. Starts a new file for the first record.
    bool SaveResult();

    // The series' file, chosen at its first save since construction, Clear,
    // Read or a change of the begin time; empty before.
    const std::string& GetFilePath() const { return file_; }
    // Names the series' file for the saves to come, in place of a name from
    // the begin time; an existing file there is replaced at the next Save.
    // Null or empty forgets the file.
    void SetFilePath(const char* path) { file_ = path != nullptr ? path : ""; }

private:
    // Gives the series a file of its own: a new, empty file named after the
    // begin time (KL<date><time>.tdf, else the first free KL<date><time>_<k>.tdf),
    // in the first of the working directory and <documents>/Ostrelan/KL_S
    // that takes a new file. False when neither does.
    bool GetTermFilePath();

    // Readers of the versions; the file is positioned after its 6-byte header.
    // False when the file is refused; the series is then unchanged.
    bool ReadV1(void* file, TdfReadReport& report);
    bool ReadV3(void* file, TdfReadReport& report);
    bool ReadV4(void* file, TdfReadReport& report);

    v4TermData* termData;
    // Written by the owner's thread only, after the records it covers.
    std::atomic<std::int32_t> count;
    platform::SystemTime beginTime;
    v2DeviceInfo deviceInfo;
    // The file that SaveResult extends and Save replaces.
    std::string file_;
};
