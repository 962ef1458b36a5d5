// The settings pages' rules without widgets: numbers in edits, the
// communication page's port entries, time-out and line states, and the
// device page's layout, spin scales, checks and stored words.
#include "settings/comm_rules.h"
#include "settings/port_choices.h"
#include "settings/device_page_rules.h"
#include "settings/value_text.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <Qt>

#include <limits>

using testing_support::caseName;

namespace {

TEST(ValueText, ShowsTheShortestTextThatGivesTheValueBack)
{
    EXPECT_EQ(numberText(2.0), "2");
    EXPECT_EQ(numberText(0.5), "0.5");
    EXPECT_EQ(numberText(27 / 50.0), "0.54");
    EXPECT_EQ(numberText(1.15), "1.15");
}

TEST(ValueText, ReadsPointOrCommaAndRefusesWhatIsNoNumber)
{
    EXPECT_EQ(parseNumber(" 0,5 "), 0.5);
    EXPECT_EQ(parseNumber("2.01"), 2.01);
    for (const char* text : {"", "abc", "1.2.3", "inf", "nan", "1e999"})
        EXPECT_FALSE(parseNumber(text)) << text;
    EXPECT_EQ(parseInteger("-1"), -1);
    EXPECT_FALSE(parseInteger("1.5"));
    EXPECT_FALSE(parseInteger("99999999999"));
}

struct UnitsCase {
    double value;
    double factor;
    std::int32_t expected;
};

class WholeUnits : public ::testing::TestWithParam<UnitsCase> {};

TEST_P(WholeUnits, DropTheFractionButNotAWholeNumberLostToBinaryRounding)
{
    EXPECT_EQ(wholeUnits(GetParam().value, GetParam().factor), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WholeUnits,
    ::testing::Values(UnitsCase{0.5, 50, 25}, UnitsCase{2.0, 50, 100}, UnitsCase{0.58, 50, 29},
                      UnitsCase{0.51, 50, 25}, UnitsCase{0.3, 1000, 300}, UnitsCase{0.29, 100, 29},
                      UnitsCase{1.15, 1000, 1150}, UnitsCase{0.999, 100, 99}, UnitsCase{-0.3, 1000, -300},
                      UnitsCase{1e12, 1000, std::numeric_limits<std::int32_t>::max()},
                      UnitsCase{-1e12, 1000, std::numeric_limits<std::int32_t>::min()}),
    [](const auto& info) { return caseName(info.param.value, "Times", info.param.factor); });

TEST(PortChoices, ShowTheComNameWithTheAdapterAndFindThePortInAnyForm)
{
    const QList<PortChoice> choices =
        portChoices({{"COM1", "/dev/ttyS0", ""}, {"COM101", "/dev/ttyUSB0", "Maker Cable, серийный номер A1"}});
    ASSERT_EQ(choices.size(), 2);
    EXPECT_EQ(choices[0].text, "COM1");
    EXPECT_EQ(choices[1].name, "COM101");
    EXPECT_EQ(choices[1].text, "COM101 (Maker Cable, серийный номер A1)");
    for (const char* name : {"COM101", "com101", "\\\\.\\COM101", "\\\\.\\com0101"})
        EXPECT_EQ(rowOfPort(choices, name), 1) << name;
    EXPECT_EQ(rowOfPort(choices, "COM2"), -1);
    EXPECT_EQ(rowOfPort(choices, "/dev/ttyS0"), -1);
    EXPECT_EQ(chosenPortName("com101", "COM101"), "com101");
    EXPECT_EQ(chosenPortName("\\\\.\\COM1", "COM1"), "\\\\.\\COM1");
    EXPECT_EQ(chosenPortName("com1", "COM101"), "COM101");
    EXPECT_EQ(chosenPortName("/dev/ttyS0", "COM1"), "COM1");
}

TEST(Timeout, WordsAndSecondsAndTheAllowedRange)
{
    EXPECT_EQ(timeoutWord(0.5), 25);
    EXPECT_EQ(timeoutWord(2.0), 100);
    EXPECT_DOUBLE_EQ(timeoutSeconds(100), 2.0);
    for (int word = 25; word <= 100; ++word)
        EXPECT_EQ(timeoutWord(timeoutSeconds(static_cast<std::uint16_t>(word))), word);
    EXPECT_FALSE(timeoutProblem(0.5));
    EXPECT_FALSE(timeoutProblem(2.0));
    for (double bad : {0.49, 2.01, 0.0, -1.0})
        EXPECT_EQ(timeoutProblem(bad),
                  QString("Ошибка при вводе тайм-аута.\n Допустимое значение 0.5 сек. - 2.0 сек., с шагом 0.02 сек."))
            << bad;
}

TEST(LineStates, ThreeStatesBothWays)
{
    EXPECT_EQ(checkStateOfLine(0), Qt::Unchecked);
    EXPECT_EQ(checkStateOfLine(1), Qt::Checked);
    EXPECT_EQ(checkStateOfLine(255), Qt::PartiallyChecked);
    EXPECT_EQ(checkStateOfLine(7), Qt::PartiallyChecked);
    EXPECT_EQ(lineOfCheckState(Qt::Unchecked), 0);
    EXPECT_EQ(lineOfCheckState(Qt::Checked), 1);
    EXPECT_EQ(lineOfCheckState(Qt::PartiallyChecked), 255);
}

TEST(DevPageLayout, FollowsTheTypeCode)
{
    const auto plain = devPageLayout(0);
    EXPECT_FALSE(plain.ratio || plain.currentOutput || plain.trigger);
    EXPECT_EQ(plain.divisor, 100.0);
    const auto b3 = devPageLayout(3);
    EXPECT_TRUE(b3.currentOutput);
    EXPECT_FALSE(b3.trigger);
    const auto b2ratio = devPageLayout(135);
    EXPECT_TRUE(b2ratio.ratio && b2ratio.currentOutput && b2ratio.trigger);
    EXPECT_EQ(b2ratio.divisor, 1000.0);
    EXPECT_TRUE(devPageLayout(6).currentOutput);
}

// A table as a B2 2C device might hold it: output 200..2500 °C in steps of 100.
LimitTable deviceTable()
{
    LimitTable t = initialLimitTable();
    t[kLimitSmoothing] = {0, 7, 1, 1};
    t[kLimitMinSampling] = {10, 100, 10, 20};
    t[kLimitMaxSampling] = {5, 250, 5, 20};
    t[kLimitOutputTMin] = {200, 2400, 100, 0};
    t[kLimitOutputTMax] = {300, 2500, 100, 0};
    t[kLimitTrigger] = {800, 2500, 1, 15000};
    t[kLimitHysteresis] = {0, 50, 1, 1};
    return t;
}

TEST(DevPageSpins, RangesFromTheTableOrTheFixedOnes)
{
    const LimitTable table = deviceTable();
    const auto withTable = devPageSpins(devPageLayout(135), &table);
    EXPECT_EQ(withTable.minSampling.upper, 9);   // (100 - 10) / 10
    EXPECT_EQ(withTable.maxSampling.upper, 49);  // (250 - 5) / 5
    EXPECT_EQ(withTable.tMin.upper, 22);
    EXPECT_EQ(withTable.tMax.upper, 22);
    ASSERT_TRUE(withTable.trigger && withTable.hysteresis);
    EXPECT_EQ(withTable.trigger->lower, 800);
    EXPECT_EQ(withTable.trigger->upper, 2500);
    EXPECT_EQ(withTable.hysteresis->upper, 50);

    // A current output without a trigger leaves the hidden spins unset.
    const auto b3 = devPageSpins(devPageLayout(3), &table);
    EXPECT_FALSE(b3.trigger || b3.hysteresis);

    // Without a current output the output spins keep their fixed 0..59.
    const auto plain = devPageSpins(devPageLayout(0), &table);
    EXPECT_EQ(plain.tMin.upper, 59);
    EXPECT_EQ(plain.tMax.upper, 59);
    EXPECT_EQ(plain.trigger->upper, 15000);
    EXPECT_EQ(plain.hysteresis->lower, 0);

    const auto noTable = devPageSpins(devPageLayout(135), nullptr);
    EXPECT_EQ(noTable.minSampling.upper, 49);
    EXPECT_EQ(noTable.maxSampling.upper, 49);
    EXPECT_EQ(noTable.tMin.upper, 59);
    EXPECT_EQ(noTable.tMax.upper, 59);
    EXPECT_EQ(noTable.trigger->upper, 15000);
    EXPECT_EQ(noTable.hysteresis->lower, 1);
    EXPECT_EQ(noTable.hysteresis->upper, 100);
}

TEST(DevPageSpins, APositionStandsForTheTablesMinimumPlusWholeSteps)
{
    const auto spins = devPageSpins(devPageLayout(3), nullptr);
    // Sampling: 0.5 s at position 0, 25.0 s at 49, 2.0 s at 3.
    EXPECT_EQ(spins.minSampling.valueAt(0), 5);
    EXPECT_EQ(spins.minSampling.valueAt(49), 250);
    EXPECT_EQ(spins.minSampling.positionOf(20), 3);
    EXPECT_EQ(spins.tMin.valueAt(59), 2950);
    EXPECT_EQ(spins.tMax.valueAt(0), 50);
    EXPECT_EQ(spins.tMax.positionOf(3000), 59);
    EXPECT_EQ(spins.tMax.positionOf(99999), 59);
    EXPECT_EQ(spins.tMin.positionOf(-500), 0);
}

TEST(DevPageSpins, ATableWithoutStepsGivesOnePositionInsteadOfADivisionByZero)
{
    LimitTable table = deviceTable();
    table[kLimitMinSampling] = {20, 100, 0, 0};
    table[kLimitMaxSampling] = {100, 20, 5, 0};
    const auto spins = devPageSpins(devPageLayout(3), &table);
    EXPECT_EQ(spins.minSampling.step, 1);
    EXPECT_EQ(spins.minSampling.upper, 80);
    EXPECT_EQ(spins.maxSampling.upper, 0);
}

TEST(SmoothingSteps, UpToTheTablesHighestNamedStep)
{
    LimitTable table = deviceTable();
    EXPECT_EQ(smoothingStepCount(nullptr), 12);
    EXPECT_EQ(smoothingStepCount(&table), 8);
    table[kLimitSmoothing].maximum = 60000;
    EXPECT_EQ(smoothingStepCount(&table), 12);
}

KCConfig defaults()
{
    KCConfig c{};
    KCSetDefaultConfig(&c);
    return c;
}

TEST(DevPageValues, APlainDeviceShowsTheFixedOutputAndStoresItWithTheTriggerOff)
{
    KCConfig config = defaults();
    config.outputTMin = 700;
    config.trigger = 1234;
    const auto layout = devPageLayout(0);
    const auto values = devPageValuesOf(config, layout);
    EXPECT_EQ(values.tMin, 0);
    EXPECT_EQ(values.tMax, 50);
    EXPECT_EQ(values.trigger, 0);
    EXPECT_EQ(values.hysteresis, 1);
    EXPECT_FALSE(values.triggerOn);
    storeDevPage(values, layout, config);
    EXPECT_EQ(config.outputTMin, 0);
    EXPECT_EQ(config.outputTMax, 50);
    EXPECT_EQ(config.trigger, 15000);
    EXPECT_EQ(config.hysteresis, 1);
}

TEST(DevPageValues, ATriggerOf15000IsOff)
{
    KCConfig config = defaults();
    config.trigger = 15000;
    config.hysteresis = 7;
    EXPECT_FALSE(devPageValuesOf(config, devPageLayout(135)).triggerOn);
    config.trigger = 900;
    const auto values = devPageValuesOf(config, devPageLayout(135));
    EXPECT_TRUE(values.triggerOn);
    EXPECT_EQ(values.hysteresis, 7);
}

TEST(DevPageValues, StoreInTheWordsAndLeaveSpeedTimeoutAndAddressAlone)
{
    KCConfig config = defaults();
    config.baudRate = 4;
    config.timeout = 30;
    config.address = 17;
    const auto layout = devPageLayout(135);
    DevPageValues v;
    v.mode = 2;
    v.smoothing = 5;
    v.currentOutput = 1;
    v.emissivity = 1.15;
    v.minSampling = 0.5;
    v.maxSampling = 2.9;
    v.tMin = 800;
    v.tMax = 2000;
    v.triggerOn = true;
    v.trigger = 1200;
    v.hysteresis = 30;
    storeDevPage(v, layout, config);
    const std::uint16_t expected[13] = {2, 1150, 5, 5, 29, 1, 4, 30, 17, 800, 2000, 1200, 30};
    for (int k = 0; k < 13; ++k)
        EXPECT_EQ(config.words[k], expected[k]) << "word " << k;

    // Nothing selected leaves the mode, the smoothing and the output start.
    v.mode.reset();
    v.smoothing.reset();
    v.currentOutput.reset();
    config.mode = 3;
    config.smoothing = 9;
    config.currentOutput = 0;
    storeDevPage(v, layout, config);
    EXPECT_EQ(config.mode, 3);
    EXPECT_EQ(config.smoothing, 9);
    EXPECT_EQ(config.currentOutput, 0);
}

struct CheckCase {
    const char* name;
    unsigned type;
    bool withTable;
    double emissivity;
    double minSampling;
    double maxSampling;
    std::int32_t tMin;
    std::int32_t tMax;
    bool triggerOn;
    std::int32_t trigger;
    std::int32_t hysteresis;
    std::optional<DevField> failing;
    const char* message;
};

const char* const kRatioMessage =
    "Ошибка при вводе отношения степеней черноты.\n Допустимое значение 0.850 - 1.150, с шагом 0.001";
const char* const kEmissivityMessage =
    "Ошибка при вводе степени черноты.\n Допустимое значение 0.10 - 1.00, с шагом 0.01";
const char* const kHysteresisMessage = "Ошибка при указании гистерезиса.\nДопустимые границы 0-100.";

class DevPageCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(DevPageCheck, FirstFailingCheckWithItsMessage)
{
    const CheckCase& c = GetParam();
    const LimitTable table = deviceTable();
    DevPageValues v;
    v.emissivity = c.emissivity;
    v.minSampling = c.minSampling;
    v.maxSampling = c.maxSampling;
    v.tMin = c.tMin;
    v.tMax = c.tMax;
    v.triggerOn = c.triggerOn;
    v.trigger = c.trigger;
    v.hysteresis = c.hysteresis;
    const auto problem = checkDevPage(v, devPageLayout(c.type), c.withTable ? &table : nullptr);
    if (!c.failing) {
        EXPECT_FALSE(problem) << problem->message.toStdString();
        return;
    }
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->field, *c.failing);
    EXPECT_EQ(problem->message.toStdString(), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DevPageCheck,
    ::testing::Values(
        CheckCase{"RatioAbove", 131, true, 1.151, 1, 2, 0, 50, false, 0, 1, DevField::Emissivity, kRatioMessage},
        CheckCase{"EmissivityComesFirst", 0, true, 5, 99, 99, 9, 9, false, 0, -1, DevField::Emissivity,
                  kEmissivityMessage},
        CheckCase{"MinSamplingFromTable", 3, true, 1, 0.5, 2, 0, 50, false, 0, 1, DevField::MinSampling,
                  "Ошибка при вводе времени выборки.\nДопустимое значение 1.0 сек. - 10.0 сек., с шагом 1.0 сек."},
        CheckCase{"SamplingWithoutTable", 3, false, 1, 0.4, 2, 0, 50, false, 0, 1, DevField::MinSampling,
                  "Ошибка при вводе времени выборки.\nДопустимое значение 0.5 сек. - 25.0 сек., с шагом 0.5 сек."},
        CheckCase{"Hysteresis101", 135, true, 1, 1, 2, 0, 50, false, 0, 101, DevField::Hysteresis,
                  kHysteresisMessage},
        CheckCase{"Hysteresis100Ok", 135, true, 1, 1, 2, 0, 50, false, 0, 100, {}, ""},
        CheckCase{"TriggerAboveRange", 135, true, 1, 1, 2, 0, 50, true, 2501, 1, DevField::Trigger,
                  "Ошибка при указании значения триггера.\nДопустимые границы 800-2500."},
        CheckCase{"TriggerOffValueOk", 135, true, 1, 1, 2, 0, 50, true, 15000, 1, {}, ""},
        CheckCase{"TriggerUncheckedIsNotChecked", 135, true, 1, 1, 2, 0, 50, false, 5, 1, {}, ""},
        CheckCase{"TriggerWithoutTable", 135, false, 1, 1, 2, 0, 50, true, 15001, 1, DevField::Trigger,
                  "Ошибка при указании значения триггера.\nДопустимые границы 0-15000."}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

}  // namespace
