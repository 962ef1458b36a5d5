// kl_sim --qrvx: a QRVX device on the pseudo-terminal instead of Modbus
// devices. It streams value frames at a chosen rate and answers the command
// exchange.
#pragma once

#include "qrvx_device.h"
#include "sim_options.h"

#include <csignal>
#include <optional>
#include <vector>

namespace sim {

struct QrvxOptions {
    double rate = 10.0;  // frames per second
    QrvxSignal signal;
    double badChecksumShare = 0.0;
    char commandChar = 'Z';
};

extern const char* const kQrvxUsage;

// Takes the QRVX options out of the command line: `rest` receives the other
// arguments (argv[0] first) for parseOptions. Returns the options when
// --qrvx is given; throws std::invalid_argument for a bad value, for a QRVX
// option without --qrvx, and for a Modbus-only option with it.
std::optional<QrvxOptions> takeQrvxOptions(int argc, char** argv, std::vector<char*>& rest);

// Plays the device on COM<n> of the folder until `stop` becomes non-zero.
// With line time on, frames come no faster than the line's speed allows.
int runQrvxDevice(const SimOptions& common, const QrvxOptions& options, const volatile std::sig_atomic_t& stop);

}  // namespace sim
