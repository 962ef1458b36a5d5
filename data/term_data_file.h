// A measurement series in memory and its .tdf files.
#pragma once

#include "device_info.h"
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
    // callers Clear first. False, with a message for an unreadable or foreign
    // file and without one for a null or empty path, a series without buffer,
    // or a file whose fixed part is cut short or whose count is negative or
    // above kMaxCount; the series is unchanged then. A file holding fewer
    // records than its count opens with every complete record it holds.
    bool Read(const char* path);
    // Writes the whole series as a version 4 file (see GetTermFilePath).
    bool Save();
    // Brings the series' file up to date after Add: appends only the records
    // the file lacks, then stores the new count, so the file on disk is
    // consistent at every moment. Starts a new file for the first record.
    bool SaveResult();

private:
    // The file of the series, named after its begin time, in the first of the
    // working directory and <documents>/Ostrelan/KL_S where it can be written;
    // empty when neither can.
    std::string GetTermFilePath() const;

    // Readers of the versions; the file is positioned after its 6-byte header.
    // False when the file is refused; the series is then unchanged.
    bool ReadV1(void* file);
    bool ReadV3(void* file);
    bool ReadV4(void* file);

    v4TermData* termData;
    // Written by the owner's thread only, after the records it covers.
    std::atomic<std::int32_t> count;
    platform::SystemTime beginTime;
    v2DeviceInfo deviceInfo;
};
