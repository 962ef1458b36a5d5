// The Modbus main window at its fastest period against kl_sim: readings per
// second, the user-interface thread's time to handle one reading (series,
// result file, display) with an almost full series, and the program's CPU use.
#include "kctest_dlg.h"
#include "stored_settings.h"
#include "window_messages.h"

#include "test_support.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QMap>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>
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

// Handling of one reading (code 5) on the interface thread, with the series
// already holding `prefill` records and its result file on.
void BM_HandleOneReading(benchmark::State& state)
{
    testing_support::TempDir work;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(work.path()));
    {
        BenchSettings store;
        CKCTestDlg window(store);
        TermDataFile* series = window.series();
        const long prefill = state.range(0);
        for (long i = 0; i < prefill; ++i)
            series->Add(i * 20, 1000 + i % 50, 95, 30000);
        series->Save();
        window.link().update([](LinkFields& f) {
            f.temperature = 1234;
            f.quantum = 31000;
        });
        for (auto _ : state) {
            if (series->GetCount() >= TermDataFile::kMaxCount) {
                state.PauseTiming();
                series->Clear();
                for (long i = 0; i < prefill; ++i)
                    series->Add(i * 20, 1000, 95, 30000);
                series->Save();
                state.ResumeTiming();
            }
            sendMessage(&window, WM_KC_NOTIFY, 5, 0);
        }
    }
    QDir::setCurrent(previous);
}

// The window polling a simulated pyrometer at a period of 20 ms.
void pollFor(benchmark::State& state, const char* baudCode)
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
        CKCTestDlg window(store);
        window.link().update([baudCode](LinkFields& f) { f.config.baudRate = static_cast<unsigned short>(std::atoi(baudCode)); });
        window.findChild<QPushButton*>("connectButton")->click();
        // Past the identification, into steady polling.
        while (window.series()->GetCount() < 3)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (auto _ : state) {
            const long before = window.series()->GetCount();
            const double cpuBefore = processCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            QEventLoop loop;
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            state.counters["readings/s"] = (window.series()->GetCount() - before) / seconds;
            state.counters["cpu%"] = 100.0 * (processCpuSeconds() - cpuBefore) / seconds;
        }
        window.pauseWorkers();
    }
    KCClose();
    QDir::setCurrent(previous);
}

void BM_Poll20ms_19200Baud(benchmark::State& state) { pollFor(state, "5"); }
void BM_Poll20ms_115200Baud(benchmark::State& state) { pollFor(state, "8"); }

BENCHMARK(BM_HandleOneReading)->Arg(10)->Arg(127000)->Unit(benchmark::kMicrosecond)->Iterations(900);
BENCHMARK(BM_Poll20ms_19200Baud)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Poll20ms_115200Baud)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
