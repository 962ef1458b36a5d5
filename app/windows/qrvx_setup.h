// The setup dialog of the QRVX main window ("Насторйки QRVX"): port, period,
// text log, graph span and the temperatures of the limit lists. It edits a
// copy of the window's settings, the period and the span in seconds; the
// window takes them back only after OK.
#pragma once

#include "session/qrvx_settings.h"

#include <QDialog>
#include <QString>

#include <memory>

class QLineEdit;

namespace Ui {
class QRVXSetup;
}

class CQRVXSetup : public QDialog {
    Q_OBJECT

public:
    // Offers the ports that probeQrvxPorts finds and selects the one that
    // `settings.port` names (COM2, com2 or \\.\COM2).
    CQRVXSetup(const QrvxSettings& settings, QWidget* parent = nullptr);
    ~CQRVXSetup() override;

    // After OK the settings taken from the controls; otherwise as given.
    const QrvxSettings& values() const { return values_; }

    // OK: the selected port (none selected: the name as given), then the
    // fields; a field that is no whole number, or a step of 0 or below, is
    // refused with a message and the dialog stays open.
    void accept() override;

private:
    bool takeWholeNumber(QLineEdit* edit, long& out);
    void refuse(QLineEdit* edit, const char* text);

    std::unique_ptr<Ui::QRVXSetup> ui_;
    QrvxSettings values_;
};
