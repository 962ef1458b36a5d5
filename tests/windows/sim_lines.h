// The lines that tests/windows/wine-run plays with kl_sim before a test
// program starts under wine, each a pseudo-terminal mapped as a COM port of
// the wine prefix.
#pragma once

namespace sim_lines {

// COM1: a B3 pyrometer at address 1 (serial number 1234, year 2021, range
// 200..1000 °C); plain register devices with registers 0..2 at address 2
// (every reply with a wrong checksum), 3 (exception 2 to every request) and
// 4 (noise before every reply, registers 7 8 9); nothing at address 9.
constexpr const char* kPyrometerLine = "COM1";
constexpr char kPyrometer = 1;
constexpr char kBadChecksum = 2;
constexpr char kException = 3;
constexpr char kNoisy = 4;
constexpr char kNobody = 9;

// COM2: a two-wire line that echoes every request; a B3 pyrometer at address 1.
constexpr const char* kEchoLine = "COM2";

// COM3: a talker streaming ':' after ':' that never answers.
constexpr const char* kStreamLine = "COM3";

// No port of that name.
constexpr const char* kMissingLine = "COM9";

}  // namespace sim_lines
