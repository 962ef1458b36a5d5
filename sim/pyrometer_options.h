// The pyrometer of a --device argument that names a type.
#pragma once

#include "pyrometer_config.h"
#include "sim_options.h"

#include <memory>

namespace sim {

// Whether a --device argument asks for a pyrometer (it has a type key).
bool describesPyrometer(const DeviceKeys& keys);

// The configuration the keys describe on top of the model's defaults;
// throws std::invalid_argument with a message for the user.
PyrometerConfig pyrometerConfigOf(const DeviceKeys& keys);

std::unique_ptr<Device> makePyrometer(const DeviceKeys& keys);

}  // namespace sim
