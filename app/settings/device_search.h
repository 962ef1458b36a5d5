// The device search without a widget: one worker thread scans a serial port
// for devices at the seven offered speeds and the addresses 1 to 255 by
// sending each the state request, and reports what it does through a
// callback that it calls on its own thread (the dialog turns the reports
// into posted messages):
//   kind 0 (found):    a device answered at lParam = baud code + 256 x address
//   kind 1 (progress): that speed and address is about to be tried
//   kind 2 (ended):    the scan ended by itself; lParam 0: complete, 1: the
//                      port did not open, 2: this program holds the port
//   kind 3 (gone):     the worker has returned, after kind 2 or after a stop
// The named manual-reset event "EndFindThread" is signalled while no search
// runs and tells a running one to stop: the worker tests it before each
// request, so a stop takes effect within one reply time-out. The worker
// opens the port with KCOpenPort and always closes it with KCClosePort, so
// the port table holds nothing of it afterwards.
#pragma once

#include "platform/handle.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

enum SearchReport : unsigned {
    kSearchFound = 0,
    kSearchProgress = 1,
    kSearchEnded = 2,
    kSearchGone = 3,
};

// The argument of kSearchEnded.
enum SearchEnd : unsigned {
    kSearchComplete = 0,
    kSearchOpenFailed = 1,
    kSearchPortHeld = 2,
};

// A full scan: 7 speeds x 255 addresses.
constexpr unsigned kSearchAddresses = 255;
constexpr int kSearchSteps = 7 * 255;
// Reply time-out of a quick search, ms (a normal search keeps the 2000 ms
// that KCOpenPort sets).
constexpr int kQuickSearchTimeoutMs = 100;

// The argument of a report: the baud code in the low byte, the address above.
constexpr std::intptr_t searchPoint(unsigned baudCode, unsigned address)
{
    return static_cast<std::intptr_t>(baudCode + 256 * address);
}
constexpr unsigned baudCodeOfPoint(std::intptr_t point)
{
    return static_cast<unsigned>(point & 0xFF);
}
constexpr unsigned addressOfPoint(std::intptr_t point)
{
    return static_cast<unsigned>((point >> 8) & 0xFF);
}
// The progress position of a point: c x 255 + a, 1 to 1785.
constexpr int searchProgress(std::intptr_t point)
{
    return static_cast<int>(baudCodeOfPoint(point) * kSearchAddresses + addressOfPoint(point));
}

class DeviceSearch {
public:
    using Report = std::function<void(unsigned kind, std::intptr_t argument)>;

    explicit DeviceSearch(Report report);
    // Stops a running search and waits for its worker.
    ~DeviceSearch();
    DeviceSearch(const DeviceSearch&) = delete;
    DeviceSearch& operator=(const DeviceSearch&) = delete;

    // Starts a scan of the port; false while the previous worker has not
    // returned yet (it still holds the port).
    bool start(const std::string& portName, bool quick);
    // Tells the running search to stop; returns at once.
    void stop();
    // A search runs and has not been told to stop.
    bool searching() const;
    // The worker has not returned yet (it may be finishing its last request).
    bool running() const { return running_.load(); }
    // Waits until the worker has returned.
    void join();

private:
    void scan(const std::string& portName, bool quick);

    Report report_;
    platform::Handle stopEvent_;
    std::thread worker_;
    std::atomic<bool> running_{false};
};
