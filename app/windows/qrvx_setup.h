// The setup dialog of the QRVX main window ("Насторйки QRVX"): port, period,
// text log, graph span and the temperatures of the limit lists. It edits a
// copy of the values; the window takes them back only after OK.
#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QLineEdit;

namespace Ui {
class QRVXSetup;
}

struct QrvxSetupValues {
    QString port;
    // Pause after each value, in seconds.
    double periodSeconds = 0.0;
    bool log = false;
    QString logFileName;
    // Graph span in whole seconds.
    long spanSeconds = 0;
    long listStart = 0;
    long listEnd = 0;
    long listStep = 0;
};

class CQRVXSetup : public QDialog {
    Q_OBJECT

public:
    // Offers the ports that probeQrvxPorts finds and selects the one that
    // `values.port` names (COM2, com2 or \\.\COM2).
    CQRVXSetup(const QrvxSetupValues& values, QWidget* parent = nullptr);
    ~CQRVXSetup() override;

    // After OK the values taken from the controls; otherwise as given.
    const QrvxSetupValues& values() const { return values_; }

    // OK: the selected port (none selected: the name as given), then the
    // fields; a field that is no whole number, or a step of 0 or below, is
    // refused with a message and the dialog stays open.
    void accept() override;

private:
    bool takeWholeNumber(QLineEdit* edit, long& out);
    void refuse(QLineEdit* edit, const char* text);

    std::unique_ptr<Ui::QRVXSetup> ui_;
    QrvxSetupValues values_;
};
