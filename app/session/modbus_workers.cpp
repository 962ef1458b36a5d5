#include "modbus_workers.h"

#include "platform/message_box.h"
#include "platform/sync.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kStopped = -1;
constexpr std::uint16_t kSettingsRegister = 512;
constexpr std::uint16_t kSecondSettingsRegister = 521;
constexpr std::uint16_t kMeasurementRegister = 256;
constexpr int kMeasurementWords = 5;
constexpr int kQuantumWord = 4;
constexpr int kMaxWordsPerRequest = 10;
constexpr std::uint32_t kRetryPauseMs = 2000;
constexpr int kMinimumPeriodMs = 20;
constexpr int kStateEveryMs = 6000;

void warn(const WorkerContext& c, int code, const char* caption)
{
    platform::showMessageBox(KCGetErrorTxt(static_cast<unsigned short>(code)), caption, platform::MessageButtons::Ok,
                             platform::MessageIcon::Warning, c.owner);
}

// Runs `request` up to the attempt count of times until it succeeds. Between
// tries `ended` is asked, so that a worker told to end does not go on
// knocking at a silent device: then the result is kStopped.
template <class Request>
int withAttempts(const WorkerContext& c, bool (WorkerContext::*ended)() const, Request request)
{
    const int tries = std::max<int>(1, attemptCount().load());
    int result = KC_TIMEOUT;
    for (int i = 0; i < tries; ++i) {
        if (i > 0 && (c.*ended)())
            return kStopped;
        result = request();
        if (result == 0)
            return 0;
    }
    return result;
}

char addressOf(const LinkState& link)
{
    return static_cast<char>(link.snapshot().config.address & 0xFF);
}

// Reads the settings words into `config`; the result of the last try.
int readSettings(const WorkerContext& c, char address, int count, KCConfig& config)
{
    return withAttempts(c, &WorkerContext::cancelled, [&] {
        int r = readWords(c.port, address, kSettingsRegister, config.words, 9);
        if (r == 0 && count > 9)
            r = readWords(c.port, address, kSecondSettingsRegister, config.words + 9,
                          static_cast<unsigned short>(count - 9));
        return r;
    });
}

// Reads the limit table in requests of at most 10 words, with one budget of
// failed requests for the whole table; false when it could not be read whole.
bool readLimitWords(const WorkerContext& c, char address, const LimitTableLayout& layout,
                    std::vector<std::uint16_t>& words)
{
    const int total = layout.wordCount();
    words.assign(static_cast<std::size_t>(total), 0);
    int failuresLeft = std::max<int>(1, attemptCount().load());
    for (int at = 0; at < total;) {
        if (c.cancelled())
            return false;
        const int n = std::min(kMaxWordsPerRequest, total - at);
        if (readWords(c.port, address, static_cast<unsigned short>(layout.firstRegister() + at),
                      words.data() + at, static_cast<unsigned short>(n))
            == 0) {
            at += n;
        } else if (--failuresLeft == 0) {
            return false;
        }
    }
    return true;
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
    const char address = addressOf(*c.link);
    DeviceInfo info{};
    info.address = static_cast<unsigned char>(address);
    const int identified = getDeviceInfo(c.port, address, &info);
    if (identified != 0) {
        warn(c, identified, "Ошибка");
        // A new attempt in 2 s, unless the window stops the workers meanwhile.
        if (!platform::waitForEvent(c.stopEvent, kRetryPauseMs))
            c.post(kNotifyIdentify, 0);
        return;
    }
    v2DeviceInfo device(info);
    c.link->update([&](LinkFields& f) { f.deviceInfo = device; });

    KCConfig config = c.link->snapshot().config;
    const int settingsRead = readSettings(c, address, settingsWordsToRead(device.type, device.variant), config);
    if (settingsRead == kStopped)
        return;
    if (settingsRead != 0) {
        warn(c, settingsRead, "Ошибка получения уставок");
        KCSetDefaultConfig(&config);
    } else if (config.emissivity > 100) {
        // An emissivity word above 1.00 can only be a ratio: the device is a
        // two-colour one whatever its type code says.
        device.type = static_cast<unsigned short>(device.type | 0x80);
    }
    c.link->update([&](LinkFields& f) {
        f.config = config;
        f.deviceInfo = device;
    });

    if (const auto layout = limitTableLayout(device.type, device.variant)) {
        std::vector<std::uint16_t> words;
        const bool complete = readLimitWords(c, address, *layout, words);
        if (c.cancelled())
            return;
        c.link->update([&](LinkFields& f) {
            if (complete)
                decodeLimitTable(*layout, words, device.tempMin, device.tempMax, f.limits);
            else
                applyFallbackLimits(f.limits, device.tempMin, device.tempMax);
        });
    }

    unsigned short mode = 0;
    const int modeRead = withAttempts(c, &WorkerContext::cancelled,
                                      [&] { return readWords(c.port, address, kSettingsRegister, &mode, 1); });
    if (modeRead == kStopped)
        return;
    if (modeRead == 0)
        c.link->update([&](LinkFields& f) {
            f.currentMode = mode;
            f.config.mode = mode;
        });
    else
        warn(c, modeRead, "Ошибка");
    c.post(kNotifyIdentified, 0);
}

