// CLimitDlg "Пределы": the temperature ruler's range and window typed by
// hand. The dialog holds the four values; the graph window fills it from the
// ruler and applies what the user confirmed.
#pragma once

#include <QDialog>

#include <memory>

class QLineEdit;

namespace Ui {
class LimitDlg;
}

class CLimitDlg : public QDialog {
    Q_OBJECT

public:
    explicit CLimitDlg(QWidget* parent = nullptr);
    ~CLimitDlg() override;

    struct Limits {
        long maximum = 0;
        long minimum = 0;
        long winMaximum = 0;
        long winMinimum = 0;
    };
    // Shows the values in the edits.
    void setLimits(const Limits& limits);
    // The values taken from the edits by the last OK.
    const Limits& limits() const { return limits_; }

    // OK: takes the four edits as whole numbers and closes; an edit that
    // holds no whole number is refused with "Введите целое число." and gets
    // the focus with its text selected.
    void accept() override;

private:
    std::unique_ptr<Ui::LimitDlg> ui_;
    Limits limits_;
};
