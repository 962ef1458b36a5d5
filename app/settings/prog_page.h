// The program page "Программа" of the settings sheet: tries per request,
// confirmation of device writes, the text log, the polling period and the
// span of the graph windows (the times in seconds).
#pragma once

#include "settings/settings_page.h"
#include "settings/settings_values.h"

#include <memory>

namespace Ui {
class ProgPage;
}

class CProgPage : public SettingsPage {
    Q_OBJECT

public:
    explicit CProgPage(const ProgramSettings& program, QWidget* parent = nullptr);
    ~CProgPage() override;

    // The settings as taken over by store().
    const ProgramSettings& settings() const { return program_; }

    // Only that each edit holds a number; the values have no range check.
    std::optional<PageProblem> check() const override;
    void store() override;

private:
    std::unique_ptr<Ui::ProgPage> ui_;
    ProgramSettings program_;
};
