// The settings sheet "Установки": the device page (only for a connected
// device, and then first), the communication page and the program page, with
// OK and Cancel. The sheet edits copies; its owner takes the edited values
// over when the sheet was closed with OK and decides what to apply:
//
//     CDevConfig sheet(values, connected ? &device : nullptr, this);
//     if (sheet.exec() == QDialog::Accepted)
//         apply(sheet.values());
//
// A page is checked when the operator leaves it and on OK; a page that
// fails keeps the sheet where it is and says why.
#pragma once

#include "settings/settings_values.h"

#include <QDialog>

#include <memory>

namespace Ui {
class DevConfig;
}

class CCommPage;
class CProgPage;
class SettingsPage;

class CDevConfig : public QDialog {
    Q_OBJECT

public:
    // `device` is the connected device, or null while disconnected.
    CDevConfig(const SheetValues& values, const DeviceFacts* device, QWidget* parent = nullptr);
    ~CDevConfig() override;

    // The values the sheet was given, or after OK the edited ones.
    const SheetValues& values() const { return values_; }

    // Checks every page, the current one first, then lets each page store.
    void accept() override;

private:
    void onCurrentChanged(int index);
    SettingsPage* pageAt(int index) const;
    // False, after saying why, when the page may not be left.
    bool pageMayBeLeft(int index);

    std::unique_ptr<Ui::DevConfig> ui_;
    SheetValues values_;
    // The working copy of the device settings the pages edit.
    KCConfig working_;
    CCommPage* commPage_ = nullptr;
    CProgPage* progPage_ = nullptr;
    int currentPage_ = 0;
};
