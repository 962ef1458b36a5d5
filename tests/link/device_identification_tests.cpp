// getDeviceInfo over the fake port: the requests it makes, both layouts of the
// identification registers, and the type and variant rules.
#include "fake_device_port.h"

#include <cstring>
#include <map>
#include <optional>

using namespace link_testing;

namespace {

// Two characters in one register, high byte first.
constexpr unsigned short chars(char high, char low)
{
    return static_cast<unsigned short>(static_cast<unsigned char>(high) << 8 | static_cast<unsigned char>(low));
}

class IdentificationTest : public FakePortTest {
protected:
    // Serves function 4 from `regs` and function 5 from `typeByte` (silent
    // when unset).
    void serve()
    {
        playDevice([this](const Bytes& r) -> Bytes {
            if (r[1] == 5)
                return typeByte ? r.substr(0, 2) + static_cast<char>(*typeByte) : Bytes();
            if (r[1] != 4)
                return Bytes("\x01\x81\x01", 3);
            const int start = static_cast<unsigned char>(r[2]) << 8 | static_cast<unsigned char>(r[3]);
            const int count = static_cast<unsigned char>(r[5]);
            if (start == failAt)
                return r.substr(0, 1) + "\x84\x02";
            Bytes reply = r.substr(0, 2) + static_cast<char>(2 * count);
            for (int i = start; i < start + count; ++i) {
                reply += static_cast<char>(regs[i] >> 8);
                reply += static_cast<char>(regs[i] & 0xFF);
            }
            return reply;
        });
    }

    // A device of the newer layout: serial "1234", year "2021", verified
    // 15.03.2023, range 500..1500 °C, sensor 1, type 3.
    std::map<int, unsigned short> regs = {
        {0, 773}, {1, 1773}, {2, 0x0102}, {4, 0x0001},
        {5, chars('1', '2')}, {6, chars('3', '4')}, {7, chars('2', '0')}, {8, chars('2', '1')},
        {9, chars('1', '5')}, {10, chars('0', '3')}, {11, chars('2', '0')}, {12, chars('2', '3')},
        {22, 3},
    };
    std::optional<unsigned char> typeByte = 3;
    int failAt = -1;
};

TEST_F(IdentificationTest, AsksForTheTypeByteThenReadsRegistersZeroToTwentyFour)
{
    serve();
    DeviceInfo info{};
    ASSERT_EQ(getDeviceInfo(port, 7, &info), 0);
    const std::vector<Bytes> expected = {
        Bytes("\x07\x05", 2),
        Bytes("\x07\x04\x00\x00\x00\x0A", 6),
        Bytes("\x07\x04\x00\x0A\x00\x0A", 6),
        Bytes("\x07\x04\x00\x14\x00\x05", 6),
    };
    EXPECT_EQ(requests(), expected);
    EXPECT_EQ(info.address, 7);
}

TEST_F(IdentificationTest, TheNewerLayoutGivesAFourCharacterSerialNumber)
{
    regs[12] = 0x3131;
    serve();
    DeviceInfo info{};
    ASSERT_EQ(getDeviceInfo(port, 1, &info), 0);
    EXPECT_STREQ(info.serial, "1234");
    EXPECT_STREQ(info.year, "2021");
    EXPECT_STREQ(info.verifyDate, "15032011");
}

TEST_F(IdentificationTest, TheOlderLayoutGivesATwoCharacterSerialNumber)
{
    regs[12] = 0;
    serve();
    DeviceInfo info{};
    ASSERT_EQ(getDeviceInfo(port, 1, &info), 0);
    EXPECT_STREQ(info.serial, "12");
    EXPECT_STREQ(info.year, "3420");
    EXPECT_STREQ(info.verifyDate, "21150320");
}

TEST_F(IdentificationTest, RangeSensorAndRegisterTwoAreDecoded)
{
    regs[0] = 100;
    regs[4] = 0x12FE;
    serve();
    DeviceInfo info{};
    ASSERT_EQ(getDeviceInfo(port, 1, &info), 0);
    EXPECT_EQ(info.tempMin, static_cast<unsigned short>(100 - 273)) << "kelvin to °C in 16 bits";
    EXPECT_EQ(info.tempMax, 1500);
    EXPECT_EQ(info.reg2, 0x0102);
    EXPECT_EQ(info.sensor, -2) << "the low byte of register 4, sign-extended";
}

TEST_F(IdentificationTest, TheRecordIsClearedBeforeItIsFilled)
{
    regs[12] = 0;
    serve();
    DeviceInfo info;
    std::memset(&info, 0x55, sizeof info);
    ASSERT_EQ(getDeviceInfo(port, 1, &info), 0);
    EXPECT_EQ(info.serial[2], 0);
    EXPECT_EQ(info.serial[4], 0);
    EXPECT_EQ(info.verifyDate[8], 0);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(&info)[1], 0) << "padding";
}

TEST_F(IdentificationTest, TheFirstFailedReadIsReturnedAndTheRecordKept)
{
    failAt = 10;
    serve();
    DeviceInfo info;
    std::memset(&info, 0x55, sizeof info);
    EXPECT_EQ(getDeviceInfo(port, 1, &info), 2);
    EXPECT_EQ(info.type, 0x5555);
    EXPECT_EQ(requests().size(), 3u) << "no read after the failure";
    EXPECT_EQ(getDeviceInfo(port, 1, nullptr), KC_ILLEGAL_DATA);
}

// Register 22's low byte, the type byte (none: the request times out),
// register 23, and the type and variant that result.
struct TypeCase {
    const char* name;
    unsigned short reg22;
    std::optional<unsigned char> typeByte;
    unsigned short reg23;
    unsigned short type;
    unsigned short variant;
};

class TypeRuleTest : public IdentificationTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(TypeRuleTest, TypeAndVariantFollowRegister22TheTypeByteAndRegister23)
{
    const TypeCase& c = GetParam();
    regs[22] = c.reg22;
    regs[23] = c.reg23;
    typeByte = c.typeByte;
    serve();
    DeviceInfo info{};
    ASSERT_EQ(getDeviceInfo(port, 1, &info), 0);
    EXPECT_EQ(info.type, c.type);
    EXPECT_EQ(info.variant, c.variant);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, TypeRuleTest,
    ::testing::Values(
        TypeCase{"Register22Holds131", 0x0083, 135, 0, 131, 0},
        TypeCase{"Register22HighByteIgnored", 0x5506, 3, 0, 6, 0},
        TypeCase{"Register22Holds8", 8, 3, 0, 8, 0},
        TypeCase{"TypeByte135GivesVariant2", 9, 135, 0, 135, 2},
        TypeCase{"TypeByte131GivesVariant1", 9, 131, 0, 131, 1},
        TypeCase{"TypeByte3GivesVariant1", 9, 3, 0, 3, 1},
        TypeCase{"OtherTypeByteTakesRegister23", 9, 6, 0x1206, 6, 1},
        TypeCase{"TypeByteTimingOutTakesRegister23", 9, std::nullopt, 0x0002, 2, 1},
        TypeCase{"NegativeTypeByteTakesItsLowByte", 0x40, 0x87, 0, 135, 2}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
