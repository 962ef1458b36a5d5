// kl_poll: a short command-line check of the device link library. It opens a
// port, prints the identification of the device at address 1, then reads its
// measurement registers a few times and prints them.
#include <kcmb.h>

#include "platform/clock.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr unsigned short kMeasurementRegister = 256;
constexpr unsigned short kMeasurementWords = 5;
constexpr char kAddress = 1;

// Prints the identification of the device; false when it cannot be read.
bool printIdentification(void* port, const char* portName)
{
    DeviceInfo info{};
    const int result = getDeviceInfo(port, kAddress, &info);
    if (result != 0) {
        std::printf("%s: identification: %s (%d)\n", portName, KCGetErrorTxt(static_cast<unsigned short>(result)),
                    result);
        return false;
    }
    std::printf("%s: %s, serial number %s, made %s, sensor %s, %u..%u °C, verified %s\n", portName,
                getDeviceName(info.type), info.serial, info.year, KCGetSensorName(static_cast<unsigned short>(info.sensor)),
                info.tempMin, info.tempMax, info.verifyDate);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* portName = argc > 1 ? argv[1] : "com1";
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;
    const int periodMs = argc > 3 ? std::atoi(argv[3]) : 500;
    if (!KCInit()) {
        std::fprintf(stderr, "kl_poll: no COM port in the device namespace\n");
        return 1;
    }
    HandleGuard guard = KCOpenPort(portName, 5);
    if (!platform::isUsableHandle(guard.handle)) {
        std::fprintf(stderr, "kl_poll: cannot open %s\n", portName);
        KCClose();
        return 1;
    }
    int failures = printIdentification(guard.handle, portName) ? 0 : 1;
    for (int i = 0; i < rounds; ++i) {
        unsigned short words[kMeasurementWords] = {};
        const int result = readWords(guard.handle, kAddress, kMeasurementRegister, words, kMeasurementWords);
        if (result == 0)
            std::printf("%s: temperatures %u %u %u %u, quantum %u\n", portName, words[0], words[1], words[2], words[3],
                        words[4]);
        else
            std::printf("%s: %s (%d)\n", portName, KCGetErrorTxt(static_cast<unsigned short>(result)), result);
        std::fflush(stdout);
        failures += result != 0;
        if (i + 1 < rounds)
            platform::sleepMs(static_cast<unsigned>(periodMs));
    }
    guard.reset();
    KCClose();
    return failures > rounds ? 1 : 0;
}
