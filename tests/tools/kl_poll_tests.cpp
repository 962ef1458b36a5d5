// kl_poll as an unattended logger against kl_sim over a pseudo-terminal:
// interrupted by SIGINT or SIGTERM, or ending after --count readings, it has
// logged every reading it reported to its result file and its CSV file; a
// line that fails is reported and polling goes on; wrong command lines.
#include "kl_poll_fixture.h"
#include "made_machine.h"

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>

using poll_testing::KlPollTest;
using poll_testing::measurementRequests;
using poll_testing::printedReadings;
using testing_support::ChildProcess;
using testing_support::readAll;
using testing_support::runProgram;
using testing_support::SimProcess;
using testing_support::waitFor;

namespace {

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

TEST_F(KlPollTest, TheRussianCsvFormIsTheOneKlTdfGivesForTheResultFile)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    ChildProcess logger(poll({"--period", "20", "--count", "5", "--tdf", work.file("r.tdf"), "--csv",
                              work.file("r.csv"), "--ru"}),
                        work.file("out"), work.file("err"));
    EXPECT_EQ(logger.wait(std::chrono::seconds(20)).value_or(-1), 0) << err();
    const auto table = runProgram({KL_TDF_PATH, "csv", work.file("r.tdf"), "--ru"});
    ASSERT_EQ(table.status, 0) << table.err;
    const std::string csv = readAll(work.file("r.csv"));
    EXPECT_EQ(csv, table.out);
    EXPECT_EQ(csv.rfind("Время;Время от начала (мс);", 0), 0u) << csv;
    EXPECT_NE(csv.find(";1,00;"), std::string::npos) << "an emissivity of 1 with a decimal comma: " << csv;
}

TEST_F(KlPollTest, ALineThatFailsIsReportedAndPollingGoesOn)
{
    const std::string control = work.file("control");
    SimProcess sim(devices.path(), {"--control", control, "--device", "type=3,serial=2417"});
    ChildProcess logger(poll({"--period", "20", "--attempts", "1", "--timeout", "100", "--tdf", work.file("r.tdf"),
                              "--csv", work.file("r.csv")}),
                        work.file("out"), work.file("err"));
    ASSERT_TRUE(waitFor([&] { return printedReadings(out()).size() >= 5; }, std::chrono::seconds(20))) << err();
    poll_testing::writeControl(control, "1 silence\n");
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

TEST_F(KlPollTest, AStopDuringAStreamOnTheLineEndsWithinOneExchangeAndCountsTheStreamAsNoReply)
{
    const std::string control = work.file("control");
    SimProcess sim(devices.path(), {"--control", control, "--device", "type=3,serial=2417"});
    constexpr int kTimeoutMs = 200;
    ChildProcess logger(poll({"--period", "20", "--timeout", std::to_string(kTimeoutMs), "--tdf",
                              work.file("r.tdf"), "--csv", work.file("r.csv")}),
                        work.file("out"), work.file("err"));
    ASSERT_TRUE(waitFor([&] { return printedReadings(out()).size() >= 5; }, std::chrono::seconds(20))) << err();
    // A GPS receiver on the line for 10 s: long enough that a logger held
    // by it fails the test, short enough that it does not hang it.
    poll_testing::writeControl(control, "1 stream:text 10000\n");
    ASSERT_TRUE(waitFor([&] { return err().find("на линии поток данных без ответа (7)") != std::string::npos; },
                        std::chrono::seconds(5)))
        << err();
    const auto stopped = std::chrono::steady_clock::now();
    ASSERT_TRUE(logger.signal(SIGTERM));
    EXPECT_EQ(logger.wait(std::chrono::seconds(15)).value_or(-1), 0) << err();
    const auto tookMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - stopped).count();
    // One exchange's deadline (the time-out and the line time of the request
    // and the longest reply at 19200 baud), and the saving of the files.
    EXPECT_LT(tookMs, kTimeoutMs + 143 + 300);
    const std::string summary = err().substr(err().rfind("kl_poll: показаний: "));
    int readings = -1, failures = -1, corrupt = -1, noReply = -1;
    ASSERT_EQ(std::sscanf(summary.c_str(),
                          "kl_poll: показаний: %d, ошибок обмена: %d, искажённых ответов: %d, без ответа: %d",
                          &readings, &failures, &corrupt, &noReply),
              4)
        << summary;
    EXPECT_GT(noReply, 0) << summary;
    EXPECT_GT(failures, 0) << summary;
    expectEveryReadingLogged();
}

