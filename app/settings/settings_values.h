// What the settings sheet edits, as plain values: the owner fills them in,
// runs the sheet and, when it was closed with OK, takes the edited values
// over and applies them.
#pragma once

#include "session/stored_settings.h"

#include <kcmb.h>

#include <cstdint>
#include <optional>

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
