// The settings of the Modbus main window that live in the per-user store,
// with their defaults, and the order in which quitting writes them.
#pragma once

#include "session/settings_backend.h"

#include <QString>

#include <cstdint>

struct StoredSettings {
    QString port = "com1";
    std::uint16_t numErrors = 5;
    std::int32_t periodMs = 500;
    bool confirmUpdate = true;
    bool log = false;
    QString logFileName = "kl_s.log";
    std::int32_t timeCoeffMs = 0;
    bool readQuant = false;
    bool automaticFlow = true;
    std::uint8_t sendDTR = 255;
    std::uint8_t sendRTS = 255;
    std::uint8_t recvDTR = 255;
    std::uint8_t recvRTS = 255;
};

// Every key, its default when it is missing.
StoredSettings readStoredSettings(const SettingsBackend& store);

// Every key but "Read Quant", in the order "Port", "NumErrors", "Period",
// "Confirm Update", "Log", "LogFileName", "TimeCoeff", "FlowControl",
// "SendDTR", "SendRTS", "RecvDTR", "RecvRTS"; booleans as exactly 0 or 1.
void writeStoredSettings(SettingsBackend& store, const StoredSettings& settings);
