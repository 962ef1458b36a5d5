#include "register_blocks.h"

#include <algorithm>
#include <cstring>

namespace tools {

namespace {

void put32(std::uint16_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint16_t>(value >> 16);
    at[1] = static_cast<std::uint16_t>(value & 0xFFFF);
}

// A count that outgrew 32 bits stays at the largest value rather than wrap.
std::uint32_t clamp32(long long value)
{
    return static_cast<std::uint32_t>(std::clamp<long long>(value, 0, 0xFFFFFFFFLL));
}

std::uint16_t stateCode(DeviceState state)
{
    switch (state) {
    case DeviceState::Unknown: return 0;
    case DeviceState::Online: return 1;
    case DeviceState::PortLost: return 2;
    case DeviceState::Silent: return 3;
    }
    return 0;
}

}  // namespace

RegisterBlocks::Device& RegisterBlocks::device(int address)
{
    const auto found = devices_.find(address);
    if (found != devices_.end())
        return found->second;
    Device& added = devices_[address];
    put32(&added.words[kAge], kNoReading);
    return added;
}

void RegisterBlocks::identified(int address, const v2DeviceInfo& info)
{
    std::lock_guard<std::mutex> lock(mutex_);
    device(address).words[kType] = info.type;
}

void RegisterBlocks::reading(int address, const PollReading& reading, std::chrono::system_clock::time_point)
{
    const unsigned mode = reading.measurement.temperatureWord;
    std::lock_guard<std::mutex> lock(mutex_);
    Device& d = device(address);
    d.words[kTemperature] = reading.measurement.temperature();
    d.words[kEmissivity] = reading.emissivity;
    d.words[kQuantum] = reading.measurement.quantum();
    d.words[kMode] = static_cast<std::uint16_t>(mode);
    d.hasReading = true;
    d.taken = std::chrono::steady_clock::now();
}

void RegisterBlocks::stateChanged(int address, DeviceState state)
{
    std::lock_guard<std::mutex> lock(mutex_);
    device(address).words[kState] = stateCode(state);
}

void RegisterBlocks::countsChanged(int address, const kc::LinkCounts& counts)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Device& d = device(address);
    put32(&d.words[kReadings], clamp32(counts.readings));
    put32(&d.words[kFailures], clamp32(counts.givenUp));
    put32(&d.words[kCorrupt], clamp32(counts.corrupt));
    put32(&d.words[kNoReply], clamp32(counts.noReply));
}

void RegisterBlocks::fill(std::uint16_t* registers, std::chrono::steady_clock::time_point now) const
{
    std::fill(registers, registers + kRegisters, 0);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [address, d] : devices_) {
        std::uint16_t* block = registers + blockStart(address);
        std::copy(d.words.begin(), d.words.end(), block);
        if (d.hasReading)
            put32(block + kAge,
                  clamp32(std::chrono::duration_cast<std::chrono::milliseconds>(now - d.taken).count()));
    }
}

}  // namespace tools
