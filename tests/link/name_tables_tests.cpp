// The texts of the protocol's codes, including every fallback.
#include <kcmb.h>

#include <gtest/gtest.h>

namespace {

TEST(NameTablesTest, ResultCodes)
{
    EXPECT_STREQ(KCGetErrorTxt(0), "");
    EXPECT_STREQ(KCGetErrorTxt(1), "функция не поддерживается прибором");
    EXPECT_STREQ(KCGetErrorTxt(2), "неверный адрес");
    EXPECT_STREQ(KCGetErrorTxt(3), "неверные данные");
    EXPECT_STREQ(KCGetErrorTxt(4), "прибор не готов");
    EXPECT_STREQ(KCGetErrorTxt(5), "ошибка CRC");
    EXPECT_STREQ(KCGetErrorTxt(6), "неверный адрес прибора");
    EXPECT_STREQ(KCGetErrorTxt(7), "тайм-аут");
    EXPECT_STREQ(KCGetErrorTxt(8), "Unknow error");
    EXPECT_STREQ(KCGetErrorTxt(static_cast<unsigned short>(-123)), "Unknow error");
    EXPECT_STREQ(KCGetErrorTxt(KC_ILLEGAL_DATA), "неверные данные");
}

TEST(NameTablesTest, DeviceModelsByTheLowByteOfTheTypeCode)
{
    EXPECT_STREQ(getDeviceName(0), "Калентир-A1 без индикации (КЛ-A1)");
    EXPECT_STREQ(getDeviceName(1), "Калентир-A1 с индикацией (КЛ-A1)");
    EXPECT_STREQ(getDeviceName(2), "Калентир-A1 (КЛ-A1)");
    EXPECT_STREQ(getDeviceName(3), "Калентир-B3 (КЛ-B3)");
    EXPECT_STREQ(getDeviceName(6), "Калентир-B2 (КЛ-B2)");
    EXPECT_STREQ(getDeviceName(7), "Калентир-B2 (КЛ-B2)");
    EXPECT_STREQ(getDeviceName(131), "Калентир-B3 2C(КЛ-B3 2C)");
    EXPECT_STREQ(getDeviceName(135), "Калентир-B2 2C(КЛ-B2 2C)");
    EXPECT_STREQ(getDeviceName(0x0103), getDeviceName(3)) << "the high byte does not count";
    for (unsigned short empty : {4, 5, 8, 9, 127, 128, 129, 130, 132, 133, 134, 136, 255})
        EXPECT_STREQ(getDeviceName(empty), "") << "code " << empty;
}

TEST(NameTablesTest, SensorsAndModes)
{
    EXPECT_STREQ(KCGetSensorName(0), "кремний");
    EXPECT_STREQ(KCGetSensorName(1), "арсенид индия");
    EXPECT_STREQ(KCGetSensorName(2), "");
    EXPECT_STREQ(KCGetSensorName(0xFFFF), "");
    EXPECT_STREQ(KCGetDevModeName(0), "Измерение");
    EXPECT_STREQ(KCGetDevModeName(1), "Сглаживание");
    EXPECT_STREQ(KCGetDevModeName(2), "Выборка минимума");
    EXPECT_STREQ(KCGetDevModeName(3), "Выборка максимума");
    EXPECT_STREQ(KCGetDevModeName(4), "");
}

TEST(NameTablesTest, BaudRatesAreNullOutsideTheirTable)
{
    const char* expected[] = {"600", "1200", "2400", "4800", "9600", "19200", "38400"};
    for (unsigned short code = 0; code < 7; ++code)
        EXPECT_STREQ(KCGetBaudRateName(code), expected[code]);
    EXPECT_EQ(KCGetBaudRateName(7), nullptr);
    EXPECT_EQ(KCGetBaudRateName(8), nullptr);
    EXPECT_EQ(KCGetBaudRateName(0xFFFF), nullptr);
}

TEST(NameTablesTest, SplineSteps)
{
    const char* expected[] = {"1", "2", "5", "10", "20", "50", "100", "200", "500", "1000", "2000", "5000"};
    for (unsigned short code = 0; code < 12; ++code)
        EXPECT_STREQ(KCGetSplineStepName(code), expected[code]);
    EXPECT_STREQ(KCGetSplineStepName(12), "");
}

}  // namespace
