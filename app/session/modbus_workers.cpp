#include "session/modbus_workers.h"

#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/sync.h"

#include <algorithm>
#include <vector>

namespace {

constexpr std::uint16_t kSettingsRegister = 512;
constexpr std::uint16_t kSecondSettingsRegister = 521;
constexpr std::uint16_t kMeasurementRegister = 256;
constexpr int kMeasurementWords = 5;
constexpr int kQuantumWord = 4;
constexpr int kMaxWordsPerRequest = 10;
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

char addressOf(const KCConfig& config)
{
    return static_cast<char>(config.address & 0xFF);
}

// Reads the settings words into `config`.
Outcome readSettings(const WorkerContext& c, char address, int count, KCConfig& config, kc::Result& result)
{
    return withAttempts(c, &WorkerContext::cancelled, "Ошибка получения уставок", result, [&] {
        kc::Result r = kc::readWords(c.port, address, kSettingsRegister, config.words, 9);
        if (r.ok() && count > 9)
            r = kc::readWords(c.port, address, kSecondSettingsRegister, config.words + 9,
                              static_cast<unsigned short>(count - 9));
        return r;
    });
}

// Reads the limit table in requests of at most 10 words, with one budget of
// failed requests for the whole table.
Outcome readLimitWords(const WorkerContext& c, char address, const LimitTableLayout& layout,
                       std::vector<std::uint16_t>& words)
{
    const int total = layout.wordCount();
    words.assign(static_cast<std::size_t>(total), 0);
    int failuresLeft = std::max<int>(1, attemptCount().load());
    for (int at = 0; at < total;) {
        if (c.cancelled())
            return Outcome::Stopped;
        const int n = std::min(kMaxWordsPerRequest, total - at);
        const kc::Result r = kc::readWords(c.port, address, static_cast<unsigned short>(layout.firstRegister() + at),
                                           words.data() + at, static_cast<unsigned short>(n));
        if (r.ok()) {
            at += n;
            continue;
        }
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
    const char address = addressOf(found.config);
    DeviceInfo info{};
    info.address = static_cast<unsigned char>(address);
    const kc::Result identified = kc::getDeviceInfo(c.port, address, &info);
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
        c, address, settingsWordsToRead(found.deviceInfo.type, found.deviceInfo.variant), found.config, result);
    if (endsWorker(c, settingsRead))
        return;
    if (settingsRead == Outcome::Failed) {
        warn(c, result, "Ошибка получения уставок");
        KCSetDefaultConfig(&found.config);
    } else {
        // An emissivity word above 1.00 can only be a ratio.
        found.ratio = isRatioDevice(found.deviceInfo.type) || found.config.emissivity > 100;
    }
    const unsigned type = found.deviceInfo.type | (found.ratio ? kRatioTypeBit : 0u);

    if (const auto layout = limitTableLayout(type, found.deviceInfo.variant)) {
        std::vector<std::uint16_t> words;
        const Outcome table = readLimitWords(c, address, *layout, words);
        if (endsWorker(c, table))
            return;
        if (table == Outcome::Done)
            decodeLimitTable(*layout, words, found.deviceInfo.tempMin, found.deviceInfo.tempMax, found.limits);
        else
            applyFallbackLimits(found.limits, found.deviceInfo.tempMin, found.deviceInfo.tempMax);
    }

    unsigned short mode = 0;
    const Outcome modeRead = withAttempts(c, &WorkerContext::cancelled, "Ошибка", result, [&] {
        return kc::readWords(c.port, address, kSettingsRegister, &mode, 1);
    });
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
        const char address = addressOf(now.config);
        kc::Result result;
        if (cycle == 0) {
            unsigned short status = 0;
            const Outcome read = withAttempts(c, &WorkerContext::stopRequested, kStateCaption, result,
                                              [&] { return kc::readException(c.port, address, &status); });
            if (endsWorker(c, read))
                return;
            if (read == Outcome::Done) {
                lastState = static_cast<std::uint8_t>(status);
                c.reports.stateRead(lastState, platform::tickCount());
            } else {
                warn(c, result, kStateCaption);
            }
        }
        if ((lastState & 0x7F) == 0) {
            if (c.stopRequested())
                return;
            unsigned short words[kMeasurementWords] = {};
            const Outcome read = withAttempts(c, &WorkerContext::stopRequested, kTemperatureCaption, result, [&] {
                return kc::readWords(c.port, address, kMeasurementRegister, words, kMeasurementWords);
            });
            if (endsWorker(c, read))
                return;
            if (read == Outcome::Done) {
                // Modes 0 to 3 have their own word; any other mode reads the
                // plain measurement rather than a word outside the block.
                const int word = now.currentMode <= 3 ? now.currentMode : 0;
                c.reports.reading(Reading{words[word], words[kQuantumWord], now.config.emissivity,
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
    const int count = settingsWordsToWrite(type, now.deviceInfo.variant);
    const char address = static_cast<char>(writeAddress);
    // Writes words from `first` on; false after saying what failed.
    const auto write = [&](std::uint16_t reg, int first, int n, const char* caption) {
        // writeWords turns the words it sends into line order: it gets a copy.
        KCConfig words = config;
        const kc::Result r =
            kc::writeWords(c.port, address, reg, words.words + first, static_cast<unsigned short>(n));
        if (r.ok())
            return true;
        noteFailure(c, r, caption);
        if (portFailed(r))
            c.reports.portLost();
        else
            warn(c, r, caption);
        return false;
    };
    if (!write(kSettingsRegister, 0, 9, "Ошибка внесения изменений"))
        return;
    if (hasCurrentOutput(type) && count > 9
        && !write(kSecondSettingsRegister, 9, count - 9, "Ошибка изменения настроек токового выхода."))
        return;
    c.reports.written();
}

std::atomic<std::uint16_t>& attemptCount()
{
    static std::atomic<std::uint16_t> count{5};
    return count;
}
