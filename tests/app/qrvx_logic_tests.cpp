// The QRVX front end's rules without a window: the frame field's limit, the
// limit lists, the texts that become numbers, the stored settings and the
// port probe of the setup dialog.
#include "settings/port_probe.h"
#include "windows/qrvx_rules.h"
#include "session/qrvx_settings.h"

#include "app_test_support.h"
#include "test_support.h"

#include "platform/handle.h"
#include "platform/serial.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::PtyPeer;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::caseName;

namespace {

// `lines` lines of `width` characters each, CR LF included.
QString linesOf(int lines, int width)
{
    QString text;
    for (int i = 0; i < lines; ++i)
        text += QString(width - 2, QChar('0' + i % 10)) + "\r\n";
    return text;
}

TEST(FrameField, WithinTheLimitEverythingStays)
{
    EXPECT_EQ(frameFieldKeepFrom(QString(), 10), 0);
    // 989 + 10 + 1 = 1000: not above the limit.
    EXPECT_EQ(frameFieldKeepFrom(QString(989, 'x'), 10), 0);
}

// 990 characters shown and a frame of 20 arriving: n = 1011, so the text is
// cut after the first line feed at position 12 or later.
TEST(FrameField, NineHundredNinetyShownAndTwentyArrivingCutsAfterTheFirstLineFeedFromTwelveOn)
{
    // Line feeds at 5, 11, 17, ...: the one at 11 is too early (1011 - 11 = 1000).
    const QString shown = linesOf(165, 6);
    ASSERT_EQ(shown.size(), 990);
    ASSERT_EQ(shown.indexOf('\n'), 5);
    EXPECT_EQ(frameFieldKeepFrom(shown, 20), 18);

    // A line feed exactly at 12 is the first that will do.
    QString at12 = QString(11, 'a') + "\r\n" + QString(977, 'b');
    ASSERT_EQ(at12.size(), 990);
    ASSERT_EQ(at12.indexOf('\n'), 12);
    EXPECT_EQ(frameFieldKeepFrom(at12, 20), 13);
}

TEST(FrameField, WithoutASuitableLineFeedTheFieldEmpties)
{
    EXPECT_EQ(frameFieldKeepFrom(QString(995, 'x'), 20), 995);
    // Its only line feed comes too early.
    EXPECT_EQ(frameFieldKeepFrom("ab\r\n" + QString(990, 'x'), 20), 994);
}

TEST(FrameField, TheKeptTextStaysWithinTheLimitAsFramesKeepComing)
{
    QString shown;
    const QString frame = ":4123454\r\n";
    for (int i = 0; i < 500; ++i) {
        shown = shown.mid(frameFieldKeepFrom(shown, static_cast<int>(frame.size()))) + frame;
        ASSERT_LT(shown.size(), kFrameFieldLimit);
    }
    EXPECT_TRUE(shown.startsWith(":4"));
    EXPECT_GT(shown.size(), kFrameFieldLimit - 2 * frame.size());
}

struct ShownCase {
    int mode;
    int value;
    const char* expected;
};

class FrameFieldText : public ::testing::TestWithParam<ShownCase> {};

TEST_P(FrameFieldText, ShowsTheFrameOrTheValue)
{
    const ShownCase c = GetParam();
    EXPECT_EQ(frameFieldText(c.mode, ":4123454\r\n", c.value), QString(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Modes, FrameFieldText,
                         ::testing::Values(ShownCase{0, 1234, ":4123454\r\n"}, ShownCase{1, 1234, "1234\r\n"},
                                           ShownCase{1, 0, ""}, ShownCase{1, -2, ""}),
                         [](const auto& info) { return caseName("Mode", info.param.mode, "Value", info.param.value); });

TEST(LimitLists, ZeroToHalfAMillionBy100OffersZeroTo499900)
{
    const QStringList values = limitListValues(0, 500000, 100);
    ASSERT_EQ(values.size(), 5000);
    EXPECT_EQ(values.front(), "0");
    EXPECT_EQ(values[1], "100");
    EXPECT_EQ(values.back(), "499900");
}

TEST(LimitLists, TheUpperListStartsAboveTheLowerLimit)
{
    const QStringList values = upperLimitListValues(0, 500000, 100, 1000);
    ASSERT_FALSE(values.isEmpty());
    EXPECT_EQ(values.front(), "1100");
    EXPECT_EQ(values.back(), "499900");
    EXPECT_EQ(upperLimitListValues(0, 500000, 100, 1050).front(), "1100");
    EXPECT_TRUE(upperLimitListValues(0, 500, 100, 400).isEmpty());
}

TEST(LimitLists, AHugeRangeOffersItsFirstTenThousandAtOnce)
{
    const QStringList values = limitListValues(0, 2147483647, 1);
    ASSERT_EQ(values.size(), kLimitListMaxEntries);
    EXPECT_EQ(values.back(), "9999");
    const QStringList upper = upperLimitListValues(0, 2147483647, 1, 2000000000);
    ASSERT_EQ(upper.size(), kLimitListMaxEntries);
    EXPECT_EQ(upper.front(), "2000000001");
    EXPECT_EQ(limitListCount(0, 2147483647, 1), 2147483647LL);
    EXPECT_EQ(limitListCount(0, 500000, 100), 5000);
    EXPECT_EQ(limitListCount(0, 500001, 100), 5001);
    EXPECT_EQ(limitListCount(100, 0, 10), 0);
}

TEST(LimitLists, AStepOfZeroOrBelowOffersNothing)
{
    EXPECT_TRUE(limitListValues(0, 500000, 0).isEmpty());
    EXPECT_TRUE(limitListValues(0, 500000, -100).isEmpty());
    EXPECT_TRUE(upperLimitListValues(0, 500000, 0, 0).isEmpty());
    EXPECT_TRUE(limitListValues(100, 0, 10).isEmpty()) << "an end below the start";
}

struct NumberCase {
    const char* text;
    long value;
};

class LeadingNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(LeadingNumber, ReadsAsAtolDoes)
{
    EXPECT_EQ(leadingNumber(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, LeadingNumber,
                         ::testing::Values(NumberCase{"1000", 1000}, NumberCase{"  -50", -50}, NumberCase{"+7", 7},
                                           NumberCase{"1200°", 1200}, NumberCase{"12 34", 12}, NumberCase{"abc", 0},
                                           NumberCase{"", 0}),
                         [](const auto& info) { return caseName(info.param.text); });

struct PeriodCase {
    const char* text;
    double seconds;
};

class PeriodText : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(PeriodText, IsTheWholeTextAsANumberWithAPointOrZero)
{
    EXPECT_DOUBLE_EQ(periodSecondsOf(GetParam().text), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(Texts, PeriodText,
                         ::testing::Values(PeriodCase{"0.50", 0.5}, PeriodCase{" 2 ", 2.0}, PeriodCase{"0,5", 0.0},
                                           PeriodCase{"1,000", 0.0}, PeriodCase{"0.5s", 0.0}, PeriodCase{"", 0.0},
                                           PeriodCase{"-1.25", -1.25}, PeriodCase{"nan", 0.0}),
                         [](const auto& info) { return caseName(info.param.text); });

TEST(Milliseconds, AreTruncatedAndKeptWithinAnInt)
{
    EXPECT_EQ(millisecondsOf(0.5), 500);
    EXPECT_EQ(millisecondsOf(0.0019), 1);
    EXPECT_EQ(millisecondsOf(-0.0019), -1);
    EXPECT_EQ(millisecondsOf(1e12), std::numeric_limits<int>::max());
    EXPECT_EQ(millisecondsOf(-1e12), std::numeric_limits<int>::min());
}

TEST(QrvxStoredSettings, AnEmptyStoreGivesTheDefaults)
{
    MemorySettings top, qrvx;
    const QrvxSettings s = readQrvxSettings(top, qrvx);
    EXPECT_EQ(s.port, "com1");
    EXPECT_EQ(s.periodMs, 500);
    EXPECT_EQ(s.timeCoeffMs, 0);
    EXPECT_FALSE(s.log);
    EXPECT_EQ(s.logFileName, "qrvx.log");
    EXPECT_EQ(s.listStart, 0);
    EXPECT_EQ(s.listEnd, 500000);
    EXPECT_EQ(s.listStep, 100);
    EXPECT_EQ(s.lowerLimit, 0);
    EXPECT_EQ(s.upperLimit, 500000);
}

TEST(QrvxStoredSettings, SharedKeysAtTheTopLevelAndTheRestInTheGroupInOrder)
{
    MemorySettings top, qrvx;
    QrvxSettings s;
    s.port = "\\\\.\\com3";
    s.periodMs = 250;
    s.timeCoeffMs = 1500;
    s.log = true;
    s.lowerLimit = 1000;
    writeQrvxSettings(top, qrvx, s);
    EXPECT_EQ(top.written, (QStringList{"Port", "Period", "TimeCoeff"}));
    EXPECT_EQ(qrvx.written,
              (QStringList{"Log", "LogFileName", "defMinTerm", "defMaxTerm", "Step", "MinTerm", "MaxTerm"}));
    EXPECT_EQ(qrvx.values["Log"].toInt(), 1);
    const QrvxSettings back = readQrvxSettings(top, qrvx);
    EXPECT_EQ(back.port, s.port);
    EXPECT_EQ(back.periodMs, 250);
    EXPECT_EQ(back.timeCoeffMs, 1500);
    EXPECT_TRUE(back.log);
    EXPECT_EQ(back.lowerLimit, 1000);
}

// Ports 1, 2 and 10 present, one of them held by another opener, and an
// entry that leads nowhere: the three offered, in number order.
TEST(PortProbe, OffersThePresentPortsBusyOrNotInNumberOrder)
{
    TempDir dir;
    ScopedEnv devices("KL_DEVICE_DIR", dir.path());
    PtyPeer one(dir.path(), 1), two(dir.path(), 2), ten(dir.path(), 10);
    std::filesystem::create_symlink(dir.file("unplugged"), dir.file("COM3"));
    const platform::Handle held = platform::openSerialPort("COM2");
    ASSERT_TRUE(platform::isUsableHandle(held));
    QStringList offered;
    for (const PortChoice& choice : probeQrvxPorts())
        offered << choice.name;
    EXPECT_EQ(offered, (QStringList{"COM1", "COM2", "COM10"}));
    platform::closeHandle(held);
    // The probe closes what it opened.
    const platform::Handle again = platform::openSerialPort("COM10");
    EXPECT_TRUE(platform::isUsableHandle(again));
    platform::closeHandle(again);
}

}  // namespace
