// How the main window turns device words into what the operator reads.
#pragma once

#include "platform/clock.h"

#include <kcmb.h>

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

// "Hi" from 10000 on, "Lo" for 0, else the decimal digits.
QString temperatureText(std::uint32_t temperature);

// The emissivity word as "%0.2f" of word / divisor.
QString emissivityText(unsigned short word, unsigned type);

// The parameter of the device's mode, shown beside its value; none for mode 0
// and for modes the program does not know.
struct ModeParameter {
    QString name;
    QString value;
};
std::optional<ModeParameter> modeParameter(const KCConfig& config);

// The verification date stored as eight digits DDMMYYYY; none when it is no
// calendar date from 1970 on.
std::optional<QDate> verificationDate(const char* ddmmyyyy);
