// An exchange against a line that never falls silent (a GPS receiver on the
// wrong port, a steady run of ':'), over the in-memory port: it ends with 7 by
// its deadline on the line's clock, the next one after the stream works, and
// the longest reply at the port's speed still fits in time.
#include "fake_device_port.h"

#include <condition_variable>
#include <mutex>
#include <thread>

using namespace link_testing;

namespace {

using Clock = platform::FakeLine::Clock;

const std::string kReadRequest("\x01\x04\x00\x00\x00\x0A", 6);
const std::string kReply = std::string("\x01\x04\x14\x12\x34\xAB\xCD", 7) + std::string(16, '\0');
constexpr int kTimeoutMs = 200;
constexpr int kBaud = 19200;  // the port opened at baud code 5
constexpr int kLongestReplyChars = 256;

// The line time of `chars` characters at 19200 baud, 10 bits each.
Clock::duration lineTime(std::size_t chars)
{
    return std::chrono::microseconds(chars * 10 * 1000000 / kBaud);
}

// Feeds `chunk` every `period` until stopped, as a talker on the line does;
// after 5 s at most, so that an exchange that waits for the stream's end
// fails the test instead of hanging it.
class Stream {
public:
    Stream(platform::FakeLine& line, std::string chunk, std::chrono::milliseconds period)
        : thread_([this, &line, chunk = std::move(chunk), period] {
              const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
              std::unique_lock<std::mutex> lock(mutex_);
              while (!stopped_ && std::chrono::steady_clock::now() < end) {
                  line.feed(chunk);
                  stop_.wait_for(lock, period);
              }
          })
    {
    }
    ~Stream() { stop(); }

    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
        }
        stop_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable stop_;
    bool stopped_ = false;
    std::thread thread_;
};

struct StreamCase {
    const char* name;
    std::string chunk;
    int periodMs;
};

class LineStreamTest : public FakePortTest, public ::testing::WithParamInterface<StreamCase> {
protected:
    void SetUp() override
    {
        FakePortTest::SetUp();
        KCSetTimeOut(port, kTimeoutMs);
    }

    kc::Result exchange(const std::string& request)
    {
        std::string copy = request;
        return kc::exchange(port, copy.data(), static_cast<int>(copy.size()), reply, sizeof reply, &count);
    }

    // When the last request went out, on the line's clock.
    Clock::time_point lastWrite() const
    {
        Clock::time_point at{};
        for (const auto& e : line->events())
            if (e.kind == platform::FakeLine::EventKind::Write)
                at = e.at;
        return at;
    }

    char reply[256] = {};
    int count = -1;
};

}  // namespace

TEST_P(LineStreamTest, EndsWithSevenByTheDeadlineAndTheNextExchangeWorks)
{
    Stream stream(*line, GetParam().chunk, std::chrono::milliseconds(GetParam().periodMs));
    const kc::Result result = exchange(kReadRequest);
    const Clock::time_point end = line->now();
    stream.stop();

    EXPECT_EQ(result.code(), 7);
    EXPECT_EQ(result.fault, kc::Fault::EndlessInput);
    EXPECT_STREQ(KCGetErrorTxt(result), "на линии поток данных без ответа");
    const std::string request = frameOf(kReadRequest);
    const auto deadline = std::chrono::milliseconds(kTimeoutMs) + lineTime(request.size() + kLongestReplyChars);
    // A few milliseconds for the last wait's wake-up on a busy machine.
    EXPECT_LE(end - lastWrite(), deadline + std::chrono::milliseconds(40));
    EXPECT_GE(end - lastWrite(), deadline) << "ended before its deadline";

    line->queueReply(frameOf(kReply));
    const kc::Result next = exchange(kReadRequest);
    EXPECT_TRUE(next.ok()) << KCGetErrorTxt(next);
    EXPECT_EQ(std::string(reply, kReply.size()), kReply);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, LineStreamTest,
    ::testing::Values(
        // An NMEA-like sentence every 50 ms: text without a ':'.
        StreamCase{"TextLines", "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n", 50},
        // ':' after ':' as fast as the line carries them: every one starts a frame afresh.
        StreamCase{"Colons", std::string(20, ':'), 10},
        // Frames that never end: a ':' and hex digits without a line feed.
        StreamCase{"UnendedFrames", ":0104", 3}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

TEST_F(LineStreamTest, TheIdentificationInAStreamEndsAfterItsFirstExchange)
{
    Stream stream(*line, std::string(20, ':'), std::chrono::milliseconds(10));
    DeviceInfo info{};
    const kc::Result result = kc::getDeviceInfo(port, 1, &info);
    stream.stop();
    EXPECT_EQ(result.fault, kc::Fault::EndlessInput);
    EXPECT_EQ(requests().size(), 1u) << "every further request costs another deadline";
}

TEST_F(LineStreamTest, SilenceIsStillAPlainTimeOut)
{
    const kc::Result result = exchange(kReadRequest);
    EXPECT_EQ(result.fault, kc::Fault::Timeout);
}

TEST_F(LineStreamTest, TheLongestReplyAfterTheEchoFitsInTheDeadlineAtTheLinesPace)
{
    // 61 registers: the longest frame the exchange takes. At 19200 baud the
    // echo and the reply take longer on the line than the read time-out.
    KCSetTimeOut(port, 50);
    line->setEcho(true);
    const std::string request("\x01\x04\x00\x00\x00\x3D", 6);
    std::string longest = std::string("\x01\x04\x7A", 3);
    for (int i = 0; i < 122; ++i)
        longest += static_cast<char>(i);
    ASSERT_EQ(frameOf(longest).size(), 255u);
    line->queueReply(frameOf(longest));

    const kc::Result result = exchange(request);
    ASSERT_TRUE(result.ok()) << KCGetErrorTxt(result);
    EXPECT_EQ(std::string(reply, longest.size()), longest);
    EXPECT_GT(line->now() - lastWrite(), std::chrono::milliseconds(50)) << "the line's pace was not kept";
}
