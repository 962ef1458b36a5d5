#include "poll_options.h"

#include <kcmb.h>

#include <algorithm>
#include <charconv>

namespace tools {

const char kPollUsage[] =
    "Использование: kl_poll [ПОРТ] [параметры]\n"
    "Опрашивает пирометры на порту ПОРТ (по умолчанию com1), пока не будет прерван\n"
    "(Ctrl+C, SIGTERM) или не наберёт --count показаний, и сохраняет показания.\n"
    "  --address N    адрес прибора, 1..255 (1)\n"
    "  --baud КОД     код скорости, 0..8: 600..115200 бод (5: 19200)\n"
    "  --device АДРЕС[@СКОРОСТЬ]\n"
    "                 прибор на общей линии (RS-485); можно повторять, приборы\n"
    "                 опрашиваются по очереди. СКОРОСТЬ: код 0..8 или бод\n"
    "                 (600..115200), без неё скорость --baud. При нескольких\n"
    "                 приборах в именах файлов адрес: ФАЙЛ_a2.tdf, ФАЙЛ_a2.csv\n"
    "  --period МС    период опроса; меньше 20 мс считается за 20 (500)\n"
    "  --count N      закончить после N показаний каждого прибора (0: до прерывания)\n"
    "  --attempts N   попыток на запрос, 1..100 (5)\n"
    "  --timeout МС   ожидание ответа, 10..60000 мс (2000)\n"
    "  --stats С      раз в С секунд строка о помехах и пропусках на stderr, если\n"
    "                 они были, 0..86400 (60; 0: только в конце)\n"
    "  --tdf ФАЙЛ     файл результатов .tdf\n"
    "  --csv ФАЙЛ     показания в CSV; \"-\": стандартный вывод вместо строк\n"
    "                 показаний (только для одного прибора)\n"
    "  --ru           CSV для электронных таблиц с русскими настройками: поля через\n"
    "                 \";\", десятичная запятая (без него: \",\" и десятичная точка)\n"
    "  --list-ports   перечислить порты (у адаптеров USB: изготовитель, изделие,\n"
    "                 серийный номер) и закончить\n"
    "Существующий файл заменяется только первым показанием: файл результатов\n"
    "сохраняется целиком через ФАЙЛ.tmp, CSV пишется в ФАЙЛ.tmp и тогда встаёт\n"
    "на место прежнего. Запуск без показаний не меняет и не создаёт файлов.\n"
    "Пропавший порт (вынут адаптер USB) kl_poll ждёт, сохранив показания, и\n"
    "открывает снова, когда он появится; прибор с другим заводским номером\n"
    "пишется в новые файлы ФАЙЛ_2.tdf, ФАЙЛ_2.csv.\n";

namespace {

bool parseNumber(const std::string& text, long low, long high, long& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

constexpr unsigned kBaudCodes = 9;

// A baud code 0..8, or a line speed that one of them stands for.
bool parseSpeed(const std::string& text, int& code)
{
    long value = 0;
    if (!parseNumber(text, 0, 4000000, value))
        return false;
    if (value < static_cast<long>(kBaudCodes)) {
        code = static_cast<int>(value);
        return true;
    }
    for (unsigned c = 0; c < kBaudCodes; ++c)
        if (baudRateOfCode(c) == static_cast<std::uint32_t>(value)) {
            code = static_cast<int>(c);
            return true;
        }
    return false;
}

// ADDRESS[@SPEED]; a device without a speed gets -1, the speed of --baud.
bool parseDevice(const std::string& text, PolledDevice& device)
{
    const std::size_t at = text.find('@');
    long address = 0;
    if (!parseNumber(text.substr(0, at), 1, 255, address))
        return false;
    device.address = static_cast<int>(address);
    device.baudCode = -1;
    return at == std::string::npos || parseSpeed(text.substr(at + 1), device.baudCode);
}

}  // namespace

std::optional<PollOptions> parsePollOptions(const std::vector<std::string>& args, std::string& error)
{
    PollOptions options;
    bool portGiven = false;
    bool addressGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--address" || arg == "--baud" || arg == "--device" || arg == "--period"
            || arg == "--count" || arg == "--attempts" || arg == "--timeout" || arg == "--stats" || arg == "--tdf"
            || arg == "--csv";
        if (arg == "--ru") {
            options.csvForm = CsvForm::Russian;
            continue;
        }
        if (!takesValue) {
            if (arg.rfind("-", 0) == 0 || portGiven) {
                error = "лишний параметр: " + arg;
                return std::nullopt;
            }
            options.port = arg;
            portGiven = true;
            continue;
        }
        if (i + 1 == args.size() || args[i + 1].empty()) {
            error = "нет значения у " + arg;
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (arg == "--tdf") {
            options.tdfPath = value;
            continue;
        }
        if (arg == "--csv") {
            options.csvPath = value;
            continue;
        }
        if (arg == "--device") {
            PolledDevice device;
            if (!parseDevice(value, device)) {
                error = "неверное значение --device: " + value + " (допустимо АДРЕС 1..255, СКОРОСТЬ 0..8 или "
                    "600..115200)";
                return std::nullopt;
            }
            for (const PolledDevice& other : options.devices)
                if (other.address == device.address) {
                    error = "адрес " + std::to_string(device.address) + " указан дважды";
                    return std::nullopt;
                }
            options.devices.push_back(device);
            continue;
        }
        long number = 0;
        const auto take = [&](long low, long high) {
            if (parseNumber(value, low, high, number))
                return true;
            error = "неверное значение " + arg + ": " + value + " (допустимо " + std::to_string(low) + ".."
                + std::to_string(high) + ")";
            return false;
        };
        if (arg == "--address") {
            if (!take(1, 255))
                return std::nullopt;
            options.address = static_cast<int>(number);
            addressGiven = true;
        } else if (arg == "--baud") {
            if (!take(0, 8))
                return std::nullopt;
            options.baudCode = static_cast<int>(number);
        } else if (arg == "--period") {
            if (!take(1, 86400000))
                return std::nullopt;
            // As in the program, a shorter period polls every 20 ms.
            options.periodMs = std::max(static_cast<int>(number), kMinimumPeriodMs);
        } else if (arg == "--count") {
            if (!take(0, 1000000000))
                return std::nullopt;
            options.count = number;
        } else if (arg == "--attempts") {
            if (!take(1, 100))
                return std::nullopt;
            options.attempts = static_cast<int>(number);
        } else if (arg == "--stats") {
            if (!take(0, 86400))
                return std::nullopt;
            options.statsSeconds = static_cast<int>(number);
        } else {
            if (!take(10, 60000))
                return std::nullopt;
            options.timeoutMs = static_cast<int>(number);
        }
    }
    if (addressGiven && !options.devices.empty()) {
        error = "--address и --device вместе не указываются";
        return std::nullopt;
    }
    if (options.devices.empty())
        options.devices.push_back({options.address, options.baudCode});
    for (PolledDevice& device : options.devices)
        if (device.baudCode < 0)
            device.baudCode = options.baudCode;
    if (options.severalDevices() && options.csvPath == "-") {
        error = "--csv - только для одного прибора";
        return std::nullopt;
    }
    return options;
}

}  // namespace tools
