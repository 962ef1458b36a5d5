// The simulator's record of the requests on the line, and muted functions.
#include "ascii_frame.h"
#include "modbus_bus.h"
#include "sim_options.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace std::chrono;
using sim::Bytes;

namespace {

TEST(RequestTrace, RecordsEveryRequestOnTheLineAnsweredOrNot)
{
    testing_support::TempDir dir;
    sim::ModbusBus bus(sim::Timing{});
    bus.addDevice(sim::makeDevice({{"type", "3"}, {"fault", "mute:7"}}));
    bus.traceTo(dir.file("trace"));
    int replies = 0;
    auto send = [&](const Bytes& request, unsigned baud, steady_clock::time_point at) {
        bus.receive(sim::encodeFrame(request), baud, at, [&](const std::string&, auto) { ++replies; });
    };
    const auto start = steady_clock::now();
    send({1, 4, 0x01, 0x00, 0, 5}, 19200, start + milliseconds(1500));
    send({1, 7}, 19200, start + milliseconds(1600));
    send({9, 16, 0x02, 0x09, 0, 2, 4, 0, 1, 0, 2}, 9600, start + milliseconds(1700));
    send({1, 25, 0xAD, 0xDC, 0, 3, 6, 0, 0, 0, 0, 0, 0}, 19200, start + milliseconds(1800));
    EXPECT_EQ(replies, 2) << "function 7 is muted, address 9 absent";

    std::ifstream in(dir.file("trace"));
    std::vector<std::vector<long>> lines;
    long ms, address, function, first, count;
    while (in >> ms >> address >> function >> first >> count)
        lines.push_back({ms, address, function, first, count});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], (std::vector<long>{lines[0][0], 1, 4, 256, 5}));
    EXPECT_EQ(lines[1], (std::vector<long>{lines[1][0], 1, 7, 0, 0}));
    EXPECT_EQ(lines[2], (std::vector<long>{lines[2][0], 9, 16, 521, 2}));
    EXPECT_EQ(lines[3], (std::vector<long>{lines[3][0], 1, 25, 0xADDC, 3}));
    EXPECT_EQ(lines[1][0] - lines[0][0], 100) << "milliseconds of the requests' arrival";
    EXPECT_GE(lines[0][0], 1400);
}

TEST(RequestTrace, AFolderThatCannotTakeTheFileIsAnError)
{
    sim::ModbusBus bus(sim::Timing{});
    EXPECT_THROW(bus.traceTo("/nonexistent-folder/trace"), std::runtime_error);
}

TEST(SimOptions, TraceAndMuteAreUnderstood)
{
    const char* argv[] = {"kl_sim", "--trace", "/tmp/x", "--device", "fault=mute:7+mute:5"};
    const auto options = sim::parseOptions(5, const_cast<char**>(argv));
    EXPECT_EQ(options.traceFile, "/tmp/x");
    const auto device = sim::makeDevice(options.devices[0]);
    EXPECT_TRUE(device->faults().muted.test(7));
    EXPECT_TRUE(device->faults().muted.test(5));
    EXPECT_FALSE(device->faults().muted.test(4));
    EXPECT_FALSE(device->answer({1, 7}));
}

}  // namespace
