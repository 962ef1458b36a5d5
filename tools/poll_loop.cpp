#include "poll_loop.h"

#include "platform/clock.h"

#include <cstdio>

namespace tools {

namespace {

constexpr unsigned short kMeasurementRegister = 256;
constexpr unsigned short kMeasurementWords = 5;
constexpr unsigned short kSettingsRegister = 512;
constexpr std::uint32_t kIdentifyAgainMs = 2000;
constexpr int kStateEveryMs = 6000;
constexpr std::uint8_t kThermostatBits = 0x7F;

}  // namespace

PollLoop::PollLoop(void* port, const PollOptions& options, ReadingOutputs& outputs, StopSignals& stop)
    : port_(port), options_(options), outputs_(outputs), stop_(stop), address_(static_cast<char>(options.address))
{
}

template <typename Request>
int PollLoop::withAttempts(Request request)
{
    int result = 0;
    for (int attempt = 0; attempt < options_.attempts; ++attempt) {
        if (stop_.requested())
            return kStopped;
        result = request();
        if (result == 0)
            return 0;
    }
    return result;
}

void PollLoop::report(const char* caption, int code)
{
    ++failures_;
    std::fprintf(stderr, "kl_poll: %s: %s: %s (%d)\n", options_.port.c_str(), caption,
                 KCGetErrorTxt(static_cast<unsigned short>(code)), code);
}

bool PollLoop::identify()
{
    DeviceInfo info{};
    for (;;) {
        const int r = withAttempts([&] { return getDeviceInfo(port_, address_, &info); });
        if (r == kStopped)
            return false;
        if (r == 0)
            break;
        report("Ошибка чтения сведений о приборе", r);
        if (stop_.wait(kIdentifyAgainMs))
            return false;
    }
    std::fprintf(outputs_.infoStream(), "%s: %s, заводской номер %s, год %s, приёмник %s, %u..%u °C, поверка %s\n",
                 options_.port.c_str(), getDeviceName(info.type), info.serial, info.year,
                 KCGetSensorName(static_cast<unsigned short>(info.sensor)), info.tempMin, info.tempMax,
                 info.verifyDate);
    std::fflush(outputs_.infoStream());
    v2DeviceInfo device(info);
    if (!readSettings())
        return false;
    // A device that reports an emissivity word above 100 gives the ratio.
    if (emissivity_ > 100)
        device.type = static_cast<unsigned short>(device.type | kRatioTypeBit);
    outputs_.setDevice(device);
    return true;
}

bool PollLoop::readSettings()
{
    unsigned short words[2] = {};
    const int r = withAttempts([&] { return readWords(port_, address_, kSettingsRegister, words, 2); });
    if (r == kStopped)
        return false;
    if (r != 0) {
        report("Ошибка получения уставок", r);
        KCConfig defaults{};
        KCSetDefaultConfig(&defaults);
        words[0] = defaults.mode;
        words[1] = defaults.emissivity;
    }
    // Modes 0 to 3 have their own word; any other reads the plain measurement.
    mode_ = words[0] <= 3 ? words[0] : 0;
    emissivity_ = words[1];
    return true;
}

void PollLoop::startClock()
{
    started_ = true;
    lastTick_ = platform::tickCount();
    elapsed_ = 0;
    outputs_.start(platform::localTime());
}

std::int64_t PollLoop::elapsedMs()
{
    // Ticks wrap every 49.7 days; their differences do not.
    const std::uint32_t now = platform::tickCount();
    elapsed_ += now - lastTick_;
    lastTick_ = now;
    return elapsed_;
}

bool PollLoop::pollState()
{
    unsigned short status = 0;
    const int r = withAttempts([&] { return readException(port_, address_, &status); });
    if (r == kStopped)
        return false;
    if (r != 0) {
        report("Ошибка получения состояния", r);
        return true;
    }
    state_ = static_cast<std::uint8_t>(status);
    const bool settled = (state_ & kThermostatBits) == 0;
    if (settled && !started_)
        startClock();
    if (settled != settled_)
        std::fprintf(stderr, settled ? "kl_poll: %s: термостат в режиме\n"
                                     : "kl_poll: %s: термостат не в режиме (%u), температура не читается\n",
                     options_.port.c_str(), static_cast<unsigned>(state_ & kThermostatBits));
    settled_ = settled;
    return true;
}

bool PollLoop::pollTemperature()
{
    PollReading reading;
    const int r = withAttempts(
        [&] { return readWords(port_, address_, kMeasurementRegister, reading.words, kMeasurementWords); });
    if (r == kStopped)
        return false;
    if (r != 0) {
        report("Ошибка получения температуры", r);
        return true;
    }
    // Without a settled state seen (the state read failing), time counts from
    // the first reading.
    if (!started_)
        startClock();
    reading.msSinceStart = elapsedMs();
    reading.mode = mode_;
    reading.emissivity = emissivity_;
    outputs_.add(reading);
    ++readings_;
    return options_.count == 0 || readings_ < options_.count;
}

void PollLoop::run()
{
    if (!identify())
        return;
    const auto period = static_cast<std::uint32_t>(options_.periodMs);
    // Cycles begin a period apart; a cycle that overran starts the next one at
    // once, without catching up.
    std::uint32_t next = platform::tickCount();
    int cycle = 0;
    for (;;) {
        if (cycle == 0 && !pollState())
            return;
        if ((state_ & kThermostatBits) == 0 && !pollTemperature())
            return;
        next += period;
        const std::uint32_t now = platform::tickCount();
        const auto left = static_cast<std::int32_t>(next - now);
        if (left < 0)
            next = now;
        if (stop_.wait(left > 0 ? static_cast<std::uint32_t>(left) : 0))
            return;
        cycle = std::int64_t{cycle + 1} * options_.periodMs <= kStateEveryMs ? cycle + 1 : 0;
    }
}

}  // namespace tools
