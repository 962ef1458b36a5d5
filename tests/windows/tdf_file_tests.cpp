// Result files through the Win32 file functions: a series saved whole and
// extended reading by reading reads back the same, a file held open by a
// reader is replaced by Save, and a series claims a file of its own.
#include <kcmb.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

namespace {

platform::SystemTime beginTime()
{
    return platform::SystemTime{2024, 3, 2, 5, 9, 7, 2, 250};
}

void fill(TermDataFile& series, int count)
{
    series.Clear();
    const platform::SystemTime begin = beginTime();
    series.SetBeginTime(&begin);
    DeviceInfo info{};
    info.address = 1;
    info.type = 3;
    info.tempMin = 200;
    info.tempMax = 1000;
    const v2DeviceInfo device(info);
    series.SetDeviceInfo(&device);
    for (int i = 0; i < count; ++i)
        series.Add(i * 500L, 600 + i % 50, 95, 40000 + i);
}

void expectSame(TermDataFile& read, int count)
{
    ASSERT_EQ(read.GetCount(), count);
    EXPECT_EQ(read.GetBeginTime()->year, 2024);
    EXPECT_EQ(read.GetBeginTime()->milliseconds, 250);
    EXPECT_EQ(read.GetDeviceInfo()->type, 3);
    const v4TermData* records = read.GetTermData();
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(records[i].time, i * 500L) << i;
        ASSERT_EQ(records[i].temperature, 600 + i % 50) << i;
        ASSERT_EQ(records[i].quantum, 40000 + i) << i;
    }
}

TEST(WindowsResultFiles, ASeriesExtendedReadingByReadingReadsBackWhole)
{
    testing_support::TempDir dir;
    const std::string path = dir.file("series.tdf");
    TermDataFile series;
    fill(series, 0);
    series.SetFilePath(path.c_str());
    for (int i = 0; i < 300; ++i) {
        series.Add(i * 500L, 600 + i % 50, 95, 40000 + i);
        ASSERT_TRUE(series.SaveResult()) << i;
    }
    TermDataFile read;
    TdfReadReport report;
    ASSERT_TRUE(read.Read(path.c_str(), &report));
    EXPECT_EQ(report.fault, TdfReadReport::Fault::None);
    expectSame(read, 300);
}

// Windows renames nothing over a file that another program holds open. Save
// then fails as it does on a full disk: the old file stays whole, the new one
// is removed, and the operator is told; once the reader lets go it succeeds.
TEST(WindowsResultFiles, SaveBesideAReaderKeepsTheOldFileUntilTheReaderLetsGo)
{
    testing_support::TempDir dir;
    const std::string path = dir.file("held.tdf");
    TermDataFile series;
    fill(series, 10);
    series.SetFilePath(path.c_str());
    ASSERT_TRUE(series.Save());

    testing_support::ScriptedMessageBoxes boxes;
    const HANDLE reader = ::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    fill(series, 1000);
    series.SetFilePath(path.c_str());
    EXPECT_FALSE(series.Save());
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    TermDataFile read;
    ASSERT_TRUE(read.Read(path.c_str()));
    expectSame(read, 10);
    ASSERT_EQ(boxes.texts().size(), 1u);
    EXPECT_EQ(boxes.texts()[0], "Ошибка сохранения результатов.");

    ::CloseHandle(reader);
    EXPECT_TRUE(series.Save());
    ASSERT_TRUE(read.Read(path.c_str()));
    expectSame(read, 1000);
}

TEST(WindowsResultFiles, TwoSeriesBegunInOneSecondGetFilesOfTheirOwn)
{
    testing_support::TempDir dir;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::u8path(dir.path()));
    {
        TermDataFile first;
        TermDataFile second;
        fill(first, 3);
        fill(second, 4);
        ASSERT_TRUE(first.SaveResult());
        ASSERT_TRUE(second.SaveResult());
        EXPECT_EQ(std::filesystem::path(first.GetFilePath()).filename().string(), "KL20240305090702.tdf");
        EXPECT_EQ(std::filesystem::path(second.GetFilePath()).filename().string(), "KL20240305090702_2.tdf");
        TermDataFile read;
        ASSERT_TRUE(read.Read(second.GetFilePath().c_str()));
        expectSame(read, 4);
    }
    std::filesystem::current_path(before);
}

TEST(WindowsResultFiles, AMissingFileOrAFolderIsRefused)
{
    testing_support::TempDir dir;
    TermDataFile read;
    TdfReadReport report;
    EXPECT_FALSE(read.Read(dir.file("none.tdf").c_str(), &report));
    EXPECT_EQ(report.fault, TdfReadReport::Fault::Open);
    EXPECT_FALSE(read.Read(dir.path().c_str(), &report));
    EXPECT_EQ(report.fault, TdfReadReport::Fault::Open);
}

}  // namespace
