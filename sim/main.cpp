// kl_sim: simulated devices on a pseudo-terminal, for the program, the tests
// and anyone without hardware at hand.
#include "fault_control.h"
#include "line_stream.h"
#include "modbus_bus.h"
#include "pty_line.h"
#include "qrvx_streamer.h"
#include "sim_options.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) { g_stop = 1; }

int run(const sim::SimOptions& options)
{
    sim::ModbusBus bus(options.timing);
    if (!options.traceFile.empty())
        bus.traceTo(options.traceFile);
    std::vector<sim::Device*> devices;
    for (const auto& keys : options.devices) {
        auto device = sim::makeDevice(keys);
        devices.push_back(device.get());
        bus.addDevice(std::move(device));
    }
    std::unique_ptr<sim::FaultControl> control;
    if (!options.controlFile.empty())
        control = std::make_unique<sim::FaultControl>(options.controlFile, devices, [](const std::string& text) {
            std::printf("kl_sim: %s\n", text.c_str());
            std::fflush(stdout);
        });
    // With a control file the line is looked at more often, so that a spell
    // of faults ends on time.
    const auto readTimeout = std::chrono::milliseconds(control ? 20 : 100);
    sim::PtyLine line(options.folder, options.comNumber);
    std::printf("kl_sim: COM%d -> %s (%zu device%s)\n", options.comNumber, line.terminalPath().c_str(),
                options.devices.size(), options.devices.size() == 1 ? "" : "s");
    std::fflush(stdout);

    const auto send = [&line](const std::string& reply, std::chrono::steady_clock::time_point due) {
        std::this_thread::sleep_until(due);
        line.write(reply);
    };
    sim::LineStream stream;
    // While a stream runs the line is looked at every 5 ms, and the stream
    // waits while the program's side holds what it has not read, so that a
    // full terminal never blocks the simulator.
    constexpr std::size_t kStreamBacklog = 256;
    while (!g_stop) {
        const bool wasStreaming = sim::LineStream::of(devices) != sim::StreamKind::None;
        const std::string chars = line.read(wasStreaming ? std::chrono::milliseconds(5) : readTimeout);
        if (control)
            control->poll(std::chrono::steady_clock::now());
        const sim::StreamKind streaming = sim::LineStream::of(devices);
        if (streaming != sim::StreamKind::None && line.unreadByTerminal() < kStreamBacklog)
            line.write(stream.due(streaming, std::chrono::steady_clock::now(), line.lineBaud()));
        if (chars.empty())
            continue;
        if (options.timing.echo)
            line.write(chars);
        bus.receive(chars, line.lineBaud(), std::chrono::steady_clock::now(), send);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGHUP, onSignal);
    try {
        std::vector<char*> rest;
        const auto qrvx = sim::takeQrvxOptions(argc, argv, rest);
        const sim::SimOptions options = sim::parseOptions(static_cast<int>(rest.size()), rest.data());
        if (options.helpWanted) {
            std::fputs(sim::kUsage, stdout);
            std::fputs(sim::kQrvxUsage, stdout);
            return 0;
        }
        if (qrvx)
            return sim::runQrvxDevice(options, *qrvx, g_stop);
        return run(options);
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "kl_sim: %s\n\n%s", e.what(), sim::kUsage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kl_sim: %s\n", e.what());
        return 1;
    }
}
