#include "pyrometer.h"

namespace sim {

namespace {

constexpr std::uint8_t kIllegalFunction = 1;
constexpr std::uint8_t kIllegalAddress = 2;
constexpr std::uint8_t kIllegalValue = 3;
constexpr int kModeWord = 0;
constexpr int kSmoothingWord = 2;
constexpr int kMinSamplingWord = 3;
constexpr int kMaxSamplingWord = 4;
constexpr int kBaudWord = 6;
constexpr int kAddressWord = 8;
constexpr int kTriggerWord = 11;
constexpr std::uint16_t kHighestMode = 3;
// Function 25 names its register shifted down by this much.
constexpr std::uint16_t kTableRegisterShift = 22016;
constexpr std::size_t kTableBlockWords = 10;

// Samples averaged for each smoothing step code.
constexpr unsigned kSmoothingSteps[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000};

std::uint16_t word(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}

}  // namespace

Pyrometer::Pyrometer(const PyrometerConfig& config, Clock clock)
    : Device(config.address, config.baudCode),
      config_(config),
      clock_(std::move(clock)),
      now_(clock_()),
      identification_(identificationRegisters(config)),
      settingsCount_(settingsWordCount(config.type, config.variant)),
      tableLayout_(tableLayoutOf(config.type, config.variant)),
      table_(packLimitTable(tableLayout_, config.limits)),
      signal_(config.signal, now_),
      thermostat_(config.thermostatStart, config.settling, now_)
{
    readings_ = signal_.readings(derivation());
}

void Pyrometer::beginRequest()
{
    now_ = clock_();
    signal_.advanceTo(now_, derivation());
    readings_ = signal_.readings(derivation());
}

Derivation Pyrometer::derivation() const
{
    const std::uint16_t step = config_.settings[kSmoothingWord];
    constexpr std::size_t steps = sizeof kSmoothingSteps / sizeof kSmoothingSteps[0];
    Derivation d;
    d.smoothingSamples = kSmoothingSteps[step < steps ? step : steps - 1];
    d.minWindow = std::chrono::milliseconds(100 * config_.settings[kMinSamplingWord]);
    d.maxWindow = std::chrono::milliseconds(100 * config_.settings[kMaxSamplingWord]);
    return d;
}

bool Pyrometer::readRegister(std::uint16_t reg, std::uint16_t& value)
{
    if (reg < kIdentificationWords) {
        value = identification_[reg];
    } else if (reg >= kReadingsRegister && reg < kReadingsRegister + readings_.size()) {
        value = readings_[reg - kReadingsRegister];
    } else if (reg >= kSettingsRegister && reg < kSettingsRegister + settingsCount_) {
        value = config_.settings[reg - kSettingsRegister];
    } else if (inTable(reg, 1)) {
        value = table_[reg - kLimitTableRegister - tableLayout_.base];
    } else {
        return false;
    }
    return true;
}

bool Pyrometer::writeRegister(std::uint16_t reg, std::uint16_t value)
{
    return writeRegisters(reg, {value}) == 0;
}

// The settings words are written all or none: a value outside its limit
// entry refuses the whole request.
std::uint8_t Pyrometer::writeRegisters(std::uint16_t start, const std::vector<std::uint16_t>& values)
{
    if (start < kSettingsRegister || start + values.size() > kSettingsRegister + std::size_t(settingsCount_))
        return kIllegalAddress;
    const int first = start - kSettingsRegister;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!acceptable(first + static_cast<int>(i), values[i]))
            return kIllegalValue;
    for (std::size_t i = 0; i < values.size(); ++i)
        config_.settings[static_cast<std::size_t>(first) + i] = values[i];
    return 0;
}

// Settings word k is bounded by limit entry k - 1 while the table holds that
// entry (entries 0 to N - 2); the trigger may also be off.
bool Pyrometer::acceptable(int word, std::uint16_t value) const
{
    if (word == kModeWord)
        return value <= kHighestMode;
    if (word == kTriggerWord && value == kTriggerOff)
        return true;
    const int entry = word - 1;
    if (entry > tableLayout_.entries - 2)
        return true;
    const std::vector<std::uint16_t>& packed = table_;
    const std::size_t at = static_cast<std::size_t>(tableLayout_.lead + kLimitRecordBytes * entry);
    auto byteAt = [&packed](std::size_t i) {
        return static_cast<std::uint8_t>(i % 2 == 0 ? packed[i / 2] >> 8 : packed[i / 2] & 0xFF);
    };
    const auto min = static_cast<std::uint16_t>(byteAt(at) << 8 | byteAt(at + 1));
    const auto max = static_cast<std::uint16_t>(byteAt(at + 2) << 8 | byteAt(at + 3));
    return value >= min && value <= max;
}

void Pyrometer::afterWrite()
{
    const auto address = static_cast<std::uint8_t>(config_.settings[kAddressWord]);
    const int baudCode = config_.settings[kBaudWord];
    if (address == this->address() && baudCode == this->baudCode())
        return;
    previousAddress_ = this->address();
    previousBaudCode_ = this->baudCode();
    graceEnd_ = now_ + kSwitchGrace;
    setAddress(address);
    setBaudCode(baudCode);
}

bool Pyrometer::listensAt(std::uint8_t address, unsigned baud, const Bytes& request) const
{
    if (Device::listensAt(address, baud, request))
        return true;
    return request.size() > 1 && request[1] == 16 && address == previousAddress_
        && baud == baudOfCode(previousBaudCode_) && clock_() < graceEnd_;
}

bool Pyrometer::inTable(std::uint32_t reg, std::size_t count) const
{
    const std::uint32_t first = std::uint32_t{kLimitTableRegister} + tableLayout_.base;
    return !table_.empty() && reg >= first && reg + count <= first + table_.size();
}

Bytes Pyrometer::otherFunction(const Bytes& request)
{
    if (request[1] == 25)
        return writeTableBlock(request);
    return exceptionReply(request[1], kIllegalFunction);
}

// Function 25: register (shifted), 0, word count, byte count, words.
Bytes Pyrometer::writeTableBlock(const Bytes& request)
{
    if (request.size() < 7 || request[4] != 0)
        return exceptionReply(25, kIllegalValue);
    const std::size_t count = request[5];
    if (count == 0 || count > kTableBlockWords || request[6] != 2 * count || request.size() != 7 + 2 * count)
        return exceptionReply(25, kIllegalValue);
    const auto reg = static_cast<std::uint16_t>(word(request, 2) + kTableRegisterShift);
    if (!inTable(reg, count))
        return exceptionReply(25, kIllegalAddress);
    const std::size_t at = reg - kLimitTableRegister - tableLayout_.base;
    for (std::size_t i = 0; i < count; ++i)
        table_[at + i] = word(request, 7 + 2 * i);
    return Bytes(request.begin(), request.begin() + 6);
}

std::uint8_t Pyrometer::statusByte()
{
    return thermostat_.statusByte(now_);
}

}  // namespace sim
