// The communication page "Связь" of the settings sheet: the port, the
// device's speed, address and time-out (words 6 to 8 of the sheet's working
// copy) and the handling of the modem lines; it launches the device search.
#pragma once

#include "settings/settings_page.h"
#include "settings/settings_values.h"

#include <memory>

namespace Ui {
class CommPage;
}

class CCommPage : public SettingsPage {
    Q_OBJECT

public:
    // `config` is the sheet's working copy; the page changes it only in store().
    CCommPage(KCConfig& config, const CommSettings& comm, QWidget* parent = nullptr);
    ~CCommPage() override;

    // The port and line settings, as taken over by store().
    const CommSettings& settings() const { return comm_; }

    std::optional<PageProblem> check() const override;
    void store() override;

private:
    void fillPorts();
    void fillSpeeds();
    void selectSpeed(unsigned code);
    void setAutomaticFlow(bool on);
    void updateFlowControls();
    void searchDevice();

    std::unique_ptr<Ui::CommPage> ui_;
    KCConfig& config_;
    CommSettings comm_;
};
