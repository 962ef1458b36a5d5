#include "fault_control.h"

#include "option_values.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace sim {

namespace {

// The file's content; empty when it cannot be read (not written yet).
std::string readWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in)
        text << in.rdbuf();
    return text.str();
}

struct ControlLine {
    int address = 0;
    std::string faultsText;
    Faults faults;
    std::optional<long> ms;
};

// "ADDRESS FAULTS [MS]"; throws std::invalid_argument.
ControlLine parseLine(const std::string& line)
{
    std::istringstream in(line);
    std::string address, faults, ms, rest;
    in >> address >> faults >> ms >> rest;
    if (faults.empty() || !rest.empty())
        throw std::invalid_argument("expected ADDRESS FAULTS [MS]: " + line);
    ControlLine parsed;
    parsed.address = static_cast<int>(bounded(address, "address", 1, 255));
    parsed.faultsText = faults;
    if (faults != "none")
        applyFaults(faults, parsed.faults);
    if (!ms.empty())
        parsed.ms = bounded(ms, "duration", 1, 86400000);
    return parsed;
}

std::string nameOf(const Device& device)
{
    return "address " + std::to_string(device.address());
}

}  // namespace

FaultControl::FaultControl(std::string path, const std::vector<Device*>& devices, Say say)
    : path_(std::move(path)), say_(std::move(say))
{
    for (Device* device : devices)
        devices_.push_back({device, device->faults(), {}, false, std::nullopt});
}

void FaultControl::poll(Clock::time_point now)
{
    for (Controlled& c : devices_)
        if (c.active && c.until && now >= *c.until)
            restore(c, "(time is up)");
    std::string content = readWhole(path_);
    if (content == content_)
        return;
    content_ = std::move(content);
    apply(*content_, now);
}

void FaultControl::apply(const std::string& content, Clock::time_point now)
{
    std::map<int, std::pair<std::string, ControlLine>> lines;
    std::istringstream in(content);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        try {
            const ControlLine parsed = parseLine(line);
            lines[parsed.address] = {line, parsed};
        } catch (const std::invalid_argument& e) {
            say_("control file " + path_ + ": " + e.what());
        }
    }
    for (Controlled& c : devices_) {
        const auto it = lines.find(c.device->address());
        if (it == lines.end()) {
            if (c.active)
                restore(c, "");
            c.line.clear();
            continue;
        }
        const auto& [text, parsed] = it->second;
        if (text == c.line)
            continue;
        endSpoiling(c);
        c.device->faults() = parsed.faults;
        c.line = text;
        c.active = true;
        c.until.reset();
        if (parsed.ms)
            c.until = now + std::chrono::milliseconds(*parsed.ms);
        say_(nameOf(*c.device) + ": faults " + parsed.faultsText
             + (parsed.ms ? " for " + std::to_string(*parsed.ms) + " ms" : ""));
    }
}

void FaultControl::endSpoiling(Controlled& c)
{
    if (c.active && c.device->faults().garble)
        say_(nameOf(*c.device) + ": " + describeSpoils(c.device->spoiler().counts()));
    c.device->spoiler().resetCounts();
}

void FaultControl::restore(Controlled& c, const std::string& why)
{
    endSpoiling(c);
    c.device->faults() = c.commandLine;
    c.active = false;
    c.until.reset();
    say_(nameOf(*c.device) + ": faults of the command line again" + (why.empty() ? "" : " " + why));
}

}  // namespace sim
