// The identification records and the settings words.
#include <kcmb.h>

#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>

namespace {

TEST(KCConfigTest, DefaultsFillAllThirteenWords)
{
    KCConfig config;
    std::memset(&config, 0xFF, sizeof config);
    KCSetDefaultConfig(&config);
    const unsigned short expected[13] = {0, 100, 1, 20, 20, 0, 5, 100, 1, 0, 0, 0, 0};
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(config.words[i], expected[i]) << "word " << i;
    KCSetDefaultConfig(nullptr);
}

TEST(KCConfigTest, NamedFieldsAreTheWordsOfTheRegisters)
{
    KCConfig config{};
    config.words[0] = 3;
    config.words[6] = 4;
    config.words[8] = 17;
    config.words[12] = 55;
    EXPECT_EQ(config.mode, 3);
    EXPECT_EQ(config.baudRate, 4);
    EXPECT_EQ(config.address, 17);
    EXPECT_EQ(config.hysteresis, 55);
    config.trigger = 15000;
    EXPECT_EQ(config.words[11], 15000);
    config.emissivity = 95;
    EXPECT_EQ(config.words[1], 95);
}

DeviceInfo sampleInfo()
{
    DeviceInfo info;
    std::memset(&info, 0, sizeof info);
    info.address = 9;
    info.tempMin = 0xFFF0;
    info.tempMax = 1500;
    info.reg2 = 0xBEEF;
    info.sensor = -1;
    info.type = 135;
    std::memcpy(info.serial, "12\0X", 5);
    std::memcpy(info.year, "2021", 5);
    std::memcpy(info.verifyDate, "15032023", 9);
    info.variant = 2;
    return info;
}

TEST(V2DeviceInfoTest, BuiltFromDeviceInfoWidensTheRangeWithoutSign)
{
    const DeviceInfo info = sampleInfo();
    const v2DeviceInfo v2(info);
    EXPECT_EQ(v2.address, 9);
    EXPECT_EQ(v2.tempMin, 0xFFF0);
    EXPECT_EQ(v2.tempMax, 1500);
    EXPECT_EQ(v2.reg2, 0xBEEF);
    EXPECT_EQ(v2.sensor, -1);
    EXPECT_EQ(v2.type, 135);
    EXPECT_EQ(v2.variant, 2);
    EXPECT_EQ(std::memcmp(v2.serial, "12\0X", 5), 0) << "texts are copied whole";
    EXPECT_STREQ(v2.year, "2021");
    EXPECT_STREQ(v2.verifyDate, "15032023");
}

TEST(V2DeviceInfoTest, AssignmentsCopyEveryField)
{
    const v2DeviceInfo source(sampleInfo());
    v2DeviceInfo copied;
    std::memset(&copied, 0, sizeof copied);
    copied = source;
    v2DeviceInfo moved;
    std::memset(&moved, 0, sizeof moved);
    moved = v2DeviceInfo(source);
    for (const v2DeviceInfo* v : {&copied, &moved}) {
        EXPECT_EQ(v->tempMin, source.tempMin);
        EXPECT_EQ(v->type, source.type);
        EXPECT_EQ(v->variant, source.variant);
        EXPECT_EQ(std::memcmp(v->serial, source.serial, 5), 0);
        EXPECT_EQ(std::memcmp(v->verifyDate, source.verifyDate, 9), 0);
    }
    static_assert(std::is_trivially_copyable_v<v2DeviceInfo>, "stored in files as raw bytes");
    static_assert(std::is_trivially_copyable_v<DeviceInfo>, "stored in files as raw bytes");
}

}  // namespace
