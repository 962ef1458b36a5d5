// A pyrometer on the line, as both front ends ask it: its register map and
// the rules that read meaning into its words. The requests are single tries;
// how often to try, what to tell the operator and when to give up stay with
// the caller.
//
// Registers: 0 to 24 the identification; 256 to 260 the measurement block
// (the temperatures of modes 0 to 3, then the quantum count); 512 on the
// settings words, read and written as words 0 to 8 from 512 and words 9 on
// (current output, trigger) from 521; the limit table from 768 on, at most
// 10 words a request. Function 7 gives the state byte: the thermostat value
// in its low seven bits.
#pragma once

#include <kcmb/device_info.h>
#include <kcmb/device_model.h>
#include <kcmb/link_result.h>

#include <cstdint>
#include <vector>

namespace kc {

constexpr std::uint16_t kMeasurementRegister = 256;
constexpr int kMeasurementWords = 5;
constexpr int kQuantumWord = 4;
constexpr std::uint16_t kSettingsRegister = 512;
constexpr std::uint16_t kOutputSettingsRegister = 521;
// Settings words 0 to 8 go in the first block; the rest from register 521.
constexpr int kFirstSettingsWords = 9;
constexpr int kMaxLimitWordsPerRequest = 10;
constexpr std::uint8_t kThermostatBits = 0x7F;

// Modes 0 to 3 have their own temperature word; any other mode reads the
// plain measurement (word 0) rather than a word outside the block.
unsigned temperatureWordOf(unsigned mode);

// An emissivity word above 100 (1.00) can only be a ratio: such a device
// counts as a ratio device whatever its type code says.
bool reportsRatio(unsigned type, std::uint16_t emissivityWord);
// The type the program works with: the device's own, with the ratio bit
// once the device reports a ratio.
unsigned workingType(unsigned type, std::uint16_t emissivityWord);

// The thermostat value of a state byte; 0 once it is settled, and only then
// are temperatures read.
unsigned thermostatOf(std::uint8_t state);
bool isSettled(std::uint8_t state);

// Whether the device identified after the port came back is the one before:
// the same serial number and the same model. The ratio bit, which the program
// adds for a device that reports a ratio, does not make another device.
bool sameDevice(const v2DeviceInfo& before, const v2DeviceInfo& now);

// The measurement block as read, and the word the mode picks from it.
struct Measurement {
    std::uint16_t words[kMeasurementWords] = {};
    // The word of the temperature: the mode's, by temperatureWordOf.
    unsigned temperatureWord = 0;

    std::uint16_t temperature() const { return words[temperatureWord]; }
    std::uint16_t quantum() const { return words[kQuantumWord]; }
};

class Pyrometer {
public:
    Pyrometer(void* port, char address) : port_(port), address_(address) {}

    // Registers 0 to 24 and the type byte (getDeviceInfo).
    Result identify(DeviceInfo& info) const;
    // Function 7.
    Result readState(std::uint8_t& state) const;
    // The five words of the measurement block, the temperature taken from
    // the word of `mode`. On a failure `measurement` stays as it was.
    Result readMeasurement(unsigned mode, Measurement& measurement) const;
    // Settings word 0.
    Result readMode(std::uint16_t& mode) const;
    // Settings words 0 and 1.
    Result readModeAndEmissivity(std::uint16_t& mode, std::uint16_t& emissivity) const;
    // The first `count` settings words (9, 11 or 13: settingsWordsToRead), in
    // the two blocks.
    Result readSettings(KCConfig& config, int count) const;
    // The next request of the limit table of `layout`: at most 10 words from
    // word `at` into `words` (as many as the layout has); `at` moves past
    // them on success.
    Result readLimitWords(const LimitTableLayout& layout, int& at, std::vector<std::uint16_t>& words) const;
    // Settings words 0 to 8.
    Result writeSettings(const KCConfig& config) const;
    // Whether a device of this type and variant takes settings words 9 on:
    // it has a current output and more than 9 words to write.
    static bool hasOutputSettings(unsigned type, unsigned variant);
    // Settings words 9 on, as many as settingsWordsToWrite gives, for a
    // device that has them.
    Result writeOutputSettings(const KCConfig& config, unsigned type, unsigned variant) const;

private:
    void* port_;
    char address_;
};

}  // namespace kc
