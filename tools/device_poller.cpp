#include "device_poller.h"

#include "output_paths.h"

#include "platform/clock.h"

#include <cstdio>
#include <cstring>

namespace tools {

namespace {

constexpr unsigned short kMeasurementRegister = 256;
constexpr unsigned short kMeasurementWords = 5;
constexpr unsigned short kSettingsRegister = 512;
constexpr std::uint32_t kIdentifyAgainMs = 2000;
constexpr std::uint32_t kStateEveryMs = 6000;
constexpr std::uint8_t kThermostatBits = 0x7F;

// A device's own file when several share the line; "-" stays standard output.
std::string fileOf(const std::string& path, const PolledDevice& device, bool shared)
{
    return shared && !path.empty() && path != "-" ? deviceFilePath(path, device.address) : path;
}

bool sameDevice(const v2DeviceInfo& a, const v2DeviceInfo& b)
{
    return a.type == b.type && std::strncmp(a.serial, b.serial, sizeof a.serial) == 0;
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
        switch (outcomeOf(result)) {
        case TryOutcome::Answered:
            answeredTurn_ = true;
            if (result.ok())
                return Asked::Answered;
            break;
        case TryOutcome::PortLost: return Asked::PortLost;
        case TryOutcome::NoReply:
            if (shared_) {
                silentTurn_ = true;
                return Asked::Failed;
            }
            break;
        case TryOutcome::Corrupt:
            // Noise proves that something is on the line, not that the device is.
            break;
        case TryOutcome::Refused: return Asked::Failed;
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
    ++counts_.failures;
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
    if ((state_ & kThermostatBits) != 0)
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
    const Asked asked = ask([&] { return kc::getDeviceInfo(port_, address_, &info); }, result);
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
    if (known_ && !sameDevice(*known_, identified)) {
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
    // A device that reports an emissivity word above 100 gives the ratio.
    if (emissivity_ > 100)
        device.type = static_cast<unsigned short>(device.type | kRatioTypeBit);
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
    unsigned short words[2] = {};
    kc::Result result;
    const Asked asked = ask([&] { return kc::readWords(port_, address_, kSettingsRegister, words, 2); }, result);
    if (asked != Asked::Answered) {
        const Step step = afterFailure(asked, "Ошибка получения уставок", result);
        if (step == Step::Stopped || step == Step::PortLost)
            return step;
        KCConfig defaults{};
        KCSetDefaultConfig(&defaults);
        words[0] = defaults.mode;
        words[1] = defaults.emissivity;
    }
    // Modes 0 to 3 have their own word; any other reads the plain measurement.
    mode_ = words[0] <= 3 ? words[0] : 0;
    emissivity_ = words[1];
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
    unsigned short status = 0;
    kc::Result result;
    const Asked asked = ask([&] { return kc::readException(port_, address_, &status); }, result);
    if (asked != Asked::Answered)
        return afterFailure(asked, "Ошибка получения состояния", result);
    state_ = static_cast<std::uint8_t>(status);
    const bool settled = (state_ & kThermostatBits) == 0;
    if (settled && !started_)
        startClock();
    if (settled != settled_)
        std::fprintf(stderr, settled ? "kl_poll: %s: термостат в режиме\n"
                                     : "kl_poll: %s: термостат не в режиме (%u), температура не читается\n",
                     label_.c_str(), static_cast<unsigned>(state_ & kThermostatBits));
    settled_ = settled;
    return Step::Go;
}

DevicePoller::Step DevicePoller::pollTemperature()
{
    PollReading reading;
    kc::Result result;
    const Asked asked = ask(
        [&] { return kc::readWords(port_, address_, kMeasurementRegister, reading.words, kMeasurementWords); },
        result);
    if (asked != Asked::Answered)
        return afterFailure(asked, "Ошибка получения температуры", result);
    // Without a settled state seen (the state read failing), time counts from
    // the first reading.
    if (!started_)
        startClock();
    reading.msSinceStart = elapsedMs();
    const auto taken = std::chrono::system_clock::now();
    reading.mode = mode_;
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
