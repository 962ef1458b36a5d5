// The simulated QRVX device: the value frames it streams and its answers to
// the command characters, apart from any line, so that tests can drive it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace sim {

struct QrvxSignal {
    long centre = 1200;  // value around which the signal moves
    long swing = 15;     // amplitude of the slow swing; 0 keeps the value constant
    bool counter = false;  // values 1, 2, 3, ... instead, to count lost frames
};

// ":" D value checksum CR LF: D the count of value characters, the checksum
// the decimal LRC of those characters. With `corruptChecksum` it is off by one.
std::string encodeValueFrame(long value, bool corruptChecksum = false);

class QrvxDevice {
public:
    using Clock = std::chrono::steady_clock;

    // A packet ends at CR or LF, or when no byte of it has come for this long
    // (the library pauses 10 ms before its next command).
    static constexpr std::chrono::milliseconds kPacketGap{5};

    QrvxDevice(QrvxSignal signal, double badChecksumShare, char commandChar);

    // The frame of the value at `seconds` since the stream began. Of every
    // frame the share of bad checksums is spread evenly: with 0.25 every
    // fourth frame is bad.
    std::string nextFrame(double seconds);

    // Takes characters from the line and returns what the device sends back:
    // "G" <zero text> CR LF for "G", the command character as its echo
    // (after which the following bytes are the packet).
    std::string receive(const std::string& chars, Clock::time_point now);

    // Ends a packet whose bytes have stopped coming.
    void tick(Clock::time_point now);

    // The text the "G" reply carries: the last packet taken, "0" before any.
    const std::string& zeroText() const { return zeroText_; }
    long framesSent() const { return framesSent_; }

private:
    long valueAt(double seconds);
    void endPacket();

    QrvxSignal signal_;
    double badShare_;
    char commandChar_;
    double badCredit_ = 0.0;
    long framesSent_ = 0;
    std::uint32_t noiseState_ = 12345;
    bool inPacket_ = false;
    std::string packet_;
    Clock::time_point lastPacketByte_{};
    std::string zeroText_ = "0";
};

}  // namespace sim
