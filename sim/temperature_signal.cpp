#include "temperature_signal.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kKelvin = 273.15;
constexpr double kBottomQuanta = 1000;
constexpr double kTopQuanta = 60000;

}  // namespace

TemperatureSignal::TemperatureSignal(const SignalParams& params, Clock::time_point start)
    : params_(params), start_(start), next_(start), random_(params.seed), noise_(0.0, std::max(params.noise, 0.0))
{
    takeSample(start, Derivation{});
    smoothed_ = history_.back().value;
}

void TemperatureSignal::advanceTo(Clock::time_point now, const Derivation& derivation)
{
    if (now - next_ > kHistory)
        next_ = now - kHistory;
    while (next_ <= now)
        takeSample(next_, derivation);
    while (!history_.empty() && now - history_.front().time > kHistory)
        history_.pop_front();
}

void TemperatureSignal::takeSample(Clock::time_point time, const Derivation& derivation)
{
    const double seconds = std::chrono::duration<double>(time - start_).count();
    const double target = params_.centre
        + params_.driftAmplitude * std::sin(2 * kPi * seconds / std::max(params_.driftPeriodS, 1.0));
    const double measured = std::clamp(target + noise_(random_), params_.low, params_.high);
    history_.push_back({time, measured});
    const double samples = std::max(derivation.smoothingSamples, 1u);
    smoothed_ += (measured - smoothed_) / samples;
    next_ = time + kSamplePeriod;
}

std::array<std::uint16_t, 5> TemperatureSignal::readings(const Derivation& derivation) const
{
    const Sample& last = history_.back();
    double lowest = last.value;
    double highest = last.value;
    for (auto it = history_.rbegin(); it != history_.rend(); ++it) {
        const auto age = last.time - it->time;
        if (age < derivation.minWindow)
            lowest = std::min(lowest, it->value);
        if (age < derivation.maxWindow)
            highest = std::max(highest, it->value);
        if (age >= derivation.minWindow && age >= derivation.maxWindow)
            break;
    }
    return {clampedWord(last.value), clampedWord(smoothed_), clampedWord(lowest), clampedWord(highest),
            quantaOf(last.value)};
}

std::uint16_t TemperatureSignal::quantaOf(double celsius) const
{
    const double inverseLow = 1 / (params_.low + kKelvin);
    const double inverseHigh = 1 / (params_.high + kKelvin);
    const double share = (inverseLow - 1 / (celsius + kKelvin)) / (inverseLow - inverseHigh);
    const double q = kBottomQuanta + (kTopQuanta - kBottomQuanta) * share;
    return static_cast<std::uint16_t>(std::clamp(std::lround(q), 0l, 65535l));
}

std::uint16_t TemperatureSignal::clampedWord(double celsius) const
{
    return static_cast<std::uint16_t>(std::clamp(std::lround(celsius), 0l, 65535l));
}

}  // namespace sim
