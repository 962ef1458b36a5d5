// The settings of the Modbus main window: one model, carried from the
// per-user store to the settings sheet, to the session and back to the store,
// with its defaults here and nowhere else.
#pragma once

#include "session/settings_backend.h"

#include <QString>

#include <cstdint>

// The serial line of the program: the port and how the modem lines are handled.
struct CommSettings {
    QString portName = "com1";
    bool automaticFlow = true;
    // Manual states of the lines while sending and while receiving: 0 drop,
    // 1 raise, 255 leave alone.
    std::uint8_t sendDTR = 255;
    std::uint8_t sendRTS = 255;
    std::uint8_t recvDTR = 255;
    std::uint8_t recvRTS = 255;
};

// The program's own settings; times in milliseconds (the sheet shows seconds).
struct ProgramSettings {
    // Tries per device request ("NumErrors").
    int attempts = 5;
    bool confirmUpdate = true;
    bool log = false;
    QString logFileName = "kl_s.log";
    std::int32_t periodMs = 500;
    // Largest span the graph windows show (0: the whole series).
    std::int32_t graphSpanMs = 0;
    // Show the quantum count of each reading; never written by the program.
    bool readQuant = false;
};

struct StoredSettings {
    CommSettings comm;
    ProgramSettings program;
};

// Every key, its default when it is missing.
StoredSettings readStoredSettings(const SettingsBackend& store);

// Every key but "Read Quant", in the order "Port", "NumErrors", "Period",
// "Confirm Update", "Log", "LogFileName", "TimeCoeff", "FlowControl",
// "SendDTR", "SendRTS", "RecvDTR", "RecvRTS"; booleans as exactly 0 or 1.
void writeStoredSettings(SettingsBackend& store, const StoredSettings& settings);
