// The per-user settings store of the program: an INI file of organisation
// OSTRELAN, application KL_S. Keys of the main settings lie at the top level;
// the second protocol's window uses the group "QRVX".
#pragma once

#include "session/settings_backend.h"

#include <QSettings>

class QSettingsBackend : public SettingsBackend {
public:
    // `group` empty for the top level.
    explicit QSettingsBackend(const QString& group = QString());

    QVariant value(const QString& key, const QVariant& fallback) const override;
    void setValue(const QString& key, const QVariant& value) override;

private:
    QString prefixed(const QString& key) const;

    mutable QSettings settings_;
    QString group_;
};
