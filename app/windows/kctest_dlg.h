// The main window of the Modbus front end: connects to one pyrometer, shows
// its identification, settings and state, and handles its readings.
#pragma once

#include "link_state.h"
#include "modbus_workers.h"
#include "stored_settings.h"
#include "text_log.h"
#include "worker_thread.h"

#include <kcmb.h>

#include <QDialog>

#include <memory>

namespace Ui {
class KCTestDlg;
}

class CKCTestDlg : public QDialog {
    Q_OBJECT

public:
    // Reads the stored settings from `store`; quitting writes them back.
    explicit CKCTestDlg(SettingsBackend& store, QWidget* parent = nullptr);
    ~CKCTestDlg() override;

    bool isConnected() const { return port_ != nullptr; }
    void* port() const { return port_; }
    const StoredSettings& storedSettings() const { return stored_; }
    StoredSettings& storedSettings() { return stored_; }
    LinkState& link() { return link_; }
    TermDataFile* series() { return series_.get(); }

    // Writes the window's settings words to the device at `writeAddress` on
    // the write worker; on success the port follows the device to its new
    // speed and polling resumes. The settings sheet calls this after the
    // operator confirmed the change; polling must have been stopped first.
    void startWriteWorker(std::uint8_t writeAddress);

    // Signals the workers to stop and waits for them (see WorkerThread::join):
    // polling pauses until the next code 1. The settings sheet does this
    // before it opens.
    void pauseWorkers();

    // Cancel, Escape and the close box: the quit question.
    void reject() override;

protected:
    bool event(QEvent* e) override;

private:
    void onConnectClicked();
    void connectPort();
    void disconnectPort();
    void onSaveResultsToggled(bool on);
    void showAbout();

    void handleNotify(unsigned code, std::intptr_t argument);
    void onIdentified();
    void onState();
    void onReading();
    void onWritten();

    void refreshParameterDisplay();
    void clearDeviceDisplay();
    void stopWorkers();
    void startInformationWorker();
    void startPollingWorker();
    WorkerContext workerContext();

    std::unique_ptr<Ui::KCTestDlg> ui_;
    SettingsBackend& store_;
    StoredSettings stored_;
    platform::Handle stopEvent_;
    void* port_ = nullptr;
    LinkState link_;
    // The window's copy of the device information; its type code carries the
    // ratio bit once the device turned out to be a ratio device.
    v2DeviceInfo deviceInfo_{};
    std::unique_ptr<TermDataFile> series_;
    bool saveResults_ = true;
    TextLog log_;
    // The moment readings count from: the first settled state after
    // connecting, or the first reading when none was seen before it.
    std::uint32_t startTick_ = 0;
    bool startTickSet_ = false;
    // Tells the workers to end while the window waits for them.
    std::atomic<bool> cancel_{false};
    WorkerThread infoWorker_;
    WorkerThread pollWorker_;
    WorkerThread writeWorker_;
};
