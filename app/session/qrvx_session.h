// The QRVX link of the program without a widget: the port, the one context
// with its buffer, lock and events, the receive thread (QRVXReadPort) and the
// reading thread (QRVXReadValue in a loop), the series with its result file,
// the text log and the start tick. A view connects, starts reading and shows
// what valueReceived reports.
//
// Threads: everything here but the two thread bodies runs on the thread the
// session lives on (the user-interface thread). The reading thread hands each
// value over as a queued call; the session ignores calls of an earlier run
// (every connect and every stop begins a new one), so nothing queued before a
// disconnect or quit arrives after it. Stopping signals the stop event and
// joins both threads before the port is closed.
#pragma once

#include "session/text_log.h"

#include <qrvx.h>
#include <kcmb.h>

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
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
    struct ConnectOptions {
        QString port;
        // Pause of the reading thread after each value, ms; below 0 counts as 0.
        int periodMs = 0;
        bool log = false;
        QString logFileName;
        // The series' lower and upper limit.
        long lowerLimit = 0;
        long upperLimit = 0;
    };

    struct ConnectOutcome {
        bool connected = false;
        // The operator answered Cancel to the log question: log off.
        bool logDeclined = false;
    };

    // With the functions of the loaded library `module`.
    explicit QrvxSession(void* module, QObject* parent = nullptr);
    explicit QrvxSession(const QrvxFunctions& functions, QObject* parent = nullptr);
    // Stops and closes everything; saves the series when saving results is
    // on and it holds a value.
    ~QrvxSession() override;
    QrvxSession(const QrvxSession&) = delete;
    QrvxSession& operator=(const QrvxSession&) = delete;

    // The window message boxes belong to (opaque; null for none).
    void setMessageOwner(void* owner) { messageOwner_ = owner; }

    // Opens the port ("Ошибка открытия порта" when it or the library
    // function is missing), the log when asked for (the log question), and
    // clears the series and sets its limits. Reading starts with startReading.
    ConnectOutcome connectPort(const ConnectOptions& options);
    // Starts both threads on the open port; the start tick is taken at the
    // first start after connecting. Without the library's read functions or a
    // buffer nothing is read, and nothing is said.
    void startReading();
    // Stops the threads, closes the port and the log, forgets the start tick
    // and saves the series when saving results is on.
    void disconnectPort();
    // As disconnecting, but without saving (destruction saves).
    void quit();

    bool isConnected() const { return port_ != nullptr; }
    void* port() const { return port_; }
    // True while either thread has not been joined.
    bool threadsRunning() const { return readingThread_.joinable() || receiveThread_.joinable(); }
    bool logOpen() const { return log_.isOpen(); }

    TermDataFile* series() { return series_.get(); }
    // Clears the series and reads the .tdf file at `path` for viewing (it is
    // never saved again); false after "Ошибка получения данных из файла".
    bool loadSeries(const QString& path);

    bool saveResults() const { return saveResults_; }
    void setSaveResults(bool on) { saveResults_ = on; }

signals:
    // A value taken from the stream: the frame as received, its value, and
    // the time it was read in ms since the start tick.
    void valueReceived(const QString& frameText, int value, long timeMs);
    // Saving results turned itself off after a failed write of the result file.
    void saveResultsSwitchedOff();

private:
    void stopThreads();
    void closeLink();
    void readingLoop(std::uint64_t run, std::uint32_t periodMs);
    void handleValue(std::uint64_t run, const QByteArray& frame, int value, std::uint32_t tick);
    void showError(const char* text);

    QrvxFunctions functions_;
    void* messageOwner_ = nullptr;
    void* port_ = nullptr;
    // The context's own handles live as long as the session; its buffer as
    // long as the threads run.
    QRVXContext context_{};
    std::unique_ptr<char[]> buffer_;
    int periodMs_ = 0;
    std::thread readingThread_;
    std::thread receiveThread_;
    // Written and compared on the session's thread only; the reading thread
    // carries the value it was started with.
    std::uint64_t run_ = 0;
    std::unique_ptr<TermDataFile> series_;
    bool saveResults_ = false;
    // The series holds a viewed file rather than values read live.
    bool viewed_ = false;
    TextLog log_;
    std::uint32_t startTick_ = 0;
    bool startTickSet_ = false;
};
