#include "session/qrvx_session.h"

#include "session/stop_event.h"

#include "platform/clock.h"
#include "platform/handle.h"
#include "platform/library.h"
#include "platform/sync.h"

#include <QFile>

#include <algorithm>
#include <new>

namespace {

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
    : QObject(parent), functions_(functions)
{
    // Results are saved once the operator asks for it.
    recorder_.setSaveResults(false);
    context_.stopEvent = createStopEvent();
    context_.lock = platform::createMutex(nullptr);
    context_.dataEvent = platform::createEvent(nullptr, false, false);
}

QrvxSession::~QrvxSession()
{
    close();
    recorder_.saveWhole();
    platform::closeHandle(context_.dataEvent);
    platform::closeHandle(context_.lock);
    platform::closeHandle(context_.stopEvent);
}

bool QrvxSession::connectDevice(const QrvxSettings& settings)
{
    if (isConnected())
        return true;
    void* port = functions_.openPort ? functions_.openPort(settings.port.toLocal8Bit().constData()) : nullptr;
    if (port == nullptr)
        return false;
    port_ = port;
    runs_.next();
    recorder_.begin();
    // Cancel at the log question switches logging off.
    const bool declined =
        settings.log && recorder_.log().open(settings.logFileName, boxOwner_) == TextLog::Outcome::Declined;
    recorder_.setLogging(settings.log && !declined);
    if (TermDataFile* series = recorder_.series()) {
        series->SetMin(settings.lowerLimit);
        series->SetMax(settings.upperLimit);
    }
    periodMs_ = std::max(0, settings.periodMs);
    return true;
}

bool QrvxSession::logging() const
{
    return recorder_.logging();
}

void QrvxSession::startReading()
{
    if (!isConnected() || threadsRunning())
        return;
    platform::resetEvent(context_.stopEvent);
    recorder_.noteStart(platform::tickCount());
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
        [this, run = runs_.current(), period = static_cast<std::uint32_t>(periodMs_)] { readingLoop(run, period); });
}

void QrvxSession::readingLoop(RunGate::Run run, std::uint32_t periodMs)
{
    char text[kFrameTextSize];
    for (;;) {
        const int value = functions_.readValue(&context_, text, sizeof text);
        const std::uint32_t tick = platform::tickCount();
        if (value > 0) {
            QByteArray frame(text);
            runs_.deliver(this, run, [this, frame, value, tick] { handleValue(frame, value, tick); });
        }
        // The pause ends at once when the stop event is signalled.
        if (platform::waitForEvent(context_.stopEvent, periodMs))
            return;
    }
}

void QrvxSession::handleValue(const QByteArray& frame, int value, std::uint32_t tick)
{
    SessionReading recorded;
    const bool saved = recorder_.record(Reading{static_cast<std::uint32_t>(value), 0, 0, tick}, 1.0, recorded);
    emit valueReceived(QString::fromLatin1(frame), value, recorded.timeMs);
    if (!saved)
        emit resultSavingFailed();
}

void QrvxSession::stopThreads()
{
    runs_.next();
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
    recorder_.log().close();
}

void QrvxSession::disconnectDevice()
{
    if (!isConnected())
        return;
    closeLink();
    recorder_.saveWhole();
}

void QrvxSession::close()
{
    closeLink();
}

bool QrvxSession::viewSeriesFile(const QString& path)
{
    return !isConnected() && recorder_.view(QFile::encodeName(path).toStdString());
}
