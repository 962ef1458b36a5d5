#include "qrvx_device.h"

#include "ascii_frame.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// The slow swing of a furnace's temperature: one period every 30 s.
constexpr double kSwingPeriodS = 30.0;
// The frame has one digit for the count of value characters.
constexpr long kLargest = 999999999;
constexpr long kSmallest = -99999999;

}  // namespace

std::string encodeValueFrame(long value, bool corruptChecksum)
{
    const std::string text = std::to_string(std::clamp(value, kSmallest, kLargest));
    std::uint8_t lrc = lrcOf(Bytes(text.begin(), text.end()));
    if (corruptChecksum)
        lrc = static_cast<std::uint8_t>(lrc + 1);
    return ":" + std::to_string(text.size()) + text + std::to_string(lrc) + "\r\n";
}

QrvxDevice::QrvxDevice(QrvxSignal signal, double badChecksumShare, char commandChar)
    : signal_(signal), badShare_(badChecksumShare), commandChar_(commandChar)
{
}

std::string QrvxDevice::nextFrame(double seconds)
{
    badCredit_ += badShare_;
    const bool bad = badCredit_ >= 1.0 - 1e-9;
    if (bad)
        badCredit_ -= 1.0;
    ++framesSent_;
    return encodeValueFrame(valueAt(seconds), bad);
}

long QrvxDevice::valueAt(double seconds)
{
    if (signal_.counter)
        return framesSent_;
    if (signal_.swing == 0)
        return signal_.centre;
    // A little measurement noise on the swing, from a fixed sequence so that
    // runs repeat.
    noiseState_ = noiseState_ * 1103515245u + 12345u;
    const long noiseSpan = std::max(1L, signal_.swing / 20);
    const long noise = static_cast<long>((noiseState_ >> 16) % static_cast<std::uint32_t>(2 * noiseSpan + 1)) - noiseSpan;
    const double swing = signal_.swing * std::sin(2.0 * M_PI * seconds / kSwingPeriodS);
    return signal_.centre + std::lround(swing) + noise;
}

std::string QrvxDevice::receive(const std::string& chars, Clock::time_point now)
{
    tick(now);
    std::string reply;
    for (char c : chars) {
        if (inPacket_) {
            if (c == '\r' || c == '\n')
                endPacket();
            else
                packet_ += c;
            lastPacketByte_ = now;
        } else if (c == 'G') {
            reply += "G" + zeroText_ + "\r\n";
        } else if (c == commandChar_) {
            reply += c;
            inPacket_ = true;
            packet_.clear();
            lastPacketByte_ = now;
        }
    }
    return reply;
}

void QrvxDevice::tick(Clock::time_point now)
{
    if (inPacket_ && now - lastPacketByte_ >= kPacketGap)
        endPacket();
}

void QrvxDevice::endPacket()
{
    inPacket_ = false;
    if (!packet_.empty())
        zeroText_ = packet_;
}

}  // namespace sim
