// The receive buffer's rules and the consumer's waits, on a context without a
// port: bytes are stored as the receive loop stores them.
#include "context_buffer.h"

#include "qrvx_test_support.h"

#include "platform/handle.h"
#include "platform/sync.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <thread>
#include <vector>

using qrvx_test::millisecondsOf;
using testing_support::caseName;

namespace {

class ContextBuffer : public ::testing::TestWithParam<bool> {
protected:
    ContextBuffer() : buffer(QRVX_BUFFER_SIZE)
    {
        context.buffer = context.readPos = context.writePos = buffer.data();
        context.stopEvent = platform::createEvent(nullptr, true, false);
        context.lock = platform::createMutex(nullptr);
        context.dataEvent = GetParam() ? platform::createEvent(nullptr, false, false) : nullptr;
    }
    ~ContextBuffer() override
    {
        platform::closeHandle(context.stopEvent);
        platform::closeHandle(context.lock);
        if (context.dataEvent)
            platform::closeHandle(context.dataEvent);
    }

    void store(const std::string& bytes) { ASSERT_TRUE(qrvx::storeBytes(context, bytes.data(), bytes.size())); }
    std::string unconsumed() const { return std::string(context.readPos, context.writePos); }
    std::string take(std::size_t count)
    {
        std::string got;
        char c = 0;
        while (got.size() < count && qrvx::nextByte(context, c, qrvx::Deadline(100)) == qrvx::Take::Byte)
            got += c;
        return got;
    }

    std::vector<char> buffer;
    QRVXContext context{};
};

long long threadCpuMsOf(const std::function<void()>& action)
{
    timespec begin{}, end{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &begin);
    action();
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return (end.tv_sec - begin.tv_sec) * 1000LL + (end.tv_nsec - begin.tv_nsec) / 1000000;
}

std::string pattern(std::size_t count, std::size_t from = 0)
{
    std::string s;
    for (std::size_t i = from; i < from + count; ++i)
        s += static_cast<char>('A' + i % 26);
    return s;
}

TEST_P(ContextBuffer, FullBufferWithConsumedBytesMovesTheRestToTheFront)
{
    store(pattern(QRVX_BUFFER_SIZE));
    EXPECT_EQ(take(10), pattern(10));
    store("!");
    EXPECT_EQ(context.readPos, context.buffer);
    EXPECT_EQ(unconsumed(), pattern(QRVX_BUFFER_SIZE - 10, 10) + "!");
}

TEST_P(ContextBuffer, EmptiedBufferStartsAgainAtItsStart)
{
    store("abc");
    EXPECT_EQ(take(3), "abc");
    store("d");
    EXPECT_EQ(context.readPos, context.buffer);
    EXPECT_EQ(unconsumed(), "d");
}

TEST_P(ContextBuffer, PositionsOutsideTheBufferAreTakenAsEmpty)
{
    context.readPos = context.buffer + 10;
    context.writePos = context.buffer + 5;
    store("x");
    EXPECT_EQ(context.readPos, context.buffer);
    EXPECT_EQ(unconsumed(), "x");
}

TEST_P(ContextBuffer, NoBufferEndsTheStore)
{
    context.buffer = nullptr;
    EXPECT_FALSE(qrvx::storeBytes(context, "x", 1));
}

TEST_P(ContextBuffer, WaitingConsumerGetsAByteStoredLater)
{
    std::thread producer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        qrvx::storeBytes(context, "q", 1);
    });
    char c = 0;
    EXPECT_EQ(qrvx::nextByte(context, c, qrvx::Deadline::never()), qrvx::Take::Byte);
    EXPECT_EQ(c, 'q');
    producer.join();
}

TEST_P(ContextBuffer, StopEndsAnEndlessWaitPromptly)
{
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        platform::setEvent(context.stopEvent);
    });
    char c = 0;
    qrvx::Take result{};
    const auto ms = millisecondsOf([&] { result = qrvx::nextByte(context, c, qrvx::Deadline::never()); });
    stopper.join();
    EXPECT_EQ(result, qrvx::Take::Stopped);
    EXPECT_GE(ms, 45);
    EXPECT_LT(ms, 250);
}

TEST_P(ContextBuffer, StopWinsOverAWaitingByte)
{
    store("x");
    platform::setEvent(context.stopEvent);
    char c = 0;
    EXPECT_EQ(qrvx::nextByte(context, c, qrvx::Deadline::never()), qrvx::Take::Stopped);
}

