// The in-memory port that the unit tests of the protocol layers stand on.
#include "platform/device_names.h"
#include "platform/fake_serial_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

platform::Handle openOn(const std::shared_ptr<platform::FakeLine>& line)
{
    return platform::adoptSerialPort(std::make_unique<platform::FakeSerialPort>(line));
}

void setFirstByteTimeout(platform::Handle port, std::uint32_t ms)
{
    platform::Timeouts t;
    t.readInterval = platform::kMaxTimeout;
    t.readMultiplier = platform::kMaxTimeout;
    t.readConstant = ms;
    platform::setTimeouts(port, t);
}

TEST(FakePort, RecordsWritesPurgesAndModemLinesInOrder)
{
    auto line = std::make_shared<platform::FakeLine>();
    const platform::Handle port = openOn(line);
    std::uint32_t written = 0;
    platform::purgePort(port, platform::kPurgeTxClear);
    platform::lineFunction(port, platform::LineFunction::SetRts);
    platform::writePort(port, "ab", 2, written);
    platform::drainPort(port);
    platform::lineFunction(port, platform::LineFunction::ClearRts);

    const auto events = line->events();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].kind, platform::FakeLine::EventKind::Purge);
    EXPECT_EQ(events[0].purgeFlags, unsigned{platform::kPurgeTxClear});
    EXPECT_EQ(events[1].function, platform::LineFunction::SetRts);
    EXPECT_EQ(events[2].bytes, "ab");
    EXPECT_EQ(events[3].kind, platform::FakeLine::EventKind::Drain);
    EXPECT_EQ(events[4].function, platform::LineFunction::ClearRts);
    EXPECT_FALSE(line->rts());
    EXPECT_EQ(line->written(), "ab");
    platform::closeHandle(port);
}

TEST(FakePort, AnswersEachLineWithTheNextQueuedReplyAfterAPurgeOfTheReceiveSide)
{
    auto line = std::make_shared<platform::FakeLine>();
    line->queueReply("first");
    line->queueReply("second");
    const platform::Handle port = openOn(line);
    setFirstByteTimeout(port, 10);
    std::uint32_t n = 0;
    char buffer[16] = {};

    line->feed("stale");
    platform::writePort(port, "req\n", 4, n);
    platform::purgePort(port, platform::kPurgeRxClear);
    platform::readPort(port, buffer, 5, n);
    EXPECT_EQ(std::string(buffer, n), "first");

    platform::writePort(port, "req\n", 4, n);
    platform::readPort(port, buffer, 6, n);
    EXPECT_EQ(std::string(buffer, n), "second");
    platform::closeHandle(port);
}

TEST(FakePort, ASilentLineEndsAFirstByteReadAfterItsTimeOut)
{
    auto line = std::make_shared<platform::FakeLine>();
    const platform::Handle port = openOn(line);
    setFirstByteTimeout(port, 30);
    char c = 0;
    std::uint32_t got = 7;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(platform::readPort(port, &c, 1, got));
    EXPECT_EQ(got, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
    platform::closeHandle(port);
}

TEST(FakePort, BytesFedFromAnotherThreadWakeAWaitingRead)
{
    auto line = std::make_shared<platform::FakeLine>();
    const platform::Handle port = openOn(line);
    setFirstByteTimeout(port, 10000);
    std::thread feeder([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        line->feed("z");
    });
    char c = 0;
    std::uint32_t got = 0;
    platform::readPort(port, &c, 1, got);
    feeder.join();
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(c, 'z');
    platform::closeHandle(port);
}

TEST(FakePort, ARegisteredLineIsANamespaceDeviceThatOpensOnce)
{
    auto line = std::make_shared<platform::FakeLine>();
    platform::registerFakeDevice("com42", line);
    const auto names = platform::listDeviceNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "COM42"), names.end());

    const platform::Handle first = platform::openSerialPort("\\\\.\\COM42");
    ASSERT_TRUE(platform::isUsableHandle(first));
    EXPECT_TRUE(line->isOpen());
    EXPECT_EQ(platform::openSerialPort("COM42"), platform::invalidHandle());
    platform::closeHandle(first);
    EXPECT_FALSE(line->isOpen());
    platform::unregisterFakeDevice("COM42");
}

}  // namespace