void runPollingWorker(const WorkerContext& c, int periodMs, bool readQuantum)
{
    const int period = std::max(periodMs, kMinimumPeriodMs);
    std::uint8_t lastState = 0;
    int cycle = 0;
    for (;;) {
        const LinkFields now = c.link->snapshot();
        const char address = static_cast<char>(now.config.address & 0xFF);
        if (cycle == 0) {
            unsigned short status = 0;
            const int r = withAttempts(c, &WorkerContext::stopRequested,
                                       [&] { return readException(c.port, address, &status); });
            if (r == kStopped)
                return;
            if (r == 0) {
                if (c.stopRequested())
                    return;
                lastState = static_cast<std::uint8_t>(status);
                c.link->update([&](LinkFields& f) { f.state = lastState; });
                c.post(kNotifyState, 0);
            } else {
                warn(c, r, "Ошибка получения состояния");
            }
        }
        if ((lastState & 0x7F) == 0) {
            if (c.stopRequested())
                return;
            unsigned short words[kMeasurementWords] = {};
            const int r = withAttempts(c, &WorkerContext::stopRequested, [&] {
                return readWords(c.port, address, kMeasurementRegister, words, kMeasurementWords);
            });
            if (r == kStopped)
                return;
            if (r == 0) {
                // Modes 0 to 3 have their own word; any other mode reads the
                // plain measurement rather than a word outside the block.
                const int word = now.currentMode <= 3 ? now.currentMode : 0;
                c.link->update([&](LinkFields& f) {
                    f.temperature = words[word];
                    f.quantum = words[kQuantumWord];
                });
                if (c.stopRequested())
                    return;
                c.post(kNotifyReading, 0);
                if (readQuantum)
                    c.post(kNotifyQuantum, words[kQuantumWord]);
            } else {
                warn(c, r, "Ошибка получения температуры");
            }
        }
        if (platform::waitForEvent(c.stopEvent, static_cast<std::uint32_t>(period - kMinimumPeriodMs)))
            return;
        cycle = nextPollCycle(cycle, period);
    }
}

void runWriteWorker(const WorkerContext& c, std::uint8_t writeAddress)
{
    const LinkFields now = c.link->snapshot();
    const unsigned type = now.deviceInfo.type;
    const int count = settingsWordsToWrite(type, now.deviceInfo.variant);
    const char address = static_cast<char>(writeAddress);
    // writeWords turns the words it sends into line order: it gets a copy.
    KCConfig words = now.config;
    int r = writeWords(c.port, address, kSettingsRegister, words.words, 9);
    if (r != 0) {
        warn(c, r, "Ошибка внесения изменений");
        return;
    }
    if (hasCurrentOutput(type) && count > 9) {
        words = now.config;
        r = writeWords(c.port, address, kSecondSettingsRegister, words.words + 9, static_cast<unsigned short>(count - 9));
        if (r != 0) {
            warn(c, r, "Ошибка изменения настроек токового выхода.");
            return;
        }
    }
    c.post(kNotifyWritten, 0);
}

std::atomic<std::uint16_t>& attemptCount()
{
    static std::atomic<std::uint16_t> count{5};
    return count;
}
