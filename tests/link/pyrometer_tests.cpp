// The pyrometer client over the fake port: which registers each request asks
// for, how the words come back into readings and settings, and the rules that
// read meaning into the words (mode, ratio, thermostat, the same device).
#include "fake_device_port.h"

#include <algorithm>
#include <cstring>
#include <map>

using namespace link_testing;

namespace {

std::uint16_t wordAt(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) << 8
                                      | static_cast<unsigned char>(bytes[at + 1]));
}

Bytes bytesOf(std::uint16_t word)
{
    return Bytes{static_cast<char>(word >> 8), static_cast<char>(word & 0xFF)};
}

// A request as the test reads it back from the line.
struct Request {
    int function;
    int start;
    int count;
};

bool operator==(const Request& a, const Request& b)
{
    return a.function == b.function && a.start == b.start && a.count == b.count;
}

std::ostream& operator<<(std::ostream& out, const Request& r)
{
    return out << "{function " << r.function << ", start " << r.start << ", count " << r.count << "}";
}

// A device at address 1 with a register file: function 4 reads it, 16
// writes it, 7 gives `status`. A register it does not hold refuses the
// request with exception 2.
class PyrometerTest : public FakePortTest {
protected:
    void SetUp() override
    {
        FakePortTest::SetUp();
        playDevice([this](const Bytes& request) { return answer(request); });
        device = kc::Pyrometer(port, 1);
    }

    Bytes answer(const Bytes& request)
    {
        const char function = request[1];
        if (function == 7)
            return Bytes{1, 7, static_cast<char>(status)};
        const int start = wordAt(request, 2);
        const int count = wordAt(request, 4);
        for (int r = start; r < start + count; ++r)
            if (registers.count(r) == 0)
                return Bytes{1, static_cast<char>(function | 0x80), 2};
        if (function == 4) {
            Bytes reply{1, 4, static_cast<char>(2 * count)};
            for (int r = start; r < start + count; ++r)
                reply += bytesOf(registers[r]);
            return reply;
        }
        for (int i = 0; i < count; ++i)
            registers[start + i] = wordAt(request, 7 + 2 * static_cast<std::size_t>(i));
        return request.substr(0, 6);
    }

    // The requests sent since the last forgetSent().
    std::vector<Request> sent() const
    {
        std::vector<Request> out;
        for (const Bytes& r : requestsIn(line->written().substr(seen_)))
            out.push_back(r[1] == 7 ? Request{7, 0, 0} : Request{r[1], wordAt(r, 2), wordAt(r, 4)});
        return out;
    }

    void forgetSent() { seen_ = line->written().size(); }

    void holdRegisters(int first, int count, std::uint16_t base)
    {
        for (int i = 0; i < count; ++i)
            registers[first + i] = static_cast<std::uint16_t>(base + i);
    }

    std::map<int, std::uint16_t> registers;
    std::uint8_t status = 0;
    kc::Pyrometer device{nullptr, 1};

private:
    std::size_t seen_ = 0;
};

TEST_F(PyrometerTest, TheMeasurementIsTheBlockAt256WithTheModesTemperatureAndTheQuantumInWord4)
{
    holdRegisters(256, 5, 1100);
    registers[260] = 30000;
    struct Case {
        unsigned mode;
        std::uint16_t temperature;
    } const cases[] = {{0, 1100}, {1, 1101}, {2, 1102}, {3, 1103}, {4, 1100}, {9, 1100}, {0xFFFF, 1100}};
    for (const Case& c : cases) {
        kc::Measurement m;
        ASSERT_TRUE(device.readMeasurement(c.mode, m).ok()) << "mode " << c.mode;
        EXPECT_EQ(m.temperature(), c.temperature) << "mode " << c.mode;
        EXPECT_EQ(m.quantum(), 30000) << "mode " << c.mode;
        EXPECT_EQ(m.words[3], 1103) << "every word of the block is kept";
    }
    for (const Request& r : sent())
        EXPECT_EQ(r, (Request{4, 256, 5}));
}

TEST_F(PyrometerTest, AFailedMeasurementLeavesTheLastOne)
{
    holdRegisters(256, 5, 500);
    kc::Measurement m;
    ASSERT_TRUE(device.readMeasurement(2, m).ok());
    registers.erase(258);
    const kc::Result r = device.readMeasurement(0, m);
    EXPECT_EQ(r.fault, kc::Fault::DeviceException);
    EXPECT_EQ(m.temperature(), 502) << "neither the words nor the mode's word changed";
}

