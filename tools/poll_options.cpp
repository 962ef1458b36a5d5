#include "poll_options.h"

#include <algorithm>
#include <charconv>

namespace tools {

const char kPollUsage[] =
    "Использование: kl_poll [ПОРТ] [параметры]\n"
    "Опрашивает пирометр на порту ПОРТ (по умолчанию com1), пока не будет прерван\n"
    "(Ctrl+C, SIGTERM) или не наберёт --count показаний, и сохраняет показания.\n"
    "  --address N    адрес прибора, 1..255 (1)\n"
    "  --baud КОД     код скорости, 0..8: 600..115200 бод (5: 19200)\n"
    "  --period МС    период опроса; меньше 20 мс считается за 20 (500)\n"
    "  --count N      закончить после N показаний (0: до прерывания)\n"
    "  --attempts N   попыток на запрос, 1..100 (5)\n"
    "  --timeout МС   ожидание ответа, 10..60000 мс (2000)\n"
    "  --tdf ФАЙЛ     файл результатов .tdf\n"
    "  --csv ФАЙЛ     показания в CSV; \"-\": стандартный вывод вместо строк показаний\n";

namespace {

bool parseNumber(const std::string& text, long low, long high, long& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

}  // namespace

std::optional<PollOptions> parsePollOptions(const std::vector<std::string>& args, std::string& error)
{
    PollOptions options;
    bool portGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--address" || arg == "--baud" || arg == "--period" || arg == "--count"
            || arg == "--attempts" || arg == "--timeout" || arg == "--tdf" || arg == "--csv";
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
        } else {
            if (!take(10, 60000))
                return std::nullopt;
            options.timeoutMs = static_cast<int>(number);
        }
    }
    return options;
}

}  // namespace tools
