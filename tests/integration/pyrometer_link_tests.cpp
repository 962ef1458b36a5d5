// The register services and the identification of the real library against
// simulated pyrometers over a pseudo-terminal.
#include <kcmb.h>

#include "Shared.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

using testing_support::ScopedEnv;
using testing_support::SimProcess;
using testing_support::TempDir;

namespace {

class PyrometerLinkTest : public ::testing::Test {
protected:
    void start(const std::vector<std::string>& args, char baudCode = 5)
    {
        sim = std::make_unique<SimProcess>(dir.path(), args);
        ASSERT_TRUE(KCInit());
        open(baudCode);
    }
    void open(char baudCode)
    {
        if (port)
            KCClosePort(port);
        HandleGuard guard = KCOpenPort("COM1", baudCode);
        ASSERT_TRUE(platform::isUsableHandle(guard.get()));
        port = guard.release();
    }
    void TearDown() override
    {
        if (port)
            KCClosePort(port);
        KCClose();
    }

    TempDir dir;
    ScopedEnv env{"KL_DEVICE_DIR", dir.path()};
    std::unique_ptr<SimProcess> sim;
    void* port = nullptr;
};

// A model as kl_sim is told to play it and what getDeviceInfo must make of it.
struct Model {
    std::string keys;
    unsigned short type;
    unsigned short variant;
    unsigned short tempMin;
    unsigned short tempMax;
    short sensor;
};

// Every model in both identification layouts, each at its own address on one
// line.
TEST_F(PyrometerLinkTest, GetDeviceInfoKnowsEveryModelInBothLayouts)
{
    const std::vector<Model> models = {
        {"type=0", 0, 0, 400, 1400, 0},
        {"type=1", 1, 0, 400, 1400, 0},
        {"type=2,range=650:2950,sensor=1", 2, 0, 650, 2950, 1},
        {"type=3", 3, 0, 200, 1000, 1},
        {"type=3,variant=1", 3, 1, 200, 1000, 1},
        {"type=6", 6, 0, 600, 2200, 0},
        {"type=6,variant=1", 6, 1, 600, 2200, 0},
        {"type=131", 131, 0, 700, 1800, 1},
        {"type=131,variant=1", 131, 1, 700, 1800, 1},
        {"type=131,variant=1,type-byte=none", 131, 1, 700, 1800, 1},
        {"type=135", 135, 0, 800, 2500, 0},
        {"type=135,variant=2", 135, 2, 800, 2500, 0},
    };
    std::vector<std::string> args = {"--no-line-time"};
    std::vector<std::string> deviceKeys;
    for (const Model& m : models) {
        deviceKeys.push_back(m.keys + ",layout=new,serial=4711,year=1999");
        deviceKeys.push_back(m.keys + ",layout=old,serial=47,year=1998");
    }
    for (std::size_t i = 0; i < deviceKeys.size(); ++i)
        args.insert(args.end(), {"--device", deviceKeys[i] + ",address=" + std::to_string(i + 1)});
    start(args);
    for (std::size_t i = 0; i < deviceKeys.size(); ++i) {
        const Model& m = models[i / 2];
        const bool newer = i % 2 == 0;
        SCOPED_TRACE(deviceKeys[i]);
        DeviceInfo info{};
        ASSERT_EQ(getDeviceInfo(port, static_cast<char>(i + 1), &info), 0);
        EXPECT_EQ(info.address, i + 1);
        EXPECT_EQ(info.type, m.type);
        EXPECT_EQ(info.variant, m.variant);
        EXPECT_STREQ(info.serial, newer ? "4711" : "47");
        EXPECT_STREQ(info.year, newer ? "1999" : "1998");
        EXPECT_STREQ(info.verifyDate, "15032023");
        EXPECT_EQ(info.tempMin, m.tempMin);
        EXPECT_EQ(info.tempMax, m.tempMax);
        EXPECT_EQ(info.sensor, m.sensor);
    }
}

TEST_F(PyrometerLinkTest, ASettingsWriteIsReadBackAtTheNewAddressAndSpeed)
{
    start({"--device", "type=3,address=1,baud=5"});
    KCSetTimeOut(port, 300);
    unsigned short settings[11] = {};
    ASSERT_EQ(readWords(port, 1, 512, settings, 9), 0);
    ASSERT_EQ(readWords(port, 1, 521, settings + 9, 2), 0);
    EXPECT_EQ(settings[8], 1);
    EXPECT_EQ(settings[6], 5);

    unsigned short changed[9];
    std::copy(settings, settings + 9, changed);
    changed[0] = 3;    // mode: maximum
    changed[1] = 95;   // emissivity 0.95
    changed[6] = 4;    // 9600 baud
    changed[8] = 23;   // address
    unsigned short copy[9];
    std::copy(changed, changed + 9, copy);
    ASSERT_EQ(writeWords(port, 1, 512, copy, 9), 0);
    unsigned short output[2] = {500, 900};
    ASSERT_EQ(writeWords(port, 1, 521, output, 2), 0) << "still at the old address and speed";

    unsigned short words[11] = {};
    EXPECT_EQ(readWords(port, 23, 512, words, 9), 7) << "the new speed is not yet set on the line";
    open(4);
    KCSetTimeOut(port, 300);
    EXPECT_EQ(readWords(port, 1, 512, words, 9), 7) << "the old address is gone";
    ASSERT_EQ(readWords(port, 23, 512, words, 11), 0);
    EXPECT_TRUE(std::equal(changed, changed + 9, words));
    EXPECT_EQ(words[9], 500);
    EXPECT_EQ(words[10], 900);
}

TEST_F(PyrometerLinkTest, AValueOutsideTheLimitsIsRefusedByTheDevice)
{
    start({"--device", "type=135"});
    unsigned short settings[13] = {};
    ASSERT_EQ(readWords(port, 1, 512, settings, 13), 0);
    settings[3] = 1;  // minimum sampling time 0.1 s, below the table's 0.5 s
    EXPECT_EQ(writeWords(port, 1, 512, settings, 9), 3);
    EXPECT_STREQ(KCGetErrorTxt(3), "неверные данные");
}

TEST_F(PyrometerLinkTest, TheLimitTableReadsAsTheProgramDecodesItAndWriteTableRewritesIt)
{
    start({"--device", "type=3,range=300:1300"});
    const unsigned short first = 768 + 220;
    const int count = 1 + 7 * 11 / 2;
    std::array<unsigned short, count> table{};
    for (int i = 0; i < count; i += 10)
        ASSERT_EQ(readWords(port, 1, static_cast<unsigned short>(first + i), table.data() + i,
                            static_cast<unsigned short>(std::min(10, count - i))), 0);
    Shared::swapBytes(table.data(), count);
    const auto* bytes = reinterpret_cast<const unsigned char*>(table.data());
    auto value = [&](int at) { return bytes[at] << 8 | bytes[at + 1]; };
    // Record i starts at byte 1 + 7i: entry 2 is the minimum sampling time,
    // entry 9 the current output's upper temperature with the range's top.
    EXPECT_EQ(value(1 + 14), 5);
    EXPECT_EQ(value(1 + 14 + 2), 250);
    EXPECT_EQ(bytes[1 + 14 + 4], 5);
    EXPECT_EQ(value(1 + 63 + 5), 1300);

    std::array<unsigned short, count> rewritten;
    for (int i = 0; i < count; ++i)
        rewritten[i] = static_cast<unsigned short>(0x0100 + i);
    ASSERT_EQ(writeTable(port, 1, first, rewritten.data(), count, 1), 0);
    std::array<unsigned short, count> readBack{};
    for (int i = 0; i < count; i += 10)
        ASSERT_EQ(readWords(port, 1, static_cast<unsigned short>(first + i), readBack.data() + i,
                            static_cast<unsigned short>(std::min(10, count - i))), 0);
    EXPECT_EQ(readBack, rewritten);
}

TEST_F(PyrometerLinkTest, TheStatusByteShowsTheThermostatSettlingAndThenTemperaturesArrive)
{
    start({"--device", "type=6,thermostat=30:1.5,range=600:2200,temp=1200,noise=2"});
    unsigned short status = 0;
    ASSERT_EQ(readException(port, 1, &status), 0);
    EXPECT_NE(status & 0x80, 0) << "setting up";
    EXPECT_GT(status & 0x7F, 0);
    EXPECT_LE(status & 0x7F, 30);
    ASSERT_TRUE(testing_support::waitFor([&] { return readException(port, 1, &status) == 0 && status == 0; }));

    unsigned short words[5] = {};
    ASSERT_EQ(readWords(port, 1, 256, words, 5), 0);
    for (int mode = 0; mode < 4; ++mode) {
        EXPECT_GE(words[mode], 1150) << "mode " << mode;
        EXPECT_LE(words[mode], 1250) << "mode " << mode;
    }
    EXPECT_GT(words[4], 1000);
}

TEST_F(PyrometerLinkTest, DevicesAtDifferentSpeedsShareTheLine)
{
    start({"--device", "type=0,address=1,baud=5", "--device", "type=135,address=2,baud=2"}, 2);
    KCSetTimeOut(port, 300);
    unsigned short type = 0;
    EXPECT_EQ(readTypeID(port, 1, &type), 7);
    ASSERT_EQ(readTypeID(port, 2, &type), 0);
    EXPECT_EQ(type, 0xFF87) << "135 sign-extended";
    open(5);
    ASSERT_EQ(readTypeID(port, 1, &type), 0);
    EXPECT_EQ(type, 0);
}

}  // namespace
