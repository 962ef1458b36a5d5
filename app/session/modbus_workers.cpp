#include "session/modbus_workers.h"

#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/sync.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::uint32_t kRetryPauseMs = 2000;
constexpr int kMinimumPeriodMs = 20;
constexpr int kStateEveryMs = 6000;

const char* const kStateCaption = "Ошибка получения состояния";
const char* const kTemperatureCaption = "Ошибка получения температуры";

// The operator hears of a failure after its tries, unless the session cut
// the request short (disconnect, quit, the settings sheet).
void warn(const WorkerContext& c, const kc::Result& result, const char* caption)
{
    if (c.cancelled())
        return;
    platform::showMessageBox(KCGetErrorTxt(result), caption, platform::MessageButtons::Ok,
                             platform::MessageIcon::Warning, c.owner);
}

void noteFailure(const WorkerContext& c, const kc::Result& result, const char* caption)
{
    if (c.reports.requestFailed)
        c.reports.requestFailed(result, caption);
}

enum class Outcome { Done, Failed, Stopped, PortLost };

bool portFailed(const kc::Result& result)
{
    return result.fault == kc::Fault::PortFailed;
}

// Runs `request` up to the attempt count of times until it succeeds. Between
// tries `ended` is asked, so that a worker told to end does not go on
// knocking at a silent device.
template <class Request>
Outcome withAttempts(const WorkerContext& c, bool (WorkerContext::*ended)() const, const char* caption,
                     kc::Result& result, Request request)
{
    const int tries = std::max<int>(1, attemptCount().load());
    for (int i = 0; i < tries; ++i) {
        if (i > 0 && (c.*ended)())
            return Outcome::Stopped;
        result = request();
        if (result.ok())
            return Outcome::Done;
        noteFailure(c, result, caption);
        if (portFailed(result))
            return Outcome::PortLost;
    }
    return (c.*ended)() ? Outcome::Stopped : Outcome::Failed;
}

// Whether the worker ends here: it was told to, or the port failed (which it
// reports).
bool endsWorker(const WorkerContext& c, Outcome outcome)
{
    if (outcome == Outcome::PortLost)
        c.reports.portLost();
    return outcome == Outcome::Stopped || outcome == Outcome::PortLost;
}

// The device at the address of the settings words.
kc::Pyrometer deviceOf(const WorkerContext& c, const KCConfig& config)
{
    return kc::Pyrometer(c.port, static_cast<char>(config.address & 0xFF));
}

// Reads the settings words into `config`.
Outcome readSettings(const WorkerContext& c, const kc::Pyrometer& device, int count, KCConfig& config,
                     kc::Result& result)
{
    return withAttempts(c, &WorkerContext::cancelled, "Ошибка получения уставок", result,
                        [&] { return device.readSettings(config, count); });
}

// Reads the limit table request by request, with one budget of failed
// requests for the whole table.
Outcome readLimitWords(const WorkerContext& c, const kc::Pyrometer& device, const LimitTableLayout& layout,
                       std::vector<std::uint16_t>& words)
{
    const int total = layout.wordCount();
    words.assign(static_cast<std::size_t>(total), 0);
    int failuresLeft = std::max<int>(1, attemptCount().load());
    for (int at = 0; at < total;) {
        if (c.cancelled())
            return Outcome::Stopped;
        const kc::Result r = device.readLimitWords(layout, at, words);
        if (r.ok())
            continue;
        noteFailure(c, r, "Ошибка");
        if (portFailed(r))
            return Outcome::PortLost;
        if (--failuresLeft == 0)
            return Outcome::Failed;
    }
    return Outcome::Done;
}

}  // namespace

bool WorkerContext::stopRequested() const
{
    return cancelled() || platform::waitForEvent(stopEvent, 0);
}

int nextPollCycle(int cycle, int periodMs)
{
    return (cycle + 1) * std::max(periodMs, kMinimumPeriodMs) <= kStateEveryMs ? cycle + 1 : 0;
}

