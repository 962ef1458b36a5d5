#include "broker_url.h"

#include <charconv>

namespace tools {

namespace {

constexpr int kMqttPort = 1883;
constexpr int kMqttsPort = 8883;

bool parsePort(const std::string& text, int& port)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, port);
    return !text.empty() && ec == std::errc() && ptr == end && port >= 1 && port <= 65535;
}

}  // namespace

std::optional<BrokerUrl> parseBrokerUrl(const std::string& text, std::string& error)
{
    BrokerUrl url;
    std::string rest;
    if (text.rfind("mqtt://", 0) == 0) {
        rest = text.substr(7);
        url.port = kMqttPort;
    } else if (text.rfind("mqtts://", 0) == 0) {
        rest = text.substr(8);
        url.tls = true;
        url.port = kMqttsPort;
    } else {
        error = "адрес брокера должен начинаться с mqtt:// или mqtts://: " + text;
        return std::nullopt;
    }
    if (rest.find('@') != std::string::npos) {
        error = "имя и пароль не указываются в адресе брокера (их видят все в списке процессов); "
                "используйте --mqtt-credentials ФАЙЛ или KL_MQTT_USERNAME и KL_MQTT_PASSWORD";
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    std::string port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || (close + 1 < rest.size() && rest[close + 1] != ':')) {
            error = "неверный адрес брокера: " + text;
            return std::nullopt;
        }
        url.host = rest.substr(1, close - 1);
        if (close + 1 < rest.size()) {
            port = rest.substr(close + 2);
            if (port.empty()) {
                error = "неверный порт брокера: " + text;
                return std::nullopt;
            }
        }
    } else {
        const std::size_t colon = rest.find(':');
        url.host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            port = rest.substr(colon + 1);
            if (port.empty()) {
                error = "неверный порт брокера: " + text;
                return std::nullopt;
            }
        }
    }
    if (url.host.empty() || url.host.find_first_of("/?# ") != std::string::npos) {
        error = "неверный адрес брокера: " + text;
        return std::nullopt;
    }
    if (!port.empty() && !parsePort(port, url.port)) {
        error = "неверный порт брокера: " + text;
        return std::nullopt;
    }
    return url;
}

}  // namespace tools