TEST_P(ContextBuffer, DeadlineEndsTheWait)
{
    char c = 0;
    qrvx::Take result{};
    const auto ms = millisecondsOf([&] { result = qrvx::nextByte(context, c, qrvx::Deadline(80)); });
    EXPECT_EQ(result, qrvx::Take::TimedOut);
    EXPECT_GE(ms, 75);
    EXPECT_LT(ms, 400);
}

// The consumer must sleep while nothing comes: a spinning wait would use
// about all of the half second.
TEST_P(ContextBuffer, WaitDoesNotSpinWhileTheBufferIsEmpty)
{
    char c = 0;
    const long long cpuMs = threadCpuMsOf([&] { qrvx::nextByte(context, c, qrvx::Deadline(500)); });
    EXPECT_LT(cpuMs, 50);
}

// The receive buffer as the rules describe it, one byte at a time: the
// reference for stores of many bytes at once.
struct ByteByByteBuffer {
    std::string bytes = std::string(QRVX_BUFFER_SIZE, '\0');
    std::size_t read = 0;
    std::size_t write = 0;

    void store(char c)
    {
        if (read >= write)
            read = write = 0;
        if (write == QRVX_BUFFER_SIZE) {
            if (read == 0) {
                bytes.erase(0, 1);
                bytes.push_back('\0');
                --write;
            } else {
                bytes = bytes.substr(read, write - read) + std::string(read, '\0');
                write -= read;
                read = 0;
            }
        }
        bytes[write++] = c;
    }
};

struct StoreCase {
    std::size_t read;   // positions before the store
    std::size_t write;
    std::size_t count;  // bytes stored at once
};

class StoreAtOnce : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoreAtOnce, LeavesWhatStoringByteByByteLeaves)
{
    const StoreCase c = GetParam();
    std::vector<char> buffer(QRVX_BUFFER_SIZE);
    const std::string before = pattern(QRVX_BUFFER_SIZE);
    std::copy(before.begin(), before.end(), buffer.begin());
    QRVXContext context{};
    context.buffer = buffer.data();
    context.readPos = buffer.data() + c.read;
    context.writePos = buffer.data() + c.write;
    context.stopEvent = platform::createEvent(nullptr, true, false);
    context.lock = platform::createMutex(nullptr);
    context.dataEvent = platform::createEvent(nullptr, false, false);
    std::string lower = pattern(c.count, 7);
    for (char& ch : lower)
        ch = static_cast<char>(ch + 32);  // tell new bytes from old ones

    ByteByByteBuffer reference;
    reference.bytes = before;
    reference.read = c.read;
    reference.write = c.write;
    for (char ch : lower)
        reference.store(ch);

    ASSERT_TRUE(qrvx::storeBytes(context, lower.data(), lower.size()));
    EXPECT_EQ(static_cast<std::size_t>(context.readPos - context.buffer), reference.read);
    EXPECT_EQ(static_cast<std::size_t>(context.writePos - context.buffer), reference.write);
    EXPECT_EQ(std::string(context.readPos, context.writePos),
              reference.bytes.substr(reference.read, reference.write - reference.read));
    const bool wasEmpty = c.read >= c.write;
    EXPECT_EQ(platform::waitForEvent(context.dataEvent, 0), wasEmpty && c.count > 0)
        << "the data event tells a consumer that bytes came into an empty buffer";
    platform::closeHandle(context.dataEvent);
    platform::closeHandle(context.stopEvent);
    platform::closeHandle(context.lock);
}

constexpr std::size_t kFull = QRVX_BUFFER_SIZE;

INSTANTIATE_TEST_SUITE_P(
    Positions, StoreAtOnce,
    ::testing::Values(StoreCase{0, 0, 10}, StoreCase{0, 100, 50}, StoreCase{20, 100, 3996},
                      StoreCase{20, 100, 3997}, StoreCase{0, kFull - 5, 5}, StoreCase{0, kFull - 5, 6},
                      StoreCase{0, kFull, 1}, StoreCase{0, kFull, 700}, StoreCase{10, kFull, 1},
                      StoreCase{10, kFull, 10}, StoreCase{10, kFull, 11}, StoreCase{10, kFull, 3000},
                      StoreCase{4000, kFull, 200}, StoreCase{kFull, kFull, 5000}, StoreCase{0, 0, kFull},
                      StoreCase{0, 0, kFull + 1}, StoreCase{100, 200, 2 * kFull}, StoreCase{5, 5, 0},
                      StoreCase{50, 30, 4}),
    [](const auto& info) {
        return caseName("Read", info.param.read, "Write", info.param.write, "Store", info.param.count);
    });

INSTANTIATE_TEST_SUITE_P(DataEvent, ContextBuffer, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WithDataEvent" : "WithoutDataEvent"; });

}  // namespace
