// The text log of readings: one line per reading while logging is on.
#pragma once

#include "platform/clock.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <string>

// One line of the text log: "%02u:%02u:%02u.%03u %lu %0.2f\n".
std::string logLine(const platform::SystemTime& at, std::uint32_t temperature, double emissivity);

class TextLog {
public:
    enum class Outcome { Open, Declined, Failed };

    // Creates the file; when it exists, asks whether to overwrite it (Yes),
    // append to it (No) or not log at all (Cancel, which gives Declined).
    // Failed after "Ошибка открытия лог файла." was shown.
    Outcome open(const QString& fileName, void* owner);
    void close();
    bool isOpen() const { return file_.isOpen(); }
    void write(const std::string& line);

private:
    QFile file_;
};
