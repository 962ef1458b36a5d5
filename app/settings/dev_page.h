// The device page "Пирометр" of the settings sheet: the connected device's
// own settings (mode, emissivity, smoothing, sampling times, current output,
// trigger and hysteresis) within the ranges of its limit table. Which
// controls it shows follows from the device's type code.
#pragma once

#include "settings/device_page_rules.h"
#include "settings/settings_page.h"
#include "settings/settings_values.h"

#include <memory>

namespace Ui {
class DevPage;
}

class CDevPage : public SettingsPage {
    Q_OBJECT

public:
    // `config` is the sheet's working copy; the page changes it only in store().
    CDevPage(KCConfig& config, const DeviceFacts& device, QWidget* parent = nullptr);
    ~CDevPage() override;

    std::optional<PageProblem> check() const override;
    void store() override;

private:
    void fillLists();
    void showValues(const DevPageValues& values);
    void connectSpins();
    void onTriggerClicked(bool on);
    const LimitTable* limits() const { return limits_ ? &*limits_ : nullptr; }
    // Reads the controls into `values`; the first edit that holds no number
    // is the problem.
    std::optional<PageProblem> readControls(DevPageValues& values) const;
    QLineEdit* editOf(DevField field) const;

    std::unique_ptr<Ui::DevPage> ui_;
    KCConfig& config_;
    DevPageLayout layout_;
    std::optional<LimitTable> limits_;
    DevPageSpins spins_;
};
