// The simulator's bus and devices, without a pseudo-terminal.
#include "ascii_frame.h"
#include "modbus_bus.h"
#include "sim_options.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace std::chrono;
using sim::Bytes;

namespace {

struct Sent {
    std::string reply;
    steady_clock::time_point due;
};

class BusTest : public ::testing::Test {
protected:
    std::vector<Sent> feed(const Bytes& request, unsigned baud = 19200)
    {
        std::vector<Sent> sent;
        bus.receive(sim::encodeFrame(request), baud, start,
                    [&](const std::string& r, steady_clock::time_point due) { sent.push_back({r, due}); });
        return sent;
    }

    sim::ModbusBus bus{sim::Timing{}};
    steady_clock::time_point start = steady_clock::now();
};

TEST(AsciiFrame, EncodesAndDecodesWithTheLrc)
{
    EXPECT_EQ(sim::encodeFrame({0x01, 0x04, 0x00, 0x00, 0x00, 0x0A}), ":01040000000AF1\r\n");
    const auto bytes = sim::decodeFrame(":01040000000AF1\r\n");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (Bytes{0x01, 0x04, 0x00, 0x00, 0x00, 0x0A}));
    EXPECT_FALSE(sim::decodeFrame(":01040000000AF2\r\n"));
    EXPECT_FALSE(sim::decodeFrame(":01040000000AF\r\n"));
    EXPECT_FALSE(sim::decodeFrame("01040000000AF1\r\n"));
}

TEST_F(BusTest, ADeviceAnswersOnlyAtItsAddressAndSpeed)
{
    bus.addDevice(sim::makeDevice({{"address", "2"}, {"baud", "4"}, {"regs", "10:7:8"}}));
    EXPECT_TRUE(feed({1, 4, 0, 10, 0, 2}, 9600).empty());
    EXPECT_TRUE(feed({2, 4, 0, 10, 0, 2}, 19200).empty());
    const auto sent = feed({2, 4, 0, 10, 0, 2}, 9600);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].reply, sim::encodeFrame({2, 4, 4, 0, 7, 0, 8}));
}

TEST_F(BusTest, RegisterBlocksAreSeparatedBySlashes)
{
    bus.addDevice(sim::makeDevice({{"regs", "10:7:8/520:1"}}));
    EXPECT_EQ(feed({1, 4, 0, 10, 0, 2})[0].reply, sim::encodeFrame({1, 4, 4, 0, 7, 0, 8}));
    EXPECT_EQ(feed({1, 4, 0x02, 0x08, 0, 1})[0].reply, sim::encodeFrame({1, 4, 2, 0, 1}));
}

TEST_F(BusTest, WrittenRegistersReadBack)
{
    bus.addDevice(sim::makeDevice({}));
    auto sent = feed({1, 16, 0x02, 0x00, 0, 2, 4, 0x12, 0x34, 0x56, 0x78});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].reply, sim::encodeFrame({1, 16, 0x02, 0x00, 0, 2}));
    sent = feed({1, 4, 0x02, 0x00, 0, 2});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].reply, sim::encodeFrame({1, 4, 4, 0x12, 0x34, 0x56, 0x78}));
}

TEST_F(BusTest, StatusTypeAndUnknownFunctions)
{
    bus.addDevice(sim::makeDevice({{"status", "0x85"}, {"type-byte", "135"}}));
    EXPECT_EQ(feed({1, 7})[0].reply, sim::encodeFrame({1, 7, 0x85}));
    EXPECT_EQ(feed({1, 5})[0].reply, sim::encodeFrame({1, 5, 135}));
    EXPECT_EQ(feed({1, 3, 0, 0, 0, 1})[0].reply, sim::encodeFrame({1, 0x83, 1}));
    EXPECT_EQ(feed({1, 16, 0, 0, 0, 2, 3, 0, 0})[0].reply, sim::encodeFrame({1, 0x90, 3}));
}

TEST_F(BusTest, ARequestWithAWrongLrcGetsNoAnswer)
{
    bus.addDevice(sim::makeDevice({}));
    std::vector<Sent> sent;
    bus.receive(":0107F7\r\n", 19200, start, [&](const std::string& r, steady_clock::time_point d) {
        sent.push_back({r, d});
    });
    EXPECT_TRUE(sent.empty());
}

TEST_F(BusTest, FaultsShapeTheReply)
{
    bus.addDevice(sim::makeDevice({{"address", "1"}, {"fault", "exception:3"}}));
    bus.addDevice(sim::makeDevice({{"address", "2"}, {"fault", "bad-lrc+high-bit"}}));
    bus.addDevice(sim::makeDevice({{"address", "3"}, {"fault", "silence"}}));
    bus.addDevice(sim::makeDevice({{"address", "4"}, {"fault", "noise"}}));
    EXPECT_EQ(feed({1, 7})[0].reply, sim::encodeFrame({1, 0x87, 3}));
    const std::string high = feed({2, 7})[0].reply;
    for (char c : high)
        EXPECT_TRUE(static_cast<unsigned char>(c) & 0x80);
    EXPECT_TRUE(feed({3, 7}).empty());
    const std::string noisy = feed({4, 7})[0].reply;
    EXPECT_GT(noisy.find(':'), noisy.find('\n'));
}

TEST_F(BusTest, RepliesAreDueAfterTheLineTimeOfRequestAndReplyPlusTheTurnaround)
{
    bus.addDevice(sim::makeDevice({{"baud", "4"}, {"fault", "delay:20"}}));
    const auto sent = feed({1, 4, 0, 0, 0, 1}, 9600);
    ASSERT_EQ(sent.size(), 1u);
    // 17 request and 15 reply characters of 10 bits at 9600 baud, 1 ms, 20 ms.
    const auto expected = microseconds((17 + 15) * 10 * 1000000 / 9600) + milliseconds(1) + milliseconds(20);
    EXPECT_EQ(duration_cast<microseconds>(sent[0].due - start).count(), expected.count());
}

TEST(SimOptions, RejectsWhatItDoesNotUnderstand)
{
    const char* badKey[] = {"kl_sim", "--device", "colour=red"};
    const auto options = sim::parseOptions(3, const_cast<char**>(badKey));
    EXPECT_THROW(sim::makeDevice(options.devices[0]), std::invalid_argument);
    const char* badArg[] = {"kl_sim", "--frobnicate"};
    EXPECT_THROW(sim::parseOptions(2, const_cast<char**>(badArg)), std::invalid_argument);
    const char* badCom[] = {"kl_sim", "--com", "0"};
    EXPECT_THROW(sim::parseOptions(3, const_cast<char**>(badCom)), std::invalid_argument);
    EXPECT_THROW(sim::makeDevice({{"fault", "explode"}}), std::invalid_argument);
    EXPECT_THROW(sim::makeDevice({{"address", "300"}}), std::invalid_argument);
}

}  // namespace