void runInformationWorker(const WorkerContext& c)
{
    IdentifiedDevice found;
    found.config = c.link->snapshot().config;
    found.limits = c.link->snapshot().limits;
    const kc::Pyrometer device = deviceOf(c, found.config);
    DeviceInfo info{};
    const kc::Result identified = device.identify(info);
    if (!identified.ok()) {
        noteFailure(c, identified, "Ошибка");
        if (portFailed(identified)) {
            c.reports.portLost();
            return;
        }
        if (!c.quietIdentification)
            warn(c, identified, "Ошибка");
        // A new attempt in 2 s, unless the session stops the workers meanwhile.
        if (!c.cancelled() && !platform::waitForEvent(c.stopEvent, kRetryPauseMs))
            c.reports.identifyAgain();
        return;
    }
    found.deviceInfo = v2DeviceInfo(info);

    kc::Result result;
    const Outcome settingsRead = readSettings(
        c, device, settingsWordsToRead(found.deviceInfo.type, found.deviceInfo.variant), found.config, result);
    if (endsWorker(c, settingsRead))
        return;
    if (settingsRead == Outcome::Failed) {
        warn(c, result, "Ошибка получения уставок");
        KCSetDefaultConfig(&found.config);
    } else {
        found.ratio = kc::reportsRatio(found.deviceInfo.type, found.config.emissivity);
    }
    const unsigned type = kc::workingType(found.deviceInfo.type, found.config.emissivity);

    if (const auto layout = limitTableLayout(type, found.deviceInfo.variant)) {
        std::vector<std::uint16_t> words;
        const Outcome table = readLimitWords(c, device, *layout, words);
        if (endsWorker(c, table))
            return;
        if (table == Outcome::Done)
            decodeLimitTable(*layout, words, found.deviceInfo.tempMin, found.deviceInfo.tempMax, found.limits);
        else
            applyFallbackLimits(found.limits, found.deviceInfo.tempMin, found.deviceInfo.tempMax);
    }

    std::uint16_t mode = 0;
    const Outcome modeRead =
        withAttempts(c, &WorkerContext::cancelled, "Ошибка", result, [&] { return device.readMode(mode); });
    if (endsWorker(c, modeRead))
        return;
    if (modeRead == Outcome::Done) {
        found.currentMode = mode;
        found.config.mode = mode;
    } else {
        found.currentMode = found.config.mode;
        warn(c, result, "Ошибка");
    }
    c.link->update([&](LinkFields& f) {
        f.deviceInfo = found.deviceInfo;
        f.deviceInfo.type = static_cast<unsigned short>(type);
        f.config = found.config;
        f.limits = found.limits;
        f.currentMode = found.currentMode;
    });
    c.reports.identified(found);
}

void runPollingWorker(const WorkerContext& c, int periodMs)
{
    const int period = std::max(periodMs, kMinimumPeriodMs);
    std::uint8_t lastState = 0;
    int cycle = 0;
    for (;;) {
        const LinkFields now = c.link->snapshot();
        const kc::Pyrometer device = deviceOf(c, now.config);
        kc::Result result;
        if (cycle == 0) {
            std::uint8_t state = 0;
            const Outcome read = withAttempts(c, &WorkerContext::stopRequested, kStateCaption, result,
                                              [&] { return device.readState(state); });
            if (endsWorker(c, read))
                return;
            if (read == Outcome::Done) {
                lastState = state;
                c.reports.stateRead(lastState, platform::tickCount());
            } else {
                warn(c, result, kStateCaption);
            }
        }
        if (kc::isSettled(lastState)) {
            if (c.stopRequested())
                return;
            kc::Measurement measured;
            const Outcome read = withAttempts(c, &WorkerContext::stopRequested, kTemperatureCaption, result,
                                              [&] { return device.readMeasurement(now.currentMode, measured); });
            if (endsWorker(c, read))
                return;
            if (read == Outcome::Done) {
                c.reports.reading(Reading{measured.temperature(), measured.quantum(), now.config.emissivity,
                                          platform::tickCount()});
            } else {
                warn(c, result, kTemperatureCaption);
            }
        }
        if (platform::waitForEvent(c.stopEvent, static_cast<std::uint32_t>(period - kMinimumPeriodMs)))
            return;
        cycle = nextPollCycle(cycle, period);
    }
}

void runWriteWorker(const WorkerContext& c, const KCConfig& config, std::uint8_t writeAddress)
{
    const LinkFields now = c.link->snapshot();
    const unsigned type = now.deviceInfo.type;
    const unsigned variant = now.deviceInfo.variant;
    const kc::Pyrometer device(c.port, static_cast<char>(writeAddress));
    // False after saying what failed.
    const auto written = [&](const kc::Result& r, const char* caption) {
        if (r.ok())
            return true;
        noteFailure(c, r, caption);
        if (portFailed(r))
            c.reports.portLost();
        else
            warn(c, r, caption);
        return false;
    };
    if (!written(device.writeSettings(config), "Ошибка внесения изменений"))
        return;
    if (kc::Pyrometer::hasOutputSettings(type, variant)
        && !written(device.writeOutputSettings(config, type, variant), "Ошибка изменения настроек токового выхода."))
        return;
    c.reports.written();
}

std::atomic<std::uint16_t>& attemptCount()
{
    static std::atomic<std::uint16_t> count{5};
    return count;
}
