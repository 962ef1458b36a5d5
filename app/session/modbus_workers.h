// The worker threads of a Modbus device session: identification, polling and
// writing the settings. They do all device traffic and hand what they find
// out to the session as values through the reports of their context; they
// own nothing. The polling worker ends once the stop event is signalled; the
// identification runs while the event is still signalled after connecting, so
// it gives up early only when the session cancels it.
#pragma once

#include "session/link_state.h"

#include "platform/handle.h"

#include <atomic>
#include <cstdint>
#include <functional>

// What the identification found out.
struct IdentifiedDevice {
    // The identification as the device gave it: its type code carries no
    // ratio bit of the program's own.
    v2DeviceInfo deviceInfo{};
    // The device reported an emissivity word above 100: it counts as a ratio
    // (two-colour) device whatever its type code says.
    bool ratio = false;
    KCConfig config{};
    LimitTable limits{};
    std::uint16_t currentMode = 0;
};

// One reading, with the moment the device's answer came in.
struct Reading {
    std::uint32_t temperature = 0;
    std::uint32_t quantum = 0;
    std::uint16_t emissivity = 0;
    std::uint32_t tick = 0;
};

// How the workers report. Every report is called on the worker's thread.
struct WorkerReports {
    // The identification failed and may be tried again.
    std::function<void()> identifyAgain;
    std::function<void(const IdentifiedDevice&)> identified;
    // A state byte read at `tick`.
    std::function<void(std::uint8_t state, std::uint32_t tick)> stateRead;
    std::function<void(const Reading&)> reading;
    std::function<void()> written;
    // Every failed request, tries included; `caption` names the operation.
    std::function<void(const kc::Result& result, const char* caption)> requestFailed;
    // The port failed (an adapter pulled out, a hung-up line): the worker
    // has ended without a box; the session waits for the port.
    std::function<void()> portLost;
};

struct WorkerContext {
    void* port = nullptr;
    platform::Handle stopEvent = nullptr;
    LinkState* link = nullptr;
    WorkerReports reports;
    // The window that owns the workers' message boxes.
    void* owner = nullptr;
    // Set while the session waits for its workers to end (disconnect, quit,
    // the settings sheet): a worker then ends at the next request instead of
    // going through its remaining tries, and shows no box for a request cut
    // short that way.
    const std::atomic<bool>* cancel = nullptr;
    // A failed identification shows no box and is tried again (after the
    // port came back, the device may still be starting).
    bool quietIdentification = false;

    bool cancelled() const { return cancel != nullptr && cancel->load(); }
    // The stop event is signalled or the session waits for the worker.
    bool stopRequested() const;
};

// The polling cycle after `cycle` at a period of `periodMs`: the state is read
// in cycle 0, so about every 6 s (in every cycle when the period is longer).
int nextPollCycle(int cycle, int periodMs);

void runInformationWorker(const WorkerContext& context);
void runPollingWorker(const WorkerContext& context, int periodMs);
// Writes `config` to the device at `writeAddress`, the address it had when
// the settings sheet was opened.
void runWriteWorker(const WorkerContext& context, const KCConfig& config, std::uint8_t writeAddress);
