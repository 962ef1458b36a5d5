// The .tdf files of a measurement series: reading versions 1 to 4, writing
// version 4, and where a series' file lives.
//
// Layouts (little-endian): a 6-byte header "TDF", version, CR LF; the begin
// time (8 x 16 bits) at 6; then
//   versions 2 and 4: v2DeviceInfo (40 bytes) at 22, count at 62, records of
//                     16 bytes (v4TermData) from 66;
//   versions 1 and 3: DeviceInfo (34 bytes) at 22, count at 56, records from
//                     60 of 8 bytes (time, temperature, emissivity) or of 12
//                     bytes (100-ns time stamp, temperature, emissivity).
#include <kcmb/term_data_file.h>

#include "Shared.h"
#include "platform/file.h"
#include "platform/message_box.h"
#include <kcmb/port_table.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "version 4 records are written and read as they lie in memory");

namespace {

constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kTimeSize = 16;
constexpr std::size_t kDeviceInfoSize = 34;
constexpr std::size_t kV2DeviceInfoSize = 40;
constexpr std::size_t kCountSize = 4;
constexpr std::int64_t kV4CountOffset = kHeaderSize + kTimeSize + kV2DeviceInfoSize;
constexpr std::int64_t kV4RecordsOffset = kV4CountOffset + kCountSize;
constexpr std::int64_t kV1RecordsOffset = kHeaderSize + kTimeSize + kDeviceInfoSize + kCountSize;
constexpr std::size_t kV4RecordSize = sizeof(v4TermData);
constexpr std::size_t kV1RecordSize = 8;
constexpr std::size_t kV3RecordSize = 12;
constexpr std::uint64_t kFileTimeUnitsPerMs = 10000;

static_assert(kV4RecordsOffset == 66 && kV1RecordsOffset == 60, "the records start where the files have them");

const char kCaption[] = "Ошибка";
const char kOpenFailed[] = "Ошибка открытия файла.";
const char kHeaderUnreadable[] = "Ошибка чтения заголовка файла.";
const char kWrongHeader[] = "Неверный заголовок файла.";
const char kUnknownFormat[] = "Неизвестный формат файла.";
const char kNoWritableFolder[] = "Ошибка сохранения результатов. Рабочая папка программы недоступна для записи";
const char kSaveFailed[] = "Ошибка сохранения результатов.";

void showError(const char* text)
{
    platform::showMessageBox(text, kCaption, platform::MessageButtons::Ok, platform::MessageIcon::Error, nullptr);
}

std::uint16_t getU16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t getU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(getU16(p)) | static_cast<std::uint32_t>(getU16(p + 2)) << 16;
}

std::uint64_t getU64(const unsigned char* p)
{
    return static_cast<std::uint64_t>(getU32(p)) | static_cast<std::uint64_t>(getU32(p + 4)) << 32;
}

