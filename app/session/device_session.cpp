#include "device_session.h"

#include "platform/clock.h"
#include "platform/sync.h"


namespace {

const char* const kStopEventName = "EndReadThread";

}  // namespace

DeviceSession::DeviceSession(QObject* parent)
    : QObject(parent), stopEvent_(platform::createEvent(kStopEventName, true, true))
{
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
    return c;
}

bool DeviceSession::connectDevice(const LinkOptions& options, KCOpenError* why)
{
    if (isConnected())
        return true;
    options_ = options;
    const KCConfig config = link_.snapshot().config;
    HandleGuard guard = KCOpenPortWhy(options.portName.toUtf8().constData(), static_cast<char>(config.baudRate), why);
    if (!guard)
        return false;
    port_ = guard.release();
    ++run_;
    recorder_.begin();
    if (options_.log && recorder_.log().open(options_.logFileName, boxOwner_) == TextLog::Outcome::Declined)
        options_.log = false;
    recorder_.setLogging(options_.log);
    if (KCPortInfo* info = getKCPortInfo(port_)) {
        info->sendDTR = options.automaticFlow ? 255 : options.sendDTR;
        info->sendRTS = options.automaticFlow ? 255 : options.sendRTS;
        info->recvDTR = options.automaticFlow ? 255 : options.recvDTR;
        info->recvRTS = options.automaticFlow ? 255 : options.recvRTS;
    }
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
}

void DeviceSession::close()
{
    finishRun();
    if (port_ == nullptr)
        return;
    KCClosePort(port_);
    port_ = nullptr;
    state_ = State::Disconnected;
    recorder_.log().close();
    emit connectionChanged(false);
}

void DeviceSession::pausePolling()
{
    if (!isConnected() || state_ == State::Paused)
        return;
    finishRun();
    state_ = State::Paused;
    emit pollingChanged(false);
}

void DeviceSession::resumePolling()
{
    if (!isConnected() || state_ != State::Paused)
        return;
    ++run_;
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
    if (!isConnected() || state_ != State::Paused || writeWorker_.running())
        return;
    writeWorker_.join();
    WorkerContext c = contextFor(run_);
    const unsigned run = run_;
    c.reports.written = [this, run] {
        QMetaObject::invokeMethod(this, [this, run] { onWritten(run); }, Qt::QueuedConnection);
    };
    const KCConfig config = link_.snapshot().config;
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

void DeviceSession::setLogging(bool on)
{
    options_.log = on;
    recorder_.setLogging(on);
}

void DeviceSession::onIdentifyAgain(unsigned run)
{
    if (run == run_ && state_ == State::Identifying)
        startIdentification();
}

void DeviceSession::onIdentified(unsigned run, const IdentifiedDevice& device)
{
    if (run != run_ || state_ != State::Identifying)
        return;
    if (TermDataFile* series = recorder_.series()) {
        const v2DeviceInfo working = link_.snapshot().deviceInfo;
        series->SetDeviceInfo(&working);
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
    // The device answers at its new speed from now on; when the port cannot
    // follow, polling still resumes (onWriteEnded) and says what fails.
    if (!KCSetPortSpeed(port_, static_cast<char>(link_.snapshot().config.baudRate)))
        return;
    emit settingsWritten();
    resumePolling();
}

void DeviceSession::onWriteEnded(unsigned run)
{
    if (run == run_ && state_ == State::Paused)
        resumePolling();
}

void DeviceSession::onRequestFailed(unsigned run, const kc::Result& result, const QString& caption)
{
    if (run != run_)
        return;
    emit requestFailed(QString::fromUtf8(KCGetErrorTxt(result)), caption);
}
