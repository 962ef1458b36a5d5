// kl_poll as an unattended logger against kl_sim over a pseudo-terminal:
// interrupted by SIGINT or SIGTERM, or ending after --count readings, it has
// logged every reading it reported to its result file and its CSV file; a
// line that fails is reported and polling goes on; wrong command lines.
#include "kl_poll_fixture.h"

#include <csignal>

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
