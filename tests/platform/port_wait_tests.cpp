// Waiting on a port and events together: a pseudo-terminal played by the
// test, and the in-memory port, which has no descriptor to poll.
#include "platform/fake_serial_port.h"
#include "platform/port_wait.h"
#include "platform/serial.h"
#include "pty_port_fixture.h"
#include "platform/sync.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <thread>

using namespace std::chrono;

namespace {

struct Closer {
    platform::Handle h;
    ~Closer() { platform::closeHandle(h); }
};

milliseconds timeOf(const std::function<void()>& action)
{
    const auto start = steady_clock::now();
    action();
    return duration_cast<milliseconds>(steady_clock::now() - start);
}

double threadCpuMs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) * 1e-6;
}

class PortWaitTest : public PtyPortTest {
protected:
    int wait(std::uint32_t ms) { return platform::waitForPortOrEvents(port, events, 2, ms); }

    Closer stop{platform::createEvent(nullptr, true, false)};
    Closer notice{platform::createEvent(nullptr, false, false)};
    platform::Handle events[2] = {stop.h, notice.h};
};

TEST_F(PortWaitTest, NothingComingEndsAfterTheTimeOut)
{
    int result = 0;
    const auto took = timeOf([&] { result = wait(80); });
    EXPECT_EQ(result, -1);
    EXPECT_GE(took.count(), 75);
}

TEST_F(PortWaitTest, BytesArrivingLaterEndTheWaitWithThePort)
{
    std::thread writer([this] {
        std::this_thread::sleep_for(milliseconds(30));
        peer.write("ab");
    });
    int result = 0;
    const auto took = timeOf([&] { result = wait(5000); });
    writer.join();
    EXPECT_EQ(result, 2);
    EXPECT_GE(took.count(), 25);
    char buffer[8] = {};
    std::uint32_t got = 0;
    ASSERT_TRUE(platform::readWaiting(port, buffer, sizeof buffer, got));
    EXPECT_EQ(std::string(buffer, got), "ab");
}

TEST_F(PortWaitTest, AnEventSetByAnotherThreadEndsAnEndlessWait)
{
    std::thread setter([this] {
        std::this_thread::sleep_for(milliseconds(30));
        platform::setEvent(stop.h);
    });
    // Should the event not end the wait, the notice does after 5 s: the test
    // then fails instead of waiting for ever.
    Closer done{platform::createEvent(nullptr, true, false)};
    std::thread watchdog([&] {
        if (!platform::waitForEvent(done.h, 5000))
            platform::setEvent(notice.h);
    });
    int result = -1;
    const auto took = timeOf([&] { result = wait(platform::kInfinite); });
    platform::setEvent(done.h);
    watchdog.join();
    setter.join();
    EXPECT_EQ(result, 0);
    EXPECT_LT(took.count(), 3000);
    EXPECT_TRUE(platform::waitForEvent(stop.h, 0)) << "a manual-reset event stays signalled";
}

TEST_F(PortWaitTest, ASignalledEventComesBeforeWaitingBytes)
{
    peer.write("x");
    ASSERT_TRUE(testing_support::waitFor([&] { return wait(0) == 2; }));
    platform::setEvent(notice.h);
    EXPECT_EQ(wait(0), 1);
    EXPECT_EQ(wait(0), 2) << "the auto-reset event was consumed by the first wait";
}

TEST_F(PortWaitTest, AnEventResetBeforeTheWaitDoesNotEndIt)
{
    ASSERT_EQ(wait(0), -1);  // the events now have their descriptors
    platform::setEvent(stop.h);
    platform::resetEvent(stop.h);
    EXPECT_EQ(wait(50), -1);
    platform::setEvent(notice.h);
    EXPECT_TRUE(platform::waitForEvent(notice.h, 0)) << "consumed by an ordinary wait";
    EXPECT_EQ(wait(50), -1);
}

