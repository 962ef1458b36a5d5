// What kl_poll serves over Modbus TCP: for each device address A a block of
// 16 input registers from register 16 × A on (device 1 at 16..31, device 2 at
// 32..47, ...; registers 0..15 stay 0). Values of 32 bits take two registers,
// the high word first. A block of an address that is not polled reads 0.
//
//   +0  state: 0 not identified yet, 1 online, 2 port lost, 3 device silent
//   +1  temperature, °C (the word of the device's mode)
//   +2  emissivity word (hundredths; thousandths of the ratio for a ratio device)
//   +3  quantum count
//   +4  mode (0..3)
//   +5  type code (bit 7 set for a ratio device)
//   +6  age of the reading, ms (32 bits; 0xFFFFFFFF while there is none)
//   +8  readings (32 bits)
//   +10 requests failed after all their tries (32 bits)
//   +12 tries answered by a corrupt reply (32 bits)
//   +14 tries without a reply (32 bits)
//
// The polling thread updates the blocks and the server's thread reads them;
// both only hold the lock for a copy.
#pragma once

#include "reading_sink.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>

namespace tools {

class RegisterBlocks : public ReadingSink {
public:
    static constexpr int kBlockSize = 16;
    static constexpr int kRegisters = 256 * kBlockSize;
    enum Offset {
        kState = 0,
        kTemperature = 1,
        kEmissivity = 2,
        kQuantum = 3,
        kMode = 4,
        kType = 5,
        kAge = 6,
        kReadings = 8,
        kFailures = 10,
        kCorrupt = 12,
        kNoReply = 14,
    };
    static constexpr std::uint32_t kNoReading = 0xFFFFFFFF;

    static int blockStart(int address) { return address * kBlockSize; }

    void identified(int address, const v2DeviceInfo& device) override;
    void reading(int address, const PollReading& reading, std::chrono::system_clock::time_point taken) override;
    void stateChanged(int address, DeviceState state) override;
    void countsChanged(int address, const kc::LinkCounts& counts) override;

    // Writes all kRegisters registers as of `now` into `registers`.
    void fill(std::uint16_t* registers, std::chrono::steady_clock::time_point now) const;

private:
    struct Device {
        std::array<std::uint16_t, kBlockSize> words{};
        bool hasReading = false;
        std::chrono::steady_clock::time_point taken;
    };
    Device& device(int address);

    mutable std::mutex mutex_;
    std::map<int, Device> devices_;
};

}  // namespace tools
