// The QRVX library over a pseudo-terminal: how many frames QRVXReadValue
// decodes per second, whether it loses frames at the fastest line speed, how
// far behind the line the receive loop falls when both cores are busy, and
// what the receive loop costs while the line is idle. Then the QRVX main
// window on such a line: idle, and at the fastest frame rate with a full
// series and its result file.
//
// The device is played by a writer thread of the benchmark, which numbers its
// frames 1, 2, 3, ... so that lost frames show as gaps. Counters:
//   frames/s        frames decoded per second (wall clock)
//   lost            frames sent after the first decoded one and never decoded
//   bad             frames that failed their check (should be 0)
//   loop CPU %      receive loop thread's CPU time per wall time
//   consumer CPU %  the QRVXReadValue thread's
//   lag ms          time from a frame's write to its value (median, 99th
//                   percentile, largest), and lag frames the largest of it
//                   in frames of the line
//   shown/s, stored/s  values the window showed and added to its series
//   UI ms/value     the user-interface thread's CPU time per value shown
#include <qrvx.h>

#include "graph/graph_wnd.h"
#include "windows/qrvx_dlg.h"

#include "test_support.h"

#include "platform/handle.h"
#include "platform/library.h"
#include "platform/sync.h"

#include <benchmark/benchmark.h>

#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QMap>
#include <QPushButton>
#include <QTimer>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <mutex>
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

// Plays the device: numbered frames, one write each, at `rate` per second (0:
// in bursts of 64 as fast as the line takes them), noting when each went out.
class FrameWriter {
public:
    FrameWriter(std::function<void(const std::string&)> send, double rate, long first = 1)
        : send_(std::move(send)), next_(first), first_(first)
    {
        thread_ = std::thread([this, rate] { run(rate); });
    }
    ~FrameWriter() { stop(); }

    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // When frame `value` was written; the epoch when it was not (yet).
    Clock::time_point sentAt(long value)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const long i = value - first_;
        return i >= 0 && i < static_cast<long>(sent_.size()) ? sent_[static_cast<std::size_t>(i)]
                                                              : Clock::time_point();
    }

private:
    void run(double rate)
    {
        auto due = Clock::now();
        const auto interval = rate > 0 ? std::chrono::nanoseconds(static_cast<long long>(1e9 / rate))
                                       : std::chrono::nanoseconds(0);
        while (!stop_) {
            if (rate > 0) {
                // A line carries one frame after the other: a writer woken
                // late sends the next frame late rather than two at once.
                std::this_thread::sleep_until(due);
                due = std::max(due + interval, Clock::now());
                const long value = next_++;
                send_(frameOf(value));
                std::lock_guard<std::mutex> lock(mutex_);
                sent_.push_back(Clock::now());
            } else {
                std::string burst;
                for (int i = 0; i < 64; ++i)
                    burst += frameOf(next_++);
                send_(burst);
            }
        }
    }

    std::function<void(const std::string&)> send_;
    std::atomic<bool> stop_{false};
    long next_;
    long first_;
    std::mutex mutex_;
    std::vector<Clock::time_point> sent_;
    std::thread thread_;
};

