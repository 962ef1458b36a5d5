// The ports the QRVX setup dialog offers.
#pragma once

#include "settings/port_choices.h"

// Every port of the namespace that opens (it is closed again at once) or
// exists but cannot be opened, for instance because a program holds it;
// names that lead to no device are left out. In the order of the numbers.
QList<PortChoice> probeQrvxPorts();
