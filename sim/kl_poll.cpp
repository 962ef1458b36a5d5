// kl_poll: a short command-line check of the device link library. It opens a
// port, reads the measurement registers of the device at address 1 a few
// times and prints them.
#include <kcmb.h>

#include "platform/clock.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr unsigned kMeasurementRegister = 256;
constexpr unsigned kMeasurementWords = 5;

// Reads the measurement words with one exchange; the result code of the exchange.
int readMeasurement(void* port, unsigned short (&words)[kMeasurementWords])
{
    char request[6] = {1, 4, static_cast<char>(kMeasurementRegister >> 8), static_cast<char>(kMeasurementRegister & 0xFF),
                       0, static_cast<char>(kMeasurementWords)};
    char reply[64];
    int count = 0;
    const int result = KCCommModBus(port, request, sizeof request, reply, sizeof reply, &count);
    if (result != 0)
        return result;
    if (reply[1] & 0x80)
        return reply[2];
    if (count < 3 + 2 * static_cast<int>(kMeasurementWords))
        return 7;
    for (unsigned i = 0; i < kMeasurementWords; ++i)
        words[i] = static_cast<unsigned short>(static_cast<unsigned char>(reply[3 + 2 * i]) << 8
                                               | static_cast<unsigned char>(reply[4 + 2 * i]));
    return 0;
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
    int failures = 0;
    for (int i = 0; i < rounds; ++i) {
        unsigned short words[kMeasurementWords] = {};
        const int result = readMeasurement(guard.handle, words);
        if (result == 0)
            std::printf("%s: temperatures %u %u %u %u, quantum %u\n", portName, words[0], words[1], words[2], words[3],
                        words[4]);
        else
            std::printf("%s: result %d\n", portName, result);
        std::fflush(stdout);
        failures += result != 0;
        if (i + 1 < rounds)
            platform::sleepMs(static_cast<unsigned>(periodMs));
    }
    guard.reset();
    KCClose();
    return failures == rounds ? 1 : 0;
}
