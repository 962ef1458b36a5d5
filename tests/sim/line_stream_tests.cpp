// The talker that streams on the simulator's line while a device has the
// fault "stream": its pace, its characters, and the silence of the device.
#include "line_stream.h"
#include "sim_options.h"

#include <gtest/gtest.h>

using namespace std::chrono;

TEST(LineStream, SendsASentenceWithoutAColonEveryFiftyMilliseconds)
{
    sim::LineStream stream;
    const auto start = steady_clock::now();
    const std::string first = stream.due(sim::StreamKind::Text, start, 19200);
    EXPECT_EQ(first, sim::LineStream::kSentence);
    EXPECT_EQ(first.find(':'), std::string::npos);
    EXPECT_EQ(stream.due(sim::StreamKind::Text, start + milliseconds(49), 19200), "");
    EXPECT_EQ(stream.due(sim::StreamKind::Text, start + milliseconds(50), 19200), first);
}

TEST(LineStream, SendsColonsAtTheLinesPace)
{
    sim::LineStream stream;
    const auto start = steady_clock::now();
    stream.due(sim::StreamKind::Colons, start, 19200);
    // 10 ms at 19200 baud carry 19 characters of 10 bits.
    EXPECT_EQ(stream.due(sim::StreamKind::Colons, start + milliseconds(10), 19200), std::string(19, ':'));
    EXPECT_EQ(stream.due(sim::StreamKind::Colons, start + milliseconds(10), 19200), "");
    EXPECT_EQ(stream.due(sim::StreamKind::Colons, start + seconds(10), 19200).size(),
              static_cast<std::size_t>(sim::LineStream::kColonBurst));
}

TEST(LineStream, ADeviceWithTheFaultStreamsAndNeverAnswers)
{
    const char* args[] = {"kl_sim", "--device", "address=2", "--device", "address=1,fault=stream:colons"};
    const sim::SimOptions options = sim::parseOptions(5, const_cast<char**>(args));
    auto quiet = sim::makeDevice(options.devices[0]);
    auto streaming = sim::makeDevice(options.devices[1]);
    EXPECT_EQ(sim::LineStream::of({quiet.get()}), sim::StreamKind::None);
    EXPECT_EQ(sim::LineStream::of({quiet.get(), streaming.get()}), sim::StreamKind::Colons);
    EXPECT_FALSE(streaming->answer({1, 7}));
    EXPECT_TRUE(quiet->answer({2, 7}));
}