TEST_F(PortWaitTest, BytesTheReadAlreadyTookFromTheLineCountAsWaiting)
{
    peer.write("abc");
    char c = 0;
    std::uint32_t got = 0;
    ASSERT_TRUE(testing_support::waitFor([&] {
        platform::readWaiting(port, &c, 1, got);
        return got == 1;
    }));
    // "bc" now sit in the port's own buffer, not on the line's descriptor.
    EXPECT_EQ(wait(0), 2);
    char rest[4] = {};
    ASSERT_TRUE(platform::readWaiting(port, rest, sizeof rest, got));
    EXPECT_EQ(std::string(rest, got), "bc");
}

TEST_F(PortWaitTest, AnIdleWaitSleeps)
{
    const double before = threadCpuMs();
    EXPECT_EQ(wait(300), -1);
    EXPECT_LT(threadCpuMs() - before, 10.0);
}

TEST_F(PortWaitTest, ReadingWhatIsWaitingIgnoresALongReadTimeOut)
{
    platform::Timeouts t;
    t.readConstant = 5000;
    ASSERT_TRUE(platform::setTimeouts(port, t));
    char buffer[16] = {};
    std::uint32_t got = 99;
    const auto took = timeOf([&] { ASSERT_TRUE(platform::readWaiting(port, buffer, sizeof buffer, got)); });
    EXPECT_EQ(got, 0u);
    EXPECT_LT(took.count(), 1000);
    peer.write("0123456789");
    ASSERT_EQ(wait(3000), 2);
    ASSERT_TRUE(testing_support::waitFor([&] {
        std::uint32_t n = 0;
        platform::readWaiting(port, buffer + got, sizeof buffer - got, n);
        got += n;
        return got >= 10;
    }));
    EXPECT_EQ(std::string(buffer, got), "0123456789");
}

TEST(PortWait, HandlesThatAreNoPortOrNoEventAreRefused)
{
    Closer event{platform::createEvent(nullptr, true, true)};
    Closer mutex{platform::createMutex(nullptr)};
    EXPECT_EQ(platform::waitForPortOrEvents(platform::invalidHandle(), &event.h, 1, 0), -1);
    EXPECT_EQ(platform::waitForPortOrEvents(event.h, &event.h, 1, 0), -1);
    auto line = std::make_shared<platform::FakeLine>();
    Closer port{platform::adoptSerialPort(std::make_unique<platform::FakeSerialPort>(line))};
    EXPECT_EQ(platform::waitForPortOrEvents(port.h, &mutex.h, 1, 0), -1);
    EXPECT_EQ(platform::waitForPortOrEvents(port.h, &event.h, 0, 0), -1);
    EXPECT_EQ(platform::waitForPortOrEvents(port.h, &event.h, 1, 0), 0);
}

TEST(PortWait, TheInMemoryPortWakesAWaitWhenBytesAreFed)
{
    auto line = std::make_shared<platform::FakeLine>();
    Closer port{platform::adoptSerialPort(std::make_unique<platform::FakeSerialPort>(line))};
    Closer stop{platform::createEvent(nullptr, true, false)};
    EXPECT_EQ(platform::waitForPortOrEvents(port.h, &stop.h, 1, 20), -1);
    std::thread feeder([&] {
        std::this_thread::sleep_for(milliseconds(20));
        line->feed("z");
    });
    EXPECT_EQ(platform::waitForPortOrEvents(port.h, &stop.h, 1, 5000), 1) << "the bytes end the wait, not its deadline";
    feeder.join();
    char c = 0;
    std::uint32_t got = 0;
    ASSERT_TRUE(platform::readWaiting(port.h, &c, 1, got));
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(c, 'z');
    line->setFailed(true);
    EXPECT_EQ(platform::waitForPortOrEvents(port.h, &stop.h, 1, 1000), 1) << "a failed line ends the wait";
    EXPECT_FALSE(platform::readWaiting(port.h, &c, 1, got));
}

}  // namespace
