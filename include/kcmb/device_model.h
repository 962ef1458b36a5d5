// What the program knows of the pyrometer models, in one place: the type code
// and its ratio flag, the settings words a model has, its limit table and the
// line speeds of the baud codes. The simulator keeps its own copy on purpose,
// so that it checks this one instead of sharing its mistakes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// Bit of the type code that marks a ratio (two-colour) device; the program
// also sets it on a device that reports an emissivity word above 100.
constexpr unsigned kRatioTypeBit = 0x80;

bool isRatioDevice(unsigned type);
// 1000 for ratio devices (the word holds the emissivity ratio x 1000), else 100.
double emissivityDivisor(unsigned type);
// A current output, and so settings words from 9 on.
bool hasCurrentOutput(unsigned type);
// A trigger and its hysteresis (settings words 11 and 12).
bool hasTrigger(unsigned type);

// The number of settings words a device of this type and variant has when
// the program reads them (9, 11 or 13).
int settingsWordsToRead(unsigned type, unsigned variant);
// The number of settings words the program writes to a device (9, 11 or 13).
int settingsWordsToWrite(unsigned type, unsigned variant);

// Line speed of a baud code: 0..8 are 600 to 115200 baud, any other 19200.
std::uint32_t baudRateOfCode(unsigned code);
// The program offers the codes 0 to 6 (the ones with a name).
constexpr unsigned kOfferedBaudCodes = 7;

// One entry of the per-device limit table: the range and step of a setting.
struct LimitEntry {
    std::uint16_t minimum = 0;
    std::uint16_t maximum = 0;
    std::uint8_t step = 0;
    std::uint16_t extra = 0;
};

constexpr int kLimitEntryCount = 13;
using LimitTable = std::array<LimitEntry, kLimitEntryCount>;

// Entries the settings pages use.
enum LimitIndex {
    kLimitSmoothing = 1,
    kLimitMinSampling = 2,
    kLimitMaxSampling = 3,
    kLimitOutputTMin = 8,
    kLimitOutputTMax = 9,
    kLimitTrigger = 10,
    kLimitHysteresis = 11,
};

// Where a device keeps its table: register 768 + base, N packed records of 7
// bytes after `lead` bytes.
struct LimitTableLayout {
    std::uint16_t base;
    int entries;
    int lead;

    std::uint16_t firstRegister() const { return static_cast<std::uint16_t>(768 + base); }
    // Words to read: the lead byte and N records of 7 bytes, in whole words.
    int wordCount() const { return lead + 7 * entries / 2; }
};

// The layout of a device type, or none for types that have no table.
std::optional<LimitTableLayout> limitTableLayout(unsigned type, unsigned variant);

// The table before anything is read: the fallback entries, 12 smoothing steps.
LimitTable initialLimitTable();

// Puts the fallback entries into the table (others keep their contents).
void applyFallbackLimits(LimitTable& table, int lowerRange, int upperRange);

// Fills entries 0 to N - 2 from the words as read (host order, each holding two
// bytes of the table, most significant first); entry 10 takes the device's
// measuring range as minimum and maximum.
void decodeLimitTable(const LimitTableLayout& layout, const std::vector<std::uint16_t>& words, int lowerRange,
                      int upperRange, LimitTable& table);
