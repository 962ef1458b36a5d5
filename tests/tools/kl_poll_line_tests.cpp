// kl_poll on a line that misbehaves, against kl_sim over pseudo-terminals:
// the port vanishes (the simulator killed, as an adapter is pulled out) and
// comes back under the same name, with the same device or another; two
// devices share the line and one of them falls silent; a burst of noise.
#include "kl_poll_fixture.h"

#include <algorithm>
#include <csignal>
#include <regex>
#include <thread>

using poll_testing::KlPollTest;
using poll_testing::occurrences;
using poll_testing::printedReadings;
using poll_testing::TracedRequest;
using poll_testing::tracedRequests;
using poll_testing::writeControl;
using testing_support::ChildProcess;
using testing_support::readAll;
using testing_support::runProgram;
using testing_support::SimProcess;
using testing_support::waitFor;
using namespace std::chrono_literals;

namespace {

constexpr long kPeriodMs = 200;

class KlPollLineTest : public KlPollTest {
protected:
    std::unique_ptr<SimProcess> startSim(const std::vector<std::string>& args, const std::string& output = {})
    {
        return std::make_unique<SimProcess>(devices.path(), args, 1, output);
    }

    std::size_t readings(const std::string& label = "COM1") const { return printedReadings(out(), label).size(); }

    std::vector<v4TermData> records(const std::string& tdf) const
    {
        TermDataFile series;
        if (!series.Read(work.file(tdf).c_str()))
            return {};
        return {series.GetTermData(), series.GetTermData() + series.GetCount()};
    }

    // The CSV file is what kl_tdf makes of the result file.
    void expectCsvOf(const std::string& tdf, const std::string& csv)
    {
        const auto table = runProgram({KL_TDF_PATH, "csv", work.file(tdf)});
        EXPECT_EQ(table.status, 0) << table.err;
        EXPECT_EQ(readAll(work.file(csv)), table.out) << csv;
    }

