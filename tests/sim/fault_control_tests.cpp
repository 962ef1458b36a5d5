// Faults switched while the simulator runs: the control file, the spells it
// starts and ends, and the replies a noisy line delivers.
#include "ascii_frame.h"
#include "fault_control.h"
#include "modbus_bus.h"
#include "reply_spoiler.h"
#include "sim_options.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace std::chrono;

namespace {

TEST(ReplySpoiler, SpoilsInTurnWithABitErrorGarbageAndACutAndCountsThem)
{
    const std::string reply = sim::encodeFrame({1, 4, 10, 2, 88, 2, 87, 2, 93, 2, 95, 171, 1});
    sim::ReplySpoiler spoiler;

    const std::string bitError = spoiler.spoil(reply, 4);
    ASSERT_EQ(bitError.size(), reply.size());
    int differing = 0;
    for (std::size_t i = 0; i < reply.size(); ++i)
        differing += bitError[i] != reply[i];
    EXPECT_EQ(differing, 1);
    EXPECT_EQ(bitError.front(), ':');
    EXPECT_FALSE(sim::decodeFrame(bitError)) << "the checksum disagrees";

    const std::string garbage = spoiler.spoil(reply, 4);
    EXPECT_EQ(garbage.size(), reply.size());
    EXPECT_EQ(garbage.find(':'), std::string::npos) << "no frame starts in it";
    EXPECT_EQ(garbage.substr(garbage.size() - 2), "\r\n");

    const std::string cut = spoiler.spoil(reply, 7);
    EXPECT_EQ(cut, reply.substr(0, reply.size() / 2));
    EXPECT_EQ(spoiler.spoil(reply, 4).size(), reply.size()) << "then a bit error again";

    const sim::SpoilCounts& counts = spoiler.counts();
    EXPECT_EQ(counts.bitErrors, 2);
    EXPECT_EQ(counts.garbage, 1);
    EXPECT_EQ(counts.cutShort, 1);
    EXPECT_EQ(sim::describeSpoils(counts),
              "4 replies spoiled (bit error 2, garbage 1, cut short 1; function 4: 3, function 7: 1)");
}

class FaultControlTest : public ::testing::Test {
protected:
    FaultControlTest()
    {
        auto one = sim::makeDevice({{"address", "1"}, {"fault", "delay:5"}});
        auto two = sim::makeDevice({{"address", "2"}});
        devices = {one.get(), two.get()};
        bus.addDevice(std::move(one));
        bus.addDevice(std::move(two));
        control = std::make_unique<sim::FaultControl>(path, devices, [this](const std::string& s) { said.push_back(s); });
    }

    void write(const std::string& text) { std::ofstream(path, std::ios::trunc) << text; }

    std::vector<std::string> feed(const sim::Bytes& request)
    {
        std::vector<std::string> sent;
        bus.receive(sim::encodeFrame(request), 19200, now,
                    [&](const std::string& r, steady_clock::time_point) { sent.push_back(r); });
        return sent;
    }

    testing_support::TempDir dir;
    std::string path = dir.file("control");
    sim::ModbusBus bus{sim::Timing{}};
    std::vector<sim::Device*> devices;
    std::vector<std::string> said;
    std::unique_ptr<sim::FaultControl> control;
    steady_clock::time_point now = steady_clock::now();
};

TEST_F(FaultControlTest, ALineSetsADevicesFaultsAndItsRemovalGivesTheCommandLinesBack)
{
    control->poll(now);
    EXPECT_TRUE(said.empty()) << "no file, nothing switched";
    write("2 silence\n1 none\n");
    control->poll(now);
    EXPECT_TRUE(feed({2, 7}).empty());
    EXPECT_EQ(feed({1, 7}).size(), 1u);
    EXPECT_EQ(devices[0]->faults().delayMs, 0);
    EXPECT_EQ(said, (std::vector<std::string>{"address 1: faults none", "address 2: faults silence"}));

    said.clear();
    write("2 silence\n");
    control->poll(now);
    EXPECT_EQ(devices[0]->faults().delayMs, 5);
    EXPECT_TRUE(devices[1]->faults().silence) << "an unchanged line stays in force";
    EXPECT_EQ(said, (std::vector<std::string>{"address 1: faults of the command line again"}));

    said.clear();
    write("");
    control->poll(now);
    EXPECT_EQ(feed({2, 7}).size(), 1u);
    EXPECT_EQ(said, (std::vector<std::string>{"address 2: faults of the command line again"}));
}

TEST_F(FaultControlTest, ATimedSpellEndsOnTimeSaysWhatItSpoiledAndDoesNotStartAgain)
{
    write("1 garble 5000\n");
    control->poll(now);
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(feed({1, 7}).at(0), sim::encodeFrame({1, 7, 0}));
    control->poll(now + milliseconds(4999));
    EXPECT_TRUE(devices[0]->faults().garble);
    control->poll(now + milliseconds(5000));
    EXPECT_FALSE(devices[0]->faults().garble);
    EXPECT_EQ(devices[0]->faults().delayMs, 5);
    EXPECT_EQ(said, (std::vector<std::string>{
                        "address 1: faults garble for 5000 ms",
                        "address 1: 4 replies spoiled (bit error 2, garbage 1, cut short 1; function 7: 4)",
                        "address 1: faults of the command line again (time is up)"}));

    write("1 garble 5000\n2 mute:4\n");
    control->poll(now + milliseconds(6000));
    EXPECT_FALSE(devices[0]->faults().garble) << "the spell of the unchanged line is over";
    EXPECT_TRUE(devices[1]->faults().muted.test(4));
}

TEST_F(FaultControlTest, AWrongLineIsSaidAndLeftAlone)
{
    write("1 explode\nthree silence\n2 silence 10 more\n2 bad-lrc\n");
    control->poll(now);
    EXPECT_FALSE(devices[0]->faults().silence);
    EXPECT_TRUE(devices[1]->faults().badLrc);
    ASSERT_EQ(said.size(), 4u);
    EXPECT_NE(said[0].find("unknown fault: explode"), std::string::npos) << said[0];
    EXPECT_NE(said[2].find("expected ADDRESS FAULTS [MS]"), std::string::npos) << said[2];
    EXPECT_EQ(said[3], "address 2: faults bad-lrc");
}

TEST(SimOptions, TheControlFileIsAnOption)
{
    const char* args[] = {"kl_sim", "--control", "/tmp/ctl"};
    EXPECT_EQ(sim::parseOptions(3, const_cast<char**>(args)).controlFile, "/tmp/ctl");
}

}  // namespace
