// The link to one Modbus pyrometer, without a widget: the port, the workers
// that do all device traffic, the measurement series, its result file, the
// text log and the moment readings count from. Windows attach to it and show
// what its signals carry; the settings sheet pauses it and has it write.
//
// Everything here runs on the thread that created the session (the program's
// user-interface thread); the workers report to it by queued calls. Each
// connection, pause and resume starts a new run, and a report of an earlier
// run is dropped, so nothing queued before a disconnect, a pause or a quit
// ever acts after it.
//
// A port that fails (a USB adapter pulled out) does not end the session: the
// port is closed, the series and its file stay, and the session tries to open
// the same port name again every half second. When it opens, the device is
// identified again and polling resumes into the same series; a different
// device (another serial number or type) is polled only after the operator
// agreed to record it into the same series, or else into a new one.
#pragma once

#include "session/link_state.h"
#include "session/modbus_workers.h"
#include "session/run_gate.h"
#include "session/series_recorder.h"
#include "session/stored_settings.h"
#include "session/worker_thread.h"

#include <kcmb.h>

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

class DeviceSession : public QObject {
    Q_OBJECT

public:
    enum class State { Disconnected, Identifying, Polling, Paused, WaitingForPort };

    explicit DeviceSession(QObject* parent = nullptr);
    // Stops the workers, closes the port, and saves the series when saving is
    // on and it holds a reading.
    ~DeviceSession() override;

    // The window the workers' message boxes belong to (opaque; may be null).
    void setBoxOwner(void* owner) { boxOwner_ = owner; }

    // Opens the port at the configuration's speed and starts the
    // identification. False when the port cannot be opened; `why` then says
    // why. The series is cleared and the text log opened (which may ask).
    bool connectDevice(const StoredSettings& settings, KCOpenError* why = nullptr);
    // Stops the workers, closes the port and the log, and saves the series
    // when saving is on and it holds a reading.
    void disconnectDevice();
    // For quitting: stops the workers and closes the port and the log; the
    // series is saved when the session ends.
    void close();

    // Stops polling and waits for the workers; polling resumes with
    // resumePolling or after writeSettings. Only while connected.
    void pausePolling();
    // Polling again (after the settings sheet), as after the identification.
    void resumePolling();
    // Takes an edited configuration (the settings sheet's OK): its address
    // and mode count from the next request, its speed from the next
    // connection or settings write.
    void setConfig(const KCConfig& config);
    // The polling period, ms: it counts from the next start of polling (the
    // settings sheet's resume included).
    void setPeriod(int periodMs) { settings_.program.periodMs = periodMs; }
    // While paused: writes the configuration to the device at `writeAddress`
    // (its address when the sheet was opened) on the write worker. On success
    // the port follows the device to its new speed; polling resumes in every
    // outcome, once. While the port is away, the write waits for it: once
    // the same device is identified there again, the configuration is
    // written before polling resumes.
    void writeSettings(std::uint8_t writeAddress);
    // Settings confirmed while the port was away wait to be written.
    bool writePending() const { return pendingWrite_.has_value(); }

    // The device on the port has been identified since connecting or since
    // the port came back: its settings words are the device's own. (While
    // identifying, the configuration holds what the session had before.)
    bool hasIdentifiedDevice() const { return identifiedDevice_; }

    State state() const { return state_; }
    // Connected by the operator, whether or not the port is there right now.
    bool isConnected() const { return state_ != State::Disconnected; }
    // The open port; null while disconnected or waiting for the port.
    void* port() const { return port_; }
    // The settings it connected with, as changed since.
    const StoredSettings& settings() const { return settings_; }

    // The device as the program works with it (the type code with its ratio
    // bit), as identified.
    v2DeviceInfo deviceInfo() const { return link_.snapshot().deviceInfo; }
    KCConfig config() const { return link_.snapshot().config; }
    LimitTable limits() const { return link_.snapshot().limits; }
    std::uint16_t currentMode() const { return link_.snapshot().currentMode; }

    // The series; null when it could not be allocated.
    TermDataFile* series() { return recorder_.series(); }
    // While disconnected: reads the saved series at `path` into the series
    // for viewing; it is never saved again. False when it cannot be read.
    bool viewSeriesFile(const QString& path);
    bool savesResults() const { return recorder_.savesResults(); }
    void setSaveResults(bool on) { recorder_.setSaveResults(on); }
    bool logging() const { return settings_.program.log; }
    // Logging switched in the settings sheet: lines stop or go on at once;
    // the log file is opened or closed at the next connection.
    void setLogging(bool on);

signals:
    // The identification is done (the device as it gave it, the ratio flag,
    // settings, limit table, mode); polling starts.
    void identified(const IdentifiedDevice& device);
    // A state byte: bit 7 setting up, low seven bits the thermostat.
    void stateRead(std::uint8_t state);
    // A reading, recorded in the series (when there is one) before this.
    void reading(const SessionReading& reading);
    // The settings were written; the configuration is the new one.
    void settingsWritten();
    // A request failed (each try); `caption` names the operation; the text
    // is KCGetErrorTxt(result).
    void requestFailed(const kc::Result& result, const QString& caption);
    // The series' result file could not be extended; saving is now off.
    void resultSavingFailed();
    // Settings confirmed while the port was away were not written (the
    // operator disconnected, or another device came on the port).
    void pendingSettingsDropped();
    void connectionChanged(bool connected);
    // Polling paused or resumed.
    void pollingChanged(bool polling);
    // The port failed; the session waits for it to come back.
    void portLost();
    // The port opened again; the device is being identified.
    void portBack();

private:
    WorkerContext contextFor(RunGate::Run run);
    void startIdentification();
    void startPolling();
    void stopWorkers();
    void finishRun();

    void onIdentifyAgain();
    void onIdentified(RunGate::Run run, const IdentifiedDevice& device);
    void onStateRead(std::uint8_t state, std::uint32_t tick);
    void onReading(const Reading& reading);
    void onWritten();
    void onWriteEnded();
    void onPortLost();
    // Ends the run and closes the port.
    void releasePort();
    // Tries the port by its name every half second until it opens.
    void waitForPort();
    void tryReopen();
    bool openPort(KCOpenError* why);
    // Asks whether readings of a device other than `before` go into the same
    // series; true when they do.
    bool continueSeriesWith(const v2DeviceInfo& before, const v2DeviceInfo& now);
    // Settings to be written once the port is back.
    struct SettingsWrite {
        KCConfig config;
        std::uint8_t address;
    };
    void holdWrite(const SettingsWrite& write);
    void dropPendingWrite();

    void* boxOwner_ = nullptr;
    platform::Handle stopEvent_;
    void* port_ = nullptr;
    State state_ = State::Disconnected;
    // A new run at every connection, pause, resume and disconnect.
    RunGate runs_;
    StoredSettings settings_;
    LinkState link_;
    SeriesRecorder recorder_;
    std::atomic<bool> cancel_{false};
    // Tries to open the port again while waiting for it.
    QTimer reopenTimer_;
    // The identification is of a port that came back: no box when the device
    // does not answer yet, and its device is compared with the series'.
    bool reidentifying_ = false;
    bool identifiedDevice_ = false;
    // What the session was doing when it paused, and the device's own
    // configuration then (to talk to it again while a write waits).
    State pausedFrom_ = State::Polling;
    KCConfig configAtPause_{};
    // The write on the write worker, and a write waiting for the port.
    std::optional<SettingsWrite> writing_;
    std::optional<SettingsWrite> pendingWrite_;
    WorkerThread infoWorker_;
    WorkerThread pollWorker_;
    WorkerThread writeWorker_;
};
