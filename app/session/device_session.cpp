#include "session/device_session.h"

#include "platform/message_box.h"
#include "platform/sync.h"

#include <QFile>

#include <cstring>
#include <string>

namespace {

const char* const kStopEventName = "EndReadThread";
// How often a port that failed is tried again.
constexpr int kReopenIntervalMs = 500;

std::string textOf(const char* chars, std::size_t size)
{
    return std::string(chars, strnlen(chars, size));
}

// The same serial number and type (without the program's ratio bit).
bool isSameDevice(const v2DeviceInfo& before, const v2DeviceInfo& now)
{
    return textOf(before.serial, sizeof before.serial) == textOf(now.serial, sizeof now.serial)
        && (before.type & 0x7F) == (now.type & 0x7F);
}

}  // namespace

DeviceSession::DeviceSession(QObject* parent)
    : QObject(parent), stopEvent_(platform::createEvent(kStopEventName, true, true))
{
    reopenTimer_.setInterval(kReopenIntervalMs);
    connect(&reopenTimer_, &QTimer::timeout, this, &DeviceSession::tryReopen);
}

DeviceSession::~DeviceSession()
{
    // Whoever listens may be half gone by now.
    blockSignals(true);
    close();
    recorder_.saveWhole();
    platform::closeHandle(stopEvent_);
}

WorkerContext DeviceSession::contextFor(unsigned run)
{
    // The reports hop to this object's thread; a report of another run than
    // the current one is dropped there.
    WorkerContext c;
    c.port = port_;
    c.stopEvent = stopEvent_;
    c.link = &link_;
    c.owner = boxOwner_;
    c.cancel = &cancel_;
    c.quietIdentification = reidentifying_;
    c.reports.identifyAgain = [this, run] {
        QMetaObject::invokeMethod(this, [this, run] { onIdentifyAgain(run); }, Qt::QueuedConnection);
    };
    c.reports.identified = [this, run](const IdentifiedDevice& device) {
        QMetaObject::invokeMethod(this, [this, run, device] { onIdentified(run, device); }, Qt::QueuedConnection);
    };
    c.reports.stateRead = [this, run](std::uint8_t state, std::uint32_t tick) {
        QMetaObject::invokeMethod(this, [this, run, state, tick] { onStateRead(run, state, tick); },
                                  Qt::QueuedConnection);
    };
    c.reports.reading = [this, run](const Reading& reading) {
        QMetaObject::invokeMethod(this, [this, run, reading] { onReading(run, reading); }, Qt::QueuedConnection);
    };
    c.reports.requestFailed = [this, run](const kc::Result& result, const char* caption) {
        const QString title = QString::fromUtf8(caption);
        QMetaObject::invokeMethod(this, [this, run, result, title] { onRequestFailed(run, result, title); },
                                  Qt::QueuedConnection);
    };
    c.reports.portLost = [this, run] {
        QMetaObject::invokeMethod(this, [this, run] { onPortLost(run); }, Qt::QueuedConnection);
    };
    return c;
}

bool DeviceSession::openPort(KCOpenError* why)
{
    const KCConfig config = link_.snapshot().config;
    HandleGuard guard =
        KCOpenPortWhy(options_.portName.toUtf8().constData(), static_cast<char>(config.baudRate), why);
    if (!guard)
        return false;
    port_ = guard.release();
    if (KCPortInfo* info = getKCPortInfo(port_)) {
        info->sendDTR = options_.automaticFlow ? 255 : options_.sendDTR;
        info->sendRTS = options_.automaticFlow ? 255 : options_.sendRTS;
        info->recvDTR = options_.automaticFlow ? 255 : options_.recvDTR;
        info->recvRTS = options_.automaticFlow ? 255 : options_.recvRTS;
    }
    return true;
}

bool DeviceSession::connectDevice(const LinkOptions& options, KCOpenError* why)
{
    if (isConnected())
        return true;
    options_ = options;
    if (!openPort(why))
        return false;
    ++run_;
    reidentifying_ = false;
    identifiedDevice_ = false;
    recorder_.begin();
    if (options_.log && recorder_.log().open(options_.logFileName, boxOwner_) == TextLog::Outcome::Declined)
        options_.log = false;
    recorder_.setLogging(options_.log);
    state_ = State::Identifying;
    emit connectionChanged(true);
    startIdentification();
    return true;
}

void DeviceSession::startIdentification()
{
    // The only identification that may still run is the one that asked for
    // this new attempt and is ending.
    infoWorker_.join();
    const WorkerContext c = contextFor(run_);
    infoWorker_.start([c] { runInformationWorker(c); });
}

