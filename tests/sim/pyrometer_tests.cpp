// The simulated pyrometer, driven through its Modbus requests with a clock
// the test moves.
#include "ascii_frame.h"
#include "limit_table.h"
#include "modbus_bus.h"
#include "pyrometer.h"
#include "pyrometer_options.h"
#include "thermostat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <stdexcept>

using namespace std::chrono;
using sim::Bytes;

namespace {

class PyrometerTest : public ::testing::Test {
protected:
    void make(const sim::DeviceKeys& keys)
    {
        config = sim::pyrometerConfigOf(keys);
        device = std::make_unique<sim::Pyrometer>(config, [this] { return now; });
    }

    Bytes ask(const Bytes& request) { return device->answer(request).value_or(Bytes{}); }

    // The words of a function-4 read, or nothing for an exception reply.
    std::vector<std::uint16_t> read(std::uint16_t start, std::uint16_t count)
    {
        const Bytes reply = ask({device->address(), 4, static_cast<std::uint8_t>(start >> 8),
                                 static_cast<std::uint8_t>(start), 0, static_cast<std::uint8_t>(count)});
        std::vector<std::uint16_t> words;
        if (reply.size() < 3 || (reply[1] & 0x80) != 0)
            return words;
        for (std::size_t i = 3; i + 1 < reply.size(); i += 2)
            words.push_back(static_cast<std::uint16_t>(reply[i] << 8 | reply[i + 1]));
        return words;
    }

    Bytes write(std::uint16_t start, const std::vector<std::uint16_t>& words)
    {
        Bytes request{device->address(), 16, static_cast<std::uint8_t>(start >> 8), static_cast<std::uint8_t>(start),
                      0, static_cast<std::uint8_t>(words.size()), static_cast<std::uint8_t>(2 * words.size())};
        for (std::uint16_t w : words) {
            request.push_back(static_cast<std::uint8_t>(w >> 8));
            request.push_back(static_cast<std::uint8_t>(w));
        }
        return ask(request);
    }

    static std::string text(const std::vector<std::uint16_t>& regs, std::size_t first, std::size_t count)
    {
        std::string t;
        for (std::size_t i = first; i < first + count; ++i) {
            t += static_cast<char>(regs[i] >> 8);
            t += static_cast<char>(regs[i] & 0xFF);
        }
        return t;
    }

