// The QRVX link of the program without a widget, a sibling of the Modbus
// DeviceSession built from the same parts: the port, the one context with its
// buffer, lock and events, the receive thread (QRVXReadPort) and the reading
// thread (QRVXReadValue in a loop), and a SeriesRecorder with the series, its
// result file, the text log and the start tick. The program creates it and
// hands it to its window, which connects, starts reading, shows what
// valueReceived reports and says what went wrong.
//
// Threads: everything here but the two thread bodies runs on the thread the
// session lives on (the user-interface thread). The reading thread hands each
// value over as a queued call, dropped when its run has ended (every connect
// and every stop begins a new one), so nothing queued before a disconnect or
// quit arrives after it. Stopping signals the stop event and joins both
// threads before the port is closed.
#pragma once

#include "session/qrvx_settings.h"
#include "session/run_gate.h"
#include "session/series_recorder.h"

#include <qrvx.h>
#include <kcmb.h>

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <thread>

// The library functions the session uses; null where the library has none.
struct QrvxFunctions {
    QRVXOpenPortFn openPort = nullptr;
    QRVXReadValueFn readValue = nullptr;
    QRVXReadPortFn readPort = nullptr;
};

// Binds "QRVXOpenPort", "QRVXReadValue" and "QRVXReadPort" by name in the
// loaded library `module`.
QrvxFunctions bindQrvxFunctions(void* module);

class QrvxSession : public QObject {
    Q_OBJECT

public:
    // With the functions of the loaded library `module`.
    explicit QrvxSession(void* module, QObject* parent = nullptr);
    explicit QrvxSession(const QrvxFunctions& functions, QObject* parent = nullptr);
    // Stops and closes everything; saves the series when saving results is
    // on and it holds a value.
    ~QrvxSession() override;
    QrvxSession(const QrvxSession&) = delete;
    QrvxSession& operator=(const QrvxSession&) = delete;

    // The window the log question belongs to (opaque; may be null).
    void setBoxOwner(void* owner) { boxOwner_ = owner; }

    // Opens the port, the log when the settings ask for one (the log
    // question: Cancel leaves logging off), and begins a new series with the
    // settings' limits. False when the port or the library's open function is
    // missing. Reading starts with startReading.
    bool connectDevice(const QrvxSettings& settings);
    // Starts both threads on the open port; the start tick is taken at the
    // first start after connecting. Without the library's read functions or a
    // buffer nothing is read, and nothing is said.
    void startReading();
    // Stops the threads, closes the port and the log, and saves the series
    // when saving is on and it holds a value.
    void disconnectDevice();
    // For quitting: as disconnecting, but the series is saved when the
    // session ends.
    void close();

    bool isConnected() const { return port_ != nullptr; }
    void* port() const { return port_; }
    // True while either thread has not been joined.
    bool threadsRunning() const { return readingThread_.joinable() || receiveThread_.joinable(); }
    // Lines go to the text log (it opened at connecting).
    bool logging() const;

    // The series; null when it could not be allocated.
    TermDataFile* series() { return recorder_.series(); }
    // While disconnected: reads the saved series at `path` for viewing; it is
    // never saved again. False when it cannot be read.
    bool viewSeriesFile(const QString& path);
    bool savesResults() const { return recorder_.savesResults(); }
    void setSaveResults(bool on) { recorder_.setSaveResults(on); }

signals:
    // A value taken from the stream: the frame as received, its value, and
    // the time it was read in ms since the start tick. Recorded in the series
    // (when there is one) before this.
    void valueReceived(const QString& frameText, int value, long timeMs);
    // The series' result file could not be extended; saving is now off.
    void resultSavingFailed();

private:
    void stopThreads();
    void closeLink();
    void readingLoop(RunGate::Run run, std::uint32_t periodMs);
    void handleValue(const QByteArray& frame, int value, std::uint32_t tick);

    QrvxFunctions functions_;
    void* boxOwner_ = nullptr;
    void* port_ = nullptr;
    // The context's own handles live as long as the session; its buffer as
    // long as the threads run.
    QRVXContext context_{};
    std::unique_ptr<char[]> buffer_;
    int periodMs_ = 0;
    std::thread readingThread_;
    std::thread receiveThread_;
    RunGate runs_;
    SeriesRecorder recorder_;
};
