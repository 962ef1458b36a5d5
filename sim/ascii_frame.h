// Modbus ASCII framing as the simulated devices see it: the bytes between ':'
// and CR LF, with their LRC. Written apart from the library's own framing, so
// that the simulator checks the library rather than agreeing with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

std::uint8_t lrcOf(const Bytes& bytes);

// The value of a hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c);

// The bytes of a line ":" hex-pairs CR LF whose last byte is the right LRC of
// the others, without that LRC; nothing for a malformed line or a wrong LRC.
std::optional<Bytes> decodeFrame(const std::string& line);

// ":" + upper-case hex pairs of the bytes and their LRC + CR LF. With
// `corruptLrc` the LRC is off by one.
std::string encodeFrame(const Bytes& bytes, bool corruptLrc = false);

}  // namespace sim
