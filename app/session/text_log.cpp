#include "session/text_log.h"

#include "platform/message_box.h"

#include <cstdio>

std::string logLine(const platform::SystemTime& at, std::uint32_t temperature, double emissivity)
{
    char line[80];
    std::snprintf(line, sizeof line, "%02u:%02u:%02u.%03u %lu %0.2f\n", at.hour, at.minute, at.second,
                  at.milliseconds, static_cast<unsigned long>(temperature), emissivity);
    return line;
}

TextLog::Outcome TextLog::open(const QString& fileName, void* owner)
{
    close();
    file_.setFileName(fileName);
    if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Outcome::Open;
    if (file_.exists()) {
        const auto answer = platform::showMessageBox(
            "Лог файл уже существует.\nНажмите:\n\tДа - для перезеписи файла;\n\tНет - для добавления информации в "
            "файл;\n\tОтмена - для отказа от логирования.",
            "Открытие файла", platform::MessageButtons::YesNoCancel, platform::MessageIcon::Question, owner);
        if (answer == platform::MessageAnswer::Cancel)
            return Outcome::Declined;
        const auto mode = answer == platform::MessageAnswer::Yes ? QIODevice::WriteOnly | QIODevice::Truncate
                                                                  : QIODevice::WriteOnly | QIODevice::Append;
        if (file_.open(mode))
            return Outcome::Open;
    }
    platform::showMessageBox("Ошибка открытия лог файла.", "Ошибка", platform::MessageButtons::Ok,
                             platform::MessageIcon::Error, owner);
    return Outcome::Failed;
}

void TextLog::close()
{
    if (file_.isOpen())
        file_.close();
}

void TextLog::write(const std::string& line)
{
    if (!file_.isOpen())
        return;
    file_.write(line.data(), static_cast<qint64>(line.size()));
    file_.flush();
}
