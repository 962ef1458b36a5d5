// The device search dialog "Поиск прибора": scans the given port on a worker
// (DeviceSearch), lists every device that answers, sorted by its text, and on
// OK hands the chosen device's address and baud code back to its caller.
// The worker reports through WM_FIND_NOTIFY (wParam = kind, lParam = baud
// code + 256 x address, see device_search.h). Closing the dialog stops the
// search and closes it only once the worker has returned, so the worker
// never outlives the dialog nor keeps the port.
#pragma once

#include "settings/device_search.h"
#include "services/window_messages.h"

#include <QDialog>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

#include <memory>
#include <optional>

namespace Ui {
class DeviceFind;
}

constexpr unsigned WM_FIND_NOTIFY = WM_USER + 101;

class CDeviceFind : public QDialog {
    Q_OBJECT

public:
    explicit CDeviceFind(const QString& portName, QWidget* parent = nullptr);
    ~CDeviceFind() override;

    // After OK: the chosen device. Before: address 1, baud code 0.
    std::uint16_t address() const { return address_; }
    std::uint16_t baudCode() const { return baudCode_; }

    void accept() override;
    void reject() override;

protected:
    bool event(QEvent* e) override;

private:
    void onSearchClicked();
    void startSearch();
    void stopSearch();
    void handleReport(unsigned kind, std::intptr_t point);
    // Says how the search ended: how many devices it found, or why it could not run.
    void reportEnd(unsigned end);
    void addFound(std::intptr_t point);
    void showPoint(std::intptr_t point);
    void onSelectionChanged();
    std::optional<std::intptr_t> selectedPoint() const;
    // Stops the search and ends the dialog with `result` once the worker has returned.
    void closeWhenWorkerGone(int result);

    std::unique_ptr<Ui::DeviceFind> ui_;
    QString portName_;
    std::uint16_t address_ = 1;
    std::uint16_t baudCode_ = 0;
    // The found devices; each item's data is its baud code + 256 x address.
    QStandardItemModel found_;
    QSortFilterProxyModel sortedFound_;
    std::optional<int> pendingResult_;
    // Last, so that it is stopped and joined first when the dialog goes.
    DeviceSearch search_;
};