    steady_clock::time_point now = steady_clock::now();
    sim::PyrometerConfig config;
    std::unique_ptr<sim::Pyrometer> device;
};

TEST_F(PyrometerTest, NewerLayoutKeepsFourSerialCharactersAndEndsTheDateInRegister12)
{
    make({{"type", "3"}, {"serial", "4711"}, {"year", "2020"}, {"verified", "01022024"}, {"range", "300:1300"},
          {"sensor", "1"}, {"reg2", "77"}});
    const auto regs = read(0, 25);
    ASSERT_EQ(regs.size(), 25u);
    EXPECT_EQ(regs[0], 573);
    EXPECT_EQ(regs[1], 1573);
    EXPECT_EQ(regs[2], 77);
    EXPECT_EQ(regs[4] & 0xFF, 1);
    EXPECT_EQ(text(regs, 5, 2), "4711");
    EXPECT_EQ(text(regs, 7, 2), "2020");
    EXPECT_EQ(text(regs, 9, 4), "01022024");
    EXPECT_NE(regs[12], 0);
    EXPECT_EQ(regs[22], 3);
}

TEST_F(PyrometerTest, OlderLayoutKeepsTwoSerialCharactersAndLeavesRegister12Zero)
{
    make({{"type", "0"}, {"layout", "old"}, {"serial", "47"}, {"verified", "01022024"}});
    const auto regs = read(0, 25);
    ASSERT_EQ(regs.size(), 25u);
    EXPECT_EQ(text(regs, 5, 1), "47");
    EXPECT_EQ(text(regs, 6, 2), "2021");
    EXPECT_EQ(text(regs, 8, 4), "01022024");
    EXPECT_EQ(regs[12], 0);
}

// Type, variant and type-byte keys; registers 22 and 23 and the reply to
// function 5 (negative: exception 1).
struct IdCase {
    const char* name;
    const char* type;
    const char* variant;
    const char* typeByte;
    std::uint16_t reg22;
    std::uint16_t reg23;
    int functionFive;
};

class IdentificationRuleTest : public PyrometerTest, public ::testing::WithParamInterface<IdCase> {};

TEST_P(IdentificationRuleTest, Registers22And23AndTheTypeByte)
{
    const IdCase& c = GetParam();
    sim::DeviceKeys keys{{"type", c.type}, {"variant", c.variant}};
    if (c.typeByte)
        keys["type-byte"] = c.typeByte;
    make(keys);
    const auto regs = read(22, 2);
    ASSERT_EQ(regs.size(), 2u);
    EXPECT_EQ(regs[0], c.reg22);
    EXPECT_EQ(regs[1], c.reg23);
    const Bytes reply = ask({1, 5});
    if (c.functionFive < 0)
        EXPECT_EQ(reply, (Bytes{1, 0x85, 1}));
    else
        EXPECT_EQ(reply, (Bytes{1, 5, static_cast<std::uint8_t>(c.functionFive)}));
}

INSTANTIATE_TEST_SUITE_P(
    Models, IdentificationRuleTest,
    ::testing::Values(IdCase{"B3", "3", "0", nullptr, 3, 0, 3},
                      IdCase{"B3TwoColour", "131", "0", nullptr, 131, 0, 131},
                      IdCase{"B3TwoColourNewer", "131", "1", nullptr, 9, 131, 131},
                      IdCase{"B2TwoColourNewer", "135", "2", nullptr, 9, 135, 135},
                      IdCase{"A1Newer", "1", "1", nullptr, 9, 1, 1},
                      IdCase{"WithoutFunctionFive", "6", "1", "none", 9, 6, -1},
                      IdCase{"OtherTypeByte", "2", "0", "77", 2, 0, 77}),
    [](const auto& info) { return std::string(info.param.name); });

// Type and variant; settings words and the limit table's place and size.
struct ModelCase {
    const char* name;
    const char* type;
    const char* variant;
    int settings;
    int base;
    int entries;
    int lead;
};

class ModelTest : public PyrometerTest, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(ModelTest, HasItsSettingsWordsAndNoMore)
{
    const ModelCase& c = GetParam();
    make({{"type", c.type}, {"variant", c.variant}});
    EXPECT_EQ(read(512, static_cast<std::uint16_t>(c.settings)).size(), static_cast<std::size_t>(c.settings));
    EXPECT_TRUE(read(512, static_cast<std::uint16_t>(c.settings + 1)).empty());
    EXPECT_EQ(ask({1, 4, 2, 0, 0, static_cast<std::uint8_t>(c.settings + 1)})[2], 2) << "exception 2";
}

// Decodes the table as the program does: the words back in line order, then
// 7-byte records from byte `lead`.
TEST_P(ModelTest, KeepsItsLimitTablePackedAt768PlusBase)
{
    const ModelCase& c = GetParam();
    make({{"type", c.type}, {"variant", c.variant}, {"range", "500:1700"}});
    const int words = c.lead + 7 * c.entries / 2;
    std::vector<std::uint16_t> table;
    for (int i = 0; i < words; i += 10) {
        const auto part = read(static_cast<std::uint16_t>(768 + c.base + i), static_cast<std::uint16_t>(std::min(10, words - i)));
        ASSERT_FALSE(part.empty()) << "register " << 768 + c.base + i;
        table.insert(table.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(read(static_cast<std::uint16_t>(768 + c.base + words), 1).empty()) << "the table ends there";
    EXPECT_TRUE(read(static_cast<std::uint16_t>(768 + c.base - 1), 1).empty()) << "the table starts there";

    std::vector<std::uint8_t> bytes;
    for (std::uint16_t w : table) {
        bytes.push_back(static_cast<std::uint8_t>(w >> 8));
        bytes.push_back(static_cast<std::uint8_t>(w));
    }
    auto at = [&](int i) { return bytes[static_cast<std::size_t>(i)]; };
    for (int i = 0; i + 1 < c.entries; ++i) {
        const int r = c.lead + 7 * i;
        const sim::LimitEntry& e = config.limits[static_cast<std::size_t>(i)];
        EXPECT_EQ(at(r) << 8 | at(r + 1), e.min) << "entry " << i;
        EXPECT_EQ(at(r + 2) << 8 | at(r + 3), e.max) << "entry " << i;
        EXPECT_EQ(at(r + 4), e.step) << "entry " << i;
        EXPECT_EQ(at(r + 5) << 8 | at(r + 6), e.extra) << "entry " << i;
    }
    // Entry 2 is the minimum sampling time, entry 7 the address.
    EXPECT_EQ(at(c.lead + 14) << 8 | at(c.lead + 15), 5);
    EXPECT_EQ(at(c.lead + 51) << 8 | at(c.lead + 52), 247);
}

INSTANTIATE_TEST_SUITE_P(
    Models, ModelTest,
    ::testing::Values(ModelCase{"A1Plain", "0", "0", 9, 123, 9, 1},
                      ModelCase{"A1Display", "1", "0", 9, 123, 9, 1},
                      ModelCase{"A1", "2", "0", 9, 123, 9, 1},
                      ModelCase{"B3", "3", "0", 11, 220, 11, 1},
                      ModelCase{"B2", "6", "0", 11, 247, 11, 0},
                      ModelCase{"B3TwoColour", "131", "0", 9, 127, 9, 1},
                      ModelCase{"B3TwoColourNewer", "131", "1", 11, 128, 11, 1},
                      ModelCase{"B2TwoColour", "135", "0", 13, 130, 14, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LimitTable, PacksSevenByteRecordsAfterTheLeadByte)
{
    const sim::TableLayout layout{0, 3, 1};
    const auto regs = sim::packLimitTable(layout, {{0x0102, 0x0304, 0x05, 0x0607}, {0x1112, 0x1314, 0x15, 0x1617}});
    // 1 + 7 × 3 / 2 = 11 registers; the third record is left zero.
    const std::vector<std::uint16_t> expected = {0x0001, 0x0203, 0x0405, 0x0607, 0x1112, 0x1314, 0x1516,
                                                 0x1700, 0x0000, 0x0000, 0x0000};
    EXPECT_EQ(regs, expected);
}

TEST_F(PyrometerTest, ASettingsWriteAppliesTheNewAddressAndSpeedAfterItsReply)
{
    make({{"type", "3"}, {"address", "1"}, {"baud", "5"}});
    auto settings = read(512, 9);
    ASSERT_EQ(settings.size(), 9u);
    EXPECT_EQ(settings[6], 5);
    EXPECT_EQ(settings[8], 1);
    settings[0] = 2;
    settings[6] = 4;
    settings[8] = 17;
    const Bytes reply = write(512, settings);
    EXPECT_EQ(reply, (Bytes{1, 16, 2, 0, 0, 9})) << "answered from the old address";
    EXPECT_EQ(device->address(), 17);
    EXPECT_EQ(device->baudCode(), 4);
    EXPECT_EQ(read(512, 1), std::vector<std::uint16_t>{2});
}

// The second block of a settings write still reaches the device at its old
// address and speed for a moment; nothing else does.
TEST(PyrometerOnTheBus, SettingsWritesAtTheOldAddressAndSpeedAreHeardForAMoment)
{
    auto now = steady_clock::now();
    sim::ModbusBus bus(sim::Timing{});
    bus.addDevice(std::make_unique<sim::Pyrometer>(sim::pyrometerConfigOf({{"type", "3"}}), [&now] { return now; }));
    auto send = [&](const Bytes& request, unsigned baud) {
        std::string reply;
        bus.receive(sim::encodeFrame(request), baud, now, [&](const std::string& r, auto) { reply = r; });
        return reply;
    };
    const Bytes moveTo23At9600{1, 16, 0x02, 0x08, 0, 1, 2, 0, 23};
    ASSERT_EQ(send({1, 16, 0x02, 0x06, 0, 1, 2, 0, 4}, 19200), sim::encodeFrame({1, 16, 0x02, 0x06, 0, 1}));
    const Bytes outputBlock{1, 16, 0x02, 0x09, 0, 2, 4, 0x01, 0xF4, 0x03, 0x84};
    EXPECT_EQ(send(outputBlock, 19200), sim::encodeFrame({1, 16, 0x02, 0x09, 0, 2})) << "answered as asked";
    EXPECT_EQ(send({1, 4, 0x02, 0x09, 0, 1}, 19200), "") << "only settings writes";
    EXPECT_EQ(send({1, 4, 0x02, 0x09, 0, 1}, 9600), sim::encodeFrame({1, 4, 2, 0x01, 0xF4}));

    now += sim::Pyrometer::kSwitchGrace;
    EXPECT_EQ(send(outputBlock, 19200), "") << "the moment has passed";
    EXPECT_EQ(send(moveTo23At9600, 9600), sim::encodeFrame({1, 16, 0x02, 0x08, 0, 1}));
    EXPECT_EQ(send({23, 7}, 9600), sim::encodeFrame({23, 7, 0}));
}

TEST_F(PyrometerTest, ASettingOutsideItsLimitRefusesTheWholeWrite)
{
    make({{"type", "135"}});
    const auto before = read(512, 13);
    ASSERT_EQ(before.size(), 13u);

    auto bad = before;
    bad[0] = 1;
    bad[3] = 4;  // minimum sampling below 0.5 s
    EXPECT_EQ(write(512, bad), (Bytes{1, 0x90, 3}));
    EXPECT_EQ(read(512, 13), before) << "nothing written";

    bad = before;
    bad[0] = 4;
    EXPECT_EQ(write(512, bad), (Bytes{1, 0x90, 3})) << "no mode 4";
    bad = before;
    bad[8] = 0;
    EXPECT_EQ(write(512, bad), (Bytes{1, 0x90, 3})) << "no address 0";
    EXPECT_EQ(write(521, {0, 3000, 15000, 100, 0}), (Bytes{1, 0x90, 2})) << "past the last settings word";
    EXPECT_EQ(write(256, {1}), (Bytes{1, 0x90, 2})) << "measurement words are read-only";

    EXPECT_EQ(write(521, {500, 1500, 15000, 100}), (Bytes{1, 16, 2, 9, 0, 4})) << "trigger off is allowed";
    EXPECT_EQ(write(523, {1200}), (Bytes{1, 16, 2, 11, 0, 1}));
}

TEST_F(PyrometerTest, FunctionTwentyFiveRewritesTheLimitTable)
{
    make({{"type", "3"}});
    const std::uint16_t first = 768 + 220;
    const auto field = static_cast<std::uint16_t>(first + 2 - 22016);
    const Bytes request{1, 25, static_cast<std::uint8_t>(field >> 8), static_cast<std::uint8_t>(field), 0, 2, 4,
                        0xAB, 0xCD, 0x12, 0x34};
    EXPECT_EQ(ask(request), Bytes(request.begin(), request.begin() + 6));
    EXPECT_EQ(read(first + 2, 2), (std::vector<std::uint16_t>{0xABCD, 0x1234}));

    Bytes outside = request;
    outside[3] = static_cast<std::uint8_t>(outside[3] - 3);
    EXPECT_EQ(ask(outside), (Bytes{1, 0x99, 2}));
    Bytes badCount = request;
    badCount[6] = 3;
    EXPECT_EQ(ask(badCount), (Bytes{1, 0x99, 3}));
    EXPECT_EQ(ask({1, 43, 0}), (Bytes{1, 0xAB, 1})) << "other functions are unknown";
}

TEST_F(PyrometerTest, TheStatusByteShowsTheThermostatSettling)
{
    make({{"type", "3"}, {"thermostat", "40:10"}});
    const auto start = now;
    EXPECT_EQ(ask({1, 7}), (Bytes{1, 7, 0x80 | 40}));
    now = start + seconds(5);
    EXPECT_EQ(ask({1, 7}), (Bytes{1, 7, 0x80 | 20}));
    now = start + milliseconds(9999);
    EXPECT_EQ(ask({1, 7}), (Bytes{1, 7, 0x80 | 1})) << "not settled before its time";
    now = start + seconds(10);
    EXPECT_EQ(ask({1, 7}), (Bytes{1, 7, 0}));
}

TEST(Thermostat, ASettledOrTimelessThermostatIsZero)
{
    const auto t0 = steady_clock::now();
    EXPECT_EQ(sim::Thermostat(0, seconds(10), t0).statusByte(t0), 0);
    EXPECT_EQ(sim::Thermostat(50, seconds(0), t0).statusByte(t0), 0);
    EXPECT_EQ(sim::Thermostat(500, seconds(10), t0).value(t0), 127) << "seven bits";
}

// Temperatures of one reading in modes 0..3 and the quantum count, sampled
// once a second of simulated time.
TEST_F(PyrometerTest, ReadingsAreNoisyStayInTheRangeAndKeepTheirOrder)
{
    make({{"type", "6"}, {"range", "600:2200"}, {"temp", "605"}, {"noise", "8"}, {"settings", "0:100:6:30:30"}});
    const auto start = now;
    std::vector<int> measured, smoothed;
    for (int s = 0; s < 200; ++s) {
        now = start + seconds(s);
        const auto w = read(256, 5);
        ASSERT_EQ(w.size(), 5u);
        for (int k = 0; k < 4; ++k) {
            EXPECT_GE(w[k], 600) << "mode " << k;
            EXPECT_LE(w[k], 2200) << "mode " << k;
        }
        EXPECT_LE(w[2], w[0]);
        EXPECT_GE(w[3], w[0]);
        EXPECT_GT(w[4], 0);
        measured.push_back(w[0]);
        smoothed.push_back(w[1]);
    }
    auto spread = [](const std::vector<int>& v) {
        double mean = 0, square = 0;
        for (int x : v)
            mean += x;
        mean /= static_cast<double>(v.size());
        for (int x : v)
            square += (x - mean) * (x - mean);
        return std::sqrt(square / static_cast<double>(v.size()));
    };
    EXPECT_GT(spread(measured), 3.0) << "the signal is noisy";
    EXPECT_LT(spread(smoothed), spread(measured) / 2) << "smoothing over 100 samples calms it";
    EXPECT_EQ(*std::min_element(measured.begin(), measured.end()), 600) << "clamped at the range";
}

TEST_F(PyrometerTest, RequestsAtOneMomentSeeTheSameSample)
{
    make({{"type", "3"}, {"noise", "5"}});
    now += seconds(3);
    const auto first = read(256, 5);
    const auto again = read(256, 5);
    EXPECT_EQ(first, again) << "a request does not draw a sample of its own";
}

TEST_F(PyrometerTest, TheQuantumCountRisesWithTheTemperature)
{
    make({{"type", "3"}, {"range", "200:1000"}});
    sim::TemperatureSignal signal(config.signal, now);
    EXPECT_EQ(signal.quantaOf(1000), 60000);
    EXPECT_EQ(signal.quantaOf(200), 1000);
    EXPECT_LT(signal.quantaOf(500), signal.quantaOf(600));
    EXPECT_LT(signal.quantaOf(200), signal.quantaOf(500));
}

TEST_F(PyrometerTest, ALongPauseDoesNotReplayEverySample)
{
    make({{"type", "3"}});
    now += hours(24 * 365);
    EXPECT_EQ(read(256, 5).size(), 5u);
}

TEST_F(PyrometerTest, EveryRequestGetsAReplyOrSilence)
{
    make({{"type", "135"}});
    std::mt19937 random(3);
    for (int function = 0; function < 256; ++function) {
        for (int length = 0; length < 30; ++length) {
            Bytes request{1, static_cast<std::uint8_t>(function)};
            for (int i = 0; i < length; ++i)
                request.push_back(static_cast<std::uint8_t>(random()));
            const auto reply = device->answer(request);
            if (reply) {
                ASSERT_GE(reply->size(), 3u) << "function " << function;
            }
        }
    }
    EXPECT_FALSE(device->answer({1}));
}

TEST(PyrometerOptions, RefusesWhatItCannotPlay)
{
    const std::vector<sim::DeviceKeys> bad = {
        {{"type", "4"}},
        {{"type", "135"}, {"variant", "1"}},
        {{"type", "3"}, {"variant", "2"}},
        {{"type", "3"}, {"colour", "red"}},
        {{"type", "3"}, {"layout", "older"}},
        {{"type", "3"}, {"layout", "old"}, {"serial", "123"}},
        {{"type", "3"}, {"serial", "12345"}},
        {{"type", "3"}, {"verified", "1503202"}},
        {{"type", "3"}, {"range", "900:800"}},
        {{"type", "3"}, {"range", "100:200"}, {"temp", "300"}},
        {{"type", "3"}, {"settings", "0:1:2:3:4:5:6:7:8:9:10:11:12:13"}},
        {{"type", "3"}, {"thermostat", "200:10"}},
        {{"type", "3"}, {"address", "0"}},
        {{"type", "3"}, {"type-byte", "300"}},
    };
    for (const auto& keys : bad)
        EXPECT_THROW(sim::pyrometerConfigOf(keys), std::invalid_argument) << keys.begin()->second;
}

TEST(PyrometerOptions, AddressAndBaudKeysSetTheirSettingsWords)
{
    const auto config = sim::pyrometerConfigOf(
        {{"type", "131"}, {"address", "9"}, {"baud", "3"}, {"settings", "1:950:2:10:30:1:5:50:1"}});
    const std::vector<std::uint16_t> words(config.settings.begin(), config.settings.begin() + 9);
    EXPECT_EQ(words, (std::vector<std::uint16_t>{1, 950, 2, 10, 30, 1, 3, 50, 9}));
    EXPECT_EQ(config.address, 9);
    EXPECT_EQ(config.baudCode, 3);
    EXPECT_EQ(sim::pyrometerConfigOf({{"type", "131"}}).settings[1], 1000) << "a ratio device's emissivity word";
}

}  // namespace
