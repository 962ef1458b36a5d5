#include "services/qsettings_backend.h"

QSettingsBackend::QSettingsBackend(const QString& group)
    : settings_(QSettings::IniFormat, QSettings::UserScope, "OSTRELAN", "KL_S"), group_(group)
{
}

QString QSettingsBackend::prefixed(const QString& key) const
{
    return group_.isEmpty() ? key : group_ + "/" + key;
}

QVariant QSettingsBackend::value(const QString& key, const QVariant& fallback) const
{
    return settings_.value(prefixed(key), fallback);
}

void QSettingsBackend::setValue(const QString& key, const QVariant& value)
{
    settings_.setValue(prefixed(key), value);
}
