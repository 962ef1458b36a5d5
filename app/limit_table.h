// The per-device limit table: the ranges and steps of the device settings,
// read from the device's registers from 768 on.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

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
