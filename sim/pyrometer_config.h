// What a simulated pyrometer is: its model, identification, measuring range,
// settings, limit table, signal and thermostat, with the defaults of each
// model.
#pragma once

#include "limit_table.h"
#include "temperature_signal.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Older devices keep a two-character serial number and leave register 12 at
// 0; newer ones have four characters and the date ends in register 12.
enum class IdLayout { Older, Newer };

constexpr int kSettingsWords = 13;
constexpr std::uint16_t kSettingsRegister = 512;
constexpr std::uint16_t kReadingsRegister = 256;
constexpr int kIdentificationWords = 25;
constexpr std::uint16_t kTriggerOff = 15000;
// The value newer devices put in register 22 instead of their type code.
constexpr std::uint16_t kNewIdentificationMark = 9;

struct PyrometerConfig {
    std::uint8_t address = 1;
    int baudCode = 5;
    int type = 3;
    // 0: the type code is in register 22. Non-zero: register 22 holds
    // kNewIdentificationMark and the type comes from function 5 and register
    // 23; the variant the program derives is then 2 for type 135, else 1.
    int variant = 0;
    IdLayout layout = IdLayout::Newer;
    std::string serial;            // 4 characters (newer layout) or 2 (older)
    std::string year;              // up to 4 characters
    std::string verified;          // DDMMYYYY
    int rangeMin = 0;              // °C
    int rangeMax = 0;
    int sensor = 0;
    std::uint16_t reg2 = 0;
    int typeByte = 0;              // the byte of function 5; -1: function 5 unknown
    std::array<std::uint16_t, kSettingsWords> settings{};
    std::vector<LimitEntry> limits;
    SignalParams signal;
    int thermostatStart = 0;       // 0..127
    std::chrono::milliseconds settling{0};
};

// Whether the simulator knows the model of a type code (0, 1, 2, 3, 6, 131,
// 135).
bool isPyrometerType(int type);

// A device of the given model with the defaults of that model at address 1,
// 19200 baud. Throws std::invalid_argument for an unknown type or a variant
// the model cannot report.
PyrometerConfig defaultPyrometer(int type, int variant, IdLayout layout);

// Fills what follows from the range, the address and the baud code after
// they were changed: default settings, limits and signal.
void deriveDefaults(PyrometerConfig& config);

// How many settings words the model has: 9, 11 or 13.
int settingsWordCount(int type, int variant);

// Registers 0 to 24.
std::array<std::uint16_t, kIdentificationWords> identificationRegisters(const PyrometerConfig& config);

}  // namespace sim
