// kl_poll as an unattended logger against kl_sim over a pseudo-terminal:
// interrupted by SIGINT or SIGTERM, or ending after --count readings, it has
// logged every reading it reported to its result file and its CSV file; a
// line that fails is reported and polling goes on; wrong command lines.
#include <kcmb.h>

#include "child_process.h"
#include "tdf_builder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

using testing_support::ChildProcess;
using testing_support::readAll;
using testing_support::runProgram;
using testing_support::ScopedEnv;
using testing_support::SimProcess;
using testing_support::TempDir;
using testing_support::waitFor;

namespace {

struct PrintedReading {
    unsigned words[5];
};

// The reading lines of kl_poll's standard output.
std::vector<PrintedReading> printedReadings(const std::string& out)
{
    std::vector<PrintedReading> readings;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        PrintedReading r{};
        if (std::sscanf(line.c_str(), "COM1: температуры %u %u %u %u, кванты %u", &r.words[0], &r.words[1],
                        &r.words[2], &r.words[3], &r.words[4])
            == 5)
            readings.push_back(r);
    }
    return readings;
}

// Requests for the measurement words in a simulator's trace.
int measurementRequests(const std::string& trace)
{
    std::istringstream in(trace);
    int n = 0;
    long ms = 0;
    int address = 0, function = 0, start = 0, count = 0;
    while (in >> ms >> address >> function >> start >> count)
        n += function == 4 && start == 256;
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

    std::string out() const { return readAll(work.file("out")); }
    std::string err() const { return readAll(work.file("err")); }

    // The result file reads back with every printed reading in order, and the
    // CSV file is exactly what kl_tdf makes of the result file.
    void expectEveryReadingLogged()
    {
        const auto printed = printedReadings(out());
        TermDataFile series;
        ASSERT_TRUE(series.Read(work.file("r.tdf").c_str()));
        ASSERT_EQ(series.GetCount(), static_cast<long>(printed.size()));
        for (std::size_t i = 0; i < printed.size(); ++i) {
            const v4TermData& r = series.GetTermData()[i];
            EXPECT_EQ(r.temperature, static_cast<std::int32_t>(printed[i].words[0])) << i;
            EXPECT_EQ(r.quantum, static_cast<std::int32_t>(printed[i].words[4])) << i;
            EXPECT_EQ(r.emissivity, 100) << i;
            if (i > 0) {
                EXPECT_GT(r.time, series.GetTermData()[i - 1].time) << i;
            }
        }
        EXPECT_EQ(series.GetDeviceInfo()->type, 3);
        EXPECT_STREQ(series.GetDeviceInfo()->serial, "2417");
        const auto csv = runProgram({KL_TDF_PATH, "csv", work.file("r.tdf")});
        EXPECT_EQ(csv.status, 0) << csv.err;
        EXPECT_EQ(readAll(work.file("r.csv")), csv.out);
    }

    TempDir devices;
    ScopedEnv deviceEnv{"KL_DEVICE_DIR", devices.path()};
    TempDir work;
};

TEST_F(KlPollTest, AStopSignalSavesEveryReadingAndEndsCleanly)
{
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
        const std::string trace = work.file("trace" + std::to_string(signal));
        SimProcess sim(devices.path(), {"--trace", trace, "--device", "type=3,serial=2417"});
        ChildProcess logger(
            poll({"--period", "20", "--tdf", work.file("r.tdf"), "--csv", work.file("r.csv")}), work.file("out"),
            work.file("err"));
        ASSERT_TRUE(waitFor([&] { return printedReadings(out()).size() >= 20; }, std::chrono::seconds(20)))
            << err();
        ASSERT_TRUE(logger.signal(signal));
        EXPECT_EQ(logger.wait(std::chrono::seconds(10)).value_or(-1), 0) << err();
        expectEveryReadingLogged();
        EXPECT_EQ(measurementRequests(readAll(trace)), static_cast<int>(printedReadings(out()).size()));
        EXPECT_NE(err().find("kl_poll: показаний: " + std::to_string(printedReadings(out()).size())
                             + ", ошибок обмена: 0"),
                  std::string::npos)
            << err();
    }
}

TEST_F(KlPollTest, ACountEndsTheLoggerByItself)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    ChildProcess logger(
        poll({"--period", "20", "--count", "15", "--tdf", work.file("r.tdf"), "--csv", work.file("r.csv")}),
        work.file("out"), work.file("err"));
    EXPECT_EQ(logger.wait(std::chrono::seconds(20)).value_or(-1), 0) << err();
    EXPECT_EQ(printedReadings(out()).size(), 15u);
    expectEveryReadingLogged();
}

TEST_F(KlPollTest, ALineThatFailsIsReportedAndPollingGoesOn)
{
    auto sim = std::make_unique<SimProcess>(devices.path(), std::vector<std::string>{"--device", "type=3,serial=2417"});
    ChildProcess logger(poll({"--period", "20", "--attempts", "1", "--timeout", "100", "--tdf", work.file("r.tdf"),
                              "--csv", work.file("r.csv")}),
                        work.file("out"), work.file("err"));
    ASSERT_TRUE(waitFor([&] { return printedReadings(out()).size() >= 5; }, std::chrono::seconds(20))) << err();
    sim.reset();
    ASSERT_TRUE(waitFor([&] { return err().find("Ошибка получения") != std::string::npos; },
                        std::chrono::seconds(10)));
    const std::size_t errorsSeen = err().size();
    ASSERT_TRUE(waitFor([&] { return err().size() > errorsSeen; }, std::chrono::seconds(10)))
        << "the logger stopped after its first error";
    EXPECT_FALSE(logger.wait(std::chrono::milliseconds(0)).has_value());
    ASSERT_TRUE(logger.signal(SIGINT));
    EXPECT_EQ(logger.wait(std::chrono::seconds(10)).value_or(-1), 0) << err();
    expectEveryReadingLogged();
}

TEST_F(KlPollTest, WrongCommandLinesAndPortsAreRefused)
{
    const auto wrong = runProgram(poll({"--period", "soon"}));
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.err.find("Использование: kl_poll"), std::string::npos);
    const auto help = runProgram({KL_POLL_PATH, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--tdf ФАЙЛ"), std::string::npos);

    testing_support::PtyPeer other(devices.path(), 2);
    const auto noPort = runProgram({KL_POLL_PATH, "COM9"});
    EXPECT_EQ(noPort.status, 1);
    EXPECT_NE(noPort.err.find("не удаётся открыть порт COM9"), std::string::npos) << noPort.err;
    const auto noFile = runProgram(poll({"--tdf", work.file("missing/folder/r.tdf")}));
    EXPECT_EQ(noFile.status, 1);
    EXPECT_NE(noFile.err.find("не удаётся создать файл результатов"), std::string::npos) << noFile.err;
}

}  // namespace
