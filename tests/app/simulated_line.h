// A simulated line for the program's tests: kl_sim on a pseudo-terminal
// published in a device folder of the test's own, with the trace of every
// request on the line; a working folder (the current directory while the
// test runs) for result files and logs; scripted message boxes.
#pragma once

#include "app_test_support.h"
#include "test_support.h"

#include <kcmb.h>

#include <QDir>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

// The bytes of a file; empty when it cannot be read.
inline std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One request as the simulator's trace records it.
struct TracedRequest {
    long ms;
    int address;
    int function;
    int start;
    int count;
};

class SimulatedLine {
public:
    SimulatedLine() : previousDir_(QDir::currentPath())
    {
        QDir::setCurrent(QString::fromStdString(work.path()));
        std::ofstream created(controlPath());
    }
    ~SimulatedLine()
    {
        stop();
        KCClose();
        QDir::setCurrent(previousDir_);
    }
    SimulatedLine(const SimulatedLine&) = delete;
    SimulatedLine& operator=(const SimulatedLine&) = delete;

    // Starts kl_sim on COM1 with `args` and builds the port table.
    void start(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = {"--trace", tracePath(), "--control", controlPath()};
        all.insert(all.end(), args.begin(), args.end());
        sim_ = std::make_unique<testing_support::SimProcess>(devices.path(), all, 1, outputPath());
        KCInit();
    }
    void stop() { sim_.reset(); }
    // Ends the simulator as an adapter is pulled out: the line hangs up, and
    // its entry is left as `entry` says.
    void kill(testing_support::SimProcess::Entry entry = testing_support::SimProcess::Entry::Dangling)
    {
        sim_->kill(entry);
    }
    // Switches a device's faults while the simulator runs: "ADDRESS FAULTS [MS]".
    void control(const std::string& line) const { std::ofstream(controlPath()) << line << "\n"; }

    std::string tracePath() const { return work.file("sim.trace"); }
    std::string controlPath() const { return work.file("sim.control"); }
    std::string outputPath() const { return work.file("sim.out"); }
    // What the simulator said on its standard output.
    std::string output() const
    {
        std::ifstream in(outputPath());
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::vector<TracedRequest> requests() const
    {
        std::vector<TracedRequest> requests;
        std::ifstream in(tracePath());
        TracedRequest r{};
        while (in >> r.ms >> r.address >> r.function >> r.start >> r.count)
            requests.push_back(r);
        return requests;
    }

    // Requests of the temperature block (function 4 at register 256).
    int temperatureRequests() const
    {
        int n = 0;
        for (const auto& r : requests())
            n += r.function == 4 && r.start == 256;
        return n;
    }

    // The result files (.tdf) in the working folder.
    std::vector<std::filesystem::path> resultFiles() const
    {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(work.path()))
            if (entry.path().extension() == ".tdf")
                files.push_back(entry.path());
        return files;
    }

    // The count stored in the only result file, or -1 without one.
    long resultFileCount() const
    {
        const auto files = resultFiles();
        if (files.size() != 1)
            return -1;
        std::ifstream in(files.front(), std::ios::binary);
        in.seekg(62);
        std::int32_t count = -1;
        in.read(reinterpret_cast<char*>(&count), 4);
        return count;
    }

    // Reads `count` input registers from `start` of the device at `address`
    // on COM1 at 19200 baud (while no program holds the port); empty when
    // they cannot be read.
    std::vector<unsigned short> deviceWords(unsigned short start, unsigned short count, char address = 1) const
    {
        HandleGuard port = KCOpenPortWhy("com1", 5, nullptr);
        std::vector<unsigned short> words(count);
        if (!port || !kc::readWords(port.get(), address, start, words.data(), count).ok())
            words.clear();
        return words;
    }

    int boxesWithCaption(const std::string& caption) const
    {
        int n = 0;
        for (const auto& box : boxes.shown())
            n += box.caption == caption;
        return n;
    }

    testing_support::TempDir devices;
    testing_support::ScopedEnv deviceEnv{"KL_DEVICE_DIR", devices.path()};
    testing_support::TempDir work;
    testing_support::ScriptedMessageBoxes boxes;

private:
    QString previousDir_;
    std::unique_ptr<testing_support::SimProcess> sim_;
};

// The keys of a plain register device at address 1 that identifies as an A1
// pyrometer (type 0, 200 to 1000 °C, serial 1234): identification registers,
// nine settings words with `mode`, and the five measurement words.
inline std::string registerPyrometer(int mode, const std::string& measurement = "1100:1200:1300:1400:30000")
{
    return "address=1,type-byte=0,regs=0:473:1273:0:0:0:12594:13108:12848:12849:12597:12339:12848:12851"
           "/256:"
        + measurement + "/512:" + std::to_string(mode) + ":95:1:20:20:0:5:100:1";
}
