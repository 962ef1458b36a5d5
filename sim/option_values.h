// Reading the values of the simulator's command line.
#pragma once

#include "device.h"

#include <string>
#include <vector>

namespace sim {

// A whole decimal (or 0x..) number; throws std::invalid_argument naming `what`.
long number(const std::string& text, const std::string& what);
// A number between `low` and `high`; throws std::invalid_argument otherwise.
long bounded(const std::string& text, const std::string& what, long low, long high);
// A decimal fraction between `low` and `high`; throws std::invalid_argument.
double fraction(const std::string& text, const std::string& what, double low, double high);
// The non-empty parts of `text` between separators.
std::vector<std::string> split(const std::string& text, char separator);
// Sets the faults named in `text` (F[+F...]); throws std::invalid_argument.
void applyFaults(const std::string& text, Faults& faults);

}  // namespace sim
