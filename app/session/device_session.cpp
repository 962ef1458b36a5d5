#include "session/device_session.h"

#include "session/stop_event.h"

#include "platform/message_box.h"
#include "platform/sync.h"

#include <QFile>

#include <cstring>
#include <string>

namespace {

// How often a port that failed is tried again.
constexpr int kReopenIntervalMs = 500;

std::string textOf(const char* chars, std::size_t size)
{
    return std::string(chars, strnlen(chars, size));
}

}  // namespace

DeviceSession::DeviceSession(QObject* parent)
    : QObject(parent), stopEvent_(createStopEvent())
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

WorkerContext DeviceSession::contextFor(RunGate::Run run)
{
    // The reports hop to this object's thread, where a report of an earlier
    // run is dropped.
    WorkerContext c;
    c.port = port_;
    c.stopEvent = stopEvent_;
    c.link = &link_;
    c.owner = boxOwner_;
    c.cancel = &cancel_;
    c.quietIdentification = reidentifying_;
    c.reports.identifyAgain = [this, run] { runs_.deliver(this, run, [this] { onIdentifyAgain(); }); };
    c.reports.identified = [this, run](const IdentifiedDevice& device) {
        runs_.deliver(this, run, [this, run, device] { onIdentified(run, device); });
    };
    c.reports.stateRead = [this, run](std::uint8_t state, std::uint32_t tick) {
        runs_.deliver(this, run, [this, state, tick] { onStateRead(state, tick); });
    };
    c.reports.reading = [this, run](const Reading& reading) {
        runs_.deliver(this, run, [this, reading] { onReading(reading); });
    };
    c.reports.requestFailed = [this, run](const kc::Result& result, const char* caption) {
        const QString title = QString::fromUtf8(caption);
        runs_.deliver(this, run, [this, result, title] { emit requestFailed(result, title); });
    };
    c.reports.portLost = [this, run] { runs_.deliver(this, run, [this] { onPortLost(); }); };
    return c;
}

bool DeviceSession::openPort(KCOpenError* why)
{
    const KCConfig config = link_.snapshot().config;
    HandleGuard guard =
        KCOpenPortWhy(settings_.comm.portName.toUtf8().constData(), static_cast<char>(config.baudRate), why);
    if (!guard)
        return false;
    port_ = guard.release();
    if (KCPortInfo* info = getKCPortInfo(port_)) {
        info->sendDTR = settings_.comm.automaticFlow ? 255 : settings_.comm.sendDTR;
        info->sendRTS = settings_.comm.automaticFlow ? 255 : settings_.comm.sendRTS;
        info->recvDTR = settings_.comm.automaticFlow ? 255 : settings_.comm.recvDTR;
        info->recvRTS = settings_.comm.automaticFlow ? 255 : settings_.comm.recvRTS;
    }
    return true;
}

bool DeviceSession::connectDevice(const StoredSettings& settings, KCOpenError* why)
{
    if (isConnected())
        return true;
    settings_ = settings;
    if (!openPort(why))
        return false;
    runs_.next();
    reidentifying_ = false;
    identifiedDevice_ = false;
    recorder_.begin();
    if (settings_.program.log && recorder_.log().open(settings_.program.logFileName, boxOwner_) == TextLog::Outcome::Declined)
        settings_.program.log = false;
    recorder_.setLogging(settings_.program.log);
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
    const WorkerContext c = contextFor(runs_.current());
    infoWorker_.start([c] { runInformationWorker(c); });
}

void DeviceSession::startPolling()
{
    if (pollWorker_.running())
        return;
    const WorkerContext c = contextFor(runs_.current());
    const int period = settings_.program.periodMs;
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
    runs_.next();
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
    runs_.next();
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
    WorkerContext c = contextFor(runs_.current());
    const RunGate::Run run = runs_.current();
    c.reports.written = [this, run] { runs_.deliver(this, run, [this] { onWritten(); }); };
    writeWorker_.start([this, c, config, writeAddress, run] {
        runWriteWorker(c, config, writeAddress);
        // Polling resumes whatever the outcome, once: a success gets there
        // first and starts a new run, which drops this.
        runs_.deliver(this, run, [this] { onWriteEnded(); });
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
    settings_.program.log = on;
    recorder_.setLogging(on);
}

void DeviceSession::onIdentifyAgain()
{
    if (state_ != State::Identifying)
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
    if (kc::sameDevice(before, now))
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

void DeviceSession::onIdentified(RunGate::Run run, const IdentifiedDevice& device)
{
    if (state_ != State::Identifying)
        return;
    TermDataFile* series = recorder_.series();
    const bool sameDevice =
        !reidentifying_ || series == nullptr || kc::sameDevice(*series->GetDeviceInfo(), device.deviceInfo);
    if (reidentifying_ && series != nullptr && !continueSeriesWith(*series->GetDeviceInfo(), device.deviceInfo)) {
        recorder_.saveWhole();
        recorder_.begin();
    }
    // The question may have taken a while: the port may have failed since.
    if (!runs_.isCurrent(run) || state_ != State::Identifying)
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

void DeviceSession::onStateRead(std::uint8_t state, std::uint32_t tick)
{
    if (state_ != State::Polling)
        return;
    if (kc::isSettled(state))
        recorder_.noteStart(tick);
    emit stateRead(state);
}

void DeviceSession::onReading(const Reading& r)
{
    if (state_ != State::Polling)
        return;
    SessionReading recorded;
    if (!recorder_.record(r, emissivityDivisor(link_.snapshot().deviceInfo.type), recorded))
        emit resultSavingFailed();
    emit reading(recorded);
}

void DeviceSession::onWritten()
{
    if (state_ != State::Paused)
        return;
    writing_.reset();
    // The device answers at its new speed from now on; when the port cannot
    // follow, polling still resumes (onWriteEnded) and says what fails.
    if (!KCSetPortSpeed(port_, static_cast<char>(link_.snapshot().config.baudRate)))
        return;
    emit settingsWritten();
    resumePolling();
}

void DeviceSession::onWriteEnded()
{
    if (state_ != State::Paused)
        return;
    writing_.reset();
    resumePolling();
}

void DeviceSession::onPortLost()
{
    if (port_ == nullptr)
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
    runs_.next();
    reidentifying_ = true;
    identifiedDevice_ = false;
    state_ = State::Identifying;
    // The identification waits on the event between its tries.
    platform::resetEvent(stopEvent_);
    emit portBack();
    startIdentification();
}