void DeviceSession::startPolling()
{
    if (pollWorker_.running())
        return;
    const WorkerContext c = contextFor(run_);
    const int period = options_.periodMs;
    pollWorker_.start([c, period] { runPollingWorker(c, period); });
}

void DeviceSession::stopWorkers()
{
    platform::setEvent(stopEvent_);
    cancel_ = true;
    infoWorker_.join();
    pollWorker_.join();
    writeWorker_.join();
    cancel_ = false;
}

void DeviceSession::finishRun()
{
    // A new run first: whatever the workers report while the session waits
    // for them is of the old run and does nothing.
    ++run_;
    stopWorkers();
}

void DeviceSession::disconnectDevice()
{
    if (!isConnected())
        return;
    close();
    recorder_.saveWhole();
    dropPendingWrite();
}

void DeviceSession::dropPendingWrite()
{
    if (!pendingWrite_)
        return;
    pendingWrite_.reset();
    emit pendingSettingsDropped();
}

void DeviceSession::holdWrite(const SettingsWrite& write)
{
    // Until the device is back, the session talks to it as it was: at its
    // old address and speed.
    pendingWrite_ = write;
    const KCConfig before = configAtPause_;
    link_.update([&](LinkFields& f) {
        f.config = before;
        f.currentMode = before.mode;
    });
}

void DeviceSession::close()
{
    finishRun();
    reopenTimer_.stop();
    writing_.reset();
    if (!isConnected())
        return;
    if (port_ != nullptr)
        KCClosePort(port_);
    port_ = nullptr;
    state_ = State::Disconnected;
    recorder_.log().close();
    emit connectionChanged(false);
}

void DeviceSession::pausePolling()
{
    if (state_ == State::Disconnected || state_ == State::Paused)
        return;
    finishRun();
    reopenTimer_.stop();
    pausedFrom_ = state_;
    configAtPause_ = link_.snapshot().config;
    state_ = State::Paused;
    emit pollingChanged(false);
}

void DeviceSession::resumePolling()
{
    if (state_ != State::Paused)
        return;
    ++run_;
    if (port_ == nullptr) {
        // The port failed before the pause: go on waiting for it.
        state_ = State::WaitingForPort;
        reopenTimer_.start();
        return;
    }
    if (pausedFrom_ == State::Identifying) {
        // The pause cut the identification short: polling starts only after
        // one has finished.
        state_ = State::Identifying;
        platform::resetEvent(stopEvent_);
        startIdentification();
        return;
    }
    if (TermDataFile* series = recorder_.series()) {
        const v2DeviceInfo device = link_.snapshot().deviceInfo;
        series->SetDeviceInfo(&device);
    }
    state_ = State::Polling;
    platform::resetEvent(stopEvent_);
    startPolling();
    emit pollingChanged(true);
}

void DeviceSession::writeSettings(std::uint8_t writeAddress)
{
    if (state_ != State::Paused || writeWorker_.running())
        return;
    const KCConfig config = link_.snapshot().config;
    if (port_ == nullptr) {
        holdWrite({config, writeAddress});
        resumePolling();
        return;
    }
    writeWorker_.join();
    writing_ = SettingsWrite{config, writeAddress};
    WorkerContext c = contextFor(run_);
    const unsigned run = run_;
    c.reports.written = [this, run] {
        QMetaObject::invokeMethod(this, [this, run] { onWritten(run); }, Qt::QueuedConnection);
    };
    writeWorker_.start([this, c, config, writeAddress, run] {
        runWriteWorker(c, config, writeAddress);
        // Polling resumes whatever the outcome, once: a success gets there
        // first and starts a new run, which drops this.
        QMetaObject::invokeMethod(this, [this, run] { onWriteEnded(run); }, Qt::QueuedConnection);
    });
}

void DeviceSession::setConfig(const KCConfig& config)
{
    link_.update([&](LinkFields& f) {
        f.config = config;
        f.currentMode = config.mode;
    });
}

bool DeviceSession::viewSeriesFile(const QString& path)
{
    return !isConnected() && recorder_.view(QFile::encodeName(path).toStdString());
}

void DeviceSession::setLogging(bool on)
{
    options_.log = on;
    recorder_.setLogging(on);
}

void DeviceSession::onIdentifyAgain(unsigned run)
{
    if (run != run_ || state_ != State::Identifying)
        return;
    if (!reidentifying_) {
        startIdentification();
        return;
    }
    // The port came back but no device answers on it: the name may lead to
    // another device by now, so the port is opened by its name again.
    releasePort();
    waitForPort();
    emit portLost();
}

void DeviceSession::releasePort()
{
    finishRun();
    // Closed at once, so that the system can give a plugged-in adapter its
    // old name again.
    KCClosePort(port_);
    port_ = nullptr;
}

