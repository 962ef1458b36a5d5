// Result files built byte by byte for tests: every version of the layout,
// with counts and tails as a test needs them, and reading files back.
#pragma once

#include "platform/clock.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testing_support {

inline const platform::SystemTime kBegin{2024, 3, 2, 5, 9, 7, 2, 0};  // Tuesday 2024-03-05 09:07:02

// Little-endian bytes of a file under construction.
class Bytes {
public:
    Bytes& raw(const std::string& s)
    {
        data_ += s;
        return *this;
    }
    Bytes& u8(unsigned v)
    {
        data_ += static_cast<char>(v);
        return *this;
    }
    Bytes& u16(unsigned v) { return u8(v & 0xFF).u8(v >> 8 & 0xFF); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& u64(std::uint64_t v) { return u32(static_cast<std::uint32_t>(v)).u32(static_cast<std::uint32_t>(v >> 32)); }
    Bytes& time(const platform::SystemTime& t)
    {
        return u16(t.year).u16(t.month).u16(t.dayOfWeek).u16(t.day).u16(t.hour).u16(t.minute).u16(t.second).u16(
            t.milliseconds);
    }
    const std::string& str() const { return data_; }
    std::size_t size() const { return data_.size(); }

private:
    std::string data_;
};

inline std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeAll(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::uint32_t u32At(const std::string& bytes, std::size_t offset)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(bytes.at(offset + i));
    return v;
}

struct Reading {
    std::int32_t time;
    std::int32_t temperature;
    std::uint16_t emissivity;
    std::int32_t quantum;
};

// A file of the given version: the begin time kBegin, a device of `type`
// with the range 300..65535 and serial "1234", the count as given, then the
// readings in the version's record layout and `tail` extra bytes.
inline std::string tdfFile(int version, std::int32_t count, const std::vector<Reading>& readings,
                           std::size_t tail = 0, unsigned type = 131)
{
    Bytes b;
    b.raw("TDF").u8(static_cast<unsigned>(version)).u8(0x0D).u8(0x0A).time(kBegin);
    const std::string serial("1234\0", 5), year("2023\0", 5), date("01022024\0", 9);
    const bool wide = version == 2 || version == 4;
    b.u8(7).u8(0);
    if (wide)
        b.u16(0).u32(300).u32(65535);
    else
        b.u16(300).u16(65535);
    b.u16(0x1234).u16(0xFFFE).u16(type).raw(serial).raw(year).raw(date).u8(0).u16(1);
    b.u32(static_cast<std::uint32_t>(count));
    std::uint64_t begin = 0;
    platform::systemTimeToFileTime(kBegin, begin);
    for (const Reading& r : readings) {
        const auto time = static_cast<std::uint32_t>(r.time);
        const auto temperature = static_cast<std::uint32_t>(r.temperature);
        if (wide)
            b.u32(time).u32(temperature).u16(r.emissivity).u16(0).u32(static_cast<std::uint32_t>(r.quantum));
        else if (version == 1)
            b.u32(time).u16(temperature & 0xFFFF).u16(r.emissivity);
        else
            b.u64(begin + std::uint64_t{time} * 10000).u16(temperature & 0xFFFF).u16(r.emissivity);
    }
    return b.str() + std::string(tail, '\x5A');
}

inline std::vector<Reading> readings(int n)
{
    std::vector<Reading> out;
    for (int i = 0; i < n; ++i)
        out.push_back({500 * i, 900 + i, static_cast<std::uint16_t>(950 + i), 40000 + i});
    return out;
}

}  // namespace testing_support
