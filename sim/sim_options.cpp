#include "sim_options.h"

#include "pyrometer_options.h"
#include "option_values.h"

#include <cstdlib>
#include <stdexcept>

namespace sim {

const char* const kUsage = R"(usage: kl_sim [options] [--device KEYS]...

Plays Modbus ASCII devices on a pseudo-terminal published as COM<n>.

options:
  --dir DIR            device folder (default: $KL_DEVICE_DIR, else
                       ~/.config/OSTRELAN/devices)
  --com N              publish the line as COM<N> (default 1)
  --turnaround-ms MS   pause between request and reply (default 1, fractions allowed)
  --no-line-time       answer without the line time of request and reply
  --echo               send every character received straight back, as a
                       two-wire RS-485 line echoes the program's requests
  --trace FILE         write a line "ms address function start count" to FILE
                       for every request on the line (ms since the start;
                       start and count 0 for functions without them)
  --control FILE       switch faults while running: FILE holds lines
                       "ADDRESS FAULTS [MS]" (FAULTS as fault= below, or none;
                       MS how long they last, for good when left out); it is
                       read again whenever it changes, a device without a line
                       has its own faults again, and every change is said on
                       standard output (with what a spell of garble spoiled)
  --device KEYS        a device on the line (default: one at address 1, 19200 baud)
  --help               this text

KEYS is a comma-separated list of key=value:
  address=N            device address 1..247 (default 1)
  baud=CODE            baud code 0..8 = 600..115200 (default 5 = 19200)
  status=N             status byte of function 7 (default 0)
  type-byte=N          type byte of function 5 (default 3)
  regs=START:V1:V2...  input register values from START on (decimal or 0x..);
                       several blocks separated by '/': regs=256:1200/520:1
  fault=F[+F...]       silence | bad-lrc | exception:CODE | noise | high-bit | delay:MS
                       | mute:FUNCTION (never answers that function)
                       | refuse:REGISTER (reads that cover it get exception 2)
                       | garble (replies in turn with a bit error, as garbage
                       without a frame, cut short after half)
                       | stream:text | stream:colons (a talker streams on the
                       line: a GPS sentence every 50 ms, or ':' at line speed;
                       the device never answers)

KEYS with type=CODE plays a pyrometer of that model instead:
  type=CODE            0, 1, 2 (A1), 3 (B3), 6 (B2), 131 (B3 2C), 135 (B2 2C)
  variant=N            0 (default): register 22 holds the type code; 1 (2 for
                       type 135): register 22 holds 9, the type comes from
                       function 5 and register 23
  layout=new|old       identification layout (default new: 4-character serial
                       number, register 12 not 0; old: 2 characters, register
                       12 = 0)
  address=N, baud=CODE as above; also settings words 8 and 6
  serial=TEXT          serial number (default 1234, old layout 12)
  year=TEXT            year of manufacture, up to 4 characters (default 2021)
  verified=DDMMYYYY    verification date (default 15032023)
  range=MIN:MAX        measuring range in °C, 0 <= MIN < MAX <= 5000 (default
                       by type: 400:1400 A1, 200:1000 B3, 600:2200 B2,
                       700:1800 B3 2C, 800:2500 B2 2C)
  sensor=N             sensor code, register 4 (default 1 for B3 and B3 2C, else 0)
  reg2=N               register 2 (default 0)
  type-byte=N|none     type byte of function 5 (default the type code); none:
                       function 5 is refused with exception 1
  settings=W0:W1:...   settings words from register 512 on (defaults: mode 0,
                       emissivity 100 or 1000 for 2C, smoothing 1, sampling
                       20:20, output 0, baud, time-out 100, address, output
                       range from the measuring range, trigger 15000 (off),
                       hysteresis 1); 9, 11 or 13 of them exist by type
  temp=C               centre of the measured temperature (default mid-range)
  drift=AMP:PERIOD     slow sine drift: amplitude in °C, period in s (default 5:120)
  noise=SIGMA          sensor noise, standard deviation in °C (default 1.5)
  seed=N               seed of the noise (default the address)
  thermostat=START:S   thermostat value START (0..127) falling to 0 over S
                       seconds after start; bit 7 of the status byte is set
                       until then (default 0: settled)
  fault=...            as above
)";

namespace {

DeviceKeys parseDeviceKeys(const std::string& text)
{
    DeviceKeys keys;
    for (const std::string& pair : split(text, ',')) {
        const auto eq = pair.find('=');
        if (eq == std::string::npos || eq == 0)
            throw std::invalid_argument("expected key=value in --device: " + pair);
        keys[pair.substr(0, eq)] = pair.substr(eq + 1);
    }
    return keys;
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
            const double ms = fraction(value(), "--turnaround-ms", 0, 60000);
            options.timing.turnaround = std::chrono::microseconds(static_cast<long long>(ms * 1000));
        } else if (arg == "--no-line-time") {
            options.timing.lineTime = false;
        } else if (arg == "--echo") {
            options.timing.echo = true;
        } else if (arg == "--trace") {
            options.traceFile = value();
        } else if (arg == "--control") {
            options.controlFile = value();
        } else if (arg == "--device") {
            options.devices.push_back(parseDeviceKeys(value()));
        } else {
            throw std::invalid_argument("unknown argument: " + arg);
        }
    }
    if (options.devices.empty())
        options.devices.push_back({});
    return options;
}

std::unique_ptr<Device> makeDevice(const DeviceKeys& keys)
{
    if (describesPyrometer(keys))
        return makePyrometer(keys);
    auto get = [&](const char* key, const char* fallback) {
        const auto it = keys.find(key);
        return it == keys.end() ? std::string(fallback) : it->second;
    };
    for (const auto& [key, value] : keys)
        if (key != "address" && key != "baud" && key != "status" && key != "type-byte" && key != "regs"
            && key != "fault")
            throw std::invalid_argument("unknown device key: " + key);
    auto device = std::make_unique<RegisterDevice>(static_cast<std::uint8_t>(bounded(get("address", "1"), "address", 1, 247)),
                                                   static_cast<int>(bounded(get("baud", "5"), "baud", 0, 8)));
    device->setStatus(static_cast<std::uint8_t>(bounded(get("status", "0"), "status", 0, 255)));
    device->setTypeByte(static_cast<std::uint8_t>(bounded(get("type-byte", "3"), "type-byte", 0, 255)));
    for (const std::string& block : split(get("regs", ""), '/')) {
        const auto regs = split(block, ':');
        long reg = bounded(regs[0], "register", 0, 0xFFFF);
        for (std::size_t i = 1; i < regs.size(); ++i, ++reg)
            device->setRegister(static_cast<std::uint16_t>(reg & 0xFFFF),
                                static_cast<std::uint16_t>(bounded(regs[i], "register value", 0, 0xFFFF)));
    }
    applyFaults(get("fault", ""), device->faults());
    return device;
}

}  // namespace sim
