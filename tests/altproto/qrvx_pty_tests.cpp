// The real library over pseudo-terminals: against a test-played device that
// writes exactly the bytes a case needs, and against kl_sim --qrvx.
#include <qrvx.h>

#include "qrvx_test_support.h"
#include "test_support.h"

#include "platform/sync.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <future>
#include <ostream>
#include <regex>
#include <thread>

using qrvx_test::millisecondsOf;
using qrvx_test::readFile;
using qrvx_test::RunningStream;
using qrvx_test::ScopedCurrentDirectory;
using qrvx_test::TuningFile;
using testing_support::qrvxFrameOf;
using testing_support::PtyPeer;
using testing_support::ScopedEnv;
using testing_support::SimProcess;
using testing_support::TempDir;

namespace {

struct ReadResult {
    int value = 0;
    std::string text;
};

class PtyStream : public ::testing::Test {
protected:
    void SetUp() override
    {
        tuning.writeDefaults();
        void* port = QRVXOpenPort("COM12");
        ASSERT_NE(port, nullptr);
        stream = std::make_unique<RunningStream>(port);
    }

    // Sends `before` (and a marker byte) and waits until the library holds
    // it; starts QRVXReadValue and waits until it has discarded; then sends
    // `after` and returns what QRVXReadValue gave.
    ReadResult readValue(const std::string& before, const std::string& after)
    {
        const std::string sent = before + "~";
        peer.write(sent);
        EXPECT_TRUE(stream->waitForStored(sent.size()));
        auto result = std::async(std::launch::async, [this] {
            char text[100];
            std::fill(std::begin(text), std::end(text), '#');
            ReadResult r;
            r.value = QRVXReadValue(stream->context(), text, sizeof text);
            r.text = text;
            return r;
        });
        EXPECT_TRUE(stream->waitForDiscard());
        peer.write(after);
        if (result.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
            stream->requestStop();
            ADD_FAILURE() << "no value read";
        }
        return result.get();
    }