TEST_F(PyrometerTest, TheStateByteAndItsThermostat)
{
    status = 0xA8;
    std::uint8_t state = 0;
    ASSERT_TRUE(device.readState(state).ok());
    EXPECT_EQ(state, 0xA8);
    EXPECT_EQ(sent().back(), (Request{7, 0, 0}));

    struct Case {
        std::uint8_t state;
        unsigned thermostat;
    } const cases[] = {{0x00, 0}, {0x80, 0}, {0x01, 1}, {0x7F, 127}, {0xA8, 40}, {0xFF, 127}};
    for (const Case& c : cases) {
        EXPECT_EQ(kc::thermostatOf(c.state), c.thermostat) << int(c.state);
        EXPECT_EQ(kc::isSettled(c.state), c.thermostat == 0) << int(c.state);
    }
}

TEST_F(PyrometerTest, SettingsComeInTwoBlocksFrom512And521)
{
    holdRegisters(512, 13, 40);
    struct Case {
        int count;
        std::vector<Request> requests;
    } const cases[] = {
        {9, {{4, 512, 9}}},
        {11, {{4, 512, 9}, {4, 521, 2}}},
        {13, {{4, 512, 9}, {4, 521, 4}}},
    };
    for (const Case& c : cases) {
        forgetSent();
        KCConfig config{};
        ASSERT_TRUE(device.readSettings(config, c.count).ok()) << c.count;
        EXPECT_EQ(sent(), c.requests) << c.count;
        for (int i = 0; i < 13; ++i)
            EXPECT_EQ(config.words[i], i < c.count ? 40 + i : 0) << "word " << i << " of " << c.count;
    }

    std::uint16_t mode = 0;
    std::uint16_t emissivity = 0;
    forgetSent();
    ASSERT_TRUE(device.readModeAndEmissivity(mode, emissivity).ok());
    ASSERT_TRUE(device.readMode(mode).ok());
    EXPECT_EQ(sent(), (std::vector<Request>{{4, 512, 2}, {4, 512, 1}}));
    EXPECT_EQ(mode, 40);
    EXPECT_EQ(emissivity, 41);
}

TEST_F(PyrometerTest, AFailedFirstSettingsBlockAsksNoSecond)
{
    holdRegisters(514, 11, 0);
    KCConfig config{};
    EXPECT_EQ(device.readSettings(config, 13).fault, kc::Fault::DeviceException);
    EXPECT_EQ(sent(), (std::vector<Request>{{4, 512, 9}}));
}

TEST_F(PyrometerTest, TheLimitTableComesInRequestsOfAtMostTenWords)
{
    const LimitTableLayout layout = *limitTableLayout(3, 0);
    ASSERT_EQ(layout.wordCount(), 39);
    holdRegisters(layout.firstRegister(), 39, 7000);
    std::vector<std::uint16_t> words(39, 0);
    int at = 0;
    while (at < 39)
        ASSERT_TRUE(device.readLimitWords(layout, at, words).ok()) << "at " << at;
    EXPECT_EQ(at, 39);
    const int first = layout.firstRegister();
    EXPECT_EQ(sent(), (std::vector<Request>{{4, first, 10}, {4, first + 10, 10}, {4, first + 20, 10},
                                            {4, first + 30, 9}}));
    for (int i = 0; i < 39; ++i)
        EXPECT_EQ(words[static_cast<std::size_t>(i)], 7000 + i) << "word " << i;

    forgetSent();
    EXPECT_EQ(device.readLimitWords(layout, at, words).fault, kc::Fault::BadArgument) << "past the table";
    at = 35;
    std::vector<std::uint16_t> shorter(30, 0);
    EXPECT_EQ(device.readLimitWords(layout, at, shorter).fault, kc::Fault::BadArgument) << "past the words";
    EXPECT_TRUE(sent().empty()) << "nothing sent for a request past the table or the words";
}

TEST_F(PyrometerTest, AFailedLimitRequestStaysWhereItWas)
{
    const LimitTableLayout layout = *limitTableLayout(3, 0);
    holdRegisters(layout.firstRegister(), 15, 1);
    std::vector<std::uint16_t> words(static_cast<std::size_t>(layout.wordCount()), 0);
    int at = 0;
    ASSERT_TRUE(device.readLimitWords(layout, at, words).ok());
    EXPECT_EQ(device.readLimitWords(layout, at, words).fault, kc::Fault::DeviceException);
    EXPECT_EQ(at, 10);
    EXPECT_EQ(words[10], 0);
}

TEST_F(PyrometerTest, SettingsAreWrittenInTwoBlocksFromACopy)
{
    holdRegisters(512, 13, 0);
    KCConfig config{};
    for (int i = 0; i < 13; ++i)
        config.words[i] = static_cast<unsigned short>(0x0100 + i);
    const KCConfig before = config;
    ASSERT_TRUE(device.writeSettings(config).ok());
    ASSERT_TRUE(device.writeOutputSettings(config, 135, 2).ok());
    EXPECT_EQ(sent(), (std::vector<Request>{{16, 512, 9}, {16, 521, 4}}));
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(registers[512 + i], 0x0100 + i) << "register " << 512 + i;
    EXPECT_EQ(std::memcmp(&config, &before, sizeof config), 0) << "the caller's words stay in host order";

    forgetSent();
    ASSERT_TRUE(device.writeOutputSettings(config, 6, 0).ok());
    EXPECT_EQ(sent(), (std::vector<Request>{{16, 521, 2}}));
}

