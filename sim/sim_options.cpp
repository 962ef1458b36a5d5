#include "sim_options.h"

#include <cstdlib>
#include <stdexcept>

namespace sim {

const char* const kUsage = R"(usage: kl_sim [options] [--device SPEC]...

Plays Modbus ASCII devices on a pseudo-terminal published as COM<n>.

options:
  --dir DIR            device folder (default: $KL_DEVICE_DIR, else
                       ~/.config/OSTRELAN/devices)
  --com N              publish the line as COM<N> (default 1)
  --turnaround-ms MS   pause between request and reply (default 1, fractions allowed)
  --no-line-time       answer without the line time of request and reply
  --device SPEC        a device on the line (default: one at address 1, 19200 baud)
  --help               this text

SPEC is a comma-separated list of key=value:
  address=N            device address 1..247 (default 1)
  baud=CODE            baud code 0..8 = 600..115200 (default 5 = 19200)
  status=N             status byte of function 7 (default 0)
  type-byte=N          type byte of function 5 (default 3)
  regs=START:V1:V2...  input register values from START on (decimal or 0x..)
  fault=F[+F...]       silence | bad-lrc | exception:CODE | noise | high-bit | delay:MS
)";

namespace {

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

DeviceSpec parseSpec(const std::string& text)
{
    DeviceSpec spec;
    for (const std::string& pair : split(text, ',')) {
        const auto eq = pair.find('=');
        if (eq == std::string::npos || eq == 0)
            throw std::invalid_argument("expected key=value in --device: " + pair);
        spec[pair.substr(0, eq)] = pair.substr(eq + 1);
    }
    return spec;
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
        else if (name == "exception") faults.exception = static_cast<int>(bounded(arg, "exception code", 1, 255));
        else if (name == "delay") faults.delayMs = static_cast<int>(bounded(arg, "delay", 0, 600000));
        else throw std::invalid_argument("unknown fault: " + fault);
    }
}

}  // namespace

SimOptions parseOptions(int argc, char** argv)
{
    SimOptions options;
    if (const char* dir = std::getenv("KL_DEVICE_DIR"); dir && *dir) {
        options.folder = dir;
    } else {
        const char* home = std::getenv("HOME");
        options.folder = std::string(home ? home : ".") + "/.config/OSTRELAN/devices";
    }
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::invalid_argument(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            options.helpWanted = true;
        } else if (arg == "--dir") {
            options.folder = value();
        } else if (arg == "--com") {
            options.comNumber = static_cast<int>(bounded(value(), "--com", 1, 254));
        } else if (arg == "--turnaround-ms") {
            const std::string text = value();
            char* end = nullptr;
            const double ms = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || ms < 0 || ms > 60000)
                throw std::invalid_argument("bad --turnaround-ms: " + text);
            options.timing.turnaround = std::chrono::microseconds(static_cast<long long>(ms * 1000));
        } else if (arg == "--no-line-time") {
            options.timing.lineTime = false;
        } else if (arg == "--device") {
            options.devices.push_back(parseSpec(value()));
        } else {
            throw std::invalid_argument("unknown argument: " + arg);
        }
    }
    if (options.devices.empty())
        options.devices.push_back({});
    return options;
}

std::unique_ptr<Device> makeDevice(const DeviceSpec& spec)
{
    auto get = [&](const char* key, const char* fallback) {
        const auto it = spec.find(key);
        return it == spec.end() ? std::string(fallback) : it->second;
    };
    for (const auto& [key, value] : spec)
        if (key != "address" && key != "baud" && key != "status" && key != "type-byte" && key != "regs"
            && key != "fault")
            throw std::invalid_argument("unknown device key: " + key);
    auto device = std::make_unique<RegisterDevice>(static_cast<std::uint8_t>(bounded(get("address", "1"), "address", 1, 247)),
                                                   static_cast<int>(bounded(get("baud", "5"), "baud", 0, 8)));
    device->setStatus(static_cast<std::uint8_t>(bounded(get("status", "0"), "status", 0, 255)));
    device->setTypeByte(static_cast<std::uint8_t>(bounded(get("type-byte", "3"), "type-byte", 0, 255)));
    const auto regs = split(get("regs", ""), ':');
    if (!regs.empty()) {
        long reg = bounded(regs[0], "register", 0, 0xFFFF);
        for (std::size_t i = 1; i < regs.size(); ++i, ++reg)
            device->setRegister(static_cast<std::uint16_t>(reg & 0xFFFF),
                                static_cast<std::uint16_t>(bounded(regs[i], "register value", 0, 0xFFFF)));
    }
    applyFaults(get("fault", ""), device->faults());
    return device;
}

}  // namespace sim
