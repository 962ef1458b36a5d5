// The simulated QRVX device and its command line, without a line.
#include "qrvx_device.h"
#include "qrvx_streamer.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Clock = sim::QrvxDevice::Clock;

TEST(QrvxFrames, EncodeTheValueWithCountAndDecimalLrc)
{
    EXPECT_EQ(sim::encodeValueFrame(1234), ":4123454\r\n");
    EXPECT_EQ(sim::encodeValueFrame(1234, true), ":4123455\r\n");
    EXPECT_EQ(sim::encodeValueFrame(7), ":17201\r\n");
    EXPECT_EQ(sim::encodeValueFrame(-5), ":2-5" + std::to_string((0x100 - ('-' + '5')) & 0xFF) + "\r\n");
}

TEST(QrvxFrames, BadChecksumsAreSpreadEvenly)
{
    sim::QrvxDevice device({1234, 0, false}, 0.25, 'Z');
    std::string pattern;
    for (int i = 0; i < 8; ++i)
        pattern += device.nextFrame(i) == ":4123454\r\n" ? 'g' : 'b';
    EXPECT_EQ(pattern, "gggbgggb");
}

TEST(QrvxFrames, CounterSignalCountsFrames)
{
    sim::QrvxDevice device({0, 0, true}, 0.0, 'Z');
    EXPECT_EQ(device.nextFrame(0), sim::encodeValueFrame(1));
    EXPECT_EQ(device.nextFrame(0), sim::encodeValueFrame(2));
}

TEST(QrvxFrames, FurnaceSignalSwingsAroundItsCentre)
{
    sim::QrvxDevice device({1000, 100, false}, 0.0, 'Z');
    long low = 100000, high = 0;
    for (int i = 0; i < 300; ++i) {
        const std::string f = device.nextFrame(i * 0.1);
        const long value = std::stol(f.substr(2, static_cast<std::size_t>(f[1] - '0')));
        low = std::min(low, value);
        high = std::max(high, value);
    }
    EXPECT_GE(low, 895);
    EXPECT_LE(low, 910);
    EXPECT_GE(high, 1090);
    EXPECT_LE(high, 1105);
}

TEST(QrvxCommands, GAndEchoAndPacket)
{
    sim::QrvxDevice device({}, 0.0, 'Z');
    const auto t0 = Clock::now();
    EXPECT_EQ(device.receive("G", t0), "G0\r\n");
    EXPECT_EQ(device.receive("xZ", t0), "Z");
    EXPECT_EQ(device.receive("12G4", t0), "");
    device.tick(t0 + std::chrono::milliseconds(1));
    EXPECT_EQ(device.zeroText(), "0");
    device.tick(t0 + sim::QrvxDevice::kPacketGap);
    EXPECT_EQ(device.zeroText(), "12G4");
    EXPECT_EQ(device.receive("G", t0 + std::chrono::milliseconds(50)), "G12G4\r\n");
}

TEST(QrvxCommands, LineEndEndsThePacketAndOtherCommandCharactersCount)
{
    sim::QrvxDevice device({}, 0.0, 'W');
    const auto t0 = Clock::now();
    EXPECT_EQ(device.receive("Z", t0), "");
    EXPECT_EQ(device.receive("W99\rG", t0), "WG99\r\n");
}

std::optional<sim::QrvxOptions> take(std::vector<std::string> args, std::vector<std::string>* restOut = nullptr)
{
    args.insert(args.begin(), "kl_sim");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    std::vector<char*> rest;
    auto options = sim::takeQrvxOptions(static_cast<int>(argv.size()), argv.data(), rest);
    if (restOut)
        restOut->assign(rest.begin(), rest.end());
    return options;
}

TEST(QrvxOptions, AreTakenOutOfTheCommandLine)
{
    std::vector<std::string> rest;
    const auto options = take({"--dir", "/d", "--qrvx", "--rate", "250", "--com", "3", "--bad-lrc-share", "0.1",
                               "--value", "900", "--swing", "-5", "--command-char", "W", "--no-line-time"},
                              &rest);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->rate, 250.0);
    EXPECT_EQ(options->badChecksumShare, 0.1);
    EXPECT_EQ(options->signal.centre, 900);
    EXPECT_EQ(options->signal.swing, 5);
    EXPECT_EQ(options->commandChar, 'W');
    EXPECT_EQ(rest, (std::vector<std::string>{"kl_sim", "--dir", "/d", "--com", "3", "--no-line-time"}));
    EXPECT_FALSE(take({"--com", "2"}));
}

TEST(QrvxOptions, RefusesWhatDoesNotFit)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--rate", "5"},                       // without --qrvx
        {"--qrvx", "--device", "address=1"},   // Modbus only
        {"--qrvx", "--bad-lrc-share", "1.5"},
        {"--qrvx", "--rate", "0"},
        {"--qrvx", "--rate"},
        {"--qrvx", "--command-char", "ZZ"},
        {"--qrvx", "--value", "1234567890"},
    };
    for (const auto& args : bad)
        EXPECT_THROW(take(args), std::invalid_argument) << args.back();
}

}  // namespace
