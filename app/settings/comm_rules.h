// Rules of the communication page that need no widget: the device's time-out
// in seconds and its word, and the three states of a modem line.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// The device's time-out word counts 20 ms steps; the page shows seconds.
double timeoutSeconds(std::uint16_t word);
std::uint16_t timeoutWord(double seconds);
// The message for a time-out outside 0.5 to 2.0 s, or none.
std::optional<QString> timeoutProblem(double seconds);

// A line state as a check box shows it: 0 unchecked, 1 checked, any other
// value indeterminate; and back (indeterminate is 255, leave the line alone).
int checkStateOfLine(std::uint8_t state);
std::uint8_t lineOfCheckState(int checkState);