// A device in mode 2 that reports an emissivity word of 1000: the result
// file holds the word of mode 2 as the temperature and the device as a ratio
// device, whose emissivity words are the ratio x 1000.
TEST_F(KlPollTest, ARatioDeviceInMode2IsLoggedWithItsModesWordAndTheRatioBit)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417,settings=2:1000"});
    ChildProcess logger(
        poll({"--period", "20", "--count", "5", "--tdf", work.file("r.tdf"), "--csv", work.file("r.csv")}),
        work.file("out"), work.file("err"));
    EXPECT_EQ(logger.wait(std::chrono::seconds(20)).value_or(-1), 0) << err();
    const auto printed = printedReadings(out());
    ASSERT_EQ(printed.size(), 5u) << err();
    TermDataFile series;
    ASSERT_TRUE(series.Read(work.file("r.tdf").c_str()));
    EXPECT_EQ(series.GetDeviceInfo()->type, 3 | 0x80);
    EXPECT_DOUBLE_EQ(series.GetECoeff(), 1000.0);
    ASSERT_EQ(series.GetCount(), 5);
    for (std::size_t i = 0; i < printed.size(); ++i) {
        const v4TermData& r = series.GetTermData()[i];
        EXPECT_EQ(r.temperature, static_cast<std::int32_t>(printed[i].words[2])) << i;
        EXPECT_EQ(r.quantum, static_cast<std::int32_t>(printed[i].words[4])) << i;
        EXPECT_EQ(r.emissivity, 1000) << i;
    }
    const auto table = runProgram({KL_TDF_PATH, "csv", work.file("r.tdf")});
    EXPECT_EQ(readAll(work.file("r.csv")), table.out);
}

// Device 1's thermostat settles for an hour; device 2 beside it is read all
// the while. Device 1 is asked its state, never its temperature.
TEST_F(KlPollTest, NoTemperatureIsReadWhileTheThermostatSettles)
{
    const std::string trace = work.file("trace");
    SimProcess sim(devices.path(), {"--trace", trace, "--device", "type=3,serial=2417,thermostat=40:3600",
                                    "--device", "type=3,address=2,serial=2418"});
    ChildProcess logger(poll({"--device", "1", "--device", "2", "--period", "20"}), work.file("out"),
                        work.file("err"));
    ASSERT_TRUE(waitFor([&] { return printedReadings(out(), "COM1, адрес 2").size() >= 10; },
                        std::chrono::seconds(20)))
        << err();
    ASSERT_TRUE(logger.signal(SIGINT));
    EXPECT_EQ(logger.wait(std::chrono::seconds(10)).value_or(-1), 0) << err();
    EXPECT_TRUE(printedReadings(out(), "COM1, адрес 1").empty()) << out();
    int stateRequests = 0;
    for (const poll_testing::TracedRequest& r : poll_testing::tracedRequests(readAll(trace))) {
        if (r.address != 1)
            continue;
        EXPECT_FALSE(r.isMeasurement()) << "device 1's temperature read at " << r.ms << " ms";
        stateRequests += r.function == 7;
    }
    EXPECT_GE(stateRequests, 1);
    const std::string said = "COM1, адрес 1: термостат не в режиме (";
    const std::size_t at = err().find(said);
    ASSERT_NE(at, std::string::npos) << err();
    const int thermostat = std::atoi(err().c_str() + at + said.size());
    EXPECT_GE(thermostat, 35) << err();
    EXPECT_LE(thermostat, 40) << err();
}

