// The About box: the program's product and file versions.
#pragma once

#include "ui_about_dlg.h"

#include <QDialog>

// The version the program was built with, "%u.%u.%u.%u", or "0.0.0.0" when
// the build did not say.
QString programVersion();

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

private:
    Ui::AboutDlg ui_;
};
