// Rules of the device page that need no widget: which controls a device
// has, the ranges and scales of the spin buttons, the values the page starts
// with, their checks and how they become settings words.
#pragma once

#include <kcmb.h>

#include <QString>

#include <cstdint>
#include <optional>

// The trigger value that means "no trigger".
constexpr std::int32_t kTriggerOff = 15000;

struct DevPageLayout {
    bool ratio = false;
    // The emissivity word is the value x divisor (1000 for ratio devices).
    double divisor = 100.0;
    bool currentOutput = false;
    bool trigger = false;
};

DevPageLayout devPageLayout(unsigned type);

// A spin button whose position p stands for the value origin + p x step (in
// tenths of a second or in °C); positions run from lower to upper.
struct SpinScale {
    int lower = 0;
    int upper = 0;
    int origin = 0;
    int step = 1;

    int valueAt(int position) const { return origin + position * step; }
    // The position that stands for the value, or the nearest end of the range.
    int positionOf(int value) const;
};

struct DevPageSpins {
    SpinScale minSampling;
    SpinScale maxSampling;
    SpinScale tMin;
    SpinScale tMax;
    // The trigger and hysteresis spins show their position as the value.
    // None: the spin is hidden and keeps its range unset.
    std::optional<SpinScale> trigger;
    std::optional<SpinScale> hysteresis;
};

DevPageSpins devPageSpins(const DevPageLayout& layout, const LimitTable* limits);

// How many smoothing steps the list offers: up to the table's highest step,
// at most the 12 steps that have names.
int smoothingStepCount(const LimitTable* limits);

struct DevPageValues {
    // The selected items of the lists and the checked current-output radio
    // button (0 mA, 4 mA); none when nothing is selected.
    std::optional<int> mode;
    std::optional<int> smoothing;
    std::optional<int> currentOutput;
    double emissivity = 0;
    double minSampling = 0;  // seconds
    double maxSampling = 0;  // seconds
    std::int32_t tMin = 0;   // °C
    std::int32_t tMax = 0;   // °C
    bool triggerOn = false;
    std::int32_t trigger = 0;
    std::int32_t hysteresis = 0;
};

// The values the page starts with. A device without a current output shows
// 0 to 50 °C; one without a trigger shows trigger 0 and hysteresis 1 with the
// trigger off.
DevPageValues devPageValuesOf(const KCConfig& config, const DevPageLayout& layout);

enum class DevField { Emissivity, MinSampling, MaxSampling, TMax, Hysteresis, Trigger };

struct DevProblem {
    QString message;
    DevField field;
};

// The first check the values fail, in the order the page checks them.
std::optional<DevProblem> checkDevPage(const DevPageValues& values, const DevPageLayout& layout,
                                       const LimitTable* limits);

// Puts the values into the settings words (words 6 to 8 stay as they are);
// a trigger that is switched off is stored as 15000.
void storeDevPage(const DevPageValues& values, const DevPageLayout& layout, KCConfig& config);
