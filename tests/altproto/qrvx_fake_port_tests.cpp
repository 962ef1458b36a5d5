// The library over the in-memory port: how it sets the port up, and the
// command exchange with a scripted device whose every byte is recorded.
#include <qrvx.h>

#include "qrvx_test_support.h"
#include "test_support.h"

#include "platform/fake_serial_port.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <ostream>
#include <regex>
#include <thread>

using platform::FakeLine;
using qrvx_test::millisecondsOf;
using qrvx_test::readFile;
using qrvx_test::RunningStream;
using qrvx_test::ScopedCurrentDirectory;
using qrvx_test::TuningFile;
using testing_support::qrvxFrameOf;
using testing_support::TempDir;
using testing_support::caseName;

namespace {

class FakeQrvxPort : public ::testing::Test {
protected:
    FakeQrvxPort() { platform::registerFakeDevice("COM5", line); }
    ~FakeQrvxPort() override { platform::unregisterFakeDevice("COM5"); }

    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
};

TEST_F(FakeQrvxPort, OpensWithTheLineSettingsOfTheDevices)
{
    void* port = QRVXOpenPort("com5");
    ASSERT_NE(port, nullptr);
    const platform::LineSettings s = line->settings();
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.parity, platform::Parity::None);
    EXPECT_EQ(s.stopBits, platform::StopBits::One);
    EXPECT_EQ(s.dtrControl, platform::LineControl::Disable);
    EXPECT_EQ(s.rtsControl, platform::LineControl::Disable);
    EXPECT_EQ(s.xonLimit, 80);
    EXPECT_EQ(s.xoffLimit, 200);
    EXPECT_FALSE(line->dtr());
    EXPECT_FALSE(line->rts());
    const platform::Timeouts t = line->timeouts();
    EXPECT_EQ(t.readInterval, platform::kMaxTimeout);
    EXPECT_EQ(t.readMultiplier, 0u);
    EXPECT_EQ(t.readConstant, 10u);
    EXPECT_EQ(t.writeMultiplier, 1u);
    EXPECT_EQ(t.writeConstant, 100u);
    platform::closeHandle(port);
}

TEST_F(FakeQrvxPort, PurgesAndHoldsTheBreakWhileItSetsThePortUp)
{
    void* port = QRVXOpenPort("\\\\.\\COM5");
    ASSERT_NE(port, nullptr);
    using Kind = FakeLine::EventKind;
    std::vector<std::string> seen;
    for (const auto& e : line->events()) {
        if (e.kind == Kind::Purge)
            seen.push_back("purge " + std::to_string(e.purgeFlags));
        else if (e.kind == Kind::LineFunction && e.function == platform::LineFunction::SetBreak)
            seen.push_back("break on");
        else if (e.kind == Kind::LineFunction && e.function == platform::LineFunction::ClearBreak)
            seen.push_back("break off");
        else if (e.kind == Kind::ApplySettings)
            seen.push_back("settings");
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"purge 15", "break on", "settings", "break off"}));
    EXPECT_FALSE(line->inBreak());
    platform::closeHandle(port);
}

TEST_F(FakeQrvxPort, PortInUseGivesNull)
{
    void* port = QRVXOpenPort("COM5");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(QRVXOpenPort("COM5"), nullptr);
    platform::closeHandle(port);
}

TEST(QrvxOpenPort, NullNameGivesNull)
{
    EXPECT_EQ(QRVXOpenPort(nullptr), nullptr);
}

