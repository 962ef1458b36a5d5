// kl_tdf run as users run it: the CSV of files of every version (written by
// the library or built byte by byte), a full series and an empty one compared
// with rows made independently; bad files refused with a message and no row;
// the description of files; wrong usage.
#include <kcmb.h>

#include <algorithm>

#include "child_process.h"
#include "tdf_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>

#include <algorithm>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace fs = std::filesystem;
using testing_support::kBegin;
using testing_support::readAll;
using testing_support::Reading;
using testing_support::runProgram;
using testing_support::tdfFile;
using testing_support::TempDir;
using testing_support::writeAll;

namespace {

const char kHeader[] = "Время,Время от начала (мс),Температура (°C),Степень черноты,Кванты\r\n";
const char kRatioHeader[] = "Время,Время от начала (мс),Температура (°C),Отношение степеней черноты,Кванты\r\n";

// The clock time `ms` after `begin`, by the C library's UTC calendar (which,
// like the files, knows no zone or daylight saving).
std::string clockText(const platform::SystemTime& begin, std::int64_t ms)
{
    std::tm tm{};
    tm.tm_year = begin.year - 1900;
    tm.tm_mon = begin.month - 1;
    tm.tm_mday = begin.day;
    tm.tm_hour = begin.hour;
    tm.tm_min = begin.minute;
    tm.tm_sec = begin.second;
    const std::int64_t total = std::int64_t{::timegm(&tm)} * 1000 + begin.milliseconds + ms;
    const std::int64_t seconds = total >= 0 ? total / 1000 : (total - 999) / 1000;
    const auto t = static_cast<std::time_t>(seconds);
    std::tm out{};
    ::gmtime_r(&t, &out);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", out.tm_year + 1900, out.tm_mon + 1,
                  out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec, static_cast<int>(total - seconds * 1000));
    return text;
}

std::string expectedRow(const platform::SystemTime& begin, bool ratio, const Reading& r)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s,%d,%d,%.*f,%d\r\n", clockText(begin, r.time).c_str(), r.time,
                  r.temperature, ratio ? 3 : 2, r.emissivity / (ratio ? 1000.0 : 100.0), r.quantum);
    return text;
}

std::string expectedCsv(const platform::SystemTime& begin, bool ratio, const std::vector<Reading>& readings)
{
    std::string csv = ratio ? kRatioHeader : kHeader;
    for (const Reading& r : readings)
        csv += expectedRow(begin, ratio, r);
    return csv;
}

// Readings with every field's edges: negative and large times, temperatures
// above 32767, emissivity words from 0 to 65535.
std::vector<Reading> edgeReadings()
{
    return {{0, 812, 95, 40000},       {1500, 65535, 0, 0},          {-250, 0, 65535, -1},
            {86400000, 1200, 100, 60000}, {2147483647, 32768, 999, 2147483647}};
}

// Readings as a file of `version` gives them back: versions 1 and 3 keep 16
// bits of the temperature and no quantum count.
std::vector<Reading> asStored(std::vector<Reading> readings, int version)
{
    if (version == 1 || version == 3)
        for (Reading& r : readings) {
            r.temperature &= 0xFFFF;
            r.quantum = 0;
        }
    return readings;
}

class KlTdfTest : public ::testing::Test {
protected:
    testing_support::ProgramResult tdf(const std::vector<std::string>& args) const
    {
        std::vector<std::string> all = {KL_TDF_PATH};
        all.insert(all.end(), args.begin(), args.end());
        return runProgram(all);
    }

    // A series of `readings` written by the library, of a device of `type`.
    std::string librarySeries(const std::vector<Reading>& readings, unsigned short type = 3) const
    {
        TermDataFile series;
        series.SetBeginTime(&kBegin);
        v2DeviceInfo device{};
        device.type = type;
        series.SetDeviceInfo(&device);
        for (const Reading& r : readings)
            series.Add(r.time, r.temperature, r.emissivity, r.quantum);
        const std::string path = work.file("library" + std::to_string(readings.size()) + ".tdf");
        series.SetFilePath(path.c_str());
        EXPECT_TRUE(series.Save());
        return path;
    }

    TempDir work;
};

