// soak: the program's device session against kl_sim for a long time (an hour
// by default) at a period of 20 ms, with the simulator's faults switched on
// and off on a schedule: a silent device, a noisy line, an adapter pulled out
// and plugged in again. It reports the readings against the period's ideal,
// the faults seen, resident memory at the start and the end, the result
// file's size against its count, the longest gap between readings outside
// the faults, and how soon readings came back after the port returned.
//
//   build/bench/soak [SECONDS]        (not run by ctest)
#include "session/device_session.h"

#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPeriodMs = 20;
constexpr const char* kDevice = "type=3,serial=2417";
// One round of the schedule: quiet, a silent device, quiet, a noisy line,
// quiet, the adapter pulled out and plugged in again.
constexpr int kRoundSeconds = 300;
constexpr int kSilenceAt = 60, kSilenceSeconds = 20;
constexpr int kNoiseAt = 140, kNoiseSeconds = 10;
constexpr int kPullAt = 220, kPulledSeconds = 10;
// Readings resume within this much after a fault ends before a gap counts.
constexpr int kSettleMs = 3000;

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

struct Window {
    Clock::time_point from;
    Clock::time_point to;
};

class Soak {
public:
    explicit Soak(int seconds) : seconds_(seconds), previousDir_(QDir::currentPath())
    {
        QDir::setCurrent(QString::fromStdString(work_.path()));
        std::filesystem::create_symlink(devices_.file("gone"), devices_.file("COM9"));
        std::ofstream created(control());
        startSim();
        KCInit();
        QObject::connect(&session_, &DeviceSession::reading, [this](const SessionReading& r) { onReading(r); });
        QObject::connect(&session_, &DeviceSession::requestFailed, [this](const kc::Result& r) {
            ++failures_;
            corrupt_ += r.fault == kc::Fault::BadChecksum || r.fault == kc::Fault::BadLength
                || r.fault == kc::Fault::WrongAddress || r.fault == kc::Fault::WrongFunction;
        });
        QObject::connect(&session_, &DeviceSession::portLost, [this] { ++portLosses_; });
        QObject::connect(&session_, &DeviceSession::portBack, [this] { backAt_ = Clock::now(); });
    }

    ~Soak() { QDir::setCurrent(previousDir_); }
    Soak(const Soak&) = delete;
    Soak& operator=(const Soak&) = delete;

    int run()
    {
        StoredSettings settings;
        settings.comm.portName = "COM1";
        settings.program.periodMs = kPeriodMs;
        if (!session_.connectDevice(settings)) {
            std::fprintf(stderr, "soak: COM1 does not open\n");
            return 1;
        }
        start_ = Clock::now();
        QTimer schedule;
        QObject::connect(&schedule, &QTimer::timeout, [this] { step(); });
        schedule.start(100);
        QTimer::singleShot(seconds_ * 1000, [] { QCoreApplication::quit(); });
        // Memory at the start: once the program has settled into polling.
        QTimer::singleShot(10000, [this] { rssStart_ = residentKiB(); });
        QCoreApplication::exec();
        rssEnd_ = residentKiB();
        session_.close();
        report();
        return 0;
    }

private:
    std::string control() const { return work_.file("sim.control"); }
    void startSim()
    {
        sim_ = std::make_unique<testing_support::SimProcess>(
            devices_.path(), std::vector<std::string>{"--control", control(), "--device", kDevice});
    }
    void setFaults(const std::string& faults) { std::ofstream(control()) << "1 " << faults << "\n"; }

