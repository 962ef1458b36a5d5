// The QRVX library over a pseudo-terminal: how many frames QRVXReadValue
// decodes per second, whether it loses frames at the fastest line speed, and
// what the receive loop costs while the line is idle.
//
// The device is played by a writer thread of the benchmark, which numbers its
// frames 1, 2, 3, ... so that lost frames show as gaps. Counters:
//   frames/s        frames decoded per second (wall clock)
//   lost            frames sent after the first decoded one and never decoded
//   bad             frames that failed their check (should be 0)
//   loop CPU %      receive loop thread's CPU time per wall time
//   consumer CPU %  the QRVXReadValue thread's
#include <qrvx.h>

#include "test_support.h"

#include "platform/handle.h"
#include "platform/sync.h"

#include <benchmark/benchmark.h>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string frameOf(long value)
{
    const std::string digits = std::to_string(value);
    unsigned sum = 0;
    for (char c : digits)
        sum += static_cast<unsigned char>(c);
    return ":" + std::to_string(digits.size()) + digits + std::to_string((0x100 - (sum & 0xFF)) & 0xFF) + "\r\n";
}

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A QRVX port on a pseudo-terminal with its context and receive loop.
class Stream {
public:
    Stream() : buffer_(QRVX_BUFFER_SIZE)
    {
        context_.port = QRVXOpenPort("COM3");
        context_.stopEvent = platform::createEvent(nullptr, true, false);
        context_.lock = platform::createMutex(nullptr);
        context_.dataEvent = platform::createEvent(nullptr, false, false);
        context_.buffer = context_.readPos = context_.writePos = buffer_.data();
        receiver_ = std::thread([this] { QRVXReadPort(&context_); });
        ::pthread_getcpuclockid(receiver_.native_handle(), &receiverClock_);
    }
    ~Stream()
    {
        platform::setEvent(context_.stopEvent);
        receiver_.join();
        platform::closeHandle(context_.port);
        platform::closeHandle(context_.lock);
        platform::closeHandle(context_.stopEvent);
        platform::closeHandle(context_.dataEvent);
    }

    bool open() const { return context_.port != nullptr; }
    QRVXContext* context() { return &context_; }
    // The device's side of the line.
    void send(const std::string& bytes) { peer_.write(bytes); }
    double receiverCpu() const { return cpuSeconds(receiverClock_); }

private:
    testing_support::TempDir dir_;
    testing_support::ScopedEnv env_{"KL_DEVICE_DIR", dir_.path()};
    testing_support::PtyPeer peer_{dir_.path(), 3};
    std::vector<char> buffer_;
    QRVXContext context_{};
    std::thread receiver_;
    clockid_t receiverClock_{};
};

// Streams numbered frames at `rate` per second (0: as fast as the line
// takes them) while the benchmark's thread decodes them.
void runStream(benchmark::State& state, double rate)
{
    Stream stream;
    if (!stream.open()) {
        state.SkipWithError("cannot open the port");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        long next = 1;
        auto due = Clock::now();
        const auto interval = rate > 0 ? std::chrono::nanoseconds(static_cast<long long>(1e9 / rate))
                                       : std::chrono::nanoseconds(0);
        while (!stop) {
            if (rate > 0) {
                // A line carries one frame after the other: a writer woken
                // late sends the next frame late rather than two at once.
                std::this_thread::sleep_until(due);
                due = std::max(due + interval, Clock::now());
                stream.send(frameOf(next++));
            } else {
                std::string burst;
                for (int i = 0; i < 64; ++i)
                    burst += frameOf(next++);
                stream.send(burst);
            }
        }
    });
    long decoded = 0, bad = 0, lost = 0, previous = 0;
    char text[100];
    const double cpuBefore = stream.receiverCpu();
    const double consumerBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto start = Clock::now();
    for (auto _ : state) {
        const int value = QRVXReadValue(stream.context(), text, sizeof text);
        if (value <= 0) {
            ++bad;
            continue;
        }
        ++decoded;
        if (previous > 0 && value > previous + 1)
            lost += value - previous - 1;
        previous = value;
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["frames/s"] = static_cast<double>(decoded) / wall;
    state.counters["lost"] = static_cast<double>(lost);
    state.counters["bad"] = static_cast<double>(bad);
    state.counters["loop CPU %"] = 100.0 * (stream.receiverCpu() - cpuBefore) / wall;
    state.counters["consumer CPU %"] = 100.0 * (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - consumerBefore) / wall;
    // The receive loop goes on draining the line, so a writer blocked on a
    // full line gets through and sees the stop.
    stop = true;
    writer.join();
}

// A stream as fast as the pseudo-terminal carries it: many frames arrive
// together, and QRVXReadValue drops what came before each call by design, so
// "lost" is large here; frames/s is the decoding capacity.
void BM_DecodeSaturatedStream(benchmark::State& state)
{
    runStream(state, 0);
}

// 115200 baud, 10 bits a character, frames of 10 or 11 characters (values of
// four digits): about 1100 frames a second at most; 1200 is a little faster
// than any line can carry.
void BM_StreamAtFastestLineSpeed(benchmark::State& state)
{
    runStream(state, 1200);
}

// An idle line: the receive loop and a consumer waiting in QRVXReadValue,
// measured over a second of wall time.
void BM_IdleLine(benchmark::State& state)
{
    Stream stream;
    if (!stream.open()) {
        state.SkipWithError("cannot open the port");
        return;
    }
    std::atomic<double> consumerCpu{0};
    std::thread consumer([&] {
        const double before = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        char text[100];
        QRVXReadValue(stream.context(), text, sizeof text);
        consumerCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before;
    });
    const double loopBefore = stream.receiverCpu();
    const double processBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto start = Clock::now();
    for (auto _ : state)
        std::this_thread::sleep_for(std::chrono::seconds(1));
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double loop = stream.receiverCpu() - loopBefore;
    const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore;
    platform::setEvent(stream.context()->stopEvent);
    consumer.join();
    state.counters["loop CPU %"] = 100.0 * loop / wall;
    state.counters["consumer CPU %"] = 100.0 * consumerCpu / wall;
    state.counters["process CPU %"] = 100.0 * process / wall;
}

BENCHMARK(BM_DecodeSaturatedStream)->Unit(benchmark::kMicrosecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_StreamAtFastestLineSpeed)->Unit(benchmark::kMicrosecond)->Iterations(3000)->UseRealTime();
BENCHMARK(BM_IdleLine)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
