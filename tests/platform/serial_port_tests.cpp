// The termios port against a pseudo-terminal played by the test.
#include "platform/serial.h"
#include "pty_port_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace std::chrono;
using testing_support::PtyPeer;
using testing_support::TempDir;

namespace {

class PosixPortTest : public PtyPortTest {
protected:
    void setTimeouts(std::uint32_t interval, std::uint32_t multiplier, std::uint32_t constant)
    {
        platform::Timeouts t;
        t.readInterval = interval;
        t.readMultiplier = multiplier;
        t.readConstant = constant;
        ASSERT_TRUE(platform::setTimeouts(port, t));
    }

    // Reads one byte and reports how long the read took.
    milliseconds timedRead(char& c, std::uint32_t& got)
    {
        const auto start = steady_clock::now();
        EXPECT_TRUE(platform::readPort(port, &c, 1, got));
        return duration_cast<milliseconds>(steady_clock::now() - start);
    }
};

TEST_F(PosixPortTest, FirstByteReadWaitsItsTimeOutWhenNothingComes)
{
    setTimeouts(platform::kMaxTimeout, platform::kMaxTimeout, 150);
    char c = 0;
    std::uint32_t got = 99;
    const auto took = timedRead(c, got);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(took.count(), 140);
}

TEST_F(PosixPortTest, FirstByteReadReturnsAtOnceWhenAByteWaits)
{
    setTimeouts(platform::kMaxTimeout, platform::kMaxTimeout, 10000);
    peer.write("x");
    char c = 0;
    std::uint32_t got = 0;
    const auto took = timedRead(c, got);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(c, 'x');
    EXPECT_LT(took.count(), 5000);
}

TEST_F(PosixPortTest, FirstByteReadReturnsWhenALateByteArrives)
{
    setTimeouts(platform::kMaxTimeout, platform::kMaxTimeout, 10000);
    std::thread writer([this] {
        std::this_thread::sleep_for(milliseconds(30));
        peer.write("y");
    });
    char c = 0;
    std::uint32_t got = 0;
    const auto took = timedRead(c, got);
    writer.join();
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(c, 'y');
    EXPECT_LT(took.count(), 5000);
}

TEST_F(PosixPortTest, ImmediateReadGivesWhatIsWaitingAndNeverWaits)
{
    setTimeouts(platform::kMaxTimeout, 0, 0);
    char buffer[8] = {};
    std::uint32_t got = 99;
    ASSERT_TRUE(platform::readPort(port, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 0u);
    peer.write("abc");
    ASSERT_TRUE(testing_support::waitFor([&] {
        std::uint32_t n = 0;
        platform::readPort(port, buffer + got, sizeof buffer - got, n);
        got += n;
        return got == 3;
    }));
    EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST_F(PosixPortTest, TotalTimeOutCollectsUntilTheCountIsReached)
{
    setTimeouts(0, 0, 5000);
    peer.write("hello");
    char buffer[5] = {};
    std::uint32_t got = 0;
    ASSERT_TRUE(platform::readPort(port, buffer, 5, got));
    EXPECT_EQ(std::string(buffer, got), "hello");
}

TEST_F(PosixPortTest, PurgeOfTheReceiveSideDropsBytesAlreadyTakenFromTheLine)
{
    setTimeouts(platform::kMaxTimeout, platform::kMaxTimeout, 2000);
    peer.write("abc");
    char c = 0;
    std::uint32_t got = 0;
    ASSERT_TRUE(platform::readPort(port, &c, 1, got));
    ASSERT_EQ(c, 'a');
    ASSERT_TRUE(platform::purgePort(port, platform::kPurgeRxClear));
    setTimeouts(platform::kMaxTimeout, 0, 0);
    ASSERT_TRUE(platform::readPort(port, &c, 1, got));
    EXPECT_EQ(got, 0u) << "bytes read ahead before the purge were handed out after it";
}

TEST_F(PosixPortTest, WrittenBytesReachTheFarEnd)
{
    std::uint32_t written = 0;
    ASSERT_TRUE(platform::writePort(port, ":0107F8\r\n", 9, written));
    EXPECT_EQ(written, 9u);
    EXPECT_TRUE(platform::drainPort(port));
    EXPECT_EQ(peer.read(9), ":0107F8\r\n");
}

// A pseudo-terminal keeps 8 data bits without parity whatever is set, so
// only speed and stop bits can be seen to change here.
TEST_F(PosixPortTest, LineSettingsAreAppliedAndReadBack)
{
    platform::LineSettings s;
    ASSERT_TRUE(platform::getLineSettings(port, s));
    s.baudRate = 38400;
    s.stopBits = platform::StopBits::Two;
    ASSERT_TRUE(platform::setLineSettings(port, s));
    platform::LineSettings back;
    ASSERT_TRUE(platform::getLineSettings(port, back));
    EXPECT_EQ(back.baudRate, 38400u);
    EXPECT_EQ(back.stopBits, platform::StopBits::Two);
}

TEST_F(PosixPortTest, ASpeedTheLineCannotTakeIsRefused)
{
    platform::LineSettings s;
    ASSERT_TRUE(platform::getLineSettings(port, s));
    s.baudRate = 12345;
    EXPECT_FALSE(platform::setLineSettings(port, s));
}

TEST_F(PosixPortTest, APortIsNotShared)
{
    const platform::Handle second = platform::openSerialPort(peer.terminalPath().c_str());
    EXPECT_EQ(second, platform::invalidHandle());
}

TEST_F(PosixPortTest, ModemLineCallsOnAPseudoTerminalFailQuietly)
{
    platform::lineFunction(port, platform::LineFunction::SetDtr);
    platform::lineFunction(port, platform::LineFunction::ClearRts);
    std::uint32_t written = 0;
    EXPECT_TRUE(platform::writePort(port, "k", 1, written));
    EXPECT_EQ(peer.read(1), "k");
}

TEST(SerialPort, OpeningAMissingDeviceGivesTheInvalidHandle)
{
    EXPECT_EQ(platform::openSerialPort("/nonexistent/tty"), platform::invalidHandle());
    EXPECT_EQ(platform::openSerialPort(""), platform::invalidHandle());
    EXPECT_EQ(platform::openSerialPort(nullptr), platform::invalidHandle());
}

TEST(SerialPort, CallsOnHandlesThatAreNoPortsFail)
{
    platform::LineSettings s;
    char c;
    std::uint32_t got = 0;
    EXPECT_FALSE(platform::getLineSettings(nullptr, s));
    EXPECT_FALSE(platform::readPort(platform::invalidHandle(), &c, 1, got));
    EXPECT_FALSE(platform::closeHandle(platform::invalidHandle()));
}

TEST(LineSettingsText, TheDefaultTextGivesNineThousandSixHundredEightNoneOne)
{
    platform::LineSettings s;
    s.baudRate = 1;
    s.dataBits = 5;
    s.parity = platform::Parity::Odd;
    s.stopBits = platform::StopBits::Two;
    ASSERT_TRUE(platform::buildLineSettings("baud=9600 parity=N data=8 stop=1", s));
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.parity, platform::Parity::None);
    EXPECT_EQ(s.stopBits, platform::StopBits::One);
}

TEST(LineSettingsText, AnUnknownFieldLeavesTheSettingsAlone)
{
    platform::LineSettings s;
    s.baudRate = 1200;
    EXPECT_FALSE(platform::buildLineSettings("baud=9600 colour=blue", s));
    EXPECT_FALSE(platform::buildLineSettings("baud=", s));
    EXPECT_FALSE(platform::buildLineSettings("parity=Q", s));
    EXPECT_EQ(s.baudRate, 1200u);
}

// The far end hangs up, as when an adapter is pulled out or the simulator is
// killed: the read fails at once instead of waiting out its time-out, after
// what the line still held.
TEST(PosixPortHangUp, AReadFailsWhenTheFarEndHangsUp)
{
    TempDir dir;
    auto peer = std::make_unique<PtyPeer>(dir.path(), 1);
    const platform::Handle port = platform::openSerialPort(peer->terminalPath().c_str());
    ASSERT_TRUE(platform::isUsableHandle(port));
    platform::LineSettings s;
    ASSERT_TRUE(platform::getLineSettings(port, s));
    ASSERT_TRUE(platform::setLineSettings(port, s));
    platform::Timeouts t;
    t.readInterval = platform::kMaxTimeout;
    t.readMultiplier = platform::kMaxTimeout;
    t.readConstant = 5000;
    ASSERT_TRUE(platform::setTimeouts(port, t));

    peer->write("ab");
    char buffer[2] = {};
    std::uint32_t got = 0;
    ASSERT_TRUE(platform::readPort(port, buffer, 2, got));
    EXPECT_EQ(got, 2u);

    std::thread hangUp([&] {
        std::this_thread::sleep_for(milliseconds(50));
        peer.reset();
    });
    const auto start = steady_clock::now();
    EXPECT_FALSE(platform::readPort(port, buffer, 1, got));
    EXPECT_LT(duration_cast<milliseconds>(steady_clock::now() - start).count(), 2500) << "not the whole time-out";
    hangUp.join();
    EXPECT_FALSE(platform::readPort(port, buffer, 1, got));
    platform::closeHandle(port);
}

}  // namespace
