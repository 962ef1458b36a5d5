// The .tdf files: where a series is saved, the bytes of a saved file, the
// incremental save, reading the four versions, the messages, and files whose
// count cannot be trusted.
#include <kcmb.h>

#include "tdf_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>
#include <fcntl.h>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::ScriptedMessageBoxes;
using testing_support::TempDir;
using testing_support::kBegin;
using testing_support::Reading;
using testing_support::readAll;
using testing_support::readings;
using testing_support::tdfFile;
using testing_support::u32At;
using testing_support::writeAll;

namespace {

const char kFileName[] = "KL20240305090702.tdf";

// The process's working directory for a scope.
class ScopedCwd {
public:
    explicit ScopedCwd(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~ScopedCwd() { fs::current_path(old_); }
    ScopedCwd(const ScopedCwd&) = delete;
    ScopedCwd& operator=(const ScopedCwd&) = delete;

private:
    fs::path old_;
};

// Files written by this process stop at `bytes` for a scope: a write past
// that fails, as on a full disk, also for root.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        const rlimit tight{bytes, old_.rlim_max};
        ok_ = setrlimit(RLIMIT_FSIZE, &tight) == 0;
    }
    ~ScopedFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int);
    bool ok_ = false;
};

// No new file can be opened by this process for a scope, also for root.
class ScopedNoNewFiles {
public:
    ScopedNoNewFiles()
    {
        getrlimit(RLIMIT_NOFILE, &old_);
        const int lowestFree = ::open("/dev/null", O_RDONLY);
        ::close(lowestFree);
        const rlimit none{static_cast<rlim_t>(lowestFree), old_.rlim_max};
        ok_ = lowestFree >= 0 && setrlimit(RLIMIT_NOFILE, &none) == 0;
    }
    ~ScopedNoNewFiles() { setrlimit(RLIMIT_NOFILE, &old_); }
    ScopedNoNewFiles(const ScopedNoNewFiles&) = delete;
    ScopedNoNewFiles& operator=(const ScopedNoNewFiles&) = delete;
    bool ok() const { return ok_; }

private:
    rlimit old_{};
    bool ok_ = false;
};

class TdfFileTest : public ::testing::Test {
protected:
    void SetUp() override { series.SetBeginTime(&kBegin); }

    std::string inWork(const std::string& name) const { return work.file(name); }
    std::string documentsFile() const { return docs.path() + "/Ostrelan/KL_S/" + kFileName; }

    TempDir work;
    ScopedCwd cwd{work.path()};
    TempDir docs;
    ScopedEnv documents{"XDG_DOCUMENTS_DIR", docs.path()};
    ScriptedMessageBoxes boxes;
    TermDataFile series;
};

