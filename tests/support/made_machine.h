// A made /dev and /sys, named to the device namespace by KL_DEV_ROOT and
// KL_SYS_ROOT while the object lives: fixed ports, and USB adapters with
// their /dev/serial/by-id entries and sysfs records.
#pragma once

#include "test_support.h"

#include <string>

namespace testing_support {

class MadeMachine {
public:
    MadeMachine();

    // A device node; a link to `target`, so that it opens.
    void addNode(const std::string& file, const std::string& target = "/dev/null");
    // Plugs in an adapter of `serial` as `file` (ttyUSB0, ttyACM1), made by
    // "Maker" as "USB-RS485 Cable".
    void plug(const std::string& file, const std::string& serial, const std::string& target = "/dev/null");
    // Every node, by-id entry and sysfs record gone.
    void unplugAll();

    TempDir dev, sys;

private:
    ScopedEnv devRoot_{"KL_DEV_ROOT", dev.path()};
    ScopedEnv sysRoot_{"KL_SYS_ROOT", sys.path()};
};

}  // namespace testing_support
