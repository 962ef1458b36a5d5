// The settings of the QRVX main window that live in the per-user store, with
// their defaults: "Port", "Period" and "TimeCoeff" at the top level, which
// the Modbus window shares, and the rest in the group "QRVX".
#pragma once

#include "session/settings_backend.h"

#include <QString>

struct QrvxSettings {
    QString port = "com1";
    // Pause of the reading thread after each value, ms (0: take every frame).
    int periodMs = 500;
    // Largest time span the graph shows, ms (0: the whole series).
    int timeCoeffMs = 0;
    bool log = false;
    QString logFileName = "qrvx.log";
    // The temperatures the limit lists offer: from listStart in steps of
    // listStep while below listEnd.
    long listStart = 0;
    long listEnd = 500000;
    long listStep = 100;
    // The chosen limits of the measured range, °C.
    long lowerLimit = 0;
    long upperLimit = 500000;
};

// Every key, its default when it is missing; `top` is the top level of the
// store, `qrvx` its group "QRVX".
QrvxSettings readQrvxSettings(const SettingsBackend& top, const SettingsBackend& qrvx);

// In the order "Port", "Period", "TimeCoeff" at the top level, then "Log",
// "LogFileName", "defMinTerm", "defMaxTerm", "Step", "MinTerm", "MaxTerm" in
// the group; "Log" as exactly 0 or 1.
void writeQrvxSettings(SettingsBackend& top, SettingsBackend& qrvx, const QrvxSettings& settings);
