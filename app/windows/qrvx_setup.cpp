#include "windows/qrvx_setup.h"

#include "settings/port_probe.h"
#include "windows/qrvx_rules.h"

#include "ui_qrvx_setup.h"

#include "platform/message_box.h"

#include <QPushButton>

CQRVXSetup::CQRVXSetup(const QrvxSettings& settings, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::QRVXSetup>()), values_(settings)
{
    ui_->setupUi(this);
    // Modal to the window that opened it; the graph windows stay usable.
    setWindowModality(Qt::WindowModal);
    ui_->buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    ui_->buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));

    ui_->periodEdit->setText(QString::asprintf("%0.2f", values_.periodMs / 1000.0));
    ui_->logCheck->setChecked(values_.log);
    ui_->logFileEdit->setText(values_.logFileName);
    ui_->spanEdit->setText(QString::number(values_.timeCoeffMs / 1000));
    ui_->listStartEdit->setText(QString::number(values_.listStart));
    ui_->listEndEdit->setText(QString::number(values_.listEnd));
    ui_->listStepEdit->setText(QString::number(values_.listStep));

    showPortChoices(*ui_->portCombo, probeQrvxPorts(), values_.port);
}

CQRVXSetup::~CQRVXSetup() = default;

void CQRVXSetup::refuse(QLineEdit* edit, const char* text)
{
    platform::showMessageBox(text, "Ошибка", platform::MessageButtons::Ok, platform::MessageIcon::Warning, this);
    edit->setFocus();
    edit->selectAll();
}

bool CQRVXSetup::takeWholeNumber(QLineEdit* edit, long& out)
{
    bool ok = false;
    const long value = edit->text().trimmed().toLong(&ok);
    if (!ok) {
        refuse(edit, "Введите целое число.");
        return false;
    }
    out = value;
    return true;
}

void CQRVXSetup::accept()
{
    QrvxSettings taken = values_;
    taken.port = portChosenIn(*ui_->portCombo, values_.port);
    taken.periodMs = millisecondsOf(periodSecondsOf(ui_->periodEdit->text()));
    taken.log = ui_->logCheck->isChecked();
    taken.logFileName = ui_->logFileEdit->text();
    long spanSeconds = 0;
    if (!takeWholeNumber(ui_->spanEdit, spanSeconds) || !takeWholeNumber(ui_->listStartEdit, taken.listStart)
        || !takeWholeNumber(ui_->listEndEdit, taken.listEnd) || !takeWholeNumber(ui_->listStepEdit, taken.listStep))
        return;
    // The limit lists count up in this step; one of 0 or below never ends.
    if (taken.listStep <= 0) {
        refuse(ui_->listStepEdit, "Шаг по температуре должен быть больше нуля.");
        return;
    }
    // Every start of the window builds the lists: they stay short.
    if (limitListCount(taken.listStart, taken.listEnd, taken.listStep) > kLimitListMaxEntries) {
        refuse(ui_->listStepEdit, "Список температур не может содержать более 10000 значений: "
                                  "увеличьте шаг или сократите диапазон.");
        return;
    }
    taken.timeCoeffMs = millisecondsOf(static_cast<double>(spanSeconds));
    values_ = taken;
    QDialog::accept();
}
