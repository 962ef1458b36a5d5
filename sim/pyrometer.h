// A simulated pyrometer on the bus: identification registers, measurement
// words, settings words that function 16 changes (a new address and speed
// apply after the reply), the limit table that function 25 may rewrite, and
// a status byte with a settling thermostat.
#pragma once

#include "device.h"
#include "limit_table.h"
#include "pyrometer_config.h"
#include "temperature_signal.h"
#include "thermostat.h"

#include <functional>

namespace sim {

class Pyrometer : public Device {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit Pyrometer(const PyrometerConfig& config, Clock clock = std::chrono::steady_clock::now);

    // Besides its own address and speed, the device hears settings writes at
    // the address and speed it had before the last change, for
    // kSwitchGrace: a program writes the settings in two requests, both
    // addressed as the device was when the change began.
    bool listensAt(std::uint8_t address, unsigned baud, const Bytes& request) const override;
    static constexpr std::chrono::milliseconds kSwitchGrace{2000};

protected:
    void beginRequest() override;
    bool readRegister(std::uint16_t reg, std::uint16_t& value) override;
    bool writeRegister(std::uint16_t reg, std::uint16_t value) override;
    std::uint8_t writeRegisters(std::uint16_t start, const std::vector<std::uint16_t>& values) override;
    void afterWrite() override;
    Bytes otherFunction(const Bytes& request) override;
    std::uint8_t statusByte() override;
    std::uint8_t typeByte() override { return static_cast<std::uint8_t>(config_.typeByte); }
    bool hasTypeByte() const override { return config_.typeByte >= 0; }

private:
    Derivation derivation() const;
    bool acceptable(int word, std::uint16_t value) const;
    bool inTable(std::uint32_t reg, std::size_t count) const;
    Bytes writeTableBlock(const Bytes& request);

    PyrometerConfig config_;
    Clock clock_;
    std::chrono::steady_clock::time_point now_;
    std::array<std::uint16_t, kIdentificationWords> identification_;
    int settingsCount_;
    TableLayout tableLayout_;
    std::vector<std::uint16_t> table_;
    TemperatureSignal signal_;
    Thermostat thermostat_;
    std::array<std::uint16_t, 5> readings_{};
    std::uint8_t previousAddress_ = 0;
    int previousBaudCode_ = 0;
    std::chrono::steady_clock::time_point graceEnd_{};
};

}  // namespace sim
