#include "settings/device_search.h"

#include "platform/sync.h"

#include <kcmb.h>

DeviceSearch::DeviceSearch(Report report)
    : report_(std::move(report)), stopEvent_(platform::createEvent("EndFindThread", true, true))
{
}

DeviceSearch::~DeviceSearch()
{
    stop();
    join();
    platform::closeHandle(stopEvent_);
}

bool DeviceSearch::start(const std::string& portName, bool quick)
{
    if (running_)
        return false;
    join();
    platform::resetEvent(stopEvent_);
    running_ = true;
    worker_ = std::thread([this, portName, quick] {
        scan(portName, quick);
        running_ = false;
        report_(kSearchGone, 0);
    });
    return true;
}

void DeviceSearch::stop()
{
    platform::setEvent(stopEvent_);
}

bool DeviceSearch::searching() const
{
    return !platform::waitForEvent(stopEvent_, 0);
}

void DeviceSearch::join()
{
    if (worker_.joinable())
        worker_.join();
}

void DeviceSearch::scan(const std::string& portName, bool quick)
{
    // The guard closes the port as KCClosePort does, on every path, so the
    // search leaves nothing behind in the port table.
    KCOpenError why = KC_OPEN_OK;
    HandleGuard port = KCOpenPortWhy(portName.c_str(), 0, &why);
    if (!port) {
        report_(kSearchEnded, why == KC_OPEN_HELD ? kSearchPortHeld : kSearchOpenFailed);
        return;
    }
    if (quick)
        KCSetTimeOut(port.get(), kQuickSearchTimeoutMs);
    for (unsigned code = 0; code < kOfferedBaudCodes; ++code) {
        // A speed the port refuses leaves the previous one; the scan goes on.
        KCSetPortSpeed(port.get(), static_cast<char>(code));
        for (unsigned address = 1; address <= kSearchAddresses; ++address) {
            const std::intptr_t point = searchPoint(code, address);
            report_(kSearchProgress, point);
            if (platform::waitForEvent(stopEvent_, 0))
                return;
            unsigned short status = 0;
            if (readException(port.get(), static_cast<char>(address), &status) == KC_OK)
                report_(kSearchFound, point);
        }
    }
    // Closed before the end is reported, so that the port is free again.
    port.reset();
    report_(kSearchEnded, kSearchComplete);
}
