// The text log of readings: one line per reading while logging is on.
#pragma once

#include <QFile>
#include <QString>

#include <string>

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