    TempDir dir;
    ScopedEnv devices{"KL_DEVICE_DIR", dir.path()};
    TuningFile tuning{dir.path()};
    ScopedCurrentDirectory cwd{dir.path()};
    PtyPeer peer{dir.path(), 12};
    std::unique_ptr<RunningStream> stream;
};

TEST_F(PtyStream, ValueTravelsAsColonCountDigitsChecksumAndReadsBack)
{
    ASSERT_EQ(qrvxFrameOf(1234), ":41234" "54" "\r\n");
    const ReadResult r = readValue("", qrvxFrameOf(1234));
    EXPECT_EQ(r.value, 1234);
    EXPECT_EQ(r.text, ":4123454\r\n");
}

struct StreamCase {
    const char* name;
    std::string before;  // received before the call
    std::string after;   // received during it
    int value;
    std::string text;
};

void PrintTo(const StreamCase& c, std::ostream* os)
{
    *os << c.name;
}

class PtyStreamCases : public PtyStream, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(PtyStreamCases, ReadsTheRightFrame)
{
    const StreamCase& c = GetParam();
    const ReadResult r = readValue(c.before, c.after);
    EXPECT_EQ(r.value, c.value);
    EXPECT_EQ(r.text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, PtyStreamCases,
    ::testing::Values(
        StreamCase{"ColonMidLineIsOrdinary", "", "abc" + qrvxFrameOf(1234) + qrvxFrameOf(5678), 5678, qrvxFrameOf(5678)},
        StreamCase{"ColonAfterCrStartsAFrame", "", "abc\r" + qrvxFrameOf(1234), 1234, qrvxFrameOf(1234)},
        StreamCase{"ColonAfterLfStartsAFrame", "", "abc\n" + qrvxFrameOf(1234), 1234, qrvxFrameOf(1234)},
        StreamCase{"WrongChecksum", "", qrvxFrameOf(1234, true), QRVX_BAD_FRAME, ":4123455 LRC error \r\n"},
        StreamCase{"EarlierFrameIsNeverUsed", qrvxFrameOf(1111), qrvxFrameOf(2222), 2222, qrvxFrameOf(2222)},
        StreamCase{"EarlierFrameStartIsNeverUsed", ":41", "23454\r\n" + qrvxFrameOf(2222), 2222, qrvxFrameOf(2222)},
        StreamCase{"CountNotADigit", "", ":x1234\r\n", QRVX_BAD_FRAME, ":x1234 LRC error \r\n"},
        StreamCase{"LineEndsWithinTheValue", "", ":9123\r\n", QRVX_BAD_FRAME, ":9123 LRC error \r\n"},
        StreamCase{"LfOnlyEndsAFrame", "", ":4123454\n", 1234, ":4123454\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PtyStream, FullBufferKeepsTheNewest4096Bytes)
{
    std::string sent;
    for (int i = 0; i < QRVX_BUFFER_SIZE + 300; ++i)
        sent += static_cast<char>('a' + i % 26);
    peer.write(sent);
    const std::string newest = sent.substr(sent.size() - QRVX_BUFFER_SIZE);
    EXPECT_TRUE(testing_support::waitFor([&] { return stream->unconsumed() == newest; }));
}

TEST_F(PtyStream, TextIsCutToTheCallersSize)
{
    peer.write("~");
    ASSERT_TRUE(stream->waitForStored(1));
    auto result = std::async(std::launch::async, [this] {
        char text[8];
        std::fill(std::begin(text), std::end(text), '#');
        const int value = QRVXReadValue(stream->context(), text, 5);
        return std::make_pair(value, std::string(text, 8));
    });
    ASSERT_TRUE(stream->waitForDiscard());
    peer.write(qrvxFrameOf(1234));
    ASSERT_EQ(result.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    const auto [value, text] = result.get();
    EXPECT_EQ(value, 1234);
    EXPECT_EQ(text, std::string(":412\0###", 8));
}

TEST_F(PtyStream, StopEndsReadValueAndTheReceiveLoopPromptly)
{
    auto reader = std::async(std::launch::async, [this] {
        char text[100];
        return QRVXReadValue(stream->context(), text, sizeof text);
    });
    ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    const auto ms = millisecondsOf([&] {
        stream->requestStop();
        reader.wait();
        testing_support::waitFor([&] { return stream->loopEnded(); });
    });
    EXPECT_EQ(reader.get(), QRVX_STOPPED);
    EXPECT_TRUE(stream->loopEnded());
    EXPECT_EQ(stream->loopResult(), 0u);
    EXPECT_LT(ms, 150);
}

// The loop sleeps until bytes or the stop request come: a loop that looks at
// the line on a timer switches context about a hundred times a second.
TEST_F(PtyStream, AnIdleReceiveLoopDoesNotWakeUp)
{
    peer.write("~");
    ASSERT_TRUE(stream->waitForStored(1));
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_nvcsw - before.ru_nvcsw, 20);
    peer.write("ab");
    EXPECT_TRUE(stream->waitForStored(3)) << "still receiving after the idle second";
}

// A burst that arrived while the loop was busy is taken in one go: the bytes
// are stored together, not one per wake-up.
TEST_F(PtyStream, ABurstIsStoredWhole)
{
    std::string burst;
    for (int i = 0; i < 40; ++i)
        burst += qrvxFrameOf(1000 + i);
    peer.write(burst);
    ASSERT_TRUE(stream->waitForStored(burst.size()));
    EXPECT_EQ(stream->unconsumed(), burst);
}

TEST(QrvxContext, NullContextOrBufferIsRefused)
{
    char text[10];
    EXPECT_EQ(QRVXReadPort(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(QRVXReadValue(nullptr, text, sizeof text), QRVX_STOPPED);
    QRVXContext context{};
    context.stopEvent = platform::createEvent(nullptr, true, false);
    context.lock = platform::createMutex(nullptr);
    EXPECT_EQ(QRVXReadPort(&context), 0u);
    EXPECT_EQ(QRVXReadValue(&context, text, sizeof text), QRVX_STOPPED);
    EXPECT_FALSE(QRVXReadZero(&context, text, sizeof text));
    platform::closeHandle(context.stopEvent);
    platform::closeHandle(context.lock);
}

class PtyPortNames : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnv devices{"KL_DEVICE_DIR", dir.path()};
    PtyPeer peer{dir.path(), 12};
    testing_support::ScriptedMessageBoxes boxes;
};

TEST_F(PtyPortNames, PortThatDoesNotExistGivesNullWithoutAMessage)
{
    EXPECT_EQ(QRVXOpenPort("COM99"), nullptr);
    EXPECT_EQ(QRVXOpenPort("/no/such/device"), nullptr);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(PtyPortNames, Com12AndDevicePathNameTheSamePort)
{
    void* port = QRVXOpenPort("com12");
    ASSERT_NE(port, nullptr);
    // Ports are not shared: the other spelling finds the same port, in use.
    EXPECT_EQ(QRVXOpenPort("\\\\.\\com12"), nullptr);
    platform::closeHandle(port);
    port = QRVXOpenPort("\\\\.\\com12");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(QRVXOpenPort("COM12"), nullptr);
    platform::closeHandle(port);
}

// A device that sends nothing at all.
class SilentDevice : public PtyStream {};

TEST_F(SilentDevice, ReadZeroFailsAfterTheSyncWait)
{
    char reply[16];
    const auto ms = millisecondsOf([&] { EXPECT_FALSE(QRVXReadZero(stream->context(), reply, sizeof reply)); });
    EXPECT_GE(ms, 380);
    EXPECT_LT(ms, 1000);
    EXPECT_EQ(peer.read(1, std::chrono::milliseconds(20)), "");
}

TEST_F(SilentDevice, WriteZeroFailsAfterTheSyncWaitWithLogLinesOneToFive)
{
    char packet[16] = "Zabcdefghi";
    const auto ms = millisecondsOf([&] { EXPECT_FALSE(QRVXWriteZero(stream->context(), packet, 10)); });
    EXPECT_GE(ms, 380);
    EXPECT_LT(ms, 1000);
    const std::string log = readFile(dir.file("qrvx.log"));
    std::smatch m;
    ASSERT_TRUE(std::regex_match(log, m,
                                 std::regex("\n-{50}\n"
                                            "[0-9]+\tstart QRVXWriteZero\n"
                                            "\t timeout = 500\n"
                                            "([0-9]+)\tbegin wait sync char\n"
                                            "([0-9]+)\tTimeout wait sync char !!!\n")))
        << log;
    EXPECT_LE(std::stoul(m[1]), 50u);
    EXPECT_GE(std::stoul(m[2]), 400u);
    EXPECT_EQ(peer.read(1, std::chrono::milliseconds(20)), "");
}

TEST_F(SilentDevice, StopEndsTheSyncWaitPromptly)
{
    char reply[16];
    auto reader = std::async(std::launch::async, [&] { return QRVXReadZero(stream->context(), reply, sizeof reply); });
    ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    const auto ms = millisecondsOf([&] {
        stream->requestStop();
        reader.wait();
    });
    EXPECT_FALSE(reader.get());
    EXPECT_LT(ms, 150);
}

// kl_sim playing a QRVX device.
class SimulatedDevice : public ::testing::Test {
protected:
    void start(std::vector<std::string> args)
    {
        tuning.writeDefaults();
        args.insert(args.begin(), "--qrvx");
        sim = std::make_unique<SimProcess>(dir.path(), args, 7);
        void* port = QRVXOpenPort("COM7");
        ASSERT_NE(port, nullptr);
        stream = std::make_unique<RunningStream>(port);
    }
    ReadResult next()
    {
        char text[100] = {};
        ReadResult r;
        r.value = QRVXReadValue(stream->context(), text, sizeof text);
        r.text = text;
        return r;
    }

    TempDir dir;
    ScopedEnv devices{"KL_DEVICE_DIR", dir.path()};
    TuningFile tuning{dir.path()};
    ScopedCurrentDirectory cwd{dir.path()};
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<RunningStream> stream;
};

TEST_F(SimulatedDevice, StreamsAFurnaceSignalAroundItsCentre)
{
    start({"--rate", "100", "--value", "1500", "--swing", "20"});
    for (int i = 0; i < 10; ++i) {
        const ReadResult r = next();
        EXPECT_GE(r.value, 1479) << r.text;
        EXPECT_LE(r.value, 1521) << r.text;
        EXPECT_TRUE(std::regex_match(r.text, std::regex(":4[0-9]{4}[0-9]{1,3}\r\n"))) << r.text;
    }
}

TEST_F(SimulatedDevice, CorruptsTheChosenShareOfChecksums)
{
    start({"--rate", "100", "--bad-lrc-share", "0.5", "--swing", "0"});
    int bad = 0;
    int good = 0;
    for (int i = 0; i < 20; ++i) {
        const ReadResult r = next();
        if (r.value == QRVX_BAD_FRAME) {
            ++bad;
            EXPECT_TRUE(std::regex_match(r.text, std::regex(":41200[0-9]+ LRC error \r\n"))) << r.text;
        } else {
            ++good;
            EXPECT_EQ(r.value, 1200);
        }
    }
    EXPECT_GT(bad, 0);
    EXPECT_GT(good, 0);
}

TEST_F(SimulatedDevice, EveryChecksumBadWithShareOne)
{
    start({"--rate", "100", "--bad-lrc-share", "1"});
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(next().value, QRVX_BAD_FRAME);
}

TEST_F(SimulatedDevice, AnswersGAndTakesThePacket)
{
    start({"--rate", "50"});
    char reply[16];
    ASSERT_TRUE(QRVXReadZero(stream->context(), reply, sizeof reply));
    EXPECT_STREQ(reply, "G0\r\n");
    char packet[16] = "Z1234567  ";
    ASSERT_TRUE(QRVXWriteZero(stream->context(), packet, 10));
    EXPECT_EQ(std::string(packet, 10), "G1234567\r\n");
    const std::string log = readFile(dir.file("qrvx.log"));
    EXPECT_NE(log.find("\treal read 'Z'\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Timeout"), std::string::npos) << log;
    // The stream goes on after the exchange.
    EXPECT_GT(next().value, 0);
}

}  // namespace
