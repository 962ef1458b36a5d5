// The worker threads of the Modbus main window: identification, polling and
// writing the settings. They do all device traffic, write what they learn
// into the LinkState and report by posting codes to the window:
//   0 try the identification again, 1 identification done, 3 state read,
//   5 temperature read, 6 settings written, 7 quantum read (lParam = count).
// The polling worker ends once the stop event is signalled; the
// identification runs while the event is still signalled after connecting,
// so it gives up early only when the window cancels it.
#pragma once

#include "link_state.h"

#include "platform/handle.h"

#include <atomic>
#include <cstdint>
#include <functional>

enum NotifyCode : unsigned {
    kNotifyIdentify = 0,
    kNotifyIdentified = 1,
    kNotifyStartPolling = 2,
    kNotifyState = 3,
    kNotifyReading = 5,
    kNotifyWritten = 6,
    kNotifyQuantum = 7,
};

struct WorkerContext {
    void* port = nullptr;
    platform::Handle stopEvent = nullptr;
    LinkState* link = nullptr;
    // Posts a code with its argument to the window; callable from the worker.
    std::function<void(unsigned code, std::intptr_t argument)> post;
    // The window that owns the workers' message boxes.
    void* owner = nullptr;
    // Set while the window waits for its workers to end (disconnect, quit,
    // the settings sheet): a worker then ends at the next request instead of
    // going through its remaining tries.
    const std::atomic<bool>* cancel = nullptr;

    bool cancelled() const { return cancel != nullptr && cancel->load(); }
    // The stop event is signalled or the window waits for the worker.
    bool stopRequested() const;
};

// The polling cycle after `cycle` at a period of `periodMs`: the state is read
// in cycle 0, so about every 6 s (in every cycle when the period is longer).
int nextPollCycle(int cycle, int periodMs);

void runInformationWorker(const WorkerContext& context);
void runPollingWorker(const WorkerContext& context, int periodMs, bool readQuantum);
// Writes the settings to the device at `writeAddress`, the address it had
// when the settings sheet was opened.
void runWriteWorker(const WorkerContext& context, std::uint8_t writeAddress);
