#include "session/qrvx_settings.h"

namespace {

long longValue(const SettingsBackend& store, const char* key, long fallback)
{
    return static_cast<long>(store.value(key, static_cast<qlonglong>(fallback)).toLongLong());
}

}  // namespace

QrvxSettings readQrvxSettings(const SettingsBackend& top, const SettingsBackend& qrvx)
{
    const QrvxSettings d;
    QrvxSettings s;
    s.port = top.value("Port", d.port).toString();
    s.periodMs = top.value("Period", d.periodMs).toInt();
    s.timeCoeffMs = top.value("TimeCoeff", d.timeCoeffMs).toInt();
    s.log = qrvx.value("Log", d.log ? 1 : 0).toInt() != 0;
    s.logFileName = qrvx.value("LogFileName", d.logFileName).toString();
    s.listStart = longValue(qrvx, "defMinTerm", d.listStart);
    s.listEnd = longValue(qrvx, "defMaxTerm", d.listEnd);
    s.listStep = longValue(qrvx, "Step", d.listStep);
    s.lowerLimit = longValue(qrvx, "MinTerm", d.lowerLimit);
    s.upperLimit = longValue(qrvx, "MaxTerm", d.upperLimit);
    return s;
}

void writeQrvxSettings(SettingsBackend& top, SettingsBackend& qrvx, const QrvxSettings& s)
{
    top.setValue("Port", s.port);
    top.setValue("Period", s.periodMs);
    top.setValue("TimeCoeff", s.timeCoeffMs);
    qrvx.setValue("Log", s.log ? 1 : 0);
    qrvx.setValue("LogFileName", s.logFileName);
    qrvx.setValue("defMinTerm", static_cast<qlonglong>(s.listStart));
    qrvx.setValue("defMaxTerm", static_cast<qlonglong>(s.listEnd));
    qrvx.setValue("Step", static_cast<qlonglong>(s.listStep));
    qrvx.setValue("MinTerm", static_cast<qlonglong>(s.lowerLimit));
    qrvx.setValue("MaxTerm", static_cast<qlonglong>(s.upperLimit));
}