    int secondInRound() const
    {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start_).count())
            % kRoundSeconds;
    }

    void step()
    {
        const int s = secondInRound();
        const auto now = Clock::now();
        auto begin = [&](int seconds) { faults_.push_back({now, now + std::chrono::seconds(seconds)}); };
        if (s == kSilenceAt && phase_ != 1) {
            phase_ = 1;
            begin(kSilenceSeconds);
            setFaults("silence " + std::to_string(kSilenceSeconds * 1000));
        } else if (s == kNoiseAt && phase_ != 2) {
            phase_ = 2;
            begin(kNoiseSeconds);
            setFaults("garble " + std::to_string(kNoiseSeconds * 1000));
        } else if (s == kPullAt && phase_ != 3) {
            phase_ = 3;
            begin(kPulledSeconds);
            sim_->kill();
        } else if (s == kPullAt + kPulledSeconds && phase_ == 3) {
            phase_ = 4;
            setFaults("none");
            startSim();
            returnedAt_ = Clock::now();
            waitingForReturn_ = true;
        }
    }

    bool inFault(Clock::time_point t) const
    {
        for (const Window& w : faults_)
            if (t >= w.from && t <= w.to + std::chrono::milliseconds(kSettleMs))
                return true;
        return false;
    }

    void onReading(const SessionReading& reading)
    {
        const auto now = Clock::now();
        ++readings_;
        if (waitingForReturn_) {
            waitingForReturn_ = false;
            returnToReading_.push_back({std::chrono::duration<double, std::milli>(backAt_ - returnedAt_).count(),
                                        std::chrono::duration<double, std::milli>(now - returnedAt_).count()});
        }
        // A gap is measured on the times the series records (when the device
        // answered); the fault windows on this process's clock.
        if (last_ != Clock::time_point() && !inFault(last_) && !inFault(now)) {
            const long gap = reading.timeMs - lastTimeMs_;
            longestGap_ = std::max(longestGap_, gap);
            gapsOverTwoPeriods_ += gap > 2 * kPeriodMs;
        }
        last_ = now;
        lastTimeMs_ = reading.timeMs;
    }

    void report() const
    {
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        double faultSeconds = 0;
        for (const Window& w : faults_)
            faultSeconds += std::chrono::duration<double>(w.to - w.from).count();
        TermDataFile* series = const_cast<DeviceSession&>(session_).series();
        const long count = series ? series->GetCount() : 0;
        long fileBytes = -1;
        for (const auto& entry : std::filesystem::directory_iterator(work_.path()))
            if (entry.path().extension() == ".tdf")
                fileBytes = static_cast<long>(entry.file_size());
        std::printf("soak: %.0f s at a period of %d ms, %zu injected faults (%.0f s)\n", seconds, kPeriodMs,
                    faults_.size(), faultSeconds);
        std::printf("  readings: %ld (%.0f per hour; the period's ideal %d per hour)\n", readings_,
                    readings_ * 3600.0 / seconds, 3600 * 1000 / kPeriodMs);
        std::printf("  failed requests: %ld, of them spoiled replies: %ld; the port was lost %d times\n", failures_,
                    corrupt_, portLosses_);
        std::printf("  resident memory: %ld KiB after 10 s, %ld KiB at the end (%+ld KiB)\n", rssStart_, rssEnd_,
                    rssEnd_ - rssStart_);
        std::printf("  series: %ld records; result file %ld bytes (66 + 16 x count = %ld)\n", count, fileBytes,
                    66 + 16 * count);
        std::printf("  longest gap between readings outside the faults: %ld ms; gaps over two periods: %ld\n",
                    longestGap_, gapsOverTwoPeriods_);
        for (const auto& [reopened, reading] : returnToReading_)
            std::printf("  the port returned: reopened after %.0f ms, first reading after %.0f ms\n", reopened,
                        reading);
    }

    testing_support::TempDir devices_;
    testing_support::ScopedEnv env_{"KL_DEVICE_DIR", devices_.path()};
    testing_support::TempDir work_;
    std::unique_ptr<testing_support::SimProcess> sim_;
    DeviceSession session_;
    int seconds_;
    Clock::time_point start_;
    int phase_ = 0;
    std::vector<Window> faults_;
    long readings_ = 0;
    long failures_ = 0;
    long corrupt_ = 0;
    int portLosses_ = 0;
    long rssStart_ = 0;
    long rssEnd_ = 0;
    Clock::time_point last_;
    long lastTimeMs_ = 0;
    long longestGap_ = 0;
    long gapsOverTwoPeriods_ = 0;
    bool waitingForReturn_ = false;
    Clock::time_point returnedAt_;
    Clock::time_point backAt_;
    std::vector<std::pair<double, double>> returnToReading_;
    QString previousDir_;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 3600;
    int result = 0;
    {
        Soak soak(seconds);
        result = soak.run();
    }
    KCClose();
    return result;
}
