#include "option_values.h"

#include <cstdlib>
#include <stdexcept>

namespace sim {

long number(const std::string& text, const std::string& what)
{
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0')
        throw std::invalid_argument("not a number for " + what + ": " + text);
    return value;
}

long bounded(const std::string& text, const std::string& what, long low, long high)
{
    const long value = number(text, what);
    if (value < low || value > high)
        throw std::invalid_argument(what + " must lie between " + std::to_string(low) + " and "
                                    + std::to_string(high));
    return value;
}

double fraction(const std::string& text, const std::string& what, double low, double high)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= low && value <= high))
        throw std::invalid_argument(what + " must be a number between " + std::to_string(low) + " and "
                                    + std::to_string(high) + ": " + text);
    return value;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : text + separator) {
        if (c != separator) {
            part += c;
            continue;
        }
        if (!part.empty())
            parts.push_back(part);
        part.clear();
    }
    return parts;
}

void applyFaults(const std::string& text, Faults& faults)
{
    for (const std::string& fault : split(text, '+')) {
        const auto colon = fault.find(':');
        const std::string name = fault.substr(0, colon);
        const std::string arg = colon == std::string::npos ? "" : fault.substr(colon + 1);
        if (name == "silence") faults.silence = true;
        else if (name == "bad-lrc") faults.badLrc = true;
        else if (name == "noise") faults.noise = true;
        else if (name == "high-bit") faults.highBit = true;
        else if (name == "garble") faults.garble = true;
        else if (name == "stream" && arg == "text") faults.stream = StreamKind::Text;
        else if (name == "stream" && arg == "colons") faults.stream = StreamKind::Colons;
        else if (name == "exception") faults.exception = static_cast<int>(bounded(arg, "exception code", 1, 255));
        else if (name == "delay") faults.delayMs = static_cast<int>(bounded(arg, "delay", 0, 600000));
        else if (name == "mute") faults.muted.set(static_cast<std::size_t>(bounded(arg, "muted function", 0, 255)));
        else if (name == "refuse") faults.refusedRegister = static_cast<int>(bounded(arg, "refused register", 0, 65535));
        else throw std::invalid_argument("unknown fault: " + fault);
    }
}

}  // namespace sim