void expectOneErrorBox(const ScriptedMessageBoxes& boxes, const std::string& text)
{
    const auto shown = boxes.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, text);
    EXPECT_EQ(shown[0].caption, "Ошибка");
    EXPECT_EQ(shown[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(shown[0].buttons, platform::MessageButtons::Ok);
    EXPECT_EQ(shown[0].owner, nullptr);
}

// --- Where a series is saved ---

TEST_F(TdfFileTest, IsSavedInTheWorkingDirectoryUnderItsBeginTime)
{
    ASSERT_TRUE(series.Save());
    EXPECT_TRUE(fs::is_regular_file(inWork(kFileName)));
    EXPECT_FALSE(fs::exists(documentsFile()));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(TdfFileTest, ANameTakenByAFolderGivesTheNextFreeName)
{
    fs::create_directory(inWork(kFileName));
    series.Add(0, 900, 95);
    ASSERT_TRUE(series.SaveResult());
    EXPECT_EQ(series.GetFilePath(), inWork("KL20240305090702_2.tdf"));
    EXPECT_EQ(fs::file_size(inWork("KL20240305090702_2.tdf")), 66u + 16u);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(TdfFileTest, FallsBackToTheDocumentsFolderWhenTheWorkingDirectoryIsGone)
{
    fs::create_directory(inWork("gone"));
    ScopedCwd inGone(inWork("gone"));
    fs::remove(inWork("gone"));
    ASSERT_TRUE(series.Save());
    EXPECT_EQ(fs::file_size(documentsFile()), 66u);
}

// Folders that take no new file, even for root: /proc, and a path below a
// regular file.
TEST_F(TdfFileTest, WithNoWritableFolderSaysSoAndFails)
{
    ScopedCwd readOnly("/proc");
    writeAll(inWork("not-a-folder"), "x");
    ScopedEnv blocked("XDG_DOCUMENTS_DIR", inWork("not-a-folder"));
    EXPECT_FALSE(series.Save());
    series.Add(0, 900, 95);
    series.Add(500, 901, 95);
    EXPECT_FALSE(series.SaveResult());
    const auto texts = boxes.texts();
    ASSERT_EQ(texts.size(), 2u);
    for (const std::string& text : texts)
        EXPECT_EQ(text, "Ошибка сохранения результатов. Рабочая папка программы недоступна для записи");
    EXPECT_EQ(boxes.shown()[0].caption, "Ошибка");
    EXPECT_EQ(boxes.shown()[0].icon, platform::MessageIcon::Error);
    EXPECT_TRUE(series.GetFilePath().empty());
}

// --- The bytes of a saved file ---

TEST_F(TdfFileTest, ASavedFileHasTheVersion4Layout)
{
    v2DeviceInfo device;
    std::memset(&device, 0xAB, sizeof device);  // padding that must not reach the file
    device.address = 7;
    device.tempMin = 300;
    device.tempMax = 1200;
    device.reg2 = 0x1234;
    device.sensor = -2;
    device.type = 131;
    std::memcpy(device.serial, "1234", 5);
    std::memcpy(device.year, "2023", 5);
    std::memcpy(device.verifyDate, "01022024", 9);
    device.variant = 1;
    series.SetDeviceInfo(&device);
    series.SetMax(1500);
    series.Add(0, 900, 950, 40000);
    series.Add(500, 901, 951, 40001);
    series.Add(1000, 902, 952, 40002);
    ASSERT_TRUE(series.Save());

    const std::string bytes = readAll(inWork(kFileName));
    ASSERT_EQ(bytes.size(), 66u + 16u * 3);
    EXPECT_EQ(bytes, tdfFile(4, 3, readings(3)).replace(22 + 8, 4, std::string("\xDC\x05\0\0", 4)));
}

TEST_F(TdfFileTest, SaveResultBuildsTheFileReadingByReading)
{
    for (const Reading& r : readings(3)) {
        series.Add(r.time, r.temperature, r.emissivity, r.quantum);
        ASSERT_TRUE(series.SaveResult());
    }
    const std::string bytes = readAll(inWork(kFileName));
    ASSERT_EQ(bytes.size(), 66u + 16u * 3);
    EXPECT_EQ(bytes.substr(0, 6), std::string("\x54\x44\x46\x04\x0D\x0A"));
    EXPECT_EQ(u32At(bytes, 62), 3u);

    TermDataFile back;
    ASSERT_TRUE(back.Read(inWork(kFileName).c_str()));
    ASSERT_EQ(back.GetCount(), 3);
    EXPECT_EQ(std::memcmp(back.GetTermData(), series.GetTermData(), 3 * sizeof(v4TermData)), 0);
    EXPECT_EQ(std::memcmp(back.GetBeginTime(), &kBegin, sizeof kBegin), 0);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(TdfFileTest, SaveResultAppendsOnlyTheNewRecords)
{
    series.Add(0, 900, 95);
    series.Add(500, 901, 95);
    ASSERT_TRUE(series.SaveResult());
    // A mark on the stored first record survives the next save.
    std::string bytes = readAll(inWork(kFileName));
    bytes[66 + 4] = '\x77';
    writeAll(inWork(kFileName), bytes);
    series.Add(1000, 902, 95);
    ASSERT_TRUE(series.SaveResult());
    bytes = readAll(inWork(kFileName));
    ASSERT_EQ(bytes.size(), 66u + 16u * 3);
    EXPECT_EQ(bytes[66 + 4], '\x77');
    EXPECT_EQ(u32At(bytes, 62), 3u);
    EXPECT_EQ(u32At(bytes, 66 + 32 + 4), 902u);
}

// The append runs out of room part-way (as in a crash): the stored count
// must still describe what the file holds, and the next save mends the file.
TEST_F(TdfFileTest, AnAppendCutShortLeavesTheStoredCountTrue)
{
    for (const Reading& r : readings(2))
        series.Add(r.time, r.temperature, r.emissivity, r.quantum);
    ASSERT_TRUE(series.SaveResult());
    for (const Reading& r : readings(5))
        if (r.time > 500)
            series.Add(r.time, r.temperature, r.emissivity, r.quantum);

    bool saved = true;
    {
        ScopedFileSizeLimit tight(66 + 16 * 2 + 20);
        ASSERT_TRUE(tight.ok());
        saved = series.SaveResult();
    }

    EXPECT_FALSE(saved);
    std::string bytes = readAll(inWork(kFileName));
    EXPECT_EQ(u32At(bytes, 62), 2u);
    EXPECT_GT(bytes.size(), 66u + 16u * 2) << "part of the append reached the file";
    TermDataFile back;
    ASSERT_TRUE(back.Read(inWork(kFileName).c_str()));
    EXPECT_EQ(back.GetCount(), 2);

    ASSERT_TRUE(series.SaveResult());
    bytes = readAll(inWork(kFileName));
    ASSERT_EQ(bytes.size(), 66u + 16u * 5);
    EXPECT_EQ(u32At(bytes, 62), 5u);
    EXPECT_EQ(std::memcmp(bytes.data() + 66, series.GetTermData(), 5 * sizeof(v4TermData)), 0);
}

TEST_F(TdfFileTest, SaveResultExtendsAFileShorterThanItsCountFromItsLastRecord)
{
    for (const Reading& r : readings(4))
        series.Add(r.time, r.temperature, r.emissivity, r.quantum);
    ASSERT_TRUE(series.Save());
    // An older writer stored count 4 before a crash cut the third record.
    std::string bytes = readAll(inWork(kFileName));
    writeAll(inWork(kFileName), bytes.substr(0, 66 + 16 * 2 + 9));
    series.Add(2000, 904, 954, 40004);
    ASSERT_TRUE(series.SaveResult());
    bytes = readAll(inWork(kFileName));
    ASSERT_EQ(bytes.size(), 66u + 16u * 5);
    EXPECT_EQ(u32At(bytes, 62), 5u);
    EXPECT_EQ(std::memcmp(bytes.data() + 66, series.GetTermData(), 5 * sizeof(v4TermData)), 0);
}

TEST_F(TdfFileTest, SaveResultRewritesAFileItCannotExtend)
{
    struct Case {
        const char* what;
        std::string content;
    } const cases[] = {
        {"missing", ""},
        {"empty", std::string()},
        {"foreign", std::string(100, 'x')},
        {"from a longer series", tdfFile(4, 9, readings(9))},
        {"of version 2", tdfFile(2, 1, readings(1))},
    };
    for (const Case& c : cases) {
        TermDataFile fresh;
        fresh.SetBeginTime(&kBegin);
        fresh.Add(0, 900, 950, 40000);
        ASSERT_TRUE(fresh.SaveResult()) << c.what;
        const std::string path = fresh.GetFilePath();
        fs::remove(path);
        if (std::strcmp(c.what, "missing") != 0)
            writeAll(path, c.content);
        fresh.Add(500, 901, 951, 40001);
        ASSERT_TRUE(fresh.SaveResult()) << c.what;
        const std::string bytes = readAll(path);
        ASSERT_EQ(bytes.size(), 66u + 32u) << c.what;
        EXPECT_EQ(bytes.substr(0, 4), "TDF\x04") << c.what;
        EXPECT_EQ(u32At(bytes, 62), 2u) << c.what;
        EXPECT_EQ(std::memcmp(bytes.data() + 66, fresh.GetTermData(), 32), 0) << c.what;
        fs::remove(path);
    }
}

// --- Saving never loses a good file ---

// The names in a folder, sorted.
std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SaveFailureTest : public TdfFileTest {
protected:
    // A good file of three readings, then a longer series to save over it.
    void SetUp() override
    {
        TdfFileTest::SetUp();
        for (const Reading& r : readings(3))
            series.Add(r.time, r.temperature, r.emissivity, r.quantum);
        ASSERT_TRUE(series.Save());
        good = readAll(inWork(kFileName));
        for (long i = 3; i < 1000; ++i)
            series.Add(i * 500, 900 + i, 95, i);
    }

    void expectTheGoodFileAlone()
    {
        EXPECT_EQ(readAll(inWork(kFileName)), good);
        EXPECT_EQ(namesIn(work.path()), std::vector<std::string>{kFileName});
        expectOneErrorBox(boxes, "Ошибка сохранения результатов.");
    }

    std::string good;
};

TEST_F(SaveFailureTest, ANewFileCutShortLeavesTheOldOne)
{
    bool saved = true;
    {
        ScopedFileSizeLimit tight(good.size() + 100);
        ASSERT_TRUE(tight.ok());
        saved = series.Save();
    }
    EXPECT_FALSE(saved);
    expectTheGoodFileAlone();
}

TEST_F(SaveFailureTest, NoNewFileLeavesTheOldOne)
{
    bool saved = true;
    {
        ScopedNoNewFiles none;
        ASSERT_TRUE(none.ok());
        saved = series.Save();
    }
    EXPECT_FALSE(saved);
    expectTheGoodFileAlone();
}

TEST_F(SaveFailureTest, TheNextSaveReplacesTheOldFileWhole)
{
    {
        ScopedFileSizeLimit tight(good.size() + 100);
        series.Save();
    }
    ASSERT_TRUE(series.Save());
    const std::string bytes = readAll(inWork(kFileName));
    ASSERT_EQ(bytes.size(), 66u + 16u * 1000);
    EXPECT_EQ(std::memcmp(bytes.data() + 66, series.GetTermData(), 16 * 1000), 0);
    EXPECT_EQ(namesIn(work.path()), std::vector<std::string>{kFileName});
}

TEST_F(TdfFileTest, AFirstSaveThatFailsLeavesNoFile)
{
    for (long i = 0; i < 1000; ++i)
        series.Add(i * 500, 900, 95, i);
    {
        ScopedFileSizeLimit tight(1000);
        EXPECT_FALSE(series.Save());
    }
    EXPECT_TRUE(namesIn(work.path()).empty());
    EXPECT_TRUE(series.GetFilePath().empty());
    expectOneErrorBox(boxes, "Ошибка сохранения результатов.");
}

// A crash after the records were appended and before the count was stored
// leaves records beyond the count: readers take the count, and the next
// save overwrites them.
TEST_F(TdfFileTest, RecordsBeyondTheCountAreSkippedAndOverwritten)
{
    for (const Reading& r : readings(3))
        series.Add(r.time, r.temperature, r.emissivity, r.quantum);
    ASSERT_TRUE(series.SaveResult());
    std::string bytes = readAll(inWork(kFileName));
    bytes.replace(62, 4, std::string("\x02\0\0\0", 4));
    writeAll(inWork(kFileName), bytes);

    TermDataFile back;
    ASSERT_TRUE(back.Read(inWork(kFileName).c_str()));
    EXPECT_EQ(back.GetCount(), 2);

    series.Add(1500, 903, 953, 40003);
    ASSERT_TRUE(series.SaveResult());
    bytes = readAll(inWork(kFileName));
    ASSERT_EQ(bytes.size(), 66u + 16u * 4);
    EXPECT_EQ(u32At(bytes, 62), 4u);
    EXPECT_EQ(std::memcmp(bytes.data() + 66, series.GetTermData(), 4 * sizeof(v4TermData)), 0);
}

// --- Every series a file of its own ---

TEST_F(TdfFileTest, AReconnectInTheSameSecondStartsAFileOfItsOwn)
{
    for (const Reading& r : readings(3)) {
        series.Add(r.time, r.temperature, r.emissivity, r.quantum);
        ASSERT_TRUE(series.SaveResult());
    }
    const std::string first = readAll(inWork(kFileName));
    series.Clear();
    series.SetBeginTime(&kBegin);
    series.Add(0, 1200, 95, 1);
    ASSERT_TRUE(series.SaveResult());
    series.Add(500, 1201, 95, 2);
    ASSERT_TRUE(series.SaveResult());
    ASSERT_TRUE(series.Save());

    EXPECT_EQ(readAll(inWork(kFileName)), first);
    TermDataFile back;
    ASSERT_TRUE(back.Read(inWork("KL20240305090702_2.tdf").c_str()));
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.GetTermData()[1].temperature, 1201);
}

TEST_F(TdfFileTest, TwoSeriesBegunInTheSameSecondKeepTheirOwnRecords)
{
    TermDataFile other;
    other.SetBeginTime(&kBegin);
    for (long i = 0; i < 4; ++i) {
        series.Add(i * 500, 900 + i, 95);
        other.Add(i * 500, 1500 + i, 95);
        ASSERT_TRUE(series.SaveResult());
        ASSERT_TRUE(other.SaveResult());
    }
    ASSERT_TRUE(other.Save());
    const std::pair<TermDataFile*, std::string> files[] = {{&series, inWork(kFileName)},
                                                           {&other, inWork("KL20240305090702_2.tdf")}};
    for (const auto& [saved, path] : files) {
        TermDataFile back;
        ASSERT_TRUE(back.Read(path.c_str()));
        ASSERT_EQ(back.GetCount(), 4);
        EXPECT_EQ(std::memcmp(back.GetTermData(), saved->GetTermData(), 4 * sizeof(v4TermData)), 0);
    }
}

TEST_F(TdfFileTest, AGivenFileIsReplacedAtTheFirstSave)
{
    writeAll(inWork("chosen.tdf"), "old content");
    series.SetFilePath(inWork("chosen.tdf").c_str());
    series.Add(0, 900, 95);
    ASSERT_TRUE(series.SaveResult());
    series.Add(500, 901, 95);
    ASSERT_TRUE(series.SaveResult());
    EXPECT_EQ(fs::file_size(inWork("chosen.tdf")), 66u + 32u);
    EXPECT_FALSE(fs::exists(inWork(kFileName)));
}

TEST_F(TdfFileTest, ATemporaryFileLeftByACrashDoesNotStopTheNextSave)
{
    // A logger that crashed while saving left its temporary file; the next
    // one, given the same path, saves over it.
    series.SetFilePath(inWork("kept.tdf").c_str());
    series.Add(0, 900, 95);
    ASSERT_TRUE(series.Save());
    writeAll(inWork("kept.tdf.tmp"), "cut short by a crash");
    fs::permissions(inWork("kept.tdf.tmp"), fs::perms::owner_read);
    TermDataFile next;
    next.SetFilePath(inWork("kept.tdf").c_str());
    next.Add(0, 910, 95);
    next.Add(500, 911, 95);
    ASSERT_TRUE(next.Save());
    EXPECT_EQ(fs::file_size(inWork("kept.tdf")), 66u + 2 * 16u);
    EXPECT_FALSE(fs::exists(inWork("kept.tdf.tmp")));
    TermDataFile read;
    ASSERT_TRUE(read.Read(inWork("kept.tdf").c_str()));
    EXPECT_EQ(read.GetCount(), 2);
}

// --- Reading ---

TEST_F(TdfFileTest, Version2ReadsExactlyLikeVersion4)
{
    for (int version : {2, 4}) {
        writeAll(inWork("v.tdf"), tdfFile(version, 3, readings(3)));
        TermDataFile back;
        ASSERT_TRUE(back.Read(inWork("v.tdf").c_str())) << version;
        ASSERT_EQ(back.GetCount(), 3);
        EXPECT_EQ(std::memcmp(back.GetBeginTime(), &kBegin, sizeof kBegin), 0);
        const v2DeviceInfo* d = back.GetDeviceInfo();
        EXPECT_EQ(d->address, 7);
        EXPECT_EQ(d->tempMin, 300);
        EXPECT_EQ(d->tempMax, 65535);
        EXPECT_EQ(d->reg2, 0x1234);
        EXPECT_EQ(d->sensor, -2);
        EXPECT_EQ(d->type, 131);
        EXPECT_STREQ(d->serial, "1234");
        EXPECT_STREQ(d->year, "2023");
        EXPECT_STREQ(d->verifyDate, "01022024");
        EXPECT_EQ(d->variant, 1);
        const v4TermData& r = back.GetTermData()[2];
        EXPECT_EQ(r.time, 1000);
        EXPECT_EQ(r.temperature, 902);
        EXPECT_EQ(r.emissivity, 952);
        EXPECT_EQ(r.quantum, 40002);
    }
}

TEST_F(TdfFileTest, Version1WidensTemperaturesWithoutSign)
{
    writeAll(inWork("v1.tdf"), tdfFile(1, 2, {{-20, 0xFFFF, 95, 0}, {1000, 0x8000, 0xFFFF, 0}}));
    ASSERT_TRUE(series.Read(inWork("v1.tdf").c_str()));
    ASSERT_EQ(series.GetCount(), 2);
    const v4TermData* r = series.GetTermData();
    EXPECT_EQ(r[0].time, -20);
    EXPECT_EQ(r[0].temperature, 65535);
    EXPECT_EQ(r[0].emissivity, 95);
    EXPECT_EQ(r[1].temperature, 32768);
    EXPECT_EQ(r[1].emissivity, 0xFFFF);
    EXPECT_EQ(series.GetMin(), 300);
    EXPECT_EQ(series.GetMax(), 65535);
    EXPECT_EQ(series.GetDeviceInfo()->sensor, -2);
    EXPECT_STREQ(series.GetDeviceInfo()->verifyDate, "01022024");
    EXPECT_EQ(series.GetDeviceInfo()->variant, 1);
}

TEST_F(TdfFileTest, Version3TurnsTimeStampsIntoMillisecondsSinceTheBegin)
{
    writeAll(inWork("v3.tdf"), tdfFile(3, 3, {{0, 812, 95, 0}, {1500, 0xFFFF, 96, 0}, {86400000, 814, 97, 0}}));
    ASSERT_TRUE(series.Read(inWork("v3.tdf").c_str()));
    ASSERT_EQ(series.GetCount(), 3);
    const v4TermData* r = series.GetTermData();
    EXPECT_EQ(r[0].time, 0);
    EXPECT_EQ(r[1].time, 1500);
    EXPECT_EQ(r[1].temperature, 65535);
    EXPECT_EQ(r[1].emissivity, 96);
    EXPECT_EQ(r[2].time, 86400000);
    EXPECT_EQ(series.GetDeviceInfo()->type, 131);
    EXPECT_EQ(series.GetMax(), 65535);
}

// A version 3 file of three readings whose second stamp lies `ms` from the
// begin time (negative: before it).
std::string version3WithStamp(std::int64_t ms)
{
    std::string bytes = tdfFile(3, 3, readings(3));
    std::uint64_t begin = 0;
    platform::systemTimeToFileTime(kBegin, begin);
    const std::uint64_t stamp = begin + static_cast<std::uint64_t>(ms * 10000);
    for (int i = 0; i < 8; ++i)
        bytes[60 + 12 + i] = static_cast<char>(stamp >> (8 * i) & 0xFF);
    return bytes;
}

TEST_F(TdfFileTest, AVersion3StampThatWouldWrapIsRefusedAndTheSeriesKept)
{
    constexpr std::int64_t kLastMs = INT32_MAX;
    for (const std::int64_t ms : {std::int64_t{-1}, std::int64_t{-86400000}, kLastMs + 1, std::int64_t{1} << 40}) {
        SCOPED_TRACE(ms);
        writeAll(inWork("v3.tdf"), version3WithStamp(ms));
        series.Clear();
        series.Add(11, 22, 33);
        TdfReadReport report;
        EXPECT_FALSE(series.Read(inWork("v3.tdf").c_str(), &report));
        EXPECT_EQ(report.fault, TdfReadReport::Fault::Stamp);
        ASSERT_EQ(series.GetCount(), 1);
        EXPECT_EQ(series.GetTermData()[0].temperature, 22);
    }
    writeAll(inWork("v3.tdf"), version3WithStamp(kLastMs));
    ASSERT_TRUE(series.Read(inWork("v3.tdf").c_str()));
    ASSERT_EQ(series.GetCount(), 3);
    EXPECT_EQ(series.GetTermData()[1].time, INT32_MAX) << "the last millisecond a record holds";
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(TdfFileTest, UnreadableFilesSayWhyAndLeaveTheSeriesAlone)
{
    struct Case {
        const char* what;
        std::string content;
        const char* message;
    } const cases[] = {
        {"version 5", tdfFile(5, 1, {}), "Неизвестный формат файла."},
        {"version 0", tdfFile(0, 1, {}), "Неизвестный формат файла."},
        {"wrong magic", "TDX" + tdfFile(4, 0, {}).substr(3), "Неверный заголовок файла."},
        {"lower case magic", "tdf" + tdfFile(4, 0, {}).substr(3), "Неверный заголовок файла."},
        {"4 bytes", "TDF\x04", "Ошибка чтения заголовка файла."},
        {"empty", "", "Ошибка чтения заголовка файла."},
    };
    for (const Case& c : cases) {
        ScriptedMessageBoxes caseBoxes;
        series.Clear();
        series.Add(1, 2, 3);
        writeAll(inWork("bad.tdf"), c.content);
        EXPECT_FALSE(series.Read(inWork("bad.tdf").c_str())) << c.what;
        expectOneErrorBox(caseBoxes, c.message);
        EXPECT_EQ(series.GetCount(), 1) << c.what;
        EXPECT_EQ(series.GetTermData()[0].temperature, 2) << c.what;
    }
}

TEST_F(TdfFileTest, AFileThatCannotBeOpenedSaysSo)
{
    EXPECT_FALSE(series.Read(inWork("absent.tdf").c_str()));
    expectOneErrorBox(boxes, "Ошибка открытия файла.");
}

TEST_F(TdfFileTest, NoPathIsRefusedQuietly)
{
    EXPECT_FALSE(series.Read(nullptr));
    EXPECT_FALSE(series.Read(""));
    EXPECT_TRUE(boxes.shown().empty());
}

// --- Fields that cannot be trusted ---

TEST_F(TdfFileTest, TextsEndWithinTheirFieldsAndPaddingReadsZero)
{
    for (int version : {1, 2, 3, 4}) {
        SCOPED_TRACE(version);
        std::string bytes = tdfFile(version, 2, readings(2));
        const std::size_t serial = version == 2 || version == 4 ? 22 + 18 : 22 + 12;
        bytes.replace(serial, 5 + 5 + 9, std::string(19, '7'));
        if (version == 2 || version == 4)
            for (std::size_t record : {66u, 82u})
                bytes.replace(record + 10, 2, "\xFF\xFF");
        writeAll(inWork("texts.tdf"), bytes);
        series.Clear();
        std::memset(series.GetTermData(), 0xEE, 2 * sizeof(v4TermData));
        ASSERT_TRUE(series.Read(inWork("texts.tdf").c_str()));
        EXPECT_STREQ(series.GetDeviceInfo()->serial, "7777");
        EXPECT_STREQ(series.GetDeviceInfo()->year, "7777");
        EXPECT_STREQ(series.GetDeviceInfo()->verifyDate, "77777777");
        for (int i = 0; i < 2; ++i) {
            const auto* record = reinterpret_cast<const unsigned char*>(series.GetTermData() + i);
            EXPECT_EQ(record[10], 0);
            EXPECT_EQ(record[11], 0);
        }
    }
}

TEST_F(TdfFileTest, AVersion3FileWithAnImpossibleBeginTimeIsRefused)
{
    for (const auto& [what, offset, value] :
         {std::tuple{"month 13", 8, 13}, std::tuple{"day 0", 12, 0}, std::tuple{"hour 24", 14, 24},
          std::tuple{"year 1600", 6, 1600}}) {
        SCOPED_TRACE(what);
        std::string bytes = tdfFile(3, 2, readings(2));
        bytes[offset] = static_cast<char>(value & 0xFF);
        bytes[offset + 1] = static_cast<char>(value >> 8);
        writeAll(inWork("v3.tdf"), bytes);
        series.Clear();
        series.Add(11, 22, 33);
        EXPECT_FALSE(series.Read(inWork("v3.tdf").c_str()));
        EXPECT_EQ(series.GetCount(), 1);
        EXPECT_EQ(series.GetTermData()[0].temperature, 22);
    }
    EXPECT_TRUE(boxes.shown().empty());
}

// Opening a FIFO for reading waits for a writer; Read must not.
TEST_F(TdfFileTest, APathThatIsNoRegularFileFailsAtOnce)
{
    ASSERT_EQ(::mkfifo(inWork("fifo.tdf").c_str(), 0600), 0);
    for (const std::string& path : {inWork("fifo.tdf"), std::string("/dev/null"), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        ScriptedMessageBoxes caseBoxes;
        TermDataFile* target = &series;
        auto reading = std::async(std::launch::async, [target, path] { return target->Read(path.c_str()); });
        const bool finished = reading.wait_for(std::chrono::seconds(3)) == std::future_status::ready;
        if (!finished)  // free the reader by opening the other end
            ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));
        EXPECT_TRUE(finished) << "Read waited on " << path;
        EXPECT_FALSE(reading.get());
        expectOneErrorBox(caseBoxes, "Ошибка открытия файла.");
    }
}

TEST_F(TdfFileTest, TheReportSaysWhatWasFound)
{
    struct Case {
        const char* what;
        std::string content;
        bool read;
        TdfReadReport::Fault fault;
        int version;
        std::int32_t storedCount;
    } const cases[] = {
        {"whole", tdfFile(1, 3, readings(3)), true, TdfReadReport::Fault::None, 1, 3},
        {"cut short", tdfFile(3, 5, readings(3)), true, TdfReadReport::Fault::Short, 3, 5},
        {"bad count", tdfFile(4, -7, readings(3)), false, TdfReadReport::Fault::Count, 4, -7},
        {"fixed part cut", tdfFile(2, 0, {}).substr(0, 40), false, TdfReadReport::Fault::FixedPart, 2, 0},
        {"version 9", tdfFile(9, 0, {}), false, TdfReadReport::Fault::Version, 9, 0},
        {"begin time", tdfFile(3, 2, readings(2)).replace(8, 2, std::string("\x0D\0", 2)), false,
         TdfReadReport::Fault::BeginTime, 3, 2},
        {"magic", "XDF" + tdfFile(4, 0, {}).substr(3), false, TdfReadReport::Fault::Magic, 0, 0},
        {"header", "TDF", false, TdfReadReport::Fault::Header, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedMessageBoxes caseBoxes;
        writeAll(inWork("r.tdf"), c.content);
        TdfReadReport report;
        report.storedCount = 12345;
        EXPECT_EQ(series.Read(inWork("r.tdf").c_str(), &report), c.read);
        EXPECT_EQ(report.fault, c.fault);
        EXPECT_EQ(report.version, c.version);
        EXPECT_EQ(report.storedCount, c.storedCount);
    }
    TdfReadReport report;
    EXPECT_FALSE(series.Read(inWork("absent.tdf").c_str(), &report));
    EXPECT_EQ(report.fault, TdfReadReport::Fault::Open);
}

// --- Files whose count cannot be trusted ---

struct HostileCase {
    const char* what;
    std::int32_t count;
    int records;        // complete records in the file
    std::size_t tail;   // bytes of a torn record after them
    bool accepted;
    long expectedCount; // when accepted
};

const HostileCase kHostile[] = {
    {"negative count", -1, 3, 0, false, 0},
    {"most negative count", INT32_MIN, 3, 0, false, 0},
    {"count 200,000", 200000, 3, 0, false, 0},
    {"count 128,000", 128000, 3, 0, false, 0},
    {"130,000 records, all there", 130000, 130000, 0, false, 0},
    {"count above the records held", 10, 4, 0, true, 4},
    {"count at the limit, few records", 127999, 2, 0, true, 2},
    {"truncated inside a record", 4, 3, 5, true, 3},
    {"count zero with records", 0, 3, 0, true, 0},
    {"count below the records held", 2, 3, 0, true, 2},
};

TEST_F(TdfFileTest, HostileCountsAreRefusedOrReducedToWhatTheFileHolds)
{
    for (int version : {1, 2, 3, 4}) {
        for (const HostileCase& c : kHostile) {
            SCOPED_TRACE(std::string(c.what) + ", version " + std::to_string(version));
            series.Clear();
            series.Add(11, 22, 33);
            writeAll(inWork("hostile.tdf"), tdfFile(version, c.count, readings(c.records), c.tail));
            EXPECT_EQ(series.Read(inWork("hostile.tdf").c_str()), c.accepted);
            if (!c.accepted) {
                EXPECT_EQ(series.GetCount(), 1);
                EXPECT_EQ(series.GetTermData()[0].temperature, 22);
                EXPECT_EQ(series.GetBeginTime()->year, platform::localTime().year);
                continue;
            }
            ASSERT_EQ(series.GetCount(), c.expectedCount);
            for (long i = 0; i < c.expectedCount; ++i)
                EXPECT_EQ(series.GetTermData()[i].temperature, 900 + i);
            EXPECT_EQ(series.GetMax(), 65535);
        }
    }
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(TdfFileTest, AFixedPartCutShortIsRefused)
{
    for (int version : {1, 3, 4}) {
        const std::string whole = tdfFile(version, 0, {});
        for (std::size_t length : {std::size_t{6}, std::size_t{21}, std::size_t{30}, whole.size() - 1}) {
            series.Clear();
            series.Add(11, 22, 33);
            writeAll(inWork("short.tdf"), whole.substr(0, length));
            EXPECT_FALSE(series.Read(inWork("short.tdf").c_str())) << version << " " << length;
            EXPECT_EQ(series.GetCount(), 1);
        }
    }
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(TdfFileTest, AFullSeriesRoundTrips)
{
    for (long i = 0; i < TermDataFile::kMaxCount; ++i)
        series.Add(i * 20, static_cast<long>(i % 3000), 95, i);
    ASSERT_TRUE(series.Save());
    EXPECT_EQ(fs::file_size(inWork(kFileName)), 66u + 16u * 127999);
    TermDataFile back;
    ASSERT_TRUE(back.Read(inWork(kFileName).c_str()));
    ASSERT_EQ(back.GetCount(), 127999);
    EXPECT_EQ(std::memcmp(back.GetTermData(), series.GetTermData(), 127999 * sizeof(v4TermData)), 0);
}

}  // namespace
