// Helpers of the program's tests: an in-memory settings store that records
// what is written, and waiting while the event loop runs.
#pragma once

#include "session/settings_backend.h"

#include <QCoreApplication>
#include <QMap>
#include <QStringList>

#include <chrono>
#include <functional>
#include <thread>

class MemorySettings : public SettingsBackend {
public:
    QVariant value(const QString& key, const QVariant& fallback) const override
    {
        return values.contains(key) ? values.value(key) : fallback;
    }
    void setValue(const QString& key, const QVariant& value) override
    {
        values[key] = value;
        written << key;
    }

    QMap<QString, QVariant> values;
    QStringList written;
};

// Runs the event loop until `condition` holds or `deadline` passes; returns
// the condition's last value.
inline bool processUntil(const std::function<bool()>& condition,
                         std::chrono::milliseconds deadline = std::chrono::milliseconds(10000))
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