TEST_F(KlPollTest, WrongCommandLinesAndPortsAreRefused)
{
    const auto wrong = runProgram(poll({"--period", "soon"}));
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.err.find("Использование: kl_poll"), std::string::npos);
    const auto help = runProgram({KL_POLL_PATH, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--tdf ФАЙЛ"), std::string::npos);
    EXPECT_NE(help.out.find("Существующий файл заменяется только первым показанием"), std::string::npos);
    EXPECT_NE(help.out.find("--list-ports"), std::string::npos);

    testing_support::PtyPeer other(devices.path(), 2);
    const auto noPort = runProgram({KL_POLL_PATH, "COM9"});
    EXPECT_EQ(noPort.status, 1);
    EXPECT_NE(noPort.err.find("не удаётся открыть порт COM9"), std::string::npos) << noPort.err;
    const auto noFile = runProgram(poll({"--tdf", work.file("missing/folder/r.tdf")}));
    EXPECT_EQ(noFile.status, 1);
    EXPECT_NE(noFile.err.find("не удаётся создать файл результатов"), std::string::npos) << noFile.err;
}

// The files of an earlier run, and what is left of them after another.
class KeptFiles {
public:
    explicit KeptFiles(const testing_support::TempDir& work) : work_(work)
    {
        TermDataFile series;
        series.SetBeginTime(&testing_support::kBegin);
        for (int i = 0; i < 3; ++i)
            series.Add(i * 500, 800 + i, 100, 40000);
        series.SetFilePath(work_.file("keep.tdf").c_str());
        series.Save();
        std::ofstream(work_.file("keep.csv"), std::ios::binary) << "an older table\r\n1,2,3\r\n";
        tdf_ = readAll(work_.file("keep.tdf"));
        csv_ = readAll(work_.file("keep.csv"));
    }

    std::vector<std::string> args() const
    {
        return {"--tdf", work_.file("keep.tdf"), "--csv", work_.file("keep.csv")};
    }

    // Both files byte for byte as they were, and no temporary file beside them.
    void expectUntouched() const
    {
        EXPECT_FALSE(tdf_.empty());
        EXPECT_EQ(readAll(work_.file("keep.tdf")), tdf_);
        EXPECT_EQ(readAll(work_.file("keep.csv")), csv_);
        EXPECT_FALSE(std::filesystem::exists(work_.file("keep.tdf.tmp")));
        EXPECT_FALSE(std::filesystem::exists(work_.file("keep.csv.tmp")));
    }

private:
    const testing_support::TempDir& work_;
    std::string tdf_;
    std::string csv_;
};

TEST_F(KlPollTest, AStartThatFailsLeavesTheFilesOfAnEarlierRunAsTheyWere)
{
    const KeptFiles kept(work);
    testing_support::PtyPeer other(devices.path(), 2);
    ASSERT_EQ(::mkfifo(work.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(work.file("folder"));
    const struct {
        const char* what;
        std::string target;  // COM9 links to it; none: no COM9
        const char* says;
    } ports[] = {
        {"a missing port", "", "Порт не найден."},
        {"a FIFO", work.file("fifo"), "Это не последовательный порт."},
        {"/dev/null", "/dev/null", "Это не последовательный порт."},
        {"a folder", work.file("folder"), "Это не последовательный порт."},
        {"a dangling link", work.file("unplugged"), "Порт не найден."},
    };
    for (const auto& port : ports) {
        SCOPED_TRACE(port.what);
        std::filesystem::remove(devices.file("COM9"));
        if (!port.target.empty())
            std::filesystem::create_symlink(port.target, devices.file("COM9"));
        std::vector<std::string> args = {KL_POLL_PATH, "COM9"};
        for (const std::string& arg : kept.args())
            args.push_back(arg);
        const auto run = runProgram(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(std::string("не удаётся открыть порт COM9: ") + port.says), std::string::npos)
            << run.err;
        kept.expectUntouched();
    }
}

TEST_F(KlPollTest, AnExistingFileIsReplacedOnlyByTheFirstReading)
{
    const KeptFiles kept(work);
    const std::string control = work.file("control");
    std::ofstream(control) << "1 silence\n";
    SimProcess sim(devices.path(), {"--control", control, "--device", "type=3,serial=2417"});
    std::vector<std::string> args = {"--period", "20", "--attempts", "1", "--timeout", "100"};
    for (const std::string& arg : kept.args())
        args.push_back(arg);
    {
        // Stopped before any reading: nothing is replaced.
        ChildProcess logger(poll(args), work.file("out"), work.file("err"));
        ASSERT_TRUE(waitFor([&] { return err().find("Ошибка чтения сведений") != std::string::npos; },
                            std::chrono::seconds(10)))
            << err();
        ASSERT_TRUE(logger.signal(SIGINT));
        EXPECT_EQ(logger.wait(std::chrono::seconds(10)).value_or(-1), 0) << err();
        kept.expectUntouched();
    }
    poll_testing::writeControl(control, "1 none\n");
    args.insert(args.end(), {"--count", "5"});
    ChildProcess logger(poll(args), work.file("out"), work.file("err"));
    EXPECT_EQ(logger.wait(std::chrono::seconds(20)).value_or(-1), 0) << err();
    EXPECT_EQ(printedReadings(out()).size(), 5u);
    expectEveryReadingLogged("keep.tdf", "keep.csv");
    EXPECT_FALSE(std::filesystem::exists(work.file("keep.csv.tmp")));
}

// The result file is saved whole through a file renamed over it: a pipe or a
// device there would be replaced by a plain file.
TEST_F(KlPollTest, AResultFileThatIsNoRegularFileIsRefusedAndLeftAlone)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    ASSERT_EQ(::mkfifo(work.file("fifo.tdf").c_str(), 0600), 0);
    std::filesystem::create_directory(work.file("folder.tdf"));
    for (const char* name : {"fifo.tdf", "folder.tdf"}) {
        SCOPED_TRACE(name);
        const auto run = runProgram(poll({"--count", "1", "--tdf", work.file(name)}));
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("не удаётся создать файл результатов " + work.file(name)), std::string::npos)
            << run.err;
        EXPECT_TRUE(printedReadings(run.out).empty());
    }
    EXPECT_TRUE(std::filesystem::is_fifo(work.file("fifo.tdf")));
    EXPECT_TRUE(std::filesystem::is_directory(work.file("folder.tdf")));
}

TEST_F(KlPollTest, AnOutputThatNeverTookAWriteIsNeverSaidToWriteAgain)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    const auto run = runProgram(poll({"--period", "20", "--count", "3", "--csv", "/dev/full"}));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ошибка записи: файл CSV /dev/full"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("снова пишется"), std::string::npos) << run.err;
}

