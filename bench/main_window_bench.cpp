// The Modbus main window at its fastest period against kl_sim: readings per
// second, the user-interface thread's time to handle one reading (series,
// result file, display) with an almost full series, the time from connecting
// to the first reading, and the program's CPU use, also over a minute with
// the temperature graph open, and then the time from each reading's receipt
// to both windows' pixels going out.
#include "session/device_session.h"
#include "windows/kctest_dlg.h"
#include "session/series_recorder.h"
#include "session/stored_settings.h"

#include "flush_clock.h"
#include "test_support.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMap>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>
#include <memory>
#include <thread>

namespace {

class BenchSettings : public SettingsBackend {
public:
    QVariant value(const QString& key, const QVariant& fallback) const override
    {
        return values.contains(key) ? values.value(key) : fallback;
    }
    void setValue(const QString& key, const QVariant& value) override { values[key] = value; }
    QMap<QString, QVariant> values;
};

double processCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Handling of one reading on the interface thread: the session's recording
// (series, result file) with the series already holding `prefill` records,
// then the window's display of it.
void BM_HandleOneReading(benchmark::State& state)
{
    testing_support::TempDir work;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(work.path()));
    {
        BenchSettings store;
        DeviceSession session;
        CKCTestDlg window(session, store);
        SeriesRecorder recorder;
        TermDataFile* series = recorder.series();
        const long prefill = state.range(0);
        auto fill = [&] {
            recorder.begin();
            for (long i = 0; i < prefill; ++i)
                series->Add(i * 20, 1000 + i % 50, 95, 30000);
            series->Save();
        };
        fill();
        std::uint32_t tick = 1000;
        for (auto _ : state) {
            if (series->GetCount() >= TermDataFile::kMaxCount) {
                state.PauseTiming();
                fill();
                state.ResumeTiming();
            }
            SessionReading recorded;
            recorder.record(Reading{1234, 31000, 95, tick += 20}, 100.0, recorded);
            emit session.reading(recorded);
        }
    }
    QDir::setCurrent(previous);
}

// The window polling a simulated pyrometer at a period of 20 ms for
// `seconds`, with the temperature graph open at 880 x 420 when `withGraph`.
void pollFor(benchmark::State& state, const char* baudCode, bool withGraph = false, int seconds = 5)
{
    testing_support::TempDir devices;
    testing_support::TempDir work;
    testing_support::ScopedEnv env("KL_DEVICE_DIR", devices.path());
    testing_support::SimProcess sim(devices.path(), {"--device", std::string("type=3,baud=") + baudCode});
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(work.path()));
    KCInit();
    {
        BenchSettings store;
        store.values["Period"] = 20;
        DeviceSession session;
        // Connected before the window's own handler, to time each reading from its receipt.
        std::unique_ptr<bench::FlushClock> clock;
        QObject::connect(&session, &DeviceSession::reading, [&clock] {
            if (clock)
                clock->received();
        });
        CKCTestDlg window(session, store);
        KCConfig config = session.config();
        config.baudRate = static_cast<unsigned short>(std::atoi(baudCode));
        session.setConfig(config);
        const auto connectedAt = std::chrono::steady_clock::now();
        window.findChild<QPushButton*>("connectButton")->click();
        while (session.series()->GetCount() < 1)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        state.counters["first reading ms"] =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - connectedAt).count();
        // Past the identification, into steady polling.
        while (session.series()->GetCount() < 3)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (withGraph) {
            // As an operator has it: the main window shown, the graph opened from it.
            window.show();
            window.findChild<QPushButton*>("graphButton")->click();
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top->inherits("CGraphWnd")) {
                    top->setGeometry(40, 40, 880, 420);
                    clock = std::make_unique<bench::FlushClock>(std::vector<QWidget*>{&window, top});
                }
        }
        for (auto _ : state) {
            const long before = session.series()->GetCount();
            const double cpuBefore = processCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            QEventLoop loop;
            QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
            loop.exec();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            state.counters["readings/s"] = (session.series()->GetCount() - before) / seconds;
            state.counters["cpu%"] = 100.0 * (processCpuSeconds() - cpuBefore) / seconds;
        }
        if (clock) {
            clock->finish();
            state.counters["to screen p50 ms"] = bench::percentile(clock->latencies, 0.50);
            state.counters["to screen p99 ms"] = bench::percentile(clock->latencies, 0.99);
            clock.reset();
        }
        session.close();
    }
    KCClose();
    QDir::setCurrent(previous);
}

void BM_Poll20ms_19200Baud(benchmark::State& state) { pollFor(state, "5"); }
void BM_Poll20ms_115200Baud(benchmark::State& state) { pollFor(state, "8"); }
// The program as an operator runs it, for a minute: on an X server
// (QT_QPA_PLATFORM=xcb) its CPU is that of kl_s with both windows open.
void BM_Poll20ms_19200Baud_WithGraph_60s(benchmark::State& state) { pollFor(state, "5", true, 60); }
void BM_Poll20ms_115200Baud_WithGraph_60s(benchmark::State& state) { pollFor(state, "8", true, 60); }

BENCHMARK(BM_HandleOneReading)->Arg(10)->Arg(127000)->Unit(benchmark::kMicrosecond)->Iterations(900);
BENCHMARK(BM_Poll20ms_19200Baud)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Poll20ms_115200Baud)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Poll20ms_19200Baud_WithGraph_60s)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Poll20ms_115200Baud_WithGraph_60s)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
