// The temperature a simulated pyrometer measures: a target drifting slowly
// around a centre, seen with sensor noise, sampled every 10 ms, and the four
// readings the device derives from the samples.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <random>

namespace sim {

struct SignalParams {
    double centre = 1000;          // °C
    double driftAmplitude = 5;     // °C, of a sine around the centre
    double driftPeriodS = 120;     // seconds
    double noise = 1.5;            // standard deviation of the sensor noise, °C
    double low = 0;                // the measuring range, °C; readings stay in it
    double high = 3000;
    std::uint32_t seed = 1;
};

// How the device derives its readings; from its settings words.
struct Derivation {
    unsigned smoothingSamples = 2;                  // samples averaged in mode 1
    std::chrono::milliseconds minWindow{2000};      // mode 2: lowest sample within
    std::chrono::milliseconds maxWindow{2000};      // mode 3: highest sample within
};

class TemperatureSignal {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kSamplePeriod{10};

    TemperatureSignal(const SignalParams& params, Clock::time_point start);

    // Takes the samples due up to `now`. After a long pause only the last
    // kHistory of samples is taken.
    void advanceTo(Clock::time_point now, const Derivation& derivation);

    // Words 0 to 3: the temperature in °C for modes 0 (last sample), 1
    // (smoothed), 2 (minimum) and 3 (maximum); word 4: the quantum count of
    // the last sample.
    std::array<std::uint16_t, 5> readings(const Derivation& derivation) const;

    // The quantum count of a temperature, as a logarithmic detector gives it:
    // proportional to the logarithm of the radiance (by Wien's law, linear in
    // -1/T), from 1000 at the bottom of the range to 60000 at its top.
    std::uint16_t quantaOf(double celsius) const;

private:
    struct Sample {
        Clock::time_point time;
        double value;
    };
    static constexpr std::chrono::seconds kHistory{30};

    void takeSample(Clock::time_point time, const Derivation& derivation);
    std::uint16_t clampedWord(double celsius) const;

    SignalParams params_;
    Clock::time_point start_;
    Clock::time_point next_;
    std::mt19937 random_;
    std::normal_distribution<double> noise_;
    std::deque<Sample> history_;
    double smoothed_ = 0;
};

}  // namespace sim