void DeviceSession::waitForPort()
{
    state_ = State::WaitingForPort;
    reopenTimer_.start();
}

bool DeviceSession::continueSeriesWith(const v2DeviceInfo& before, const v2DeviceInfo& now)
{
    if (isSameDevice(before, now))
        return true;
    const std::string was = textOf(before.serial, sizeof before.serial);
    const std::string is = textOf(now.serial, sizeof now.serial);
    const std::string text = "К порту подключён другой прибор: " + std::string(getDeviceName(now.type)) + ", зав. № "
        + is + " (был " + std::string(getDeviceName(before.type)) + ", зав. № " + was
        + ").\nПродолжить запись его показаний в ту же серию?\nНет - начать новую серию.";
    return platform::showMessageBox(text, "Смена прибора", platform::MessageButtons::YesNo,
                                    platform::MessageIcon::Question, boxOwner_)
        == platform::MessageAnswer::Yes;
}

void DeviceSession::onIdentified(unsigned run, const IdentifiedDevice& device)
{
    if (run != run_ || state_ != State::Identifying)
        return;
    TermDataFile* series = recorder_.series();
    const bool sameDevice =
        !reidentifying_ || series == nullptr || isSameDevice(*series->GetDeviceInfo(), device.deviceInfo);
    if (reidentifying_ && series != nullptr && !continueSeriesWith(*series->GetDeviceInfo(), device.deviceInfo)) {
        recorder_.saveWhole();
        recorder_.begin();
    }
    // The question may have taken a while: the port may have failed since.
    if (run != run_ || state_ != State::Identifying)
        return;
    reidentifying_ = false;
    identifiedDevice_ = true;
    if (series != nullptr) {
        const v2DeviceInfo working = link_.snapshot().deviceInfo;
        series->SetDeviceInfo(&working);
    }
    if (pendingWrite_ && !sameDevice)
        dropPendingWrite();
    if (pendingWrite_) {
        // Settings confirmed while the port was away go to the device before
        // polling resumes.
        const SettingsWrite write = *pendingWrite_;
        pendingWrite_.reset();
        emit identified(device);
        setConfig(write.config);
        state_ = State::Paused;
        pausedFrom_ = State::Polling;
        writeSettings(write.address);
        return;
    }
    state_ = State::Polling;
    platform::resetEvent(stopEvent_);
    emit identified(device);
    startPolling();
    emit pollingChanged(true);
}

void DeviceSession::onStateRead(unsigned run, std::uint8_t state, std::uint32_t tick)
{
    if (run != run_ || state_ != State::Polling)
        return;
    if ((state & 0x7F) == 0)
        recorder_.noteSettled(tick);
    emit stateRead(state);
}

void DeviceSession::onReading(unsigned run, const Reading& r)
{
    if (run != run_ || state_ != State::Polling)
        return;
    SessionReading recorded;
    if (!recorder_.record(r, emissivityDivisor(link_.snapshot().deviceInfo.type), recorded))
        emit resultSavingFailed();
    emit reading(recorded);
}

void DeviceSession::onWritten(unsigned run)
{
    if (run != run_ || state_ != State::Paused)
        return;
    writing_.reset();
    // The device answers at its new speed from now on; when the port cannot
    // follow, polling still resumes (onWriteEnded) and says what fails.
    if (!KCSetPortSpeed(port_, static_cast<char>(link_.snapshot().config.baudRate)))
        return;
    emit settingsWritten();
    resumePolling();
}

void DeviceSession::onWriteEnded(unsigned run)
{
    if (run != run_ || state_ != State::Paused)
        return;
    writing_.reset();
    resumePolling();
}

void DeviceSession::onRequestFailed(unsigned run, const kc::Result& result, const QString& caption)
{
    if (run != run_)
        return;
    emit requestFailed(result, caption);
}

void DeviceSession::onPortLost(unsigned run)
{
    if (run != run_ || port_ == nullptr)
        return;
    const bool paused = state_ == State::Paused;
    releasePort();
    if (paused) {
        // The write worker lost the port under the settings sheet: polling
        // was to resume, and waits for the port instead; the settings wait
        // with it.
        if (writing_)
            holdWrite(*writing_);
        writing_.reset();
        state_ = State::Paused;
        resumePolling();
    } else {
        waitForPort();
    }
    emit portLost();
}

void DeviceSession::tryReopen()
{
    if (state_ != State::WaitingForPort || !openPort(nullptr))
        return;
    reopenTimer_.stop();
    ++run_;
    reidentifying_ = true;
    identifiedDevice_ = false;
    state_ = State::Identifying;
    // The identification waits on the event between its tries.
    platform::resetEvent(stopEvent_);
    emit portBack();
    startIdentification();
}
