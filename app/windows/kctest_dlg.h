// The main window of the Modbus front end: a view of one device session. It
// shows the device's identification, settings, state and readings, asks the
// operator (connecting, the settings sheet, quitting), and keeps the graph
// windows of the session's series. The stored settings are read when the
// window is made and written when the operator quits.
#pragma once

#include "graph/graph_kind.h"
#include "windows/link_status.h"
#include "session/stored_settings.h"

#include <QDialog>
#include <QTime>
#include <QTimer>

#include <memory>

class CGraphWnd;
class QLabel;
class DeviceSession;
class SettingsBackend;
struct IdentifiedDevice;
struct SessionReading;

namespace Ui {
class KCTestDlg;
}

class CKCTestDlg : public QDialog {
    Q_OBJECT

public:
    CKCTestDlg(DeviceSession& session, SettingsBackend& store, QWidget* parent = nullptr);
    ~CKCTestDlg() override;

    // Reads a saved series and shows it in the temperature graph, as the
    // graph button does after its file dialog; false after saying why.
    bool showSeriesFile(const QString& path);

    // Cancel, Escape and the close box: the quit question.
    void reject() override;

protected:
    bool event(QEvent* e) override;

private:
    void onConnectClicked();
    void connectPort();
    void disconnectPort();
    void onSettingsClicked();
    void onGraphClicked(graph::GraphKind kind);
    void showAbout();

    void onConnectionChanged(bool connected);
    void onIdentified(const IdentifiedDevice& device);
    void onStateRead(std::uint8_t state);
    void onReading(const SessionReading& reading);
    void onResultSavingFailed();

    void refreshParameterDisplay();
    void clearDeviceDisplay();
    void setupStatusBar();
    void refreshStatus();
    void showStale(bool stale);

    bool loadSeries(const QString& path);
    void showGraph(graph::GraphKind kind);
    std::unique_ptr<CGraphWnd>& graphOf(graph::GraphKind kind);
    void hideGraph(graph::GraphKind kind);

    std::unique_ptr<Ui::KCTestDlg> ui_;
    DeviceSession& session_;
    SettingsBackend& store_;
    StoredSettings stored_;
    std::unique_ptr<CGraphWnd> temperatureGraph_;
    std::unique_ptr<CGraphWnd> quantumGraph_;
    // The file name of the saved series the graphs show while disconnected.
    QString shownFile_;

    // The status bar: the link, the counts and the age of the last reading,
    // which a timer keeps current while connected.
    QLabel* linkPane_ = nullptr;
    QLabel* readingsPane_ = nullptr;
    QLabel* failuresPane_ = nullptr;
    QLabel* agePane_ = nullptr;
    QTimer statusTimer_;
    kc::LinkCounts counters_;
    Staleness staleness_{500};
    QTime lastReadingAt_;
    bool stale_ = false;
};
