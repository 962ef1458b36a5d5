// kl_poll: an unattended logger of the pyrometers on one line. It opens a
// port, polls each device in turn as the program does, prints its
// identification and logs every reading (a line on standard output, a result
// file, a CSV file, and on request an MQTT broker and Modbus TCP registers)
// until it is interrupted (SIGINT, SIGTERM) or has logged --count readings of
// each device; then it saves and ends. Link errors are
// said on standard error and polling goes on; a port that goes away is waited
// for.
#include "device_poller.h"
#include "plant_outputs.h"
#include "poll_loop.h"
#include "poll_options.h"
#include "port_list.h"
#include "stop_signals.h"

#include <kcmb.h>

#include "platform/device_names.h"
#include "platform/message_box.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

// The library's messages (a result file that cannot be written) go to
// standard error as one line each.
void sayMessagesOnStandardError()
{
    platform::setMessageBoxService([](const platform::MessageRequest& request) {
        std::fprintf(stderr, "kl_poll: %s: %s\n", request.caption.c_str(), request.text.c_str());
        return platform::MessageAnswer::Ok;
    });
}

// The port's name, and with several devices on the line the address too.
std::string labelOf(const tools::PollOptions& options, const tools::PolledDevice& device)
{
    return options.severalDevices() ? options.port + ", адрес " + std::to_string(device.address) : options.port;
}

bool finishAll(std::vector<std::unique_ptr<tools::DevicePoller>>& devices)
{
    bool saved = true;
    for (auto& device : devices)
        saved = device->finish() && saved;
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args)
        if (arg == "-h" || arg == "--help") {
            std::fputs(tools::kPollUsage, stdout);
            std::fputs(tools::kPlantUsage, stdout);
            return 0;
        }
    if (args.size() == 1 && args.front() == "--list-ports") {
        std::fputs(tools::portListText(platform::listDevicePorts()).c_str(), stdout);
        return 0;
    }
    std::string error;
    tools::PlantOptions plantOptions;
    std::optional<tools::PollOptions> options;
    if (tools::takePlantOptions(args, plantOptions, error))
        options = tools::parsePollOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "kl_poll: %s\n%s", error.c_str(), tools::kPollUsage);
        return kUsage;
    }
    // Before anything else, so that no thread of the library takes the signals.
    tools::StopSignals stop;
    sayMessagesOnStandardError();

    std::vector<std::unique_ptr<tools::DevicePoller>> devices;
    for (const tools::PolledDevice& device : options->devices) {
        devices.push_back(std::make_unique<tools::DevicePoller>(device, *options, labelOf(*options, device), stop));
        if (!devices.back()->open(error)) {
            std::fprintf(stderr, "kl_poll: %s\n", error.c_str());
            finishAll(devices);
            return kFailed;
        }
    }
    // Before the port: a broker that refuses the logger is said at once.
    tools::PlantOutputs plant(plantOptions);
    if (!plant.start(*options, error)) {
        std::fprintf(stderr, "kl_poll: %s\n", error.c_str());
        finishAll(devices);
        return kFailed;
    }
    for (auto& device : devices)
        device->setSink(plant.sink());
    if (!KCInit()) {
        std::fprintf(stderr, "kl_poll: нет ни одного COM-порта\n");
        finishAll(devices);
        return kFailed;
    }
    KCOpenError why = KC_OPEN_OK;
    HandleGuard guard =
        KCOpenPortWhy(options->port.c_str(), static_cast<char>(options->devices.front().baudCode), &why);
    if (!guard) {
        std::fprintf(stderr, "kl_poll: не удаётся открыть порт %s: %s\n", options->port.c_str(),
                     KCGetOpenErrorTxt(why));
        KCClose();
        finishAll(devices);
        return kFailed;
    }
    void* port = guard.release();
    KCSetTimeOut(port, options->timeoutMs);

    long portLosses = 0;
    {
        tools::PollLoop loop(port, *options, devices, stop);
        loop.run();
        portLosses = loop.portLosses();
    }
    KCClose();
    const bool saved = finishAll(devices);
    plant.finish();
    kc::LinkCounts total;
    for (const auto& device : devices) {
        total += device->counts();
        if (options->severalDevices())
            std::fprintf(stderr, "kl_poll: %s: %s\n", device->label().c_str(),
                         tools::describeCounts(device->counts()).c_str());
    }
    std::fprintf(stderr, "kl_poll: %s, порт пропадал: %ld\n", tools::describeCounts(total).c_str(), portLosses);
    return saved ? 0 : kFailed;
}
