// Texts of the small codes of the device protocol. Each function returns a
// static text that the caller must not free; any thread may call them.
#pragma once

// Result codes of the exchange and the register services; "Unknow error" for
// codes 8 and above (a negative result passed in is one of them).
const char* KCGetErrorTxt(unsigned short code);

namespace kc {
struct Result;
}
// The text of a typed result: that of its code, or a text of its own for the
// faults the codes do not tell apart (a busy, wedged or failed port, a reply
// of another function or length).
const char* KCGetErrorTxt(const kc::Result& result);
// Device models by type code; only the low byte counts, bit 7 marking the
// two-colour kind. Empty for codes without a model.
const char* getDeviceName(unsigned short code);
// Sensor kinds; empty for unknown codes.
const char* KCGetSensorName(unsigned short code);
// Operating modes (settings word `mode`); empty for unknown codes.
const char* KCGetDevModeName(unsigned short code);
// Line speeds of baud codes 0 to 6; null for every other code.
const char* KCGetBaudRateName(unsigned short code);
// Smoothing steps (settings word `smoothing`); empty for unknown codes.
const char* KCGetSplineStepName(unsigned short code);
