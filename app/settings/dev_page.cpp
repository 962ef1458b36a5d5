#include "settings/dev_page.h"

#include "settings/value_text.h"

#include "ui_dev_page.h"

namespace {

constexpr unsigned short kModeCount = 4;

void setShown(std::initializer_list<QWidget*> widgets, bool shown)
{
    for (QWidget* w : widgets)
        w->setVisible(shown);
}

void applyScale(CSpinButton* spin, const SpinScale& scale, int value)
{
    spin->setRange(scale.lower, scale.upper);
    spin->setPosition(scale.positionOf(value));
}

}  // namespace

CDevPage::CDevPage(KCConfig& config, const DeviceFacts& device, QWidget* parent)
    : SettingsPage(parent),
      ui_(std::make_unique<Ui::DevPage>()),
      config_(config),
      layout_(devPageLayout(device.type)),
      limits_(device.limits),
      spins_(devPageSpins(layout_, limits()))
{
    ui_->setupUi(this);
    ui_->emissivityLabel->setText(layout_.ratio ? QStringLiteral("Отношение степеней черноты")
                                                : QStringLiteral("Степень черноты"));
    setShown({ui_->tMinLabel, ui_->tMinEdit, ui_->tMinSpin, ui_->tMaxLabel, ui_->tMaxEdit, ui_->tMaxSpin},
             layout_.currentOutput);
    setShown({ui_->triggerButton, ui_->triggerEdit, ui_->triggerSpin, ui_->hysteresisLabel, ui_->hysteresisEdit,
              ui_->hysteresisSpin},
             layout_.trigger);
    fillLists();
    showValues(devPageValuesOf(config_, layout_));
    connectSpins();
    connect(ui_->triggerButton, &QPushButton::clicked, this, &CDevPage::onTriggerClicked);
}

CDevPage::~CDevPage() = default;

void CDevPage::fillLists()
{
    for (unsigned short mode = 0; mode < kModeCount; ++mode)
        ui_->modeCombo->addItem(QString::fromUtf8(KCGetDevModeName(mode)), mode);
    const int steps = smoothingStepCount(limits());
    for (int step = 0; step < steps; ++step)
        ui_->smoothingCombo->addItem(QString::fromUtf8(KCGetSplineStepName(static_cast<unsigned short>(step))), step);
}

void CDevPage::showValues(const DevPageValues& values)
{
    ui_->modeCombo->setCurrentIndex(values.mode ? ui_->modeCombo->findData(*values.mode) : -1);
    ui_->smoothingCombo->setCurrentIndex(values.smoothing ? ui_->smoothingCombo->findData(*values.smoothing) : -1);
    ui_->emissivityEdit->setText(numberText(values.emissivity));
    ui_->minSamplingEdit->setText(numberText(values.minSampling));
    ui_->maxSamplingEdit->setText(numberText(values.maxSampling));
    ui_->zeroMaRadio->setChecked(values.currentOutput == 0);
    ui_->fourMaRadio->setChecked(values.currentOutput == 1);
    ui_->tMinEdit->setText(QString::number(values.tMin));
    ui_->tMaxEdit->setText(QString::number(values.tMax));
    ui_->triggerEdit->setText(QString::number(values.trigger));
    ui_->hysteresisEdit->setText(QString::number(values.hysteresis));

    // Each spin starts at the position that stands for its edit's value.
    applyScale(ui_->minSamplingSpin, spins_.minSampling, wholeUnits(values.minSampling, 10.0));
    applyScale(ui_->maxSamplingSpin, spins_.maxSampling, wholeUnits(values.maxSampling, 10.0));
    applyScale(ui_->tMinSpin, spins_.tMin, values.tMin);
    applyScale(ui_->tMaxSpin, spins_.tMax, values.tMax);
    if (spins_.trigger)
        applyScale(ui_->triggerSpin, *spins_.trigger, values.trigger);
    if (spins_.hysteresis)
        applyScale(ui_->hysteresisSpin, *spins_.hysteresis, values.hysteresis);

    if (layout_.trigger) {
        ui_->triggerButton->setChecked(values.triggerOn);
        setShown({ui_->triggerEdit, ui_->triggerSpin}, values.triggerOn);
    }
}

