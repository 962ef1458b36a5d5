// PlantOutputs where the build has neither libmosquitto nor libmodbus: the
// options are understood, and refused when they ask for an output.
#include "plant_outputs.h"

namespace tools {

struct PlantOutputs::Parts {
};

PlantOutputs::PlantOutputs(PlantOptions options) : options_(std::move(options)), parts_(std::make_unique<Parts>()) {}

PlantOutputs::~PlantOutputs() = default;

bool PlantOutputs::start(const PollOptions&, std::string& error)
{
    if (!options_.mqtt && !options_.modbusTcp)
        return true;
    error = "эта сборка kl_poll не поддерживает MQTT и Modbus TCP";
    return false;
}

ReadingSink* PlantOutputs::sink() { return nullptr; }

void PlantOutputs::finish() {}

}  // namespace tools
