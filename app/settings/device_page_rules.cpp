#include "settings/device_page_rules.h"

#include "settings/value_text.h"

#include <algorithm>

namespace {

constexpr int kNamedSmoothingSteps = 12;
constexpr int kModeCount = 4;

// The ranges the page uses for a device without a limit table.
const LimitTable& fixedLimits()
{
    static const LimitTable table = initialLimitTable();
    return table;
}

const LimitTable& limitsOrFixed(const LimitTable* limits)
{
    return limits != nullptr ? *limits : fixedLimits();
}

// Positions 0 to (maximum - minimum) / step standing for minimum + p x step. A
// table with a step of 0 or a maximum below its minimum gets step 1 and a
// single position rather than a division by zero or a negative range.
SpinScale scaleOf(const LimitEntry& entry)
{
    const int step = std::max(1, static_cast<int>(entry.step));
    const int span = std::max(0, static_cast<int>(entry.maximum) - static_cast<int>(entry.minimum));
    return {0, span / step, entry.minimum, step};
}

SpinScale plainRange(int lower, int upper)
{
    return {lower, std::max(lower, upper), 0, 1};
}

std::uint16_t word(std::int32_t value)
{
    return static_cast<std::uint16_t>(value);
}

std::optional<DevProblem> samplingProblem(double seconds, const LimitEntry& entry, DevField field)
{
    const double lower = entry.minimum / 10.0;
    const double upper = entry.maximum / 10.0;
    if (seconds >= lower && seconds <= upper)
        return std::nullopt;
    return DevProblem{QString::asprintf("Ошибка при вводе времени выборки.\nДопустимое значение %0.1f сек. - %0.1f "
                                        "сек., с шагом %0.1f сек.",
                                        lower, upper, entry.step / 10.0),
                      field};
}

}  // namespace

DevPageLayout devPageLayout(unsigned type)
{
    return {isRatioDevice(type), emissivityDivisor(type), hasCurrentOutput(type), hasTrigger(type)};
}

int SpinScale::positionOf(int value) const
{
    return std::clamp((value - origin) / step, lower, upper);
}

DevPageSpins devPageSpins(const DevPageLayout& layout, const LimitTable* limits)
{
    DevPageSpins spins;
    const LimitTable& table = limitsOrFixed(limits);
    spins.minSampling = scaleOf(table[kLimitMinSampling]);
    spins.maxSampling = scaleOf(table[kLimitMaxSampling]);
    const LimitTable& output = layout.currentOutput ? table : fixedLimits();
    spins.tMin = scaleOf(output[kLimitOutputTMin]);
    spins.tMax = scaleOf(output[kLimitOutputTMax]);
    if (limits == nullptr) {
        spins.trigger = plainRange(0, kTriggerOff);
        spins.hysteresis = plainRange(1, 100);
    } else if (!layout.currentOutput) {
        spins.trigger = plainRange(0, kTriggerOff);
        spins.hysteresis = plainRange(0, 100);
    } else if (layout.trigger) {
        spins.trigger = plainRange(table[kLimitTrigger].minimum, table[kLimitTrigger].maximum);
        spins.hysteresis = plainRange(table[kLimitHysteresis].minimum, table[kLimitHysteresis].maximum);
    }
    return spins;
}

int smoothingStepCount(const LimitTable* limits)
{
    if (limits == nullptr)
        return kNamedSmoothingSteps;
    return std::min(kNamedSmoothingSteps, (*limits)[kLimitSmoothing].maximum + 1);
}

DevPageValues devPageValuesOf(const KCConfig& config, const DevPageLayout& layout)
{
    DevPageValues values;
    if (config.mode < kModeCount)
        values.mode = config.mode;
    values.smoothing = config.smoothing;
    if (config.currentOutput <= 1)
        values.currentOutput = config.currentOutput;
    values.emissivity = config.emissivity / layout.divisor;
    values.minSampling = config.minSampling / 10.0;
    values.maxSampling = config.maxSampling / 10.0;
    if (layout.currentOutput) {
        values.tMin = config.outputTMin;
        values.tMax = config.outputTMax;
    } else {
        values.tMin = 0;
        values.tMax = 50;
    }
    if (layout.trigger) {
        values.trigger = config.trigger;
        values.hysteresis = config.hysteresis;
        values.triggerOn = values.trigger != kTriggerOff;
    } else {
        values.trigger = 0;
        values.hysteresis = 1;
    }
    return values;
}

std::optional<DevProblem> checkDevPage(const DevPageValues& values, const DevPageLayout& layout,
                                       const LimitTable* limits)
{
    if (layout.ratio) {
        if (!(values.emissivity >= 0.85 && values.emissivity <= 1.15))
            return DevProblem{"Ошибка при вводе отношения степеней черноты.\n Допустимое значение 0.850 - 1.150, с "
                              "шагом 0.001",
                              DevField::Emissivity};
    } else if (!(values.emissivity >= 0.10 && values.emissivity <= 1.00)) {
        return DevProblem{"Ошибка при вводе степени черноты.\n Допустимое значение 0.10 - 1.00, с шагом 0.01",
                          DevField::Emissivity};
    }
    const LimitTable& table = limitsOrFixed(limits);
    if (auto problem = samplingProblem(values.minSampling, table[kLimitMinSampling], DevField::MinSampling))
        return problem;
    if (auto problem = samplingProblem(values.maxSampling, table[kLimitMaxSampling], DevField::MaxSampling))
        return problem;
    if (!(values.tMin < values.tMax))
        return DevProblem{"Ошибка при указании температурного диапазона настройки токового выхода.\nДопустимые "
                          "границы 0 С - 3000 С, с шагом 50 С",
                          DevField::TMax};
    // Taken as unsigned, so that a negative hysteresis counts as too large.
    if (static_cast<std::uint32_t>(values.hysteresis) > 100)
        return DevProblem{"Ошибка при указании гистерезиса.\nДопустимые границы 0-100.", DevField::Hysteresis};
    if (values.triggerOn) {
        const LimitEntry& entry = table[kLimitTrigger];
        if (!(values.trigger >= entry.minimum && (values.trigger <= entry.maximum || values.trigger == kTriggerOff)))
            return DevProblem{QString::asprintf("Ошибка при указании значения триггера.\nДопустимые границы %d-%d.",
                                                entry.minimum, entry.maximum),
                              DevField::Trigger};
    }
    return std::nullopt;
}

void storeDevPage(const DevPageValues& values, const DevPageLayout& layout, KCConfig& config)
{
    if (values.mode)
        config.mode = word(*values.mode);
    if (values.smoothing)
        config.smoothing = word(*values.smoothing);
    config.emissivity = word(wholeUnits(values.emissivity, layout.divisor));
    config.maxSampling = word(wholeUnits(values.maxSampling, 10.0));
    config.minSampling = word(wholeUnits(values.minSampling, 10.0));
    if (values.currentOutput)
        config.currentOutput = word(*values.currentOutput);
    config.outputTMin = word(values.tMin);
    config.outputTMax = word(values.tMax);
    config.trigger = word(values.triggerOn ? values.trigger : kTriggerOff);
    config.hysteresis = word(values.hysteresis);
}