void CDevPage::connectSpins()
{
    // The edit follows the spin to the value its new position stands for.
    connect(ui_->minSamplingSpin, &CSpinButton::positionChanged, this,
            [this](int p) { ui_->minSamplingEdit->setText(numberText(spins_.minSampling.valueAt(p) / 10.0)); });
    connect(ui_->maxSamplingSpin, &CSpinButton::positionChanged, this,
            [this](int p) { ui_->maxSamplingEdit->setText(numberText(spins_.maxSampling.valueAt(p) / 10.0)); });
    connect(ui_->tMinSpin, &CSpinButton::positionChanged, this,
            [this](int p) { ui_->tMinEdit->setText(QString::number(spins_.tMin.valueAt(p))); });
    connect(ui_->tMaxSpin, &CSpinButton::positionChanged, this,
            [this](int p) { ui_->tMaxEdit->setText(QString::number(spins_.tMax.valueAt(p))); });
    ui_->triggerSpin->setBuddy(ui_->triggerEdit);
    ui_->hysteresisSpin->setBuddy(ui_->hysteresisEdit);
}

void CDevPage::onTriggerClicked(bool on)
{
    if (!layout_.trigger)
        return;
    setShown({ui_->triggerEdit, ui_->triggerSpin}, on);
    if (!on) {
        ui_->triggerEdit->setText(QString::number(kTriggerOff));
        return;
    }
    // A trigger that was off (15000) comes back at the spin's position.
    const auto trigger = parseInteger(ui_->triggerEdit->text());
    if (limits_ && (!trigger || *trigger > (*limits_)[kLimitTrigger].maximum))
        ui_->triggerEdit->setText(QString::number(ui_->triggerSpin->position()));
}

std::optional<PageProblem> CDevPage::readControls(DevPageValues& values) const
{
    const std::pair<QLineEdit*, double*> numbers[] = {{ui_->emissivityEdit, &values.emissivity},
                                                      {ui_->minSamplingEdit, &values.minSampling},
                                                      {ui_->maxSamplingEdit, &values.maxSampling}};
    for (const auto& [edit, value] : numbers) {
        const auto n = parseNumber(edit->text());
        if (!n)
            return PageProblem{notANumberMessage(), edit};
        *value = *n;
    }
    const std::pair<QLineEdit*, std::int32_t*> integers[] = {{ui_->tMinEdit, &values.tMin},
                                                             {ui_->tMaxEdit, &values.tMax},
                                                             {ui_->triggerEdit, &values.trigger},
                                                             {ui_->hysteresisEdit, &values.hysteresis}};
    for (const auto& [edit, value] : integers) {
        const auto n = parseInteger(edit->text());
        if (!n)
            return PageProblem{notAnIntegerMessage(), edit};
        *value = *n;
    }
    if (ui_->modeCombo->currentIndex() >= 0)
        values.mode = ui_->modeCombo->currentData().toInt();
    if (ui_->smoothingCombo->currentIndex() >= 0)
        values.smoothing = ui_->smoothingCombo->currentData().toInt();
    if (ui_->zeroMaRadio->isChecked())
        values.currentOutput = 0;
    else if (ui_->fourMaRadio->isChecked())
        values.currentOutput = 1;
    values.triggerOn = layout_.trigger && ui_->triggerButton->isChecked();
    return std::nullopt;
}

QLineEdit* CDevPage::editOf(DevField field) const
{
    switch (field) {
    case DevField::Emissivity: return ui_->emissivityEdit;
    case DevField::MinSampling: return ui_->minSamplingEdit;
    case DevField::MaxSampling: return ui_->maxSamplingEdit;
    case DevField::TMax: return ui_->tMaxEdit;
    case DevField::Hysteresis: return ui_->hysteresisEdit;
    case DevField::Trigger: return ui_->triggerEdit;
    }
    return nullptr;
}

std::optional<PageProblem> CDevPage::check() const
{
    DevPageValues values;
    if (auto problem = readControls(values))
        return problem;
    if (const auto problem = checkDevPage(values, layout_, limits()))
        return PageProblem{problem->message, editOf(problem->field)};
    return std::nullopt;
}

void CDevPage::store()
{
    DevPageValues values;
    readControls(values);
    storeDevPage(values, layout_, config_);
}