// A device on the fake line: it streams a frame every 5 ms, answers "G" with
// "G" + the reply text + LF, and echoes the command character when told to.
class ScriptedDevice : public FakeQrvxPort {
protected:
    void SetUp() override
    {
        tuning.writeDefaults();
        line->setResponder([this](std::string& pending) {
            std::string reply;
            for (char c : pending) {
                if (c == 'G')
                    reply += beforeReply + "G" + replyText + "\n";
                else if (c == 'Z' && echo)
                    reply += "Z";
            }
            pending.clear();
            return reply;
        });
        feeder = std::thread([this] {
            while (!stopFeeding) {
                line->feed(qrvxFrameOf(1234));
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        void* port = QRVXOpenPort("COM5");
        ASSERT_NE(port, nullptr);
        stream = std::make_unique<RunningStream>(port);
    }
    void TearDown() override
    {
        stream.reset();
        stopFeeding = true;
        if (feeder.joinable())
            feeder.join();
    }

    // What the library wrote after opening, in order.
    std::string written() const { return line->written(); }

    TempDir dir;
    TuningFile tuning{dir.path()};
    ScopedCurrentDirectory cwd{dir.path()};
    std::string replyText = "abc";
    std::string beforeReply;
    bool echo = true;
    std::atomic<bool> stopFeeding{false};
    std::thread feeder;
    std::unique_ptr<RunningStream> stream;
};

TEST_F(ScriptedDevice, ReadZeroStoresTheReplyLineAndZerosTheRest)
{
    char reply[32];
    std::fill(std::begin(reply), std::end(reply), '#');
    ASSERT_TRUE(QRVXReadZero(stream->context(), reply, sizeof reply));
    EXPECT_EQ(std::string(reply, sizeof reply), "Gabc\r\n" + std::string(26, '\0'));
    EXPECT_EQ(written(), "G");
}

TEST_F(ScriptedDevice, ReadZeroSkipsWhatComesBeforeTheG)
{
    beforeReply = "34\r\n:4123";
    char reply[16] = {};
    ASSERT_TRUE(QRVXReadZero(stream->context(), reply, sizeof reply));
    EXPECT_STREQ(reply, "Gabc\r\n");
}

TEST_F(ScriptedDevice, ReplyFillingTheBufferExactlyFits)
{
    char reply[8];
    std::fill(std::begin(reply), std::end(reply), '#');
    ASSERT_TRUE(QRVXReadZero(stream->context(), reply, 6));
    EXPECT_EQ(std::string(reply, 8), "Gabc\r\n##");
}

TEST_F(ScriptedDevice, ReplyTooLongFailsWithoutWritingPastTheSize)
{
    char reply[8];
    std::fill(std::begin(reply), std::end(reply), '#');
    EXPECT_FALSE(QRVXReadZero(stream->context(), reply, 5));
    EXPECT_EQ(std::string(reply, 8), std::string("Gab\0\0###", 8));
}

TEST_F(ScriptedDevice, SizeTooSmallForGAndLineEndFailsWithoutTraffic)
{
    for (unsigned size : {0u, 1u, 2u}) {
        char reply[4] = {'#', '#', '#', '#'};
        EXPECT_FALSE(QRVXReadZero(stream->context(), reply, size)) << size;
        EXPECT_EQ(reply[size], '#') << size;
    }
    EXPECT_FALSE(QRVXReadZero(stream->context(), nullptr, 10));
    EXPECT_EQ(written(), "");
}

TEST_F(ScriptedDevice, SmallestReplyFits)
{
    replyText = "";
    char reply[3];
    ASSERT_TRUE(QRVXReadZero(stream->context(), reply, 3));
    EXPECT_EQ(std::string(reply, 3), "G\r\n");
}

struct PacketCase {
    unsigned zeroStrLen;
    unsigned length;
    std::string sent;  // after the command character
    unsigned loggedLength;
};

void PrintTo(const PacketCase& c, std::ostream* os)
{
    *os << "ZeroStrLen " << c.zeroStrLen << ", length " << c.length;
}

class PacketLength : public ScriptedDevice, public ::testing::WithParamInterface<PacketCase> {};

TEST_P(PacketLength, SendsLengthLessZeroStrLenLessThreeBytes)
{
    const PacketCase& c = GetParam();
    tuning.write({"ZeroWaitTime=500", "ZeroSyncWait=400", "ZeroStrLen=" + std::to_string(c.zeroStrLen)});
    replyText = "0123456";
    char packet[16] = "Zabcdefghi";
    EXPECT_EQ(QRVXWriteZero(stream->context(), packet, c.length), c.length >= 10);
    EXPECT_EQ(written(), "Z" + c.sent + "G");
    const std::string log = readFile(dir.file("qrvx.log"));
    EXPECT_NE(log.find("\tend write packet, len=" + std::to_string(c.loggedLength) + "\n"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Tuning, PacketLength,
                         ::testing::Values(PacketCase{0, 10, "abcdefg", 9}, PacketCase{2, 10, "abcde", 7},
                                           PacketCase{7, 10, "", 2}, PacketCase{20, 10, "", 0},
                                           PacketCase{0, 3, "", 2}),
                         [](const auto& info) {
                             return caseName("ZeroStrLen", info.param.zeroStrLen, "Length", info.param.length);
                         });

TEST_F(ScriptedDevice, WriteZeroLogsEveryStepAndReadsBack)
{
    replyText = "0123456";
    char packet[11] = "Zabcdefghi";
    ASSERT_TRUE(QRVXWriteZero(stream->context(), packet, 10));
    EXPECT_EQ(std::string(packet, 10), "G0123456\r\n");
    const std::string log = readFile(dir.file("qrvx.log"));
    const std::regex expected(
        "\n-{50}\n"
        "[0-9]+\tstart QRVXWriteZero\n"
        "\t timeout = 500\n"
        "[0-9]+\tbegin wait sync char\n"
        "[0-9]+\tReceive sync char !!!\n"
        "[0-9]+\tstart timeout\n"
        "[0-9]+\tbegin write 'Z'\n"
        "[0-9]+\tend write 'Z'\n"
        "[0-9]+\tstart wait 'Z'\n"
        "[0-9]+\treal read 'Z'\n"
        "[0-9]+\tbegin write packet abcdefghi\n"
        "[0-9]+\tend write packet, len=9\n");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;
}

TEST_F(ScriptedDevice, LogNeverReadsPastThePacket)
{
    char packet[8] = {'Z', 'a', 'b', 'c', 'd', 'e', 'f', 'g'};
    QRVXWriteZero(stream->context(), packet, 5);
    const std::string log = readFile(dir.file("qrvx.log"));
    EXPECT_NE(log.find("\tbegin write packet abcd\n"), std::string::npos) << log;
}

TEST_F(ScriptedDevice, WithoutEchoThePacketStaysUnsentAndTheReadBackStillRuns)
{
    echo = false;
    replyText = "77";
    char packet[16] = "Zabcdefghi";
    EXPECT_TRUE(QRVXWriteZero(stream->context(), packet, 10));
    EXPECT_EQ(written(), "ZG");
    EXPECT_STREQ(packet, "G77\r\n");
    const std::string log = readFile(dir.file("qrvx.log"));
    EXPECT_EQ(log.find("real read"), std::string::npos);
    EXPECT_EQ(log.find("write packet"), std::string::npos);
    EXPECT_TRUE(std::regex_search(log, std::regex("start wait 'Z'\n[0-9]+\tTimeout wait 'Z'!!!\n$"))) << log;
}

TEST_F(ScriptedDevice, StopEndsTheEchoWaitPromptly)
{
    echo = false;
    char packet[16] = "Zabcdefghi";
    auto writer = std::async(std::launch::async, [&] { return QRVXWriteZero(stream->context(), packet, 10); });
    ASSERT_TRUE(testing_support::waitFor([&] { return written() == "Z"; }));
    const auto ms = millisecondsOf([&] {
        stream->requestStop();
        writer.wait();
    });
    EXPECT_FALSE(writer.get());
    EXPECT_LT(ms, 150);
    EXPECT_EQ(written(), "Z");
}

TEST_F(ScriptedDevice, ChangedTuningCountsFromTheNextCall)
{
    char packet[16] = "Zabcdefghi";
    tuning.write({"ZeroWaitTime=777"});
    QRVXWriteZero(stream->context(), packet, 10);
    // A key the file no longer holds keeps the value it had.
    tuning.write({});
    QRVXWriteZero(stream->context(), packet, 10);
    tuning.remove();
    QRVXWriteZero(stream->context(), packet, 10);
    tuning.write({"ZeroWaitTime=0x1F4"});
    QRVXWriteZero(stream->context(), packet, 10);
    tuning.write({"ZeroWaitTime=-3"});
    QRVXWriteZero(stream->context(), packet, 10);
    const std::string log = readFile(dir.file("qrvx.log"));
    std::vector<std::string> timeouts;
    const std::regex line("\t timeout = ([0-9]+)\n");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        timeouts.push_back((*it)[1]);
    EXPECT_EQ(timeouts, (std::vector<std::string>{"777", "777", "777", "500", "500"}));
}

TEST_F(ScriptedDevice, ChangedSyncWaitShortensTheFailure)
{
    stopFeeding = true;
    feeder.join();
    tuning.write({"ZeroSyncWait=100"});
    char reply[16];
    const auto ms = millisecondsOf([&] { EXPECT_FALSE(QRVXReadZero(stream->context(), reply, sizeof reply)); });
    EXPECT_GE(ms, 95);
    EXPECT_LT(ms, 350);
    tuning.writeDefaults();
}

TEST_F(ScriptedDevice, WriteZeroRefusesANullPacketAfterItsHeader)
{
    EXPECT_FALSE(QRVXWriteZero(stream->context(), nullptr, 10));
    EXPECT_FALSE(QRVXWriteZero(nullptr, nullptr, 10));
    const std::string log = readFile(dir.file("qrvx.log"));
    EXPECT_TRUE(std::regex_match(log, std::regex("(\n-{50}\n[0-9]+\tstart QRVXWriteZero\n\t timeout = 500\n){2}")))
        << log;
    EXPECT_EQ(written(), "");
}

}  // namespace
