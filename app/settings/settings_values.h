// What the settings sheet edits, as plain values: the owner fills them in,
// runs the sheet and, when it was closed with OK, takes the edited values
// over and applies them.
#pragma once

#include <kcmb.h>

#include <QString>

#include <cstdint>
#include <optional>

// The serial line of the program: the port and how the modem lines are handled.
struct CommSettings {
    QString portName;
    bool automaticFlow = true;
    // Manual states of the lines while sending and while receiving: 0 drop,
    // 1 raise, 255 leave alone.
    std::uint8_t sendDTR = 255;
    std::uint8_t sendRTS = 255;
    std::uint8_t recvDTR = 255;
    std::uint8_t recvRTS = 255;
};

// The program's own settings; times in milliseconds (the page shows seconds).
struct ProgramSettings {
    int attempts = 5;
    bool confirmUpdate = false;
    bool log = false;
    QString logFileName;
    std::int32_t periodMs = 0;
    std::int32_t graphSpanMs = 200000;
};

// The connected device whose settings the device page edits.
struct DeviceFacts {
    // The type code as the program knows it (with the ratio bit of a device
    // that reported an emissivity word above 100) and the variant code.
    unsigned type = 0;
    unsigned variant = 0;
    // The device's limit table; without one the page uses fixed ranges.
    std::optional<LimitTable> limits;
};

struct SheetValues {
    // The device settings: the device page edits words 0-5 and 9-12, the
    // communication page the speed (6), time-out (7) and address (8).
    KCConfig config{};
    CommSettings comm;
    ProgramSettings program;
};
