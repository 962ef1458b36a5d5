// The real library against the simulator and against a test-played peer,
// over pseudo-terminals.
#include <kcmb.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

using testing_support::PtyPeer;
using testing_support::ScopedEnv;
using testing_support::SimProcess;
using testing_support::TempDir;

namespace {

// Reads `count` input registers from `start` with one exchange; returns the
// result code and fills `words` on success.
int readRegisters(void* port, unsigned char address, unsigned start, unsigned count, std::vector<unsigned>& words,
                  char* raw = nullptr)
{
    char request[6] = {static_cast<char>(address), 4, static_cast<char>(start >> 8), static_cast<char>(start),
                       static_cast<char>(count >> 8), static_cast<char>(count)};
    char reply[256];
    int n = 0;
    const int result = KCCommModBus(port, request, 6, reply, sizeof reply, &n);
    if (raw)
        std::copy(reply, reply + 8, raw);
    words.clear();
    if (result == 0 && n >= 3 && !(reply[1] & 0x80))
        for (int i = 0; i < static_cast<unsigned char>(reply[2]) / 2; ++i)
            words.push_back(static_cast<unsigned char>(reply[3 + 2 * i]) << 8 | static_cast<unsigned char>(reply[4 + 2 * i]));
    return result;
}

class SimLinkTest : public ::testing::Test {
protected:
    void start(const std::vector<std::string>& args)
    {
        sim = std::make_unique<SimProcess>(dir.path(), args);
        ASSERT_TRUE(KCInit());
        HandleGuard guard = KCOpenPort("COM1", 5);
        ASSERT_TRUE(platform::isUsableHandle(guard.get()));
        port = guard.release();
    }
    void TearDown() override
    {
        if (port)
            KCClosePort(port);
        KCClose();
    }

    TempDir dir;
    ScopedEnv env{"KL_DEVICE_DIR", dir.path()};
    std::unique_ptr<SimProcess> sim;
    void* port = nullptr;
};

TEST_F(SimLinkTest, ReadsRegistersFromTheSimulator)
{
    start({"--device", "address=1,regs=0:1473:2073:9:0x3131"});
    std::vector<unsigned> words;
    ASSERT_EQ(readRegisters(port, 1, 0, 4, words), 0);
    EXPECT_EQ(words, (std::vector<unsigned>{1473, 2073, 9, 0x3131}));
    EXPECT_EQ(getKCPortInfo(port)->state, 4);
}

TEST_F(SimLinkTest, InjectedFaultsGiveTheirResults)
{
    start({"--device", "address=1,fault=bad-lrc", "--device", "address=2,fault=silence", "--device",
           "address=3,fault=exception:3", "--device", "address=4,fault=noise+high-bit,regs=0:42"});
    KCSetTimeOut(port, 150);
    std::vector<unsigned> words;
    char raw[8];
    EXPECT_EQ(readRegisters(port, 1, 0, 1, words), 5);
    EXPECT_EQ(readRegisters(port, 2, 0, 1, words), 7);
    ASSERT_EQ(readRegisters(port, 3, 0, 1, words, raw), 0);
    EXPECT_EQ(static_cast<unsigned char>(raw[1]), 0x84);
    EXPECT_EQ(raw[2], 3);
    ASSERT_EQ(readRegisters(port, 4, 0, 1, words), 0);
    EXPECT_EQ(words, std::vector<unsigned>{42});
}

TEST_F(SimLinkTest, ADeviceAtAnotherSpeedStaysSilent)
{
    start({"--device", "address=1,baud=4,regs=0:5"});
    KCSetTimeOut(port, 150);
    std::vector<unsigned> words;
    EXPECT_EQ(readRegisters(port, 1, 0, 1, words), 7);
}

TEST_F(SimLinkTest, TwoThreadsOnOnePortTakeTurns)
{
    start({"--device", "address=1,regs=0:100:101:102:103:104:105:106:107"});
    std::atomic<int> failures{0};
    auto worker = [&](unsigned reg) {
        std::vector<unsigned> words;
        for (int i = 0; i < 15; ++i)
            if (readRegisters(port, 1, reg, 1, words) != 0 || words != std::vector<unsigned>{100 + reg})
                ++failures;
    };
    std::thread a(worker, 2);
    std::thread b(worker, 5);
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);
}

TEST_F(SimLinkTest, AHolderKeepingThePortLongerThan3000MsMakesTheOtherGetSeven)
{
    start({"--device", "address=1,fault=delay:3500,regs=0:1", "--device", "address=2,regs=0:2"});
    KCSetTimeOut(port, 5000);
    std::atomic<int> slowResult{-1};
    std::thread slow([&] {
        std::vector<unsigned> words;
        slowResult = readRegisters(port, 1, 0, 1, words);
    });
    ASSERT_TRUE(testing_support::waitFor([&] { return getKCPortInfo(port)->state == 2; }));
    std::vector<unsigned> words;
    EXPECT_EQ(readRegisters(port, 2, 0, 1, words), 7);
    slow.join();
    EXPECT_EQ(slowResult, 0);
}

