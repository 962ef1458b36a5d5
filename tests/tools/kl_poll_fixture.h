// What the tests of kl_poll against kl_sim share: the reading lines it
// prints, the simulator's trace and control file, and a fixture with a device
// folder, a work folder and the check that every printed reading reached the
// result file and the CSV file.
#pragma once

#include <kcmb.h>

#include "child_process.h"
#include "tdf_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace poll_testing {

struct PrintedReading {
    unsigned words[5];
};

// The reading lines of kl_poll's standard output that begin with `label`
// ("COM1", or "COM1, адрес 2" when several devices share the line).
inline std::vector<PrintedReading> printedReadings(const std::string& out, const std::string& label = "COM1")
{
    std::vector<PrintedReading> readings;
    std::istringstream lines(out);
    std::string line;
    const std::string head = label + ": температуры ";
    while (std::getline(lines, line)) {
        PrintedReading r{};
        if (line.rfind(head, 0) == 0
            && std::sscanf(line.c_str() + head.size(), "%u %u %u %u, кванты %u", &r.words[0], &r.words[1],
                           &r.words[2], &r.words[3], &r.words[4])
                == 5)
            readings.push_back(r);
    }
    return readings;
}

// One request as the simulator's trace records it.
struct TracedRequest {
    long ms = 0;
    int address = 0;
    int function = 0;
    int start = 0;
    int count = 0;

    bool isMeasurement() const { return function == 4 && start == 256; }
};

// The requests of a trace's text.
inline std::vector<TracedRequest> tracedRequests(const std::string& trace)
{
    std::vector<TracedRequest> requests;
    std::istringstream in(trace);
    TracedRequest r;
    while (in >> r.ms >> r.address >> r.function >> r.start >> r.count)
        requests.push_back(r);
    return requests;
}

// Requests for the measurement words in a trace's text.
inline int measurementRequests(const std::string& trace)
{
    int n = 0;
    for (const TracedRequest& r : tracedRequests(trace))
        n += r.isMeasurement();
    return n;
}

// Replaces the simulator's control file in one step, so that it never reads
// half of it.
inline void writeControl(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".new";
    std::ofstream(temporary, std::ios::trunc) << text;
    std::filesystem::rename(temporary, path);
}

inline std::size_t occurrences(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

class KlPollTest : public ::testing::Test {
protected:
    std::vector<std::string> poll(const std::vector<std::string>& args) const
    {
        std::vector<std::string> all = {KL_POLL_PATH, "COM1"};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }

    std::string out() const { return testing_support::readAll(work.file("out")); }
    std::string err() const { return testing_support::readAll(work.file("err")); }

    // The result file reads back with every reading printed under `label`, in
    // order, from the device of `type` and `serial`, and the CSV file is
    // exactly what kl_tdf makes of the result file.
    void expectEveryReadingLogged(const std::string& tdf = "r.tdf", const std::string& csv = "r.csv",
                                  const std::string& label = "COM1", int type = 3, const char* serial = "2417")
    {
        const auto printed = printedReadings(out(), label);
        TermDataFile series;
        ASSERT_TRUE(series.Read(work.file(tdf).c_str())) << tdf;
        ASSERT_EQ(series.GetCount(), static_cast<long>(printed.size())) << tdf;
        for (std::size_t i = 0; i < printed.size(); ++i) {
            const v4TermData& r = series.GetTermData()[i];
            EXPECT_EQ(r.temperature, static_cast<std::int32_t>(printed[i].words[0])) << tdf << " " << i;
            EXPECT_EQ(r.quantum, static_cast<std::int32_t>(printed[i].words[4])) << tdf << " " << i;
            EXPECT_EQ(r.emissivity, 100) << tdf << " " << i;
            if (i > 0) {
                EXPECT_GT(r.time, series.GetTermData()[i - 1].time) << tdf << " " << i;
            }
        }
        EXPECT_EQ(series.GetDeviceInfo()->type, type) << tdf;
        EXPECT_STREQ(series.GetDeviceInfo()->serial, serial) << tdf;
        const auto table = testing_support::runProgram({KL_TDF_PATH, "csv", work.file(tdf)});
        EXPECT_EQ(table.status, 0) << table.err;
        EXPECT_EQ(testing_support::readAll(work.file(csv)), table.out) << csv;
    }

    testing_support::TempDir devices;
    testing_support::ScopedEnv deviceEnv{"KL_DEVICE_DIR", devices.path()};
    testing_support::TempDir work;
};

}  // namespace poll_testing