// Threads that keep both cores busy for their lifetime.
class CpuLoad {
public:
    explicit CpuLoad(int threads)
    {
        for (int i = 0; i < threads; ++i)
            threads_.emplace_back([this] {
                volatile unsigned long spin = 0;
                while (!stop_)
                    spin = spin + 1;
            });
    }
    ~CpuLoad()
    {
        stop_ = true;
        for (auto& t : threads_)
            t.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

double percentileOf(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

// Streams numbered frames at `rate` per second (0: as fast as the line
// takes them) while the benchmark's thread decodes them; `loadThreads`
// spinning threads compete for the cores.
void runStream(benchmark::State& state, double rate, int loadThreads = 0)
{
    Stream stream;
    if (!stream.open()) {
        state.SkipWithError("cannot open the port");
        return;
    }
    FrameWriter writer([&stream](const std::string& bytes) { stream.send(bytes); }, rate);
    CpuLoad load(loadThreads);
    long decoded = 0, bad = 0, lost = 0, previous = 0;
    std::vector<double> lagMs;
    char text[100];
    const double cpuBefore = stream.receiverCpu();
    const double consumerBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto start = Clock::now();
    for (auto _ : state) {
        const int value = QRVXReadValue(stream.context(), text, sizeof text);
        const auto now = Clock::now();
        if (value <= 0) {
            ++bad;
            continue;
        }
        ++decoded;
        if (previous > 0 && value > previous + 1)
            lost += value - previous - 1;
        previous = value;
        if (rate > 0)
            if (const auto sent = writer.sentAt(value); sent != Clock::time_point())
                lagMs.push_back(std::chrono::duration<double, std::milli>(now - sent).count());
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["frames/s"] = static_cast<double>(decoded) / wall;
    state.counters["lost"] = static_cast<double>(lost);
    state.counters["bad"] = static_cast<double>(bad);
    state.counters["loop CPU %"] = 100.0 * (stream.receiverCpu() - cpuBefore) / wall;
    state.counters["consumer CPU %"] = 100.0 * (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - consumerBefore) / wall;
    if (rate > 0) {
        state.counters["lag ms median"] = percentileOf(lagMs, 0.5);
        state.counters["lag ms p99"] = percentileOf(lagMs, 0.99);
        state.counters["lag ms max"] = percentileOf(lagMs, 1.0);
        state.counters["lag frames max"] = percentileOf(lagMs, 1.0) * rate / 1000.0;
    }
    // The receive loop goes on draining the line, so a writer blocked on a
    // full line gets through and sees the stop.
    writer.stop();
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

// Both cores kept busy by two spinning threads, at 200 frames a second (a
// stream of 2 kB/s) and at the fastest line: how far behind the line the
// values come (the receive loop's lag and the consumer's together).
void BM_StreamUnderLoad(benchmark::State& state)
{
    runStream(state, static_cast<double>(state.range(0)), 2);
}

class BenchSettings : public SettingsBackend {
public:
    QVariant value(const QString& key, const QVariant& fallback) const override
    {
        return values.contains(key) ? values.value(key) : fallback;
    }
    void setValue(const QString& key, const QVariant& value) override { values[key] = value; }
    QMap<QString, QVariant> values;
};

// Lets the window's event loop run for `ms` milliseconds.
void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The QRVX main window with its own settings, connected to COM3 of a
// throw-away device folder, where the benchmark plays the device.
class ConnectedWindow {
public:
    ConnectedWindow() : module_(platform::loadLibrary(KL_QRVX_PATH))
    {
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(work_.path()));
        top_.values["Port"] = "COM3";
        top_.values["Period"] = 0;
        session_ = std::make_unique<QrvxSession>(module_);
        window_ = std::make_unique<CQRVXDlg>(*session_, top_, qrvx_);
        window_->show();
        QObject::connect(session_.get(), &QrvxSession::valueReceived,
                         [this](const QString&, int value, long) { shown_.push_back(value); });
    }
    ~ConnectedWindow()
    {
        window_.reset();
        session_.reset();
        platform::freeLibrary(module_);
        QDir::setCurrent(previousDir_);
    }

    CQRVXDlg& window() { return *window_; }
    QrvxSession& session() { return *session_; }
    bool connect()
    {
        window_->findChild<QPushButton*>("connectButton")->click();
        return session_->isConnected();
    }
    void send(const std::string& bytes) { peer_.write(bytes); }
    const std::vector<int>& shown() const { return shown_; }

private:
    testing_support::TempDir devices_;
    testing_support::TempDir work_;
    testing_support::ScopedEnv env_{"KL_DEVICE_DIR", devices_.path()};
    testing_support::PtyPeer peer_{devices_.path(), 3};
    QString previousDir_;
    BenchSettings top_;
    BenchSettings qrvx_;
    void* module_;
    std::unique_ptr<QrvxSession> session_;
    std::unique_ptr<CQRVXDlg> window_;
    std::vector<int> shown_;
};

// The whole program connected to a line that carries nothing.
void BM_IdleConnectedWindow(benchmark::State& state)
{
    ConnectedWindow w;
    if (!w.connect()) {
        state.SkipWithError("cannot connect");
        return;
    }
    runEventLoop(200);
    const double before = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto start = Clock::now();
    for (auto _ : state)
        runEventLoop(5000);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["process CPU %"] = 100.0 * (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - before) / wall;
}

// The window at period 0 on the fastest line (1100 frames a second), saving
// results, its series already holding 120,000 values and their result file;
// with the graph window open or not (argument 1 or 0).
void BM_WindowAtFastestLine(benchmark::State& state)
{
    ConnectedWindow w;
    CQRVXDlg& window = w.window();
    window.findChild<QCheckBox*>("saveResultsCheck")->setChecked(true);
    if (!w.connect()) {
        state.SkipWithError("cannot connect");
        return;
    }
    // Reading has started; values are handled once the event loop runs.
    TermDataFile* series = w.session().series();
    constexpr long kPrefill = 120000;
    for (long i = 0; i < kPrefill; ++i)
        series->Add(-10 * (kPrefill - i), 1000 + i % 50, 0);
    series->SaveResult();
    if (state.range(0) != 0)
        window.findChild<QPushButton*>("graphButton")->click();
    const long first = 1000;
    FrameWriter writer([&w](const std::string& bytes) { w.send(bytes); }, 1100, first);
    runEventLoop(300);
    const std::size_t shownBefore = w.shown().size();
    const long storedBefore = series->GetCount();
    const double uiBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto start = Clock::now();
    for (auto _ : state)
        runEventLoop(5000);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double ui = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - uiBefore;
    writer.stop();
    const std::vector<int>& shown = w.shown();
    const std::size_t values = shown.size() - shownBefore;
    long lost = 0;
    for (std::size_t i = shownBefore + 1; i < shown.size(); ++i)
        lost += std::max(0, shown[i] - shown[i - 1] - 1);
    state.counters["shown/s"] = static_cast<double>(values) / wall;
    state.counters["stored/s"] = static_cast<double>(series->GetCount() - storedBefore) / wall;
    state.counters["lost"] = static_cast<double>(lost);
    state.counters["lost %"] = values > 0 ? 100.0 * static_cast<double>(lost) / static_cast<double>(values + lost) : 0;
    state.counters["UI ms/value"] = values > 0 ? 1000.0 * ui / static_cast<double>(values) : 0;
    state.counters["UI CPU %"] = 100.0 * ui / wall;
    state.counters["saving"] = w.session().savesResults() ? 1 : 0;
}

BENCHMARK(BM_DecodeSaturatedStream)->Unit(benchmark::kMicrosecond)->MinTime(3.0)->UseRealTime();
BENCHMARK(BM_StreamAtFastestLineSpeed)->Unit(benchmark::kMicrosecond)->Iterations(3000)->UseRealTime();
BENCHMARK(BM_StreamUnderLoad)->Arg(200)->Unit(benchmark::kMicrosecond)->Iterations(1000)->UseRealTime();
BENCHMARK(BM_StreamUnderLoad)->Arg(1100)->Unit(benchmark::kMicrosecond)->Iterations(3000)->UseRealTime();
BENCHMARK(BM_IdleLine)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_IdleConnectedWindow)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_WindowAtFastestLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
