#include "session/qrvx_session.h"

#include "platform/clock.h"
#include "platform/handle.h"
#include "platform/library.h"
#include "platform/message_box.h"
#include "platform/sync.h"

#include <QMetaObject>

#include <algorithm>
#include <new>

namespace {

// The stop request of the worker threads, by the name both main windows use.
const char* const kStopEventName = "EndReadThread";
// The frame text the reading thread takes from QRVXReadValue.
constexpr unsigned kFrameTextSize = 100;

}  // namespace

QrvxFunctions bindQrvxFunctions(void* module)
{
    QrvxFunctions f;
    if (module == nullptr)
        return f;
    f.openPort = reinterpret_cast<QRVXOpenPortFn>(platform::librarySymbol(module, "QRVXOpenPort"));
    f.readValue = reinterpret_cast<QRVXReadValueFn>(platform::librarySymbol(module, "QRVXReadValue"));
    f.readPort = reinterpret_cast<QRVXReadPortFn>(platform::librarySymbol(module, "QRVXReadPort"));
    return f;
}

QrvxSession::QrvxSession(void* module, QObject* parent) : QrvxSession(bindQrvxFunctions(module), parent) {}

QrvxSession::QrvxSession(const QrvxFunctions& functions, QObject* parent)
    : QObject(parent), functions_(functions), series_(new (std::nothrow) TermDataFile)
{
    context_.stopEvent = platform::createEvent(kStopEventName, true, true);
    context_.lock = platform::createMutex(nullptr);
    context_.dataEvent = platform::createEvent(nullptr, false, false);
}

QrvxSession::~QrvxSession()
{
    quit();
    // A series that never received a value leaves no empty file behind.
    if (series_ && saveResults_ && !viewed_ && series_->GetCount() > 0)
        series_->Save();
    platform::closeHandle(context_.dataEvent);
    platform::closeHandle(context_.lock);
    platform::closeHandle(context_.stopEvent);
}

void QrvxSession::showError(const char* text)
{
    platform::showMessageBox(text, "Ошибка", platform::MessageButtons::Ok, platform::MessageIcon::Error,
                             messageOwner_);
}

QrvxSession::ConnectOutcome QrvxSession::connectPort(const ConnectOptions& options)
{
    ConnectOutcome outcome;
    if (isConnected())
        return outcome;
    void* port = functions_.openPort ? functions_.openPort(options.port.toLocal8Bit().constData()) : nullptr;
    if (port == nullptr) {
        showError("Ошибка открытия порта");
        return outcome;
    }
    port_ = port;
    // A new run: whatever an earlier connection queued is dropped.
    ++run_;
    if (options.log && log_.open(options.logFileName, messageOwner_) == TextLog::Outcome::Declined)
        outcome.logDeclined = true;
    if (series_) {
        series_->Clear();
        viewed_ = false;
        series_->SetMin(options.lowerLimit);
        series_->SetMax(options.upperLimit);
    } else {
        showError("Ошибка размещения памяти под данные");
    }
    startTickSet_ = false;
    periodMs_ = std::max(0, options.periodMs);
    outcome.connected = true;
    return outcome;
}

void QrvxSession::startReading()
{
    if (!isConnected() || threadsRunning())
        return;
    platform::resetEvent(context_.stopEvent);
    if (!startTickSet_) {
        startTick_ = platform::tickCount();
        startTickSet_ = true;
    }
    if (functions_.readValue == nullptr || functions_.readPort == nullptr)
        return;
    buffer_.reset(new (std::nothrow) char[QRVX_BUFFER_SIZE]);
    if (!buffer_)
        return;
    {
        platform::waitForMutex(context_.lock, platform::kInfinite);
        context_.port = port_;
        context_.buffer = context_.readPos = context_.writePos = buffer_.get();
        platform::releaseMutex(context_.lock);
    }
    const QRVXReadPortFn readPort = functions_.readPort;
    QRVXContext* const context = &context_;
    receiveThread_ = std::thread([readPort, context] { readPort(context); });
    readingThread_ = std::thread(
        [this, run = run_, period = static_cast<std::uint32_t>(periodMs_)] { readingLoop(run, period); });
}

void QrvxSession::readingLoop(std::uint64_t run, std::uint32_t periodMs)
{
    char text[kFrameTextSize];
    for (;;) {
        const int value = functions_.readValue(&context_, text, sizeof text);
        const std::uint32_t tick = platform::tickCount();
        if (value > 0) {
            QByteArray frame(text);
            QMetaObject::invokeMethod(
                this, [this, run, frame, value, tick] { handleValue(run, frame, value, tick); }, Qt::QueuedConnection);
        }
        // The pause ends at once when the stop event is signalled.
        if (platform::waitForEvent(context_.stopEvent, periodMs))
            return;
    }
}

void QrvxSession::handleValue(std::uint64_t run, const QByteArray& frame, int value, std::uint32_t tick)
{
    if (run != run_)
        return;
    const long time = static_cast<std::int32_t>(tick - startTick_);
    emit valueReceived(QString::fromLatin1(frame), value, time);
    if (value <= 0)
        return;
    if (series_) {
        series_->Add(time, value, 0);
        if (saveResults_ && !series_->SaveResult()) {
            saveResults_ = false;
            emit saveResultsSwitchedOff();
            showError("Ошибка сохранения промежуточных результатов.");
        }
    }
    if (log_.isOpen())
        log_.write(logLine(platform::localTime(), static_cast<std::uint32_t>(value), 0.0));
}

void QrvxSession::stopThreads()
{
    ++run_;
    platform::setEvent(context_.stopEvent);
    if (readingThread_.joinable())
        readingThread_.join();
    if (receiveThread_.joinable())
        receiveThread_.join();
    platform::waitForMutex(context_.lock, platform::kInfinite);
    context_.buffer = context_.readPos = context_.writePos = nullptr;
    context_.port = nullptr;
    platform::releaseMutex(context_.lock);
    buffer_.reset();
}

void QrvxSession::closeLink()
{
    stopThreads();
    if (port_ != nullptr) {
        platform::closeHandle(port_);
        port_ = nullptr;
    }
    log_.close();
}

void QrvxSession::disconnectPort()
{
    if (!isConnected())
        return;
    closeLink();
    startTickSet_ = false;
    if (series_ && saveResults_ && !viewed_)
        series_->Save();
}

void QrvxSession::quit()
{
    closeLink();
}

bool QrvxSession::loadSeries(const QString& path)
{
    if (series_) {
        series_->Clear();
        viewed_ = true;
        if (series_->Read(path.toLocal8Bit().constData()))
            return true;
    }
    showError("Ошибка получения данных из файла");
    return false;
}
