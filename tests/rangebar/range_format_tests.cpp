// Label texts in the eight format modes and the elapsed-time text.
#include "range_format.h"
#include "range_model.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

using testing_support::caseName;

namespace {

using rangebar::ValueFormat;

struct FormatCase {
    int mode;
    short decimals;
    long offset;
    double value;
    const char* text;
};

void PrintTo(const FormatCase& c, std::ostream* out)
{
    *out << "mode " << c.mode << " scale " << c.decimals << " offset " << c.offset << " value " << c.value;
}

class FormatValueTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatValueTest, GivesTheModesText)
{
    const FormatCase& c = GetParam();
    EXPECT_EQ(rangebar::formatValue(c.value, ValueFormat{c.mode, c.decimals, c.offset}), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FormatValueTest,
    ::testing::Values(
        FormatCase{0, 2, 0, -1234.0, "-12"}, FormatCase{0, 0, 7, 1234.4, "1234"},
        FormatCase{1, 1, 5, 123.0, "17"},          // 12.3 + 5, offset added after the division
        FormatCase{2, 3, 9, 1500.0, "1.50"},       // ms as seconds, scale and offset unused
        FormatCase{2, 0, 0, -250.0, "-0.25"},
        FormatCase{3, 0, 0, 3723450.0, "01:02:03.45"}, FormatCase{3, 0, 0, 5000.0, "05.00"},
        FormatCase{3, 0, 0, -61000.0, "-01:01.00"}, FormatCase{3, 0, 0, 0.0, "00.00"},
        FormatCase{3, 0, 0, 59999.0, "59.99"},
        FormatCase{3, 0, 0, 90061000.0, "01:01:01.00"},  // a whole day dropped
        FormatCase{3, 0, 0, 3600000.0, "01:00:00.00"},   // minutes shown when the hours are
        FormatCase{4, 2, 0, -1234.0, "-12.34"}, FormatCase{4, 0, 0, 1.5, "1.50"},
        FormatCase{4, 3, 0, 1234.0, "1.234"},
        FormatCase{4, -1, 0, 1234.0, "1234.00"},          // a negative scale acts as 0
        FormatCase{5, 1, 5, 123.0, "12.8"},               // offset added before the division
        FormatCase{5, 0, -273, 300.0, "27.00"},
        FormatCase{6, 2, 0, 12.0, ""}, FormatCase{7, 2, 0, 12.0, ""}),
    [](const auto& info) {
        return caseName("Mode", info.param.mode, "Value", info.param.value, "Scale", info.param.decimals);
    });

TEST(FormatValue, ModeThreeSurvivesValuesBeyondAnyMillisecondCount)
{
    // The largest count, 18446744073709551615 ms: 615 ms in its last second.
    const std::string text = rangebar::formatValue(1e30, ValueFormat{3, 0, 0});
    EXPECT_EQ(text.substr(text.size() - 3), ".61");
    EXPECT_EQ(rangebar::formatValue(std::nan(""), ValueFormat{3, 0, 0}), "00.00");
}

struct OutTimeCase {
    long ms;
    const char* text;
};

void PrintTo(const OutTimeCase& c, std::ostream* out)
{
    *out << c.ms << " ms";
}

class FormatOutTimeTest : public ::testing::TestWithParam<OutTimeCase> {};

TEST_P(FormatOutTimeTest, WritesElapsedTime)
{
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FormatOutTime(GetParam().ms, buffer), buffer);
    EXPECT_STREQ(buffer, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Texts, FormatOutTimeTest,
                         ::testing::Values(OutTimeCase{65004, "1:05.004"}, OutTimeCase{3723004, "1:2:03.004"},
                                           OutTimeCase{3723450, "1:2:03.450"}, OutTimeCase{-5004, "-05.004"},
                                           OutTimeCase{0, "00.000"}, OutTimeCase{60000, "1:00.000"},
                                           OutTimeCase{90061000, "25:1:01.000"},  // hours not limited to a day
                                           OutTimeCase{-2147483647L - 1, "-596:31:23.648"}),
                         [](const auto& info) { return caseName(info.param.ms, "ms"); });

TEST(FormatOutTime, NeverWritesPastSixteenCharacters)
{
    char buffer[24];
    std::memset(buffer, '#', sizeof buffer);
    FormatOutTime(LONG_MIN, buffer);
    EXPECT_EQ(std::strlen(buffer), 15u);
    for (std::size_t i = 16; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], '#') << "byte " << i;
    EXPECT_EQ(rangebar::formatOutTime(LONG_MIN).substr(0, 15), std::string(buffer));
}

TEST(FormatOffset, TheDoubleFormIsStoredInTheScalesUnit)
{
    rangebar::RangeModel model;
    model.setFormatScale(2);
    EXPECT_DOUBLE_EQ(model.setFormatOffset(1.239), 0.0);
    EXPECT_EQ(model.format().offset, 123);
    EXPECT_DOUBLE_EQ(model.setFormatOffset(-0.5), 1.23);
    EXPECT_EQ(model.setFormatOffset(7L), -50);
    model.setFormatScale(0);
    EXPECT_DOUBLE_EQ(model.setFormatOffset(2.9), 7.0);
    EXPECT_EQ(model.format().offset, 2);
}

TEST(FormatOffset, ModeFiveLabelsUseIt)
{
    rangebar::RangeModel model;
    model.setStyle(RbsFormat(5));
    model.setFormatScale(1);
    model.setFormatOffset(-2730L);
    EXPECT_EQ(model.formatValue(3000.0), "27.0");
}

}  // namespace
