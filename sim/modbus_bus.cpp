#include "modbus_bus.h"

namespace sim {

void ModbusBus::receive(const std::string& chars, unsigned baud, std::chrono::steady_clock::time_point arrival,
                        const Sender& send)
{
    for (char c : chars) {
        if (c == ':') {
            pending_.clear();
            frameStart_ = arrival;
        }
        if (pending_.empty() && c != ':')
            continue;
        pending_ += c;
        // A frame that never ends is noise; a device's buffer is not endless.
        if (pending_.size() > 600)
            pending_.clear();
        if (c != '\n')
            continue;
        const std::string line = std::move(pending_);
        pending_.clear();
        const auto request = decodeFrame(line);
        if (!request || request->empty())
            continue;
        if (trace_)
            trace_->record(*request, frameStart_);
        for (const auto& device : devices_) {
            // A device at another speed sees only garbage and keeps quiet.
            if (!device->listensAt((*request)[0], baud, *request))
                continue;
            const auto reply = device->answer(*request);
            if (!reply)
                break;
            std::string out = replyLine(*device, *reply);
            if (device->faults().garble)
                out = device->spoiler().spoil(out, (*request)[1]);
            auto due = frameStart_ + lineTimeOf(line.size(), baud) + timing_.turnaround
                + lineTimeOf(out.size(), baud) + std::chrono::milliseconds(device->faults().delayMs);
            send(out, due);
            break;
        }
    }
}

void ModbusBus::traceTo(const std::string& path)
{
    trace_ = std::make_unique<RequestTrace>(path);
}

std::string ModbusBus::replyLine(const Device& device, const Bytes& reply) const
{
    const Faults& f = device.faults();
    std::string out = (f.noise ? "#\n?\r" : "") + encodeFrame(reply, f.badLrc);
    if (f.highBit)
        for (char& c : out)
            c = static_cast<char>(c | 0x80);
    return out;
}

std::chrono::microseconds ModbusBus::lineTimeOf(std::size_t chars, unsigned baud) const
{
    if (!timing_.lineTime || baud == 0)
        return std::chrono::microseconds(0);
    return std::chrono::microseconds(chars * 10 * 1000000ull / baud);
}

}  // namespace sim