    void stopLogger(ChildProcess& logger)
    {
        ASSERT_TRUE(logger.signal(SIGINT));
        EXPECT_EQ(logger.wait(10s).value_or(-1), 0) << err();
    }
};

TEST_F(KlPollLineTest, APortThatVanishesIsWaitedForAndTheSeriesGoesOnWhenItComesBack)
{
    auto sim = startSim({"--device", "type=3,serial=2417"});
    ChildProcess logger(poll({"--period", std::to_string(kPeriodMs), "--timeout", "300", "--tdf", work.file("r.tdf"),
                              "--csv", work.file("r.csv")}),
                        work.file("out"), work.file("err"));
    ASSERT_TRUE(waitFor([&] { return readings() >= 5; }, 20s)) << err();
    // The entry goes with the adapter: the device folder is left empty.
    sim->kill(SimProcess::Entry::Removed);
    ASSERT_TRUE(std::filesystem::is_empty(devices.path()));
    ASSERT_TRUE(waitFor([&] { return err().find("порт недоступен") != std::string::npos; }, 10s)) << err();
    const std::size_t before = readings();
    // The adapter stays out for a second, while the logger tries to open it.
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(readings(), before);
    const std::string trace = work.file("trace");
    sim = startSim({"--trace", trace, "--device", "type=3,serial=2417"});
    ASSERT_TRUE(waitFor([&] { return readings() >= before + 5; }, 20s)) << err();
    stopLogger(logger);

    EXPECT_EQ(occurrences(err(), "порт недоступен"), 1u) << err();
    EXPECT_EQ(occurrences(err(), "порт снова доступен"), 1u) << err();
    EXPECT_EQ(occurrences(err(), "Ошибка"), 0u) << "the loss is said once, not per request\n" << err();
    EXPECT_NE(err().find(", без ответа: 0, порт пропадал: 1"), std::string::npos) << err();
    EXPECT_EQ(occurrences(out(), "заводской номер 2417"), 2u) << "identified at the start and on the return";
    expectEveryReadingLogged();
    const auto series = records("r.tdf");
    ASSERT_GT(series.size(), before);
    EXPECT_GE(series[before].time - series[before - 1].time, 1000) << "the pause lies between the two stretches";

    // Readings again within two periods of the port's return plus the
    // identification, on the simulator's clock (which starts before it
    // publishes the line).
    const auto requests = tracedRequests(readAll(trace));
    const auto firstReading = std::find_if(requests.begin(), requests.end(),
                                           [](const TracedRequest& r) { return r.isMeasurement(); });
    const auto settingsRead = std::find_if(requests.begin(), requests.end(), [](const TracedRequest& r) {
        return r.function == 4 && r.start == 512;
    });
    ASSERT_NE(firstReading, requests.end());
    ASSERT_NE(settingsRead, requests.end());
    const long identification = settingsRead->ms - requests.front().ms;
    std::printf("port back -> first request %ld ms, identification %ld ms, first reading %ld ms\n",
                requests.front().ms, identification, firstReading->ms);
    EXPECT_LE(firstReading->ms, 2 * kPeriodMs + identification);
}

TEST_F(KlPollLineTest, AnotherDeviceOnTheReturningPortGoesOnInNewFiles)
{
    auto sim = startSim({"--device", "type=3,serial=2417"});
    ChildProcess logger(poll({"--period", std::to_string(kPeriodMs), "--timeout", "300", "--tdf", work.file("r.tdf"),
                              "--csv", work.file("r.csv")}),
                        work.file("out"), work.file("err"));
    ASSERT_TRUE(waitFor([&] { return readings() >= 3; }, 20s)) << err();
    sim->kill();
    ASSERT_TRUE(waitFor([&] { return err().find("порт недоступен") != std::string::npos; }, 10s)) << err();
    const std::size_t before = readings();
    sim = startSim({"--device", "type=6,serial=5555"});
    ASSERT_TRUE(waitFor([&] { return readings() >= before + 3; }, 20s)) << err();
    stopLogger(logger);

    EXPECT_NE(err().find("на линии другой прибор: Калентир-B2 (КЛ-B2), заводской номер 5555 вместо 2417; показания "
                         "идут в " + work.file("r_2.tdf") + ", " + work.file("r_2.csv")),
              std::string::npos)
        << err();
    const auto first = records("r.tdf");
    const auto second = records("r_2.tdf");
    EXPECT_EQ(first.size(), before);
    EXPECT_EQ(first.size() + second.size(), readings());
    TermDataFile series;
    ASSERT_TRUE(series.Read(work.file("r.tdf").c_str()));
    EXPECT_STREQ(series.GetDeviceInfo()->serial, "2417");
    series.Clear();
    ASSERT_TRUE(series.Read(work.file("r_2.tdf").c_str()));
    EXPECT_STREQ(series.GetDeviceInfo()->serial, "5555");
    EXPECT_EQ(series.GetDeviceInfo()->type, 6);
    // The new device's times count from its own start.
    EXPECT_LT(second.front().time, 1000);
    expectCsvOf("r.tdf", "r.csv");
    expectCsvOf("r_2.tdf", "r_2.csv");
}

// The name first leads to a terminal where nothing answers (another device
// node took the adapter's place for a while), then to the pyrometer again.
TEST_F(KlPollLineTest, APortThatComesBackWithoutAnAnsweringDeviceIsOpenedByItsNameAgain)
{
    auto sim = startSim({"--device", "type=3,serial=2417"});
    ChildProcess logger(poll({"--period", std::to_string(kPeriodMs), "--attempts", "1", "--timeout", "200", "--tdf",
                              work.file("r.tdf"), "--csv", work.file("r.csv")}),
                        work.file("out"), work.file("err"));
    ASSERT_TRUE(waitFor([&] { return readings() >= 3; }, 20s)) << err();
    sim->kill(SimProcess::Entry::Removed);
    ASSERT_TRUE(waitFor([&] { return err().find("порт недоступен") != std::string::npos; }, 10s)) << err();
    const std::size_t before = readings();
    testing_support::PtyPeer silent(devices.path(), 1);
    ASSERT_TRUE(waitFor([&] { return err().find("порт снова доступен") != std::string::npos; }, 10s)) << err();
    ASSERT_TRUE(waitFor([&] { return err().find("Ошибка чтения сведений о приборе") != std::string::npos; }, 10s))
        << err();
    // The terminal stays open; only the name leads elsewhere now.
    sim = startSim({"--device", "type=3,serial=2417"});
    ASSERT_TRUE(waitFor([&] { return readings() >= before + 3; }, 20s)) << "polling stayed on the silent terminal\n"
                                                                          << err();
    stopLogger(logger);
    EXPECT_EQ(occurrences(err(), "порт недоступен"), 1u) << "the loss is said once\n" << err();
    expectEveryReadingLogged();
}

TEST_F(KlPollLineTest, AStopSignalEndsTheWaitForThePortAtOnce)
{
    auto sim = startSim({"--device", "type=3,serial=2417"});
    ChildProcess logger(poll({"--period", "1000", "--tdf", work.file("r.tdf"), "--csv", work.file("r.csv")}),
                        work.file("out"), work.file("err"));
    ASSERT_TRUE(waitFor([&] { return readings() >= 1; }, 20s)) << err();
    sim->kill();
    ASSERT_TRUE(waitFor([&] { return err().find("порт недоступен") != std::string::npos; }, 10s)) << err();
    ASSERT_TRUE(logger.signal(SIGTERM));
    // The port is tried every second at this period; the signal does not wait for that.
    EXPECT_EQ(logger.wait(500ms).value_or(-1), 0) << err();
    expectEveryReadingLogged();
}

// Device 1 readings' intervals while device 2 is silent: at most the period
// plus one time-out, the time-out of the one question to device 2 per cycle.
TEST_F(KlPollLineTest, ASilentDeviceOnASharedLineCostsTheOthersOneTimeOutPerCycleAtMost)
{
    constexpr long kSharedPeriodMs = 100;
    constexpr long kTimeoutMs = 300;
    const std::string control = work.file("control");
    const std::string trace = work.file("trace");
    const std::string simOut = work.file("sim.out");
    auto sim = startSim({"--control", control, "--trace", trace, "--device", "type=3,serial=2417", "--device",
                         "type=3,address=2,baud=4,serial=2418"},
                        simOut);
    ChildProcess logger(poll({"--device", "1", "--device", "2@9600", "--period", std::to_string(kSharedPeriodMs),
                              "--timeout", std::to_string(kTimeoutMs), "--tdf", work.file("r.tdf"), "--csv",
                              work.file("r.csv")}),
                        work.file("out"), work.file("err"));
    const std::string one = "COM1, адрес 1";
    const std::string two = "COM1, адрес 2";
    ASSERT_TRUE(waitFor([&] { return readings(one) >= 5 && readings(two) >= 5; }, 20s)) << err();

    writeControl(control, "2 silence\n");
    ASSERT_TRUE(waitFor([&] { return readAll(simOut).find("address 2: faults silence") != std::string::npos; }));
    const std::size_t mutedFrom = readings(one) + 1;
    const std::size_t twoBefore = readings(two);
    const long mutedAt = tracedRequests(readAll(trace)).back().ms;
    ASSERT_TRUE(waitFor([&] { return readings(one) >= mutedFrom + 40; }, 30s)) << err();
    const std::size_t mutedTo = readings(one) - 1;
    const long unmutedAt = tracedRequests(readAll(trace)).back().ms;
    writeControl(control, "");
    ASSERT_TRUE(waitFor([&] { return readings(two) > twoBefore + 2; }, 20s)) << "device 2 is polled again\n" << err();
    stopLogger(logger);

    expectEveryReadingLogged("r_a1.tdf", "r_a1.csv", one, 3, "2417");
    expectEveryReadingLogged("r_a2.tdf", "r_a2.csv", two, 3, "2418");

    const auto series = records("r_a1.tdf");
    ASSERT_GT(series.size(), mutedTo);
    long longest = 0;
    for (std::size_t i = mutedFrom; i <= mutedTo; ++i)
        longest = std::max<long>(longest, series[i].time - series[i - 1].time);
    std::printf("device 1 while device 2 is silent: longest interval %ld ms (period %ld, time-out %ld)\n", longest,
                kSharedPeriodMs, kTimeoutMs);
    // Scheduling on a busy machine may add a little.
    EXPECT_LE(longest, kSharedPeriodMs + kTimeoutMs + 100);

    // No question to the silent device is repeated within a cycle, and it is
    // asked less often after several silent cycles.
    int askedTwo = 0;
    int askedOne = 0;
    int lastAddress = 0;
    for (const TracedRequest& r : tracedRequests(readAll(trace))) {
        if (r.ms <= mutedAt || r.ms >= unmutedAt)
            continue;
        if (r.address == 2) {
            EXPECT_NE(lastAddress, 2) << "a second question to device 2 in one cycle at " << r.ms << " ms";
            ++askedTwo;
        } else {
            askedOne += r.isMeasurement();
        }
        lastAddress = r.address;
    }
    std::printf("while silent: device 2 asked %d times, device 1 read %d times\n", askedTwo, askedOne);
    EXPECT_LT(askedTwo, askedOne / 3);
}

TEST_F(KlPollLineTest, ANoiseBurstIsCountedAndNeverBecomesAReading)
{
    const std::string control = work.file("control");
    const std::string trace = work.file("trace");
    const std::string simOut = work.file("sim.out");
    auto sim = startSim({"--control", control, "--trace", trace, "--device", "type=3,serial=2417"}, simOut);
    // The time-out is long enough that on this line only the noise goes unanswered.
    ChildProcess logger(poll({"--period", "20", "--timeout", "500", "--stats", "1", "--tdf", work.file("r.tdf"),
                              "--csv", work.file("r.csv")}),
                        work.file("out"), work.file("err"));
    ASSERT_TRUE(waitFor([&] { return readings() >= 10; }, 20s)) << err();
    writeControl(control, "1 garble 5000\n");
    ASSERT_TRUE(waitFor([&] { return readAll(simOut).find("replies spoiled") != std::string::npos; }, 20s))
        << readAll(simOut);
    const std::size_t afterBurst = readings();
    ASSERT_TRUE(waitFor([&] { return readings() >= afterBurst + 10; }, 20s)) << "polling goes on\n" << err();
    stopLogger(logger);

    std::smatch spoiled;
    const std::string said = readAll(simOut);
    ASSERT_TRUE(std::regex_search(said, spoiled,
                                  std::regex(R"((\d+) replies spoiled \(bit error (\d+), garbage (\d+), cut short )"
                                             R"((\d+); function 4: (\d+)(, function 7: (\d+))?\))")))
        << said;
    const long bitErrors = std::stol(spoiled[2]);
    const long garbage = std::stol(spoiled[3]);
    const long cutShort = std::stol(spoiled[4]);
    const long measurementsSpoiled = std::stol(spoiled[5]);
    EXPECT_GE(std::stol(spoiled[1]), 6) << said;

    std::smatch counted;
    const std::string summary = err();
    ASSERT_TRUE(std::regex_search(summary, counted,
                                  std::regex(R"(kl_poll: показаний: (\d+), ошибок обмена: (\d+), искажённых )"
                                             R"(ответов: (\d+), без ответа: (\d+), порт пропадал: 0)")))
        << summary;
    EXPECT_EQ(std::stol(counted[1]), static_cast<long>(readings()));
    EXPECT_EQ(std::stol(counted[3]), bitErrors) << "a reply with a bit error is a corrupt reply";
    EXPECT_EQ(std::stol(counted[4]), garbage + cutShort) << "garbage and a reply cut short are no reply";
    EXPECT_NE(summary.find("COM1: за 1 с: показаний: "), std::string::npos) << "the periodic line";

    // Every measurement request was answered by a reading or by noise.
    expectEveryReadingLogged();
    EXPECT_EQ(poll_testing::measurementRequests(readAll(trace)),
              static_cast<int>(readings()) + measurementsSpoiled);
}

}  // namespace
