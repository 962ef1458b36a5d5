#include "reading_json.h"

#include <cstdio>
#include <ctime>

namespace tools {

namespace {

// A JSON string: quotes, backslashes and control characters are escaped.
// Text from a device (`fromDevice`) may hold any byte in its registers, so
// its bytes outside ASCII are escaped too, as Latin-1, and the message stays
// valid UTF-8; the program's own texts are UTF-8 already.
std::string quoted(const char* text, std::size_t size, bool fromDevice)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < size && text[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F || (fromDevice && c > 0x7F)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

const char* reasonText(OfflineReason reason)
{
    switch (reason) {
    case OfflineReason::PortLost: return "port lost";
    case OfflineReason::DeviceSilent: return "device silent";
    case OfflineReason::LoggerStopped: return "logger stopped";
    case OfflineReason::LoggerLost: return "logger lost";
    }
    return "";
}

}  // namespace

std::string isoLocalTime(std::chrono::system_clock::time_point time)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    long fraction = static_cast<long>(ms % 1000);
    if (fraction < 0) {
        fraction += 1000;
        --seconds;
    }
    std::tm local{};
    localtime_r(&seconds, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s.%03ld%c%02ld:%02ld", date, fraction, offset < 0 ? '-' : '+',
                  magnitude / 60, magnitude % 60);
    return text;
}

std::string readingJson(int address, const PollReading& reading, const v2DeviceInfo& device,
                        std::chrono::system_clock::time_point taken)
{
    const bool ratio = (device.type & kRatioTypeBit) != 0;
    const unsigned divisor = ratio ? 1000 : 100;
    char emissivity[16];
    std::snprintf(emissivity, sizeof emissivity, ratio ? "%u.%03u" : "%u.%02u", reading.emissivity / divisor,
                  reading.emissivity % divisor);
    const unsigned mode = reading.measurement.temperatureWord;
    return "{\"time\":\"" + isoLocalTime(taken) + "\",\"address\":" + std::to_string(address)
        + ",\"temperature\":" + std::to_string(reading.measurement.temperature()) + ",\"emissivity\":" + emissivity
        + ",\"quantum\":" + std::to_string(reading.measurement.quantum()) + ",\"mode\":" + std::to_string(mode)
        + ",\"serial\":" + quoted(device.serial, sizeof device.serial, true) + ",\"type\":"
        + quoted(getDeviceName(device.type), std::string::npos, false)
        + ",\"typeCode\":" + std::to_string(device.type) + "}";
}

std::string onlineJson(std::chrono::system_clock::time_point time)
{
    return "{\"state\":\"online\",\"time\":\"" + isoLocalTime(time) + "\"}";
}

std::string offlineJson(OfflineReason reason, std::chrono::system_clock::time_point time)
{
    return std::string("{\"state\":\"offline\",\"reason\":\"") + reasonText(reason) + "\",\"time\":\""
        + isoLocalTime(time) + "\"}";
}

std::string stateJson(DeviceState state, std::chrono::system_clock::time_point time)
{
    switch (state) {
    case DeviceState::Online: return onlineJson(time);
    case DeviceState::PortLost: return offlineJson(OfflineReason::PortLost, time);
    case DeviceState::Unknown:
    case DeviceState::Silent: break;
    }
    return offlineJson(OfflineReason::DeviceSilent, time);
}

}  // namespace tools
