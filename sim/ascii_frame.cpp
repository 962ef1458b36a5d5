#include "ascii_frame.h"

#include <cstdio>

namespace sim {

std::uint8_t lrcOf(const Bytes& bytes)
{
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<Bytes> decodeFrame(const std::string& line)
{
    if (line.size() < 5 || line.front() != ':' || line.compare(line.size() - 2, 2, "\r\n") != 0)
        return std::nullopt;
    const std::string hex = line.substr(1, line.size() - 3);
    if (hex.size() % 2 != 0 || hex.size() < 4)
        return std::nullopt;
    Bytes bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = hexDigitValue(hex[i]);
        const int lo = hexDigitValue(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    const std::uint8_t lrc = bytes.back();
    bytes.pop_back();
    if (lrcOf(bytes) != lrc)
        return std::nullopt;
    return bytes;
}

std::string encodeFrame(const Bytes& bytes, bool corruptLrc)
{
    std::string line = ":";
    char pair[3];
    auto put = [&](std::uint8_t b) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        line += pair;
    };
    for (std::uint8_t b : bytes)
        put(b);
    put(static_cast<std::uint8_t>(lrcOf(bytes) + (corruptLrc ? 1 : 0)));
    line += "\r\n";
    return line;
}

}  // namespace sim
