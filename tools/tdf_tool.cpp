#include "tdf_tool.h"

#include "csv_rows.h"
#include "platform/message_box.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace tools {

namespace {

namespace fs = std::filesystem;

// Why the file cannot serve: the library's message box for it, made more
// precise where the file cannot be opened, or a text for a fault the library
// reports without a message.
std::string faultText(const std::string& path, const TdfReadReport& report, const std::string& shown)
{
    using Fault = TdfReadReport::Fault;
    switch (report.fault) {
    case Fault::None:
        return {};
    case Fault::FixedPart:
        return "файл обрезан: нет полного заголовка серии";
    case Fault::Count:
        return "неверное число записей в файле: " + std::to_string(report.storedCount);
    case Fault::BeginTime:
        return "неверное время начала серии";
    case Fault::Stamp:
        return "неверное время показания: раньше начала серии или более чем через 24,8 суток";
    case Fault::Short:
        return "файл обрезан: записей меньше, чем указано (" + std::to_string(report.storedCount) + ")";
    case Fault::Open: {
        std::error_code ec;
        const fs::file_status entry = fs::symlink_status(path, ec);
        if (!fs::exists(entry))
            return "нет такого файла";
        if (fs::is_symlink(entry) && !fs::exists(fs::status(path, ec)))
            return "ссылка ведёт к файлу, которого нет";
        if (!fs::is_regular_file(path, ec))
            return "это не обычный файл";
        if (::access(path.c_str(), R_OK) != 0)
            return "нет прав на чтение файла";
        break;
    }
    case Fault::Header:
    case Fault::Magic:
    case Fault::Version:
        break;
    }
    return shown.empty() ? "ошибка чтения файла" : shown;
}

std::string timeText(const platform::SystemTime& t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", unsigned{t.year}, unsigned{t.month},
                  unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second},
                  unsigned{t.milliseconds});
    return text;
}

// A duration in ms as h:mm:ss.mmm.
std::string spanText(long long ms)
{
    const char* sign = ms < 0 ? "-" : "";
    const unsigned long long m = static_cast<unsigned long long>(ms < 0 ? -ms : ms);
    char text[64];
    std::snprintf(text, sizeof text, "%s%llu:%02llu:%02llu.%03llu (%lld мс)", sign, m / 3600000, m / 60000 % 60,
                  m / 1000 % 60, m % 1000, ms);
    return text;
}

}  // namespace

std::string readWholeFile(const std::string& path, TermDataFile& series, TdfReadReport& report)
{
    if (series.GetTermData() == nullptr)
        return "не хватает памяти для серии";
    std::string shown;
    const platform::MessageBoxService previous =
        platform::setMessageBoxService([&shown](const platform::MessageRequest& request) {
            shown = request.text;
            return platform::MessageAnswer::Ok;
        });
    series.Clear();
    const bool read = series.Read(path.c_str(), &report);
    platform::setMessageBoxService(previous);
    std::string problem = faultText(path, report, shown);
    std::uint64_t begin = 0;
    if (read && problem.empty() && !platform::systemTimeToFileTime(*series.GetBeginTime(), begin))
        problem = "неверное время начала серии";
    return problem;
}

std::string describe(TermDataFile& series, int version)
{
    const v2DeviceInfo& device = *series.GetDeviceInfo();
    const long count = series.GetCount();
    const v4TermData* records = series.GetTermData();
    std::string text;
    const auto line = [&text](const std::string& name, const std::string& value) {
        text += name + ": " + value + "\n";
    };
    line("Версия формата", std::to_string(version));
    const std::string model = getDeviceName(device.type);
    line("Прибор", (model.empty() ? std::string("неизвестный") : model) + " (тип " + std::to_string(device.type)
                       + ", адрес " + std::to_string(device.address) + ")");
    line("Заводской номер", device.serial);
    line("Диапазон прибора, °C", std::to_string(device.tempMin) + " .. " + std::to_string(device.tempMax));
    line("Начало", timeText(*series.GetBeginTime()));
    line("Записей", std::to_string(count));
    if (count == 0) {
        line("Длительность", "—");
        line("Минимум, °C", "—");
        line("Максимум, °C", "—");
        return text;
    }
    const auto [lowest, highest] = std::minmax_element(
        records, records + count, [](const v4TermData& a, const v4TermData& b) { return a.temperature < b.temperature; });
    line("Длительность", spanText(static_cast<long long>(records[count - 1].time) - records[0].time));
    line("Минимум, °C", std::to_string(lowest->temperature));
    line("Максимум, °C", std::to_string(highest->temperature));
    return text;
}

bool toCsv(TermDataFile& series, std::string& out, std::string& error, CsvForm form)
{
    const bool ratio = series.GetECoeff() == 1000.0;
    CsvRows rows(*series.GetBeginTime(), ratio, form);
    if (!rows.valid()) {
        error = "неверное время начала серии";
        return false;
    }
    const long count = series.GetCount();
    const v4TermData* records = series.GetTermData();
    std::string csv = csvHeader(ratio, form);
    csv.reserve(csv.size() + static_cast<std::size_t>(count) * 64);
    for (long i = 0; i < count; ++i) {
        if (!rows.append(csv, records[i])) {
            error = "время записи " + std::to_string(i + 1) + " вне календаря";
            return false;
        }
    }
    out.swap(csv);
    return true;
}

}  // namespace tools