TEST(PyrometerRules, OnlyDevicesWithACurrentOutputAndMoreThanNineWordsTakeTheSecondBlock)
{
    struct Case {
        unsigned type;
        unsigned variant;
        bool second;
    } const cases[] = {{0, 0, false},   {2, 0, false},   {3, 0, false},  {3, 1, true},  {6, 0, true},
                       {131, 0, false}, {131, 1, true}, {135, 2, true}, {0x80, 1, false}};
    for (const Case& c : cases)
        EXPECT_EQ(kc::Pyrometer::hasOutputSettings(c.type, c.variant), c.second) << c.type << "/" << c.variant;
}

TEST(PyrometerRules, AnEmissivityWordAbove100MakesARatioDevice)
{
    struct Case {
        unsigned type;
        std::uint16_t emissivity;
        bool ratio;
        unsigned working;
    } const cases[] = {
        {3, 100, false, 3}, {3, 101, true, 131}, {3, 1000, true, 131}, {6, 95, false, 6},
        {131, 100, true, 131}, {135, 1000, true, 135}, {0, 0, false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kc::reportsRatio(c.type, c.emissivity), c.ratio) << c.type << " " << c.emissivity;
        EXPECT_EQ(kc::workingType(c.type, c.emissivity), c.working) << c.type << " " << c.emissivity;
    }
}

v2DeviceInfo deviceOf(unsigned type, const char* serial)
{
    v2DeviceInfo info{};
    info.type = static_cast<unsigned short>(type);
    std::memcpy(info.serial, serial, std::min(std::strlen(serial), sizeof info.serial));
    return info;
}

TEST(PyrometerRules, TheSameDeviceHasTheSameSerialNumberAndModel)
{
    const v2DeviceInfo b3 = deviceOf(3, "2417");
    EXPECT_TRUE(kc::sameDevice(b3, deviceOf(3, "2417")));
    EXPECT_TRUE(kc::sameDevice(deviceOf(131, "2417"), b3)) << "the program's ratio bit";
    EXPECT_TRUE(kc::sameDevice(b3, deviceOf(131, "2417")));
    EXPECT_FALSE(kc::sameDevice(b3, deviceOf(3, "2418")));
    EXPECT_FALSE(kc::sameDevice(b3, deviceOf(6, "2417")));
    EXPECT_FALSE(kc::sameDevice(b3, deviceOf(3, "241")));
    EXPECT_FALSE(kc::sameDevice(b3, deviceOf(3, "24170")));

    v2DeviceInfo leftover = deviceOf(3, "12");
    v2DeviceInfo clean = deviceOf(3, "12");
    std::memcpy(leftover.serial, "12\0X9", 5);
    EXPECT_TRUE(kc::sameDevice(leftover, clean)) << "what follows the end of the text does not count";
}

TEST(LinkCounts, EveryFailedTryCountsOnceAndCorruptAndSilentTriesApart)
{
    using kc::Fault;
    using kc::Result;
    kc::LinkCounts counts;
    for (const Result& r : {Result::success(), Result::deviceException(2), Result::failure(Fault::BadChecksum),
                            Result::failure(Fault::WrongAddress), Result::failure(Fault::BadLength),
                            Result::failure(Fault::Timeout),
                            Result::failure(Fault::EndlessInput), Result::failure(Fault::PortFailed),
                            Result::failure(Fault::BadArgument)})
        counts.note(r);
    EXPECT_EQ(counts.failedTries, 8);
    EXPECT_EQ(counts.corrupt, 3);
    EXPECT_EQ(counts.noReply, 2);
    EXPECT_EQ(counts.givenUp, 0) << "giving up is the caller's to count";
    EXPECT_EQ(counts.readings, 0);
}

TEST(LinkCounts, CountsAddAndSubtractFieldByField)
{
    const kc::LinkCounts later{10, 20, 30, 40, 50};
    const kc::LinkCounts earlier{1, 2, 3, 4, 5};
    const kc::LinkCounts recent = later - earlier;
    EXPECT_EQ(recent.readings, 9);
    EXPECT_EQ(recent.failedTries, 18);
    EXPECT_EQ(recent.givenUp, 27);
    EXPECT_EQ(recent.corrupt, 36);
    EXPECT_EQ(recent.noReply, 45);
    kc::LinkCounts total = earlier;
    total += recent;
    EXPECT_EQ(total.readings, later.readings);
    EXPECT_EQ(total.failedTries, later.failedTries);
    EXPECT_EQ(total.givenUp, later.givenUp);
    EXPECT_EQ(total.corrupt, later.corrupt);
    EXPECT_EQ(total.noReply, later.noReply);
}

}  // namespace
