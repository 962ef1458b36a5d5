#include "settings/prog_page.h"

#include "settings/value_text.h"

#include "ui_prog_page.h"

#include <limits>

namespace {

constexpr double kMsPerSecond = 1000.0;

// The attempt count is kept as a 16-bit signed number.
bool fitsAttempts(std::int32_t n)
{
    return n >= std::numeric_limits<std::int16_t>::min() && n <= std::numeric_limits<std::int16_t>::max();
}

}  // namespace

CProgPage::CProgPage(const ProgramSettings& program, QWidget* parent)
    : SettingsPage(parent), ui_(std::make_unique<Ui::ProgPage>()), program_(program)
{
    ui_->setupUi(this);
    ui_->attemptsEdit->setText(QString::number(program_.attempts));
    ui_->confirmCheck->setChecked(program_.confirmUpdate);
    ui_->logCheck->setChecked(program_.log);
    ui_->logFileEdit->setText(program_.logFileName);
    ui_->periodEdit->setText(numberText(program_.periodMs / kMsPerSecond));
    ui_->graphSpanEdit->setText(numberText(program_.graphSpanMs / kMsPerSecond));
}

CProgPage::~CProgPage() = default;

std::optional<PageProblem> CProgPage::check() const
{
    const auto attempts = parseInteger(ui_->attemptsEdit->text());
    if (!attempts || !fitsAttempts(*attempts))
        return PageProblem{notAnIntegerMessage(), ui_->attemptsEdit};
    for (QLineEdit* edit : {ui_->periodEdit, ui_->graphSpanEdit})
        if (!parseNumber(edit->text()))
            return PageProblem{notANumberMessage(), edit};
    return std::nullopt;
}

void CProgPage::store()
{
    program_.attempts = *parseInteger(ui_->attemptsEdit->text());
    program_.confirmUpdate = ui_->confirmCheck->isChecked();
    program_.log = ui_->logCheck->isChecked();
    program_.logFileName = ui_->logFileEdit->text();
    program_.periodMs = wholeUnits(*parseNumber(ui_->periodEdit->text()), kMsPerSecond);
    program_.graphSpanMs = wholeUnits(*parseNumber(ui_->graphSpanEdit->text()), kMsPerSecond);
}
