// What the workers of a device session share with the session: the device
// as the program works with it, its settings words and limit table, and the
// mode that picks the temperature word. Workers and session read and write
// it under its lock; readings and states travel as values instead.
#pragma once

#include <kcmb.h>

#include <atomic>
#include <cstdint>
#include <mutex>

struct LinkFields {
    // The identification; its type code carries the ratio bit once the
    // device turned out to be a ratio device.
    v2DeviceInfo deviceInfo{};
    KCConfig config{};
    LimitTable limits = initialLimitTable();
    std::uint16_t currentMode = 0;
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
