#include "plant_options.h"

#include "mqtt_topics.h"

#include <charconv>

namespace tools {

const char kPlantUsage[] =
    "Передача показаний в системы завода:\n"
    "  --mqtt URL     публиковать показания на брокере MQTT: mqtt://УЗЕЛ[:ПОРТ] (1883)\n"
    "                 или mqtts://УЗЕЛ[:ПОРТ] (8883, TLS)\n"
    "  --mqtt-ca ФАЙЛ сертификаты удостоверяющих центров для mqtts:// (без него:\n"
    "                 системные)\n"
    "  --mqtt-credentials ФАЙЛ\n"
    "                 имя и пароль на брокере: строки username=ИМЯ и password=ПАРОЛЬ;\n"
    "                 без него из переменных KL_MQTT_USERNAME и KL_MQTT_PASSWORD\n"
    "  --mqtt-topic ПРЕФИКС\n"
    "                 начало тем (kl/<узел>/<порт>): показания в ПРЕФИКС/<адрес>,\n"
    "                 состояние прибора в ПРЕФИКС/<адрес>/status, kl_poll в ПРЕФИКС/status\n"
    "  --mqtt-qos N   QoS показаний, 0..2 (1)\n"
    "  --mqtt-buffer N\n"
    "                 показаний в очереди, пока брокер недоступен, 1..1000000 (10000);\n"
    "                 сверх этого отбрасываются самые старые\n"
    "  --modbus-tcp [УЗЕЛ:]ПОРТ\n"
    "                 отдавать показания как входные регистры Modbus TCP (только\n"
    "                 чтение; без УЗЛА на 127.0.0.1)\n";

namespace {

bool parseNumber(const std::string& text, long low, long high, long& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

// [HOST:]PORT; an IPv6 address in brackets ([::]:502).
bool parseEndpoint(const std::string& text, PlantOptions& options)
{
    const std::size_t colon = text.rfind(':');
    std::string host;
    if (colon != std::string::npos) {
        host = text.substr(0, colon);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);
        if (host.empty())
            return false;
    }
    long port = 0;
    if (!parseNumber(text.substr(colon == std::string::npos ? 0 : colon + 1), 0, 65535, port))
        return false;
    if (!host.empty())
        options.modbusHost = host;
    options.modbusPort = static_cast<int>(port);
    options.modbusTcp = true;
    return true;
}

}  // namespace

bool takePlantOptions(std::vector<std::string>& args, PlantOptions& options, std::string& error)
{
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool ours = arg == "--mqtt" || arg == "--mqtt-ca" || arg == "--mqtt-credentials" || arg == "--mqtt-topic"
            || arg == "--mqtt-qos" || arg == "--mqtt-buffer" || arg == "--modbus-tcp";
        if (!ours) {
            rest.push_back(arg);
            continue;
        }
        if (i + 1 == args.size() || args[i + 1].empty()) {
            error = "нет значения у " + arg;
            return false;
        }
        const std::string& value = args[++i];
        long number = 0;
        if (arg == "--mqtt") {
            options.mqtt = parseBrokerUrl(value, error);
            if (!options.mqtt)
                return false;
        } else if (arg == "--mqtt-ca") {
            options.mqttCaFile = value;
        } else if (arg == "--mqtt-credentials") {
            options.credentialsFile = value;
        } else if (arg == "--mqtt-topic") {
            options.topicPrefix = value;
            if (!validTopicPrefix(value)) {
                error = "неверное значение --mqtt-topic: " + value + " (без +, # и / в конце)";
                return false;
            }
        } else if (arg == "--mqtt-qos") {
            if (!parseNumber(value, 0, 2, number)) {
                error = "неверное значение --mqtt-qos: " + value + " (допустимо 0..2)";
                return false;
            }
            options.qos = static_cast<int>(number);
        } else if (arg == "--mqtt-buffer") {
            if (!parseNumber(value, 1, 1000000, number)) {
                error = "неверное значение --mqtt-buffer: " + value + " (допустимо 1..1000000)";
                return false;
            }
            options.bound = number;
        } else if (!parseEndpoint(value, options)) {
            error = "неверное значение --modbus-tcp: " + value + " (допустимо [УЗЕЛ:]ПОРТ, ПОРТ 0..65535)";
            return false;
        }
    }
    const bool mqttDetails = !options.mqttCaFile.empty() || !options.credentialsFile.empty()
        || !options.topicPrefix.empty();
    if (!options.mqtt && mqttDetails) {
        error = "параметры MQTT указаны без --mqtt";
        return false;
    }
    if (options.mqtt && !options.mqtt->tls && !options.mqttCaFile.empty()) {
        error = "--mqtt-ca только для mqtts://";
        return false;
    }
    args = std::move(rest);
    return true;
}

}  // namespace tools