void putU16(unsigned char* p, std::uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void putU32(unsigned char* p, std::uint32_t v)
{
    putU16(p, static_cast<std::uint16_t>(v));
    putU16(p + 2, static_cast<std::uint16_t>(v >> 16));
}

platform::SystemTime decodeTime(const unsigned char* p)
{
    return {getU16(p),     getU16(p + 2),  getU16(p + 4),  getU16(p + 6),
            getU16(p + 8), getU16(p + 10), getU16(p + 12), getU16(p + 14)};
}

void encodeTime(unsigned char* p, const platform::SystemTime& t)
{
    const std::uint16_t fields[] = {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
    for (std::size_t i = 0; i < 8; ++i)
        putU16(p + 2 * i, fields[i]);
}

// A text field as stored, ended within the field whatever the file holds.
template <std::size_t N>
void copyText(char (&field)[N], const unsigned char* p)
{
    std::memcpy(field, p, N - 1);
    field[N - 1] = '\0';
}

v2DeviceInfo decodeV2DeviceInfo(const unsigned char* p)
{
    v2DeviceInfo info;
    info.address = p[0];
    info.tempMin = static_cast<std::int32_t>(getU32(p + 4));
    info.tempMax = static_cast<std::int32_t>(getU32(p + 8));
    info.reg2 = getU16(p + 12);
    info.sensor = static_cast<short>(getU16(p + 14));
    info.type = getU16(p + 16);
    copyText(info.serial, p + 18);
    copyText(info.year, p + 23);
    copyText(info.verifyDate, p + 28);
    info.variant = getU16(p + 38);
    return info;
}

// Padding bytes are written as zero, whatever the record in memory holds.
void encodeV2DeviceInfo(unsigned char* p, const v2DeviceInfo& info)
{
    std::memset(p, 0, kV2DeviceInfoSize);
    p[0] = info.address;
    putU32(p + 4, static_cast<std::uint32_t>(info.tempMin));
    putU32(p + 8, static_cast<std::uint32_t>(info.tempMax));
    putU16(p + 12, info.reg2);
    putU16(p + 14, static_cast<std::uint16_t>(info.sensor));
    putU16(p + 16, info.type);
    std::memcpy(p + 18, info.serial, sizeof info.serial);
    std::memcpy(p + 23, info.year, sizeof info.year);
    std::memcpy(p + 28, info.verifyDate, sizeof info.verifyDate);
    putU16(p + 38, info.variant);
}

v2DeviceInfo decodeDeviceInfo(const unsigned char* p)
{
    DeviceInfo info{};
    info.address = p[0];
    info.tempMin = getU16(p + 2);
    info.tempMax = getU16(p + 4);
    info.reg2 = getU16(p + 6);
    info.sensor = static_cast<short>(getU16(p + 8));
    info.type = getU16(p + 10);
    copyText(info.serial, p + 12);
    copyText(info.year, p + 17);
    copyText(info.verifyDate, p + 22);
    info.variant = getU16(p + 32);
    return v2DeviceInfo(info);
}

// Complete records of `recordSize` in `bytes`, none for a negative count
// (a failed read, a file shorter than its fixed part).
std::int64_t completeRecords(std::int64_t bytes, std::size_t recordSize)
{
    return bytes > 0 ? bytes / static_cast<std::int64_t>(recordSize) : 0;
}

std::size_t recordBytes(std::int32_t records, std::size_t recordSize)
{
    return static_cast<std::size_t>(records) * recordSize;
}

// The part of a file between its header and its records.
struct FixedPart {
    platform::SystemTime begin;
    v2DeviceInfo device;
    std::int32_t count;
};

// Reads the begin time, the device in the layout of 34 or 40 bytes and the
// count; false when the file ends before them.
bool readFixedPart(platform::Handle file, std::size_t deviceInfoSize, FixedPart& part)
{
    unsigned char bytes[kTimeSize + kV2DeviceInfoSize + kCountSize];
    const std::size_t size = kTimeSize + deviceInfoSize + kCountSize;
    if (platform::readFile(file, bytes, size) != static_cast<std::int64_t>(size))
        return false;
    part.begin = decodeTime(bytes);
    part.device = deviceInfoSize == kV2DeviceInfoSize ? decodeV2DeviceInfo(bytes + kTimeSize)
                                                      : decodeDeviceInfo(bytes + kTimeSize);
    part.count = static_cast<std::int32_t>(getU32(bytes + kTimeSize + deviceInfoSize));
    return true;
}

// How many records to take from a file: its count, reduced to the complete
// records the file holds, so a file cut short (a crash during an append)
// opens with what it has. -1 for a count no series can have. The report
// learns the count and whether the file falls short of it.
std::int32_t recordsToTake(std::int32_t stored, platform::Handle file, std::int64_t recordsOffset,
                           std::size_t recordSize, TdfReadReport& report)
{
    report.storedCount = stored;
    if (stored < 0 || stored > TermDataFile::kMaxCount) {
        report.fault = TdfReadReport::Fault::Count;
        return -1;
    }
    const std::int64_t held = completeRecords(platform::fileSize(file) - recordsOffset, recordSize);
    if (held < stored)
        report.fault = TdfReadReport::Fault::Short;
    return static_cast<std::int32_t>(std::min<std::int64_t>(stored, held));
}

// Reads up to `wanted` records of `recordSize` bytes in blocks and hands each
// to `store` with its index; returns how many complete records were read.
template <typename Store>
std::int32_t readRecords(platform::Handle file, std::int32_t wanted, std::size_t recordSize, Store store)
{
    constexpr std::int32_t kBlockRecords = 4096;
    std::vector<unsigned char> block(recordBytes(kBlockRecords, recordSize));
    std::int32_t done = 0;
    while (done < wanted) {
        const std::int32_t step = std::min(kBlockRecords, wanted - done);
        const std::int64_t got = platform::readFile(file, block.data(), recordBytes(step, recordSize));
        const auto complete = static_cast<std::int32_t>(completeRecords(got, recordSize));
        for (std::int32_t i = 0; i < complete; ++i)
            store(done + i, block.data() + recordBytes(i, recordSize));
        done += complete;
        if (complete < step)
            break;
    }
    return done;
}

// The two bytes between the emissivity and the quantum count.
void clearPadding(v4TermData& record)
{
    constexpr std::size_t start = offsetof(v4TermData, emissivity) + sizeof record.emissivity;
    std::memset(reinterpret_cast<unsigned char*>(&record) + start, 0, offsetof(v4TermData, quantum) - start);
}

// The name of a series' file: its begin time, and from the second candidate
// on a number after it. False when the name does not fit 63 characters.
bool termFileName(const platform::SystemTime& t, int candidate, char (&name)[64])
{
    const unsigned fields[] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
    const int length = candidate == 1
        ? std::snprintf(name, sizeof name, "KL%04u%02u%02u%02u%02u%02u.tdf", fields[0], fields[1], fields[2],
                        fields[3], fields[4], fields[5])
        : std::snprintf(name, sizeof name, "KL%04u%02u%02u%02u%02u%02u_%d.tdf", fields[0], fields[1], fields[2],
                        fields[3], fields[4], fields[5], candidate);
    return length > 0 && length < static_cast<int>(sizeof name);
}

// Names tried in one folder before it counts as full.
constexpr int kNameCandidates = 99;

// Claims the first free name for a series begun at `begin` in `folder` by
// creating it as an empty file: a name another series (of this process or
// another) already has is never taken. Empty when the folder takes no new file.
std::string claimFreeName(const std::string& folder, const platform::SystemTime& begin)
{
    char name[64];
    if (!termFileName(begin, 1, name) || !Shared::CreateParentDirectories(Shared::ConcatPaths({folder, name})))
        return {};
    for (int candidate = 1; candidate <= kNameCandidates && termFileName(begin, candidate, name); ++candidate) {
        const std::string path = Shared::ConcatPaths({folder, name});
        HandleGuard file(platform::openFile(path, platform::FileOpen::CreateNew));
        if (platform::isUsableHandle(file.get()))
            return path;
        // Refused although the name is free: the folder takes no new file.
        if (!platform::pathExists(path))
            return {};
    }
    return {};
}

const char kTempSuffix[] = ".tmp";

// Writes `head` and `records` into a new file beside `path`, flushes it to the
// disk and puts it in the place of `path`. On failure the new file is removed
// and whatever was at `path` stays as it was.
bool replaceWhole(const std::string& path, const unsigned char* head, std::size_t headSize,
                  const v4TermData* records, std::int32_t n)
{
    const std::string temp = path + kTempSuffix;
    // Left behind by a process that ended while saving: its file is ours by name.
    platform::removeFile(temp);
    bool written = false;
    {
        HandleGuard file(platform::openFile(temp, platform::FileOpen::CreateNew));
        if (!platform::isUsableHandle(file.get()))
            return false;
        written = platform::writeFile(file.get(), head, headSize)
            && (n == 0 || platform::writeFile(file.get(), records, recordBytes(n, kV4RecordSize)))
            && platform::flushFile(file.get());
    }
    if (written && platform::replaceFile(temp, path))
        return true;
    platform::removeFile(temp);
    return false;
}

}  // namespace

bool TermDataFile::Read(const char* path, TdfReadReport* report)
{
    TdfReadReport local;
    TdfReadReport& found = report != nullptr ? *report : local;
    found = TdfReadReport{};
    if (path == nullptr || *path == '\0' || termData == nullptr) {
        found.fault = TdfReadReport::Fault::Open;
        return false;
    }
    HandleGuard file(platform::openFile(path, platform::FileOpen::ReadExisting));
    if (!platform::isUsableHandle(file.get())) {
        found.fault = TdfReadReport::Fault::Open;
        showError(kOpenFailed);
        return false;
    }
    unsigned char header[kHeaderSize];
    if (platform::readFile(file.get(), header, sizeof header) != static_cast<std::int64_t>(sizeof header)) {
        found.fault = TdfReadReport::Fault::Header;
        showError(kHeaderUnreadable);
        return false;
    }
    if (std::memcmp(header, "TDF", 3) != 0) {
        found.fault = TdfReadReport::Fault::Magic;
        showError(kWrongHeader);
        return false;
    }
    found.version = header[3];
    bool read = false;
    switch (header[3]) {
    case 1:
        read = ReadV1(file.get(), found);
        break;
    case 2:
    case 4:
        read = ReadV4(file.get(), found);
        break;
    case 3:
        read = ReadV3(file.get(), found);
        break;
    default:
        found.fault = TdfReadReport::Fault::Version;
        showError(kUnknownFormat);
        return false;
    }
    if (read)
        file_.clear();
    return read;
}

bool TermDataFile::ReadV4(void* file, TdfReadReport& report)
{
    FixedPart part{};
    if (!readFixedPart(file, kV2DeviceInfoSize, part)) {
        report.fault = TdfReadReport::Fault::FixedPart;
        return false;
    }
    const std::int32_t wanted = recordsToTake(part.count, file, kV4RecordsOffset, kV4RecordSize, report);
    if (wanted < 0)
        return false;
    // No reader is promised a record while the records are overwritten.
    count.store(0, std::memory_order_release);
    const std::int64_t got = wanted > 0 ? platform::readFile(file, termData, recordBytes(wanted, kV4RecordSize)) : 0;
    const auto records = static_cast<std::int32_t>(completeRecords(got, kV4RecordSize));
    for (std::int32_t i = 0; i < records; ++i)
        clearPadding(termData[i]);
    beginTime = part.begin;
    deviceInfo = part.device;
    count.store(records, std::memory_order_release);
    return true;
}

bool TermDataFile::ReadV1(void* file, TdfReadReport& report)
{
    FixedPart part{};
    if (!readFixedPart(file, kDeviceInfoSize, part)) {
        report.fault = TdfReadReport::Fault::FixedPart;
        return false;
    }
    const std::int32_t wanted = recordsToTake(part.count, file, kV1RecordsOffset, kV1RecordSize, report);
    if (wanted < 0)
        return false;
    count.store(0, std::memory_order_release);
    const std::int32_t got = readRecords(file, wanted, kV1RecordSize, [this](std::int32_t i, const unsigned char* p) {
        termData[i].time = static_cast<std::int32_t>(getU32(p));
        termData[i].temperature = getU16(p + 4);
        termData[i].emissivity = getU16(p + 6);
        clearPadding(termData[i]);
    });
    beginTime = part.begin;
    deviceInfo = part.device;
    count.store(got, std::memory_order_release);
    return true;
}

bool TermDataFile::ReadV3(void* file, TdfReadReport& report)
{
    FixedPart part{};
    if (!readFixedPart(file, kDeviceInfoSize, part)) {
        report.fault = TdfReadReport::Fault::FixedPart;
        return false;
    }
    // The stamps are on the begin time's clock: local time, no zone
    // conversion. Without a begin time on that clock they mean nothing.
    std::uint64_t begin = 0;
    if (!platform::systemTimeToFileTime(part.begin, begin)) {
        report.storedCount = part.count;
        report.fault = TdfReadReport::Fault::BeginTime;
        return false;
    }
    const std::int32_t wanted = recordsToTake(part.count, file, kV1RecordsOffset, kV3RecordSize, report);
    if (wanted < 0)
        return false;
    // A stamp before the begin, or too late for a record's milliseconds,
    // would wrap: such a file is refused before the series is touched.
    bool stampsFit = true;
    readRecords(file, wanted, kV3RecordSize, [begin, &stampsFit](std::int32_t, const unsigned char* p) {
        const std::uint64_t stamp = getU64(p);
        stampsFit = stampsFit && stamp >= begin && (stamp - begin) / kFileTimeUnitsPerMs <= INT32_MAX;
    });
    if (!stampsFit) {
        report.fault = TdfReadReport::Fault::Stamp;
        return false;
    }
    if (!platform::setFilePosition(file, kV1RecordsOffset)) {
        report.fault = TdfReadReport::Fault::FixedPart;
        return false;
    }
    count.store(0, std::memory_order_release);
    const std::int32_t got =
        readRecords(file, wanted, kV3RecordSize, [this, begin](std::int32_t i, const unsigned char* p) {
            const std::uint64_t ms = (getU64(p) - begin) / kFileTimeUnitsPerMs;
            termData[i].time = static_cast<std::int32_t>(ms);
            termData[i].temperature = getU16(p + 8);
            termData[i].emissivity = getU16(p + 10);
            clearPadding(termData[i]);
        });
    beginTime = part.begin;
    deviceInfo = part.device;
    count.store(got, std::memory_order_release);
    return true;
}

bool TermDataFile::GetTermFilePath()
{
    // A folder that cannot be found is skipped rather than joined as a
    // relative path.
    const std::string working = Shared::GetWorkingDirectory();
    if (!working.empty())
        file_ = claimFreeName(working, beginTime);
    const std::string documents = file_.empty() ? Shared::GetDocumentsPath() : std::string();
    if (!documents.empty())
        file_ = claimFreeName(Shared::ConcatPaths({documents, "Ostrelan", "KL_S"}), beginTime);
    return !file_.empty();
}

bool TermDataFile::Save()
{
    const bool claimed = file_.empty();
    if (claimed && !GetTermFilePath()) {
        showError(kNoWritableFolder);
        return false;
    }
    const std::int32_t n = count.load(std::memory_order_relaxed);
    unsigned char head[kV4RecordsOffset];
    std::memcpy(head, "TDF\x04\r\n", kHeaderSize);
    encodeTime(head + kHeaderSize, beginTime);
    encodeV2DeviceInfo(head + kHeaderSize + kTimeSize, deviceInfo);
    putU32(head + kV4CountOffset, static_cast<std::uint32_t>(n));
    if (replaceWhole(file_, head, sizeof head, termData, n))
        return true;
    // A name claimed for this save is given back.
    if (claimed) {
        platform::removeFile(file_);
        file_.clear();
    }
    showError(kSaveFailed);
    return false;
}

bool TermDataFile::SaveResult()
{
    const std::int32_t n = count.load(std::memory_order_relaxed);
    if (n == 1 || file_.empty())
        return Save();
    HandleGuard file(platform::openFile(file_, platform::FileOpen::ReadWriteExisting));
    if (!platform::isUsableHandle(file.get()))
        return Save();
    // Only a version 4 file with a count this series can extend is patched; any
    // other file of that name (emptied, foreign, from a longer series) is
    // written anew.
    unsigned char head[kV4RecordsOffset];
    std::int32_t stored = -1;
    if (platform::readFile(file.get(), head, sizeof head) == static_cast<std::int64_t>(sizeof head)
        && std::memcmp(head, "TDF\x04", 4) == 0)
        stored = static_cast<std::int32_t>(getU32(head + kV4CountOffset));
    if (stored < 0 || stored > n) {
        file.reset();
        return Save();
    }
    // The records go first and the count that covers them last, so at every
    // moment the count promises no record the file lacks: a crash between the
    // two leaves records beyond the count, which readers skip and the next
    // save overwrites. A file left shorter than its count (by a power loss or
    // an older writer) is extended from its last complete record.
    const std::int64_t held = completeRecords(platform::fileSize(file.get()) - kV4RecordsOffset, kV4RecordSize);
    const std::int32_t first = static_cast<std::int32_t>(std::min<std::int64_t>(stored, held));
    if (first < n
        && (!platform::setFilePosition(file.get(), kV4RecordsOffset + first * std::int64_t{kV4RecordSize})
            || !platform::writeFile(file.get(), termData + first, recordBytes(n - first, kV4RecordSize))))
        return false;
    unsigned char countBytes[kCountSize];
    putU32(countBytes, static_cast<std::uint32_t>(n));
    return platform::setFilePosition(file.get(), kV4CountOffset)
        && platform::writeFile(file.get(), countBytes, sizeof countBytes);
}
