// Numbers in the edits of the settings dialogs: how they are shown, how the
// operator's text is read, and how an edited value becomes a whole number of
// device units or milliseconds.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// The shortest text that gives the value back: 2 shows as "2", 0.54 as "0.54".
QString numberText(double value);

// A decimal number, with a point or a comma before the fraction; none for an
// empty or malformed text and for infinities and NaN.
std::optional<double> parseNumber(const QString& text);
// A whole decimal number within the range of 32-bit integers; none otherwise.
std::optional<std::int32_t> parseInteger(const QString& text);

// value x factor with the fraction dropped, saturated to the 32-bit range. A
// product that misses a whole number only by binary rounding counts as that
// number: 0.58 s at 50 steps a second is 29 steps, not 28.
std::int32_t wholeUnits(double value, double factor);

// What the edits say when their text is no number (the standard messages of
// the dialogs' data exchange).
QString notANumberMessage();
QString notAnIntegerMessage();
QString integerRangeMessage(int lowest, int highest);
