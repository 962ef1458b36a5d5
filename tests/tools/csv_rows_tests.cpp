// The CSV rows of a series: clock times across days, months, years and leap
// days, times before the begin, fixed-point emissivity, and begin times and
// clock times no calendar holds.
#include "csv_rows.h"

#include <gtest/gtest.h>

namespace {

v4TermData record(std::int32_t time, std::int32_t temperature, unsigned short emissivity, std::int32_t quantum)
{
    v4TermData r{};
    r.time = time;
    r.temperature = temperature;
    r.emissivity = emissivity;
    r.quantum = quantum;
    return r;
}

std::string rowOf(const platform::SystemTime& begin, bool ratio, const v4TermData& r)
{
    tools::CsvRows rows(begin, ratio);
    std::string out;
    EXPECT_TRUE(rows.append(out, r));
    return out;
}

struct RowCase {
    const char* what;
    platform::SystemTime begin;
    bool ratio;
    v4TermData record;
    const char* row;
};

TEST(CsvRows, EachReadingIsOneRowOfItsClockTimeAndValues)
{
    const platform::SystemTime march5{2024, 3, 2, 5, 9, 7, 2, 250};
    const RowCase cases[] = {
        {"the begin itself", march5, false, record(0, 812, 95, 40000),
         "2024-03-05T09:07:02.250,0,812,0.95,40000\r\n"},
        {"carry into the next second", march5, false, record(750, 812, 100, 0),
         "2024-03-05T09:07:03.000,750,812,1.00,0\r\n"},
        {"before the begin", march5, false, record(-2251, -40, 5, -1),
         "2024-03-05T09:06:59.999,-2251,-40,0.05,-1\r\n"},
        {"past midnight", {2024, 3, 2, 5, 23, 59, 59, 900}, false, record(200, 1, 0, 1),
         "2024-03-06T00:00:00.100,200,1,0.00,1\r\n"},
        {"into a leap day", {2024, 2, 3, 28, 12, 0, 0, 0}, false, record(86400000, 900, 101, 7),
         "2024-02-29T12:00:00.000,86400000,900,1.01,7\r\n"},
        {"past a leap day", {2024, 2, 4, 29, 23, 0, 0, 0}, false, record(3600000, 900, 95, 7),
         "2024-03-01T00:00:00.000,3600000,900,0.95,7\r\n"},
        {"into a new year", {2023, 12, 0, 31, 23, 59, 59, 999}, true, record(1, 1500, 1000, 65535),
         "2024-01-01T00:00:00.000,1,1500,1.000,65535\r\n"},
        {"24 days on", {2024, 3, 2, 5, 0, 0, 0, 0}, true, record(2147483647, 1500, 987, 0),
         "2024-03-29T20:31:23.647,2147483647,1500,0.987,0\r\n"},
        {"a ratio word above 1", march5, true, record(0, 700, 65535, 0), "2024-03-05T09:07:02.250,0,700,65.535,0\r\n"},
        {"an emissivity word above 1", march5, false, record(0, 700, 65535, 0),
         "2024-03-05T09:07:02.250,0,700,655.35,0\r\n"},
    };
    for (const RowCase& c : cases)
        EXPECT_EQ(rowOf(c.begin, c.ratio, c.record), c.row) << c.what;
}

TEST(CsvRows, RowsOfOneSeriesFollowEachOther)
{
    tools::CsvRows rows({2024, 3, 2, 5, 23, 59, 59, 0}, false);
    std::string out;
    for (std::int32_t t : {0, 1000, 2000, -1000})
        ASSERT_TRUE(rows.append(out, record(t, 900, 95, 0)));
    EXPECT_EQ(out,
              "2024-03-05T23:59:59.000,0,900,0.95,0\r\n"
              "2024-03-06T00:00:00.000,1000,900,0.95,0\r\n"
              "2024-03-06T00:00:01.000,2000,900,0.95,0\r\n"
              "2024-03-05T23:59:58.000,-1000,900,0.95,0\r\n");
}

TEST(CsvRows, TheHeaderNamesTheColumns)
{
    EXPECT_EQ(tools::csvHeader(false), "Время,Время от начала (мс),Температура (°C),Степень черноты,Кванты\r\n");
    EXPECT_EQ(tools::csvHeader(true),
              "Время,Время от начала (мс),Температура (°C),Отношение степеней черноты,Кванты\r\n");
}

TEST(CsvRows, NoRowWithoutACalendarTime)
{
    for (const platform::SystemTime& begin :
         {platform::SystemTime{2024, 13, 0, 1, 0, 0, 0, 0}, platform::SystemTime{2023, 2, 0, 29, 0, 0, 0, 0},
          platform::SystemTime{2024, 1, 0, 1, 24, 0, 0, 0}, platform::SystemTime{1600, 1, 0, 1, 0, 0, 0, 0}}) {
        tools::CsvRows rows(begin, false);
        std::string out = "kept";
        EXPECT_FALSE(rows.valid());
        EXPECT_FALSE(rows.append(out, record(0, 900, 95, 0)));
        EXPECT_EQ(out, "kept");
    }
    tools::CsvRows first({1601, 1, 1, 1, 0, 0, 1, 0}, false);
    std::string out;
    EXPECT_TRUE(first.append(out, record(-1000, 900, 95, 0)));
    EXPECT_FALSE(first.append(out, record(-1001, 900, 95, 0)));
}

// The form a spreadsheet set up for Russian reads as numbers: semicolons
// between the fields, a decimal comma; the standard form stays as it is.
TEST(CsvRows, TheRussianFormSeparatesBySemicolonsWithADecimalComma)
{
    const platform::SystemTime march5{2024, 3, 2, 5, 9, 7, 2, 250};
    EXPECT_EQ(tools::csvHeader(false, tools::CsvForm::Russian),
              "Время;Время от начала (мс);Температура (°C);Степень черноты;Кванты\r\n");
    EXPECT_EQ(tools::csvHeader(true, tools::CsvForm::Russian),
              "Время;Время от начала (мс);Температура (°C);Отношение степеней черноты;Кванты\r\n");
    EXPECT_EQ(tools::csvHeader(false), "Время,Время от начала (мс),Температура (°C),Степень черноты,Кванты\r\n");
    for (const bool ratio : {false, true}) {
        tools::CsvRows rows(march5, ratio, tools::CsvForm::Russian);
        std::string out;
        ASSERT_TRUE(rows.append(out, record(-2251, -40, 995, 40000)));
        EXPECT_EQ(out, ratio ? "2024-03-05T09:06:59.999;-2251;-40;0,995;40000\r\n"
                             : "2024-03-05T09:06:59.999;-2251;-40;9,95;40000\r\n");
    }
}

}  // namespace
