// The About box: the program's product and file versions.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class AboutDlg;
}

// The version the program was built with, "%u.%u.%u.%u", or "0.0.0.0" when
// the build did not say.
QString programVersion();

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;

private:
    std::unique_ptr<Ui::AboutDlg> ui_;
};