TEST_F(KlTdfTest, EveryVersionGivesItsRecordsExactly)
{
    for (unsigned type : {3u, 131u}) {
        const bool ratio = type == 131;
        for (int version : {1, 2, 3, 4}) {
            SCOPED_TRACE("version " + std::to_string(version) + ", type " + std::to_string(type));
            const std::string path = work.file("v" + std::to_string(version) + ".tdf");
            // Version 3 stamps are calendar times, none of them before the begin.
            std::vector<Reading> given = edgeReadings();
            if (version == 3)
                given.erase(std::remove_if(given.begin(), given.end(), [](const Reading& r) { return r.time < 0; }),
                            given.end());
            writeAll(path, tdfFile(version, static_cast<std::int32_t>(given.size()), given, 0, type));
            const auto result = tdf({"csv", path});
            EXPECT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(result.out, expectedCsv(kBegin, ratio, asStored(given, version)));
            EXPECT_EQ(result.err, "");
        }
        const auto result = tdf({"csv", librarySeries(edgeReadings(), static_cast<unsigned short>(type))});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, expectedCsv(kBegin, ratio, edgeReadings()));
    }
}

TEST_F(KlTdfTest, AFullSeriesComesOutWhole)
{
    std::vector<Reading> readings;
    for (std::int32_t i = 0; i < TermDataFile::kMaxCount; ++i)
        readings.push_back({i * 20, 700 + i % 1100, static_cast<std::uint16_t>(80 + i % 21), 1000 + i});
    const std::string path = librarySeries(readings);
    const std::string expected = expectedCsv(kBegin, false, readings);
    const auto toStdout = tdf({"csv", path, "-o", "-"});
    EXPECT_EQ(toStdout.status, 0) << toStdout.err;
    EXPECT_TRUE(toStdout.out == expected) << "standard output differs";
    const auto toFile = tdf({"csv", path, "-o", work.file("full.csv")});
    EXPECT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_EQ(toFile.out, "");
    EXPECT_TRUE(readAll(work.file("full.csv")) == expected) << "full.csv differs";
}

// --ru: the same rows with semicolons between the fields and a decimal comma
// in the emissivity, the one field with decimals.
TEST_F(KlTdfTest, TheRussianFormIsTheSameTableForASpreadsheetSetUpForRussian)
{
    const std::string path = librarySeries(edgeReadings());
    const auto standard = tdf({"csv", path});
    ASSERT_EQ(standard.status, 0) << standard.err;
    std::string expected;
    std::istringstream lines(standard.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, ',');)
            fields.push_back(field);
        ASSERT_EQ(fields.size(), 5u) << line;
        if (fields[0] != "Время")
            std::replace(fields[3].begin(), fields[3].end(), '.', ',');
        expected += fields[0] + ";" + fields[1] + ";" + fields[2] + ";" + fields[3] + ";" + fields[4] + "\n";
    }
    const auto russian = tdf({"csv", path, "--ru"});
    EXPECT_EQ(russian.status, 0) << russian.err;
    EXPECT_EQ(russian.out, expected);
    const auto toFile = tdf({"csv", "--ru", path, "-o", work.file("ru.csv")});
    EXPECT_EQ(toFile.status, 0) << toFile.err;
    EXPECT_EQ(readAll(work.file("ru.csv")), expected);
    EXPECT_NE(tdf({"--help"}).out.find("--ru"), std::string::npos) << "the help names the form";
}

TEST_F(KlTdfTest, AnEmptySeriesGivesTheHeaderAlone)
{
    const auto result = tdf({"csv", librarySeries({})});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kHeader);
}

struct BadFile {
    const char* what;
    std::function<void(const std::string&)> make;
    const char* says;
};

