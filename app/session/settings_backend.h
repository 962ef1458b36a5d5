// Where the program's settings are kept: QSettings in the program, a
// recording fake in tests.
#pragma once

#include <QString>
#include <QVariant>

class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;
    virtual QVariant value(const QString& key, const QVariant& fallback) const = 0;
    virtual void setValue(const QString& key, const QVariant& value) = 0;
};
