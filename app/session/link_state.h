// What the device workers of the main window find out about the device and
// hand to the window. Workers write under the lock and then post a code; the
// window reads under the lock when it handles the code.
#pragma once

#include <kcmb.h>

#include <atomic>
#include <cstdint>
#include <mutex>

struct LinkFields {
    v2DeviceInfo deviceInfo{};
    KCConfig config{};
    LimitTable limits = initialLimitTable();
    std::uint16_t currentMode = 0;
    // The last status byte: bit 7 = setting up, low seven bits = thermostat.
    std::uint8_t state = 0;
    std::uint32_t temperature = 0;
    std::uint32_t quantum = 0;
};

class LinkState {
public:
    LinkState() { KCSetDefaultConfig(&fields_.config); }

    // A copy of every field.
    LinkFields snapshot() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return fields_;
    }

    // Runs `change` on the fields under the lock.
    template <class F>
    void update(F&& change)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        change(fields_);
    }

private:
    mutable std::mutex mutex_;
    LinkFields fields_;
};

// The program-wide number of tries per device request ("NumErrors").
std::atomic<std::uint16_t>& attemptCount();
