// The main window of the QRVX front end: a view of a QrvxSession. It keeps
// the stored settings, connects and disconnects, shows every frame or value
// in a scrolling field and the latest value in a box, offers the limit lists,
// opens the graph window on the live series or on a .tdf file, and opens the
// setup dialog.
#pragma once

#include "windows/link_status.h"
#include "session/qrvx_session.h"
#include "session/qrvx_settings.h"
#include "services/window_messages.h"

#include <QDialog>
#include <QTime>
#include <QTimer>
#include <QString>

#include <memory>

class CGraphWnd;
class QStringListModel;

namespace Ui {
class QRVXDlg;
}

// Sent by the window to itself after connecting: start reading.
constexpr unsigned WM_QRVX_STARTREAD = WM_USER + 205;

class CQRVXDlg : public QDialog {
    Q_OBJECT

public:
    // Shows and drives `session`. Reads the settings from `top` (the store's
    // top level) and `qrvx` (its group "QRVX"); quitting writes them back.
    CQRVXDlg(QrvxSession& session, SettingsBackend& top, SettingsBackend& qrvx, QWidget* parent = nullptr);
    ~CQRVXDlg() override;

    const QrvxSettings& settings() const { return settings_; }
    // The text of the frame field as its rule counts it (lines end in CR LF).
    const QString& shownFrameText() const { return shown_; }
    // The graph window, once the operator opened it.
    CGraphWnd* graphWindow() const { return graph_.get(); }

    // Escape and the close box: the quit question.
    void reject() override;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void onConnectClicked();
    void connectPort();
    void disconnectPort();
    void startReading();
    void onValue(const QString& frameText, int value, long timeMs);
    // Greys an overdue temperature, with the time it was read.
    void refreshStale();
    void appendToFrameField(const QString& text);
    void clearFrameField();
    void openGraph();
    // Hides the graph window, keeping where the operator left it.
    void hideGraph();
    void openSetup();
    void showAbout();

    void fillLowerLimitList();
    void fillUpperLimitList();
    void takeValues();
    void putValues();
    void onLowerLimitEdited();
    void onUpperLimitEdited();
    void onLowerLimitChosen();
    void onUpperLimitChosen();

    std::unique_ptr<Ui::QRVXDlg> ui_;
    SettingsBackend& top_;
    SettingsBackend& qrvx_;
    QrvxSettings settings_;
    // 0: frames as received, 1: values only.
    int displayMode_ = 0;
    QString shown_;
    QStringListModel* lowerLimitItems_;
    QStringListModel* upperLimitItems_;
    QrvxSession& session_;
    std::unique_ptr<CGraphWnd> graph_;
    // When the last value came, checked twice a second while connected.
    Staleness staleness_{0};
    QTime lastValueAt_;
    QTimer staleTimer_;
};
