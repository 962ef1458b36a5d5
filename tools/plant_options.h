// The options of kl_poll for the systems of a plant: the MQTT broker the
// readings go to and the Modbus TCP address they are served at.
#pragma once

#include "broker_url.h"

#include <optional>
#include <string>
#include <vector>

namespace tools {

struct PlantOptions {
    std::optional<BrokerUrl> mqtt;  // --mqtt URL
    std::string mqttCaFile;         // --mqtt-ca FILE
    std::string credentialsFile;    // --mqtt-credentials FILE
    std::string topicPrefix;        // --mqtt-topic PREFIX; empty: kl/<host>/<port>
    int qos = 1;                    // --mqtt-qos 0..2
    long bound = 10000;             // --mqtt-buffer N: readings kept while the broker is away

    bool modbusTcp = false;             // --modbus-tcp [HOST:]PORT
    std::string modbusHost = "127.0.0.1";
    int modbusPort = 502;
};

// Takes the plant's options out of `args`, leaving the others in their order.
// False, with the reason, when one is wrong.
bool takePlantOptions(std::vector<std::string>& args, PlantOptions& options, std::string& error);

extern const char kPlantUsage[];

}  // namespace tools
