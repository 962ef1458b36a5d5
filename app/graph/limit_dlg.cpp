#include "graph/limit_dlg.h"

#include "ui_limit_dlg.h"

#include "platform/message_box.h"

#include <QLineEdit>

namespace {

// The edit's text as a whole number, spaces around it allowed.
bool takeLong(QLineEdit* edit, long& value)
{
    bool ok = false;
    const long parsed = edit->text().trimmed().toLong(&ok);
    if (ok)
        value = parsed;
    return ok;
}

}  // namespace

CLimitDlg::CLimitDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::LimitDlg>())
{
    ui_->setupUi(this);
    connect(ui_->okButton, &QPushButton::clicked, this, &CLimitDlg::accept);
    setLimits(limits_);
}

CLimitDlg::~CLimitDlg() = default;

void CLimitDlg::setLimits(const Limits& limits)
{
    limits_ = limits;
    ui_->maxEdit->setText(QString::number(limits.maximum));
    ui_->minEdit->setText(QString::number(limits.minimum));
    ui_->winMaxEdit->setText(QString::number(limits.winMaximum));
    ui_->winMinEdit->setText(QString::number(limits.winMinimum));
}

void CLimitDlg::accept()
{
    Limits typed;
    const std::pair<QLineEdit*, long*> fields[] = {{ui_->maxEdit, &typed.maximum},
                                                   {ui_->minEdit, &typed.minimum},
                                                   {ui_->winMaxEdit, &typed.winMaximum},
                                                   {ui_->winMinEdit, &typed.winMinimum}};
    for (const auto& [edit, value] : fields) {
        if (!takeLong(edit, *value)) {
            platform::showMessageBox("Введите целое число.", "Ошибка", platform::MessageButtons::Ok,
                                     platform::MessageIcon::Warning, static_cast<QWidget*>(this));
            edit->setFocus();
            edit->selectAll();
            return;
        }
    }
    limits_ = typed;
    QDialog::accept();
}