TEST_F(SimLinkTest, TheTimeOutChangesFromAnotherThreadWhileExchangesRun)
{
    start({"--turnaround-ms", "0", "--no-line-time", "--device", "address=1,regs=0:7"});
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread exchanges([&] {
        std::vector<unsigned> words;
        for (int i = 0; i < 200; ++i)
            if (readRegisters(port, 1, 0, 1, words) != 0 || words != std::vector<unsigned>{7})
                ++failures;
        done = true;
    });
    int ms = 1000;
    while (!done)
        KCSetTimeOut(port, ms = ms == 1000 ? 1500 : 1000);
    exchanges.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(KCGetTimeOut(port), ms);
}

// A device that answers the instant the request is in: no reply may be lost
// to the clearing of stale input, and no echo taken for a reply.
class InstantDeviceTest : public SimLinkTest, public ::testing::WithParamInterface<bool> {};

TEST_P(InstantDeviceTest, TenThousandReadsGiveEveryValueRight)
{
    std::vector<std::string> args = {"--turnaround-ms", "0", "--no-line-time", "--device",
                                     "regs=256:1200:1201:1202:1203:40000"};
    if (GetParam())
        args.push_back("--echo");
    start(args);
    int failures = 0;
    int wrong = 0;
    for (int i = 0; i < 10000; ++i) {
        unsigned short words[5] = {};
        if (readWords(port, 1, 256, words, 5) != 0)
            ++failures;
        else if (words[0] != 1200 || words[3] != 1203 || words[4] != 40000)
            ++wrong;
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(KCLineEchoes(port), GetParam() ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Lines, InstantDeviceTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? std::string("TwoWireEcho") : std::string("NoEcho"); });

// A talker streaming on the line for 2.5 s (the simulator's fault "stream"):
// the exchange ends with 7 by its deadline, not when the stream does, and the
// first exchange after the stream works.
class StreamOnLineTest : public SimLinkTest, public ::testing::WithParamInterface<const char*> {
protected:
    std::string output() const
    {
        std::ifstream in(dir.file("sim.out"));
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST_P(StreamOnLineTest, EndsTheExchangeWithSevenByItsDeadlineAndTheNextOneWorks)
{
    const std::string control = dir.file("sim.control");
    std::ofstream(control) << "1 stream:" << GetParam() << " 2500\n";
    sim = std::make_unique<SimProcess>(dir.path(), std::vector<std::string>{"--control", control, "--device",
                                                                            "address=1,regs=0:42"},
                                       1, dir.file("sim.out"));
    ASSERT_TRUE(KCInit());
    HandleGuard guard = KCOpenPort("COM1", 5);
    ASSERT_TRUE(platform::isUsableHandle(guard.get()));
    port = guard.release();
    ASSERT_TRUE(testing_support::waitFor([&] { return output().find("faults stream:") != std::string::npos; }));

    constexpr int kTimeoutMs = 200;
    KCSetTimeOut(port, kTimeoutMs);
    char request[6] = {1, 4, 0, 0, 0, 1};
    char reply[64];
    int count = 0;
    const auto start = std::chrono::steady_clock::now();
    const kc::Result result = kc::exchange(port, request, 6, reply, sizeof reply, &count);
    const auto tookMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(result.fault, kc::Fault::EndlessInput) << KCGetErrorTxt(result);
    // The read time-out and the line time of the request and the longest
    // reply (17 + 256 characters at 19200 baud), and some room for the
    // request's own way out.
    EXPECT_LT(tookMs, kTimeoutMs + 143 + 100);

    ASSERT_TRUE(testing_support::waitFor(
        [&] { return output().find("faults of the command line again") != std::string::npos; },
        std::chrono::milliseconds(10000)));
    std::vector<unsigned> words;
    EXPECT_EQ(readRegisters(port, 1, 0, 1, words), 0);
    EXPECT_EQ(words, std::vector<unsigned>{42});
}

INSTANTIATE_TEST_SUITE_P(Streams, StreamOnLineTest, ::testing::Values("text", "colons"),
                         [](const auto& info) { return std::string(info.param); });

TEST(PtyLink, TheRequestLeavesTheRealPortAsExactCharacters)
{
    TempDir dir;
    ScopedEnv env("KL_DEVICE_DIR", dir.path());
    PtyPeer peer(dir.path(), 2);
    ASSERT_TRUE(KCInit());
    HandleGuard guard = KCOpenPort("com2", 5);
    ASSERT_TRUE(platform::isUsableHandle(guard.get()));
    KCSetTimeOut(guard.get(), 3000);
    std::atomic<int> result{-1};
    std::thread client([&] {
        std::vector<unsigned> words;
        result = readRegisters(guard.get(), 1, 0, 10, words);
    });
    EXPECT_EQ(peer.read(17), ":01040000000AF1\r\n");
    // Answered at once, without waiting for the port to report the request
    // as sent: nothing that arrives after the request is thrown away.
    peer.write(":010414BEEF0000000000000000000000000000000000003A\r\n");
    client.join();
    EXPECT_EQ(result, 0);
    guard.reset();
    KCClose();
}

}  // namespace