TEST_F(KlTdfTest, ABadFileGivesAMessageAndNoRow)
{
    const auto bytes = [](std::string content) { return [content](const std::string& p) { writeAll(p, content); }; };
    std::string badBegin = tdfFile(4, 2, testing_support::readings(2));
    badBegin[8] = 13;  // month 13
    // Version 3, the first stamp 1 ms before the begin.
    std::string stampBefore = tdfFile(3, 2, testing_support::readings(2));
    std::uint64_t stamp = 0;
    for (int i = 7; i >= 0; --i)
        stamp = stamp << 8 | static_cast<unsigned char>(stampBefore[60 + i]);
    stamp -= 10000;
    for (int i = 0; i < 8; ++i)
        stampBefore[60 + i] = static_cast<char>(stamp >> (8 * i) & 0xFF);
    const BadFile cases[] = {
        {"cut short", bytes(tdfFile(4, 5, testing_support::readings(3), 7)), "файл обрезан: записей меньше"},
        {"cut inside its fixed part", bytes(tdfFile(1, 5, {}).substr(0, 40)), "файл обрезан"},
        {"a negative count", bytes(tdfFile(2, -5, testing_support::readings(3))), "неверное число записей"},
        {"a count above a series", bytes(tdfFile(3, 200000, testing_support::readings(3))), "неверное число записей"},
        {"version 7", bytes(tdfFile(7, 0, {})), "Неизвестный формат файла."},
        {"no TDF", bytes("PNG\x04\r\n" + std::string(100, '\0')), "Неверный заголовок файла."},
        {"empty", bytes(""), "Ошибка чтения заголовка файла."},
        {"a begin time outside the calendar", bytes(badBegin), "неверное время начала серии"},
        {"a reading before the begin", bytes(stampBefore), "неверное время показания"},
        {"a dangling link", [](const std::string& p) { fs::create_symlink(p + ".gone", p); },
         "ссылка ведёт к файлу, которого нет"},
        {"missing", [](const std::string&) {}, "нет такого файла"},
        {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, "это не обычный файл"},
        {"a folder", [](const std::string& p) { fs::create_directory(p); }, "это не обычный файл"},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string path = dir.file("bad.tdf");
        c.make(path);
        const auto toStdout = tdf({"csv", path});
        EXPECT_EQ(toStdout.status, 1);
        EXPECT_EQ(toStdout.out, "");
        EXPECT_NE(toStdout.err.find("kl_tdf: " + path + ": " + c.says), std::string::npos) << toStdout.err;

        writeAll(dir.file("out.csv"), "an older table");
        const auto toFile = tdf({"csv", path, "-o", dir.file("out.csv")});
        EXPECT_EQ(toFile.status, 1);
        EXPECT_EQ(readAll(dir.file("out.csv")), "an older table");
        EXPECT_FALSE(fs::exists(dir.file("out.csv.tmp")));

        const auto info = tdf({"info", path});
        EXPECT_EQ(info.status, 1);
        EXPECT_EQ(info.out, "");
        EXPECT_EQ(info.err, toStdout.err);
    }
}

TEST_F(KlTdfTest, InfoDescribesEachFileAndNamesTheBadOnes)
{
    std::vector<Reading> readings = {{250, 1210, 95, 1}, {1250, 1190, 95, 2}, {62250, 1234, 95, 3}};
    const std::string ratio = work.file("ratio.tdf");
    writeAll(ratio, tdfFile(4, 3, readings, 0, 131));
    const std::string empty = librarySeries({});
    const std::string bad = work.file("bad.tdf");
    writeAll(bad, "TDF");
    const auto result = tdf({"info", ratio, bad, empty});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "kl_tdf: " + bad + ": Ошибка чтения заголовка файла.\n");
    const std::string model = getDeviceName(131);
    EXPECT_EQ(result.out, "Файл: " + ratio + "\n"
                          "Версия формата: 4\n"
                          "Прибор: " + model + " (тип 131, адрес 7)\n"
                          "Заводской номер: 1234\n"
                          "Диапазон прибора, °C: 300 .. 65535\n"
                          "Начало: 2024-03-05 09:07:02.000\n"
                          "Записей: 3\n"
                          "Длительность: 0:01:02.000 (62000 мс)\n"
                          "Минимум, °C: 1190\n"
                          "Максимум, °C: 1234\n"
                          "\n"
                          "Файл: " + empty + "\n"
                          "Версия формата: 4\n"
                          "Прибор: " + getDeviceName(3) + " (тип 3, адрес 0)\n"
                          "Заводской номер: \n"
                          "Диапазон прибора, °C: 0 .. 0\n"
                          "Начало: 2024-03-05 09:07:02.000\n"
                          "Записей: 0\n"
                          "Длительность: —\n"
                          "Минимум, °C: —\n"
                          "Максимум, °C: —\n");
}

TEST_F(KlTdfTest, LibrariesOfTheSameNamesInTheWorkingFolderAreNeverLoaded)
{
    // Files that are no libraries at all: loading one ends the program at start.
    for (const char* name : {"libstdc++.so.6", "libkcmb.so.1", "libm.so.6"})
        writeAll(work.file(name), "not a library");
    const fs::path previous = fs::current_path();
    fs::current_path(work.path());
    const auto help = tdf({"--help"});
    fs::current_path(previous);
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("kl_tdf csv"), std::string::npos);
}

TEST_F(KlTdfTest, WrongUsageShowsHowToUse)
{
    const std::string file = librarySeries({});
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"info"}, {"csv"}, {"csv", file, file}, {"list", file}, {"csv", file, "-o"}}) {
        const auto result = tdf(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("Использование:"), std::string::npos);
    }
    const auto help = tdf({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("kl_tdf csv ФАЙЛ [-o ВЫХОД]"), std::string::npos);
}

}  // namespace
