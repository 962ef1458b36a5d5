// A simulated device on the bus: its address and speed, the Modbus functions
// it serves, and the faults it shows on request.
#pragma once

#include "ascii_frame.h"
#include "reply_spoiler.h"

#include <bitset>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// What a talker streams on the line while a device has the fault "stream".
enum class StreamKind { None, Text, Colons };

struct Faults {
    bool silence = false;      // never answers
    bool badLrc = false;       // answers with a wrong LRC
    int exception = 0;         // answers every request with this exception code
    bool noise = false;        // sends noise (a line feed among it) before the ':'
    bool highBit = false;      // sets bit 7 on every character it sends
    int delayMs = 0;           // waits this long before answering
    std::bitset<256> muted;    // functions it never answers
    int refusedRegister = -1;  // a register whose reads are refused with exception 2
    bool garble = false;       // its replies come spoiled (ReplySpoiler)
    StreamKind stream = StreamKind::None;  // a stream drowns the line; it never answers
};

class Device {
public:
    Device(std::uint8_t address, int baudCode);
    virtual ~Device() = default;

    std::uint8_t address() const { return address_; }
    int baudCode() const { return baudCode_; }
    Faults& faults() { return faults_; }
    const Faults& faults() const { return faults_; }
    // What spoils the device's replies while it has the fault "garble".
    ReplySpoiler& spoiler() { return spoiler_; }

    // Whether the device hears a request to `address` on a line at `baud`:
    // by default only at its own address and speed.
    virtual bool listensAt(std::uint8_t address, unsigned baud, const Bytes& request) const;

    // The reply bytes (without LRC) to a request for this device, or nothing
    // when the device stays silent. The reply carries the address asked at.
    std::optional<Bytes> answer(const Bytes& request);

protected:
    // Called before each request is served, so that the registers of one
    // reply show one moment of the device.
    virtual void beginRequest() {}
    // A register the device does not have makes the read fail with exception 2.
    virtual bool readRegister(std::uint16_t reg, std::uint16_t& value) = 0;
    virtual bool writeRegister(std::uint16_t reg, std::uint16_t value) = 0;
    // The words of one function-16 request; returns 0 or the exception code
    // of the reply. By default each word goes through writeRegister.
    virtual std::uint8_t writeRegisters(std::uint16_t start, const std::vector<std::uint16_t>& values);
    // Requests of functions other than 4, 5, 7 and 16; by default refused
    // with exception 1.
    virtual Bytes otherFunction(const Bytes& request);
    // Called after a function-16 write has been answered.
    virtual void afterWrite() {}
    virtual std::uint8_t statusByte() = 0;
    virtual std::uint8_t typeByte() = 0;
    // A device without a type byte refuses function 5 with exception 1.
    virtual bool hasTypeByte() const { return true; }

    void setAddress(std::uint8_t address) { address_ = address; }
    void setBaudCode(int code) { baudCode_ = code; }
    Bytes exceptionReply(std::uint8_t function, std::uint8_t code) const;

private:
    Bytes readInputRegisters(const Bytes& request);
    Bytes writeMultipleRegisters(const Bytes& request);

    std::uint8_t address_;
    int baudCode_;
    Faults faults_;
    ReplySpoiler spoiler_;
};

// A device with a plain register map: registers not set read as 0, writes go
// into the map.
class RegisterDevice : public Device {
public:
    RegisterDevice(std::uint8_t address, int baudCode) : Device(address, baudCode) {}

    void setRegister(std::uint16_t reg, std::uint16_t value) { registers_[reg] = value; }
    void setStatus(std::uint8_t status) { status_ = status; }
    void setTypeByte(std::uint8_t type) { type_ = type; }

protected:
    bool readRegister(std::uint16_t reg, std::uint16_t& value) override;
    bool writeRegister(std::uint16_t reg, std::uint16_t value) override;
    std::uint8_t statusByte() override { return status_; }
    std::uint8_t typeByte() override { return type_; }

private:
    std::map<std::uint16_t, std::uint16_t> registers_;
    std::uint8_t status_ = 0;
    std::uint8_t type_ = 3;
};

// Line speed in baud of a device baud code (0..8: 600 to 115200, else 19200).
unsigned baudOfCode(int code);

}  // namespace sim