TEST_F(KlPollTest, ListPortsNamesEachPortAndEachAdaptersMakerProductAndSerialNumber)
{
    testing_support::MadeMachine machine;
    testing_support::TempDir settings;
    const testing_support::ScopedEnv settingsDir("KL_SETTINGS_DIR", settings.path());
    const testing_support::ScopedEnv noFolder("KL_DEVICE_DIR", work.file("no-such-folder"));
    machine.addNode("ttyS0");
    // Two adapters; the second run finds them plugged the other way round.
    machine.plug("ttyUSB0", "A1");
    machine.plug("ttyUSB1", "B2");
    const auto first = runProgram({KL_POLL_PATH, "--list-ports"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "COM1  " + machine.dev.file("ttyS0") + "\n" + "COM101  " + machine.dev.file("ttyUSB0")
                             + "  Maker USB-RS485 Cable, серийный номер A1\n" + "COM102  " + machine.dev.file("ttyUSB1")
                             + "  Maker USB-RS485 Cable, серийный номер B2\n");

    machine.unplugAll();
    machine.addNode("ttyS0");
    machine.plug("ttyUSB0", "B2");
    machine.plug("ttyUSB1", "A1");
    const auto second = runProgram({KL_POLL_PATH, "--list-ports"});
    EXPECT_EQ(second.out, "COM1  " + machine.dev.file("ttyS0") + "\n" + "COM101  " + machine.dev.file("ttyUSB1")
                              + "  Maker USB-RS485 Cable, серийный номер A1\n" + "COM102  " + machine.dev.file("ttyUSB0")
                              + "  Maker USB-RS485 Cable, серийный номер B2\n");
}

}  // namespace
