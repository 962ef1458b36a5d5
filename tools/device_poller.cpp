#include "device_poller.h"

#include "output_paths.h"

#include "platform/clock.h"

#include <cstdio>

namespace tools {

namespace {

constexpr std::uint32_t kIdentifyAgainMs = 2000;
constexpr std::uint32_t kStateEveryMs = 6000;

// A device's own file when several share the line; "-" stays standard output.
std::string fileOf(const std::string& path, const PolledDevice& device, bool shared)
{
    return shared && !path.empty() && path != "-" ? deviceFilePath(path, device.address) : path;
}

}  // namespace

DevicePoller::DevicePoller(const PolledDevice& device, const PollOptions& options, std::string label,
                           StopSignals& stop)
    : device_(device), options_(options), label_(std::move(label)), stop_(stop),
      outputs_(fileOf(options.tdfPath, device, options.severalDevices()),
               fileOf(options.csvPath, device, options.severalDevices()), label_),
      backoff_(static_cast<std::uint32_t>(options.periodMs)), shared_(options.severalDevices()),
      address_(static_cast<char>(device.address))
{
    outputs_.setCsvForm(options.csvForm);
}

template <typename Request>
DevicePoller::Asked DevicePoller::ask(Request request, kc::Result& result)
{
    for (int attempt = 0; attempt < options_.attempts; ++attempt) {
        if (stop_.requested())
            return Asked::Stopped;
        result = request();
        counts_.note(result);
        switch (kc::outcomeOf(result)) {
        case kc::TryOutcome::Answered:
            answeredTurn_ = true;
            if (result.ok())
                return Asked::Answered;
            break;
        case kc::TryOutcome::PortLost: return Asked::PortLost;
        case kc::TryOutcome::NoReply:
            if (shared_) {
                silentTurn_ = true;
                return Asked::Failed;
            }
            break;
        case kc::TryOutcome::Corrupt:
            // Noise proves that something is on the line, not that the device is.
            break;
        case kc::TryOutcome::Refused: return Asked::Failed;
        }
    }
    return Asked::Failed;
}

DevicePoller::Step DevicePoller::afterFailure(Asked asked, const char* caption, const kc::Result& result)
{
    if (asked == Asked::Stopped)
        return Step::Stopped;
    if (asked == Asked::PortLost)
        return Step::PortLost;
    ++counts_.givenUp;
    report(DeviceState::Silent);
    std::fprintf(stderr, "kl_poll: %s: %s: %s (%d)\n", label_.c_str(), caption, KCGetErrorTxt(result),
                 result.code());
    return silentTurn_ ? Step::EndTurn : Step::Go;
}

DevicePoller::TurnEnd DevicePoller::turn(void* port, std::uint32_t now)
{
    port_ = port;
    identifyFailed_ = false;
    silentTurn_ = false;
    answeredTurn_ = false;
    const Step step = requests(now);
    if (sink_ != nullptr)
        sink_->countsChanged(device_.address, counts_);
    if (shared_) {
        if (answeredTurn_)
            backoff_.answered();
        else if (silentTurn_)
            backoff_.silent(now);
    }
    switch (step) {
    case Step::Stopped: return TurnEnd::Stopped;
    case Step::PortLost: return TurnEnd::PortLost;
    default: return identifyFailed_ ? TurnEnd::Unidentified : TurnEnd::Done;
    }
}

DevicePoller::Step DevicePoller::requests(std::uint32_t now)
{
    if (!identified_) {
        if (identifyTried_ && now - lastIdentifyTry_ < kIdentifyAgainMs)
            return Step::EndTurn;
        if (const Step step = identify(now); step != Step::Go)
            return step;
    }
    if (stateDue_ || now - lastState_ >= kStateEveryMs) {
        if (const Step step = pollState(now); step != Step::Go)
            return step;
    }
    if (!kc::isSettled(state_))
        return Step::EndTurn;
    return pollTemperature();
}

void DevicePoller::portReturned()
{
    identified_ = false;
    identifyTried_ = false;
}

DevicePoller::Step DevicePoller::identify(std::uint32_t now)
{
    identifyTried_ = true;
    lastIdentifyTry_ = now;
    DeviceInfo info{};
    kc::Result result;
    const Asked asked = ask([&] { return pyrometer().identify(info); }, result);
    if (asked != Asked::Answered) {
        identifyFailed_ = asked == Asked::Failed;
        const Step step = afterFailure(asked, "Ошибка чтения сведений о приборе", result);
        return step == Step::Go ? Step::EndTurn : step;
    }
    std::fprintf(outputs_.infoStream(), "%s: %s, заводской номер %s, год %s, приёмник %s, %u..%u °C, поверка %s\n",
                 label_.c_str(), getDeviceName(info.type), info.serial, info.year,
                 KCGetSensorName(static_cast<unsigned short>(info.sensor)), info.tempMin, info.tempMax,
                 info.verifyDate);
    std::fflush(outputs_.infoStream());
    const v2DeviceInfo identified(info);
    if (known_ && !kc::sameDevice(*known_, identified)) {
        // Nobody is there to ask whether the series goes on: the other
        // device's readings go to files of their own.
        const std::string files = outputs_.startNewFiles();
        std::fprintf(stderr, "kl_poll: %s: на линии другой прибор: %s, заводской номер %s вместо %s%s%s\n",
                     label_.c_str(), getDeviceName(identified.type), identified.serial, known_->serial,
                     files.empty() ? "" : "; показания идут в ", files.c_str());
        started_ = false;
    }
    known_ = identified;
    if (const Step step = readSettings(); step == Step::Stopped || step == Step::PortLost)
        return step;
    takeDevice(identified);
    identified_ = true;
    stateDue_ = true;
    return silentTurn_ ? Step::EndTurn : Step::Go;
}

void DevicePoller::takeDevice(const v2DeviceInfo& identified)
{
    v2DeviceInfo device = identified;
    device.type = static_cast<unsigned short>(kc::workingType(device.type, emissivity_));
    outputs_.setDevice(device);
    if (sink_ != nullptr)
        sink_->identified(device_.address, device);
    report(DeviceState::Online);
}

void DevicePoller::report(DeviceState state)
{
    if (sink_ == nullptr || state == reportedState_)
        return;
    reportedState_ = state;
    sink_->stateChanged(device_.address, state);
}

DevicePoller::Step DevicePoller::readSettings()
{
    std::uint16_t mode = 0;
    std::uint16_t emissivity = 0;
    kc::Result result;
    const Asked asked = ask([&] { return pyrometer().readModeAndEmissivity(mode, emissivity); }, result);
    if (asked != Asked::Answered) {
        const Step step = afterFailure(asked, "Ошибка получения уставок", result);
        if (step == Step::Stopped || step == Step::PortLost)
            return step;
        KCConfig defaults{};
        KCSetDefaultConfig(&defaults);
        mode = defaults.mode;
        emissivity = defaults.emissivity;
    }
    mode_ = mode;
    emissivity_ = emissivity;
    return Step::Go;
}

void DevicePoller::startClock()
{
    started_ = true;
    lastTick_ = platform::tickCount();
    elapsed_ = 0;
    outputs_.start(platform::localTime());
}

std::int64_t DevicePoller::elapsedMs()
{
    // Ticks wrap every 49.7 days; their differences do not.
    const std::uint32_t now = platform::tickCount();
    elapsed_ += now - lastTick_;
    lastTick_ = now;
    return elapsed_;
}

DevicePoller::Step DevicePoller::pollState(std::uint32_t now)
{
    stateDue_ = false;
    lastState_ = now;
    kc::Result result;
    const Asked asked = ask([&] { return pyrometer().readState(state_); }, result);
    if (asked != Asked::Answered)
        return afterFailure(asked, "Ошибка получения состояния", result);
    const bool settled = kc::isSettled(state_);
    if (settled && !started_)
        startClock();
    if (settled != settled_)
        std::fprintf(stderr, settled ? "kl_poll: %s: термостат в режиме\n"
                                     : "kl_poll: %s: термостат не в режиме (%u), температура не читается\n",
                     label_.c_str(), kc::thermostatOf(state_));
    settled_ = settled;
    return Step::Go;
}

DevicePoller::Step DevicePoller::pollTemperature()
{
    PollReading reading;
    kc::Result result;
    const Asked asked = ask([&] { return pyrometer().readMeasurement(mode_, reading.measurement); }, result);
    if (asked != Asked::Answered)
        return afterFailure(asked, "Ошибка получения температуры", result);
    // Without a settled state seen (the state read failing), time counts from
    // the first reading.
    if (!started_)
        startClock();
    reading.msSinceStart = elapsedMs();
    const auto taken = std::chrono::system_clock::now();
    reading.emissivity = emissivity_;
    outputs_.add(reading);
    ++counts_.readings;
    if (sink_ != nullptr) {
        report(DeviceState::Online);
        sink_->reading(device_.address, reading, taken);
    }
    return Step::Go;
}

}  // namespace tools
