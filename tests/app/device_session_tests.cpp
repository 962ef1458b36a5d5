// The device session without any widget, against simulated devices: the
// identification, the readings with their own times, pausing, writing the
// settings, disconnecting and quitting, and that nothing of an earlier run
// acts after it.
#include "session/device_session.h"

#include "simulated_line.h"

#include "platform/serial.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <QTime>

#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

using testing_support::caseName;

namespace {

class DeviceSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QObject::connect(session.get(), &DeviceSession::identified,
                         [this](const IdentifiedDevice& d) { identified.push_back(d); });
        QObject::connect(session.get(), &DeviceSession::reading,
                         [this](const SessionReading& r) { readings.push_back(r); });
        QObject::connect(session.get(), &DeviceSession::stateRead,
                         [this](std::uint8_t s) { states.push_back(s); });
    }

    void connectTo(const std::vector<std::string>& simArgs)
    {
        line.start(simArgs);
        ASSERT_TRUE(session->connectDevice(settings));
    }

    bool waitForReadings(std::size_t n, std::chrono::milliseconds deadline = std::chrono::milliseconds(15000))
    {
        return processUntil([&] { return readings.size() >= n; }, deadline);
    }

    // Runs the event loop for `ms` and says whether nothing arrived meanwhile.
    bool quietFor(int ms)
    {
        const std::size_t before = readings.size();
        processUntil([] { return false; }, std::chrono::milliseconds(ms));
        return readings.size() == before;
    }

    SimulatedLine line;
    StoredSettings settings;
    std::unique_ptr<DeviceSession> session = std::make_unique<DeviceSession>();
    std::vector<IdentifiedDevice> identified;
    std::vector<SessionReading> readings;
    std::vector<std::uint8_t> states;
};

struct ModelCase {
    const char* keys;
    const char* emissivityWord;
    int settingsWords;
    std::uint16_t smoothingSteps;  // maximum of limit entry 1 as the device keeps it
    std::uint16_t entryZeroMinimum;
};

void PrintTo(const ModelCase& m, std::ostream* os)
{
    *os << m.keys;
}

class IdentificationTest : public DeviceSessionTest, public ::testing::WithParamInterface<ModelCase> {};

TEST_P(IdentificationTest, ReadsSettingsAndTableAndRecordsReadingsInTheSeriesTheFileAndTheLog)
{
    const ModelCase& m = GetParam();
    settings.program.log = true;
    settings.program.logFileName = QString::fromStdString(line.work.file("readings.log"));
    connectTo({"--device", std::string(m.keys) + ",year=2019,verified=05032024,range=300:1700,settings=0:"
                               + m.emissivityWord + ":2:30:40:1:5:100:1:350:1650:1200:7"});
    ASSERT_TRUE(waitForReadings(3));

    ASSERT_EQ(identified.size(), 1u);
    const KCConfig config = session->config();
    EXPECT_EQ(config.maxSampling, 40);
    EXPECT_EQ(config.outputTMin, m.settingsWords > 9 ? 350 : 0) << "word 9 read only from 11-word devices";
    EXPECT_EQ(config.trigger, m.settingsWords > 11 ? 1200 : 0) << "word 11 read only from 13-word devices";
    const LimitTable limits = session->limits();
    EXPECT_EQ(limits[1].maximum, m.smoothingSteps);
    EXPECT_EQ(limits[0].minimum, m.entryZeroMinimum);
    EXPECT_EQ(limits[7].maximum, 247) << "entry 7 comes from the device's table";
    EXPECT_EQ(limits[10].minimum, 300);
    EXPECT_EQ(limits[10].maximum, 1700);

    TermDataFile* series = session->series();
    const v4TermData* first = series->GetFirst(0);
    ASSERT_NE(first, nullptr);
    EXPECT_GE(first->temperature, 300);
    EXPECT_LE(first->temperature, 1700);
    EXPECT_GT(first->quantum, 0) << "the quantum count goes with each record";
    EXPECT_EQ(first->emissivity, std::atoi(m.emissivityWord));
    EXPECT_EQ(static_cast<long>(readings.front().temperature), first->temperature);
    EXPECT_GE(line.resultFileCount(), 3);
    EXPECT_EQ(series->GetDeviceInfo()->tempMax, 1700);

    QFile log(QString::fromStdString(line.work.file("readings.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    const int word = std::atoi(m.emissivityWord);
    const QString emissivity = QString::asprintf("%0.2f", word / (word > 100 ? 1000.0 : 100.0));
    EXPECT_TRUE(QRegularExpression(QString(R"(^\d\d:\d\d:\d\d\.\d\d\d \d+ )") + emissivity + "$").match(lines[0]).hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(line.boxes.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Types, IdentificationTest,
    ::testing::Values(ModelCase{"type=0", "95", 9, 9, 10}, ModelCase{"type=3,layout=old", "95", 11, 11, 10},
                      ModelCase{"type=6", "95", 11, 11, 10}, ModelCase{"type=131", "1050", 9, 11, 850},
                      ModelCase{"type=131,variant=1", "1050", 11, 11, 850}, ModelCase{"type=135", "1050", 13, 11, 850}),
    [](const auto& info) { return caseName(info.param.keys); });

// A device that reports an emissivity word above 100 counts as a ratio device;
// the identification still says which type it gave.
class RatioTypeTest : public DeviceSessionTest, public ::testing::WithParamInterface<int> {};

TEST_P(RatioTypeTest, KeepsTheTypeAsGivenBesideTheRatioFlag)
{
    connectTo({"--device", "type=" + std::to_string(GetParam()) + ",settings=0:1000"});
    ASSERT_TRUE(waitForReadings(1));
    ASSERT_EQ(identified.size(), 1u);
    EXPECT_EQ(identified[0].deviceInfo.type, GetParam());
    EXPECT_TRUE(identified[0].ratio);
    EXPECT_EQ(session->deviceInfo().type, GetParam() | 0x80);
    EXPECT_DOUBLE_EQ(session->series()->GetECoeff(), 1000.0);
}

INSTANTIATE_TEST_SUITE_P(Types, RatioTypeTest, ::testing::Values(0, 3, 6),
                         [](const auto& info) { return caseName("Type", info.param); });

// The reading is the word of the device's mode: modes 0 to 3 have one each;
// any other mode reads the plain measurement, never the quantum count.
class ModeWordTest : public DeviceSessionTest, public ::testing::WithParamInterface<std::pair<int, unsigned>> {};

TEST_P(ModeWordTest, TheReadingComesFromTheModesOwnWord)
{
    connectTo({"--device", registerPyrometer(GetParam().first)});
    ASSERT_TRUE(waitForReadings(2));
    EXPECT_EQ(session->currentMode(), GetParam().first);
    EXPECT_EQ(readings[0].temperature, GetParam().second);
    EXPECT_EQ(readings[0].quantum, 30000u);
}

INSTANTIATE_TEST_SUITE_P(Modes, ModeWordTest,
                         ::testing::Values(std::make_pair(0, 1100u), std::make_pair(1, 1200u), std::make_pair(2, 1300u),
                                           std::make_pair(3, 1400u), std::make_pair(4, 1100u)),
                         [](const auto& info) {
                             return caseName("Mode", info.param.first, "Reads", info.param.second);
                         });

TEST_F(DeviceSessionTest, ReadingsKeepTheirOwnTimesWhileTheInterfaceThreadLags)
{
    settings.program.periodMs = 20;
    connectTo({"--no-line-time", "--device", "type=6"});
    ASSERT_TRUE(waitForReadings(3));
    // The interface thread does nothing for half a second; the worker goes on.
    const std::size_t beforeLag = readings.size();
    QThread::msleep(500);
    // Every request sent so far gives its reading, but the one in flight.
    const int sent = line.temperatureRequests();
    ASSERT_TRUE(processUntil([&] { return static_cast<int>(readings.size()) >= sent - 1; }));
    EXPECT_GE(readings.size() - beforeLag, 20u) << "readings went on during the lag";
    session->pausePolling();
    EXPECT_LE(static_cast<int>(readings.size()), line.temperatureRequests()) << "none counted twice";
    long longest = 0;
    for (std::size_t i = 1; i < readings.size(); ++i) {
        ASSERT_GT(readings[i].timeMs, readings[i - 1].timeMs) << "reading " << i;
        longest = std::max(longest, readings[i].timeMs - readings[i - 1].timeMs);
    }
    EXPECT_LT(longest, 200) << "the readings taken during the lag keep the times they were taken at";
    EXPECT_EQ(session->series()->GetCount(), static_cast<long>(readings.size()));
}

TEST_F(DeviceSessionTest, PausedPollingSendsNothingAndResumesExactlyOnce)
{
    settings.program.periodMs = 50;
    connectTo({"--device", "type=0"});
    ASSERT_TRUE(waitForReadings(2));
    session->pausePolling();
    EXPECT_EQ(session->state(), DeviceSession::State::Paused);
    const std::size_t requestsAtPause = line.requests().size();
    EXPECT_TRUE(quietFor(400));
    EXPECT_EQ(line.requests().size(), requestsAtPause);

    session->resumePolling();
    session->resumePolling();
    ASSERT_TRUE(waitForReadings(readings.size() + 4));
    // One polling worker: the readings come at the period, not twice as often.
    const auto requests = line.requests();
    std::vector<long> at;
    for (const auto& r : requests)
        if (r.function == 4 && r.start == 256)
            at.push_back(r.ms);
    ASSERT_GE(at.size(), 4u);
    EXPECT_GE(at[at.size() - 1] - at[at.size() - 2], 40);
}

TEST_F(DeviceSessionTest, ReadingsQueuedBeforeAPauseDoNothingAfterIt)
{
    settings.program.periodMs = 20;
    connectTo({"--no-line-time", "--device", "type=0"});
    ASSERT_TRUE(waitForReadings(1));
    // Readings pile up in the queue while nothing handles them.
    const int before = line.temperatureRequests();
    ASSERT_TRUE(testing_support::waitFor([&] { return line.temperatureRequests() >= before + 5; }));
    const long count = session->series()->GetCount();
    session->pausePolling();
    EXPECT_TRUE(quietFor(200));
    EXPECT_EQ(session->series()->GetCount(), count);
}

TEST_F(DeviceSessionTest, AnIdentificationDoneAfterADisconnectStartsNothing)
{
    connectTo({"--device", "type=0"});
    // The identification ends (its last request is the mode read) while the
    // interface thread is busy; its report waits in the queue.
    ASSERT_TRUE(testing_support::waitFor([&] {
        const auto r = line.requests();
        return r.size() >= 2 && r.back().function == 4 && r.back().start == 512 && r.back().count == 1;
    }));
    QThread::msleep(100);
    session->disconnectDevice();
    const std::size_t requests = line.requests().size();
    EXPECT_TRUE(quietFor(300));
    EXPECT_TRUE(identified.empty());
    EXPECT_EQ(session->state(), DeviceSession::State::Disconnected);
    EXPECT_EQ(line.requests().size(), requests) << "no polling after the disconnect";
}

TEST_F(DeviceSessionTest, DisconnectDuringARequestWaitsForItClosesThePortAndSavesTheSeries)
{
    connectTo({"--device", "type=0,fault=delay:300"});
    ASSERT_TRUE(waitForReadings(2));
    void* port = session->port();
    KCPortInfo* info = getKCPortInfo(port);
    ASSERT_TRUE(processUntil([&] { return info->state == 2; }));
    session->disconnectDevice();
    EXPECT_FALSE(session->isConnected());
    EXPECT_EQ(getKCPortInfo(port), nullptr);
    EXPECT_EQ(line.resultFileCount(), session->series()->GetCount());
    EXPECT_TRUE(line.boxes.shown().empty()) << "no box for a request cut short";
}

TEST_F(DeviceSessionTest, ADisconnectWhileTriesRunLeavesNoBox)
{
    attemptCount() = 5;
    connectTo({"--device", "type=0,fault=mute:7"});
    ASSERT_TRUE(processUntil([&] { return session->state() == DeviceSession::State::Polling; }));
    // The state request is in its tries, each waiting for the time-out.
    ASSERT_TRUE(testing_support::waitFor([&] {
        int n = 0;
        for (const auto& r : line.requests())
            n += r.function == 7;
        return n >= 1;
    }));
    session->disconnectDevice();
    EXPECT_EQ(line.boxesWithCaption("Ошибка получения состояния"), 0);
}

TEST_F(DeviceSessionTest, QuittingWhileConnectedStopsTheWorkersAndClosesThePort)
{
    settings.program.periodMs = 20;
    connectTo({"--no-line-time", "--device", "type=3"});
    ASSERT_TRUE(waitForReadings(3));
    session->close();
    const std::size_t requests = line.requests().size();
    EXPECT_FALSE(session->isConnected());
    EXPECT_TRUE(quietFor(200));
    EXPECT_EQ(line.requests().size(), requests);
    const long saved = session->series()->GetCount();
    session.reset();
    EXPECT_EQ(line.resultFileCount(), saved);
}

TEST_F(DeviceSessionTest, WithoutAReadingNoResultFileIsLeft)
{
    connectTo({"--device", "type=0,thermostat=40:3600"});
    ASSERT_TRUE(processUntil([&] { return !states.empty(); }));
    session->disconnectDevice();
    EXPECT_TRUE(line.resultFiles().empty()) << "disconnect";
    ASSERT_TRUE(session->connectDevice(settings));
    ASSERT_TRUE(processUntil([&] { return states.size() >= 2; }));
    session.reset();
    EXPECT_TRUE(line.resultFiles().empty()) << "the session's end";
}

TEST_F(DeviceSessionTest, AStateReadThatNeverSucceedsWarnsOnceAndTheTemperatureIsStillRead)
{
    attemptCount() = 2;
    connectTo({"--device", "type=0,fault=mute:7"});
    ASSERT_TRUE(waitForReadings(1));
    EXPECT_EQ(line.boxesWithCaption("Ошибка получения состояния"), 1);
    EXPECT_EQ(line.boxes.shown()[0].text, "тайм-аут");
    EXPECT_EQ(line.boxes.shown()[0].icon, platform::MessageIcon::Warning);
    int stateRequests = 0;
    for (const auto& r : line.requests())
        stateRequests += r.function == 7;
    EXPECT_EQ(stateRequests, 2) << "as many tries as the attempt count";
    // No settled state was seen: the readings count from the first of them.
    EXPECT_EQ(readings[0].timeMs, 0);
    attemptCount() = 5;
}

TEST_F(DeviceSessionTest, AFailedTemperatureReadWarnsUnderItsOwnCaption)
{
    attemptCount() = 2;
    connectTo({"--device", registerPyrometer(0) + ",fault=refuse:256"});
    ASSERT_TRUE(processUntil([&] { return !line.boxes.shown().empty(); }));
    EXPECT_EQ(line.boxes.shown()[0].caption, "Ошибка получения температуры");
    EXPECT_EQ(line.boxes.shown()[0].text, "неверный адрес");
    EXPECT_EQ(line.boxesWithCaption("Ошибка получения состояния"), 0);
    attemptCount() = 5;
}

TEST_F(DeviceSessionTest, AnUnsettledThermostatStopsTemperatureRequestsAndTheStateIsReadAgainAfterSixSeconds)
{
    connectTo({"--device", "type=0,thermostat=40:3600"});
    auto stateReads = [&] {
        std::vector<long> at;
        for (const auto& r : line.requests())
            if (r.function == 7)
                at.push_back(r.ms);
        return at;
    };
    ASSERT_TRUE(processUntil([&] { return stateReads().size() >= 2; }, std::chrono::milliseconds(9000)));
    const auto at = stateReads();
    EXPECT_GE(at[1] - at[0], 5500);
    EXPECT_LE(at[1] - at[0], 7500);
    EXPECT_EQ(line.temperatureRequests(), 0) << "temperature read while the thermostat settles";
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states[0] & 0x7F, 40);
    EXPECT_TRUE(readings.empty());
}

TEST_F(DeviceSessionTest, TheManualLineStatesReachThePortRecordExactlyAsStored)
{
    settings.comm.automaticFlow = false;
    settings.comm.sendDTR = 1;
    settings.comm.sendRTS = 0;
    settings.comm.recvDTR = 0;
    settings.comm.recvRTS = 1;
    connectTo({"--device", "type=0"});
    const KCPortInfo* info = getKCPortInfo(session->port());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->sendDTR, 1);
    EXPECT_EQ(info->sendRTS, 0);
    EXPECT_EQ(info->recvDTR, 0);
    EXPECT_EQ(info->recvRTS, 1);
    session->disconnectDevice();

    settings.comm.automaticFlow = true;
    ASSERT_TRUE(session->connectDevice(settings));
    info = getKCPortInfo(session->port());
    EXPECT_EQ(info->sendDTR, 255) << "automatic flow leaves every line alone";
    EXPECT_EQ(info->recvRTS, 255);
}

struct WriteCase {
    const char* type;
    int words;
};

void PrintTo(const WriteCase& w, std::ostream* os)
{
    *os << "type=" << w.type;
}

class WriteSettingsTest : public DeviceSessionTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteSettingsTest, WritesTheWordsOfTheTypeToTheOldAddressAndFollowsTheDevice)
{
    connectTo({"--device", std::string("type=") + GetParam().type});
    ASSERT_TRUE(waitForReadings(2));
    bool written = false;
    QObject::connect(session.get(), &DeviceSession::settingsWritten, [&] { written = true; });

    session->pausePolling();
    KCConfig config = session->config();
    config.address = 9;
    config.baudRate = 4;
    session->setConfig(config);
    session->writeSettings(1);
    ASSERT_TRUE(waitForReadings(readings.size() + 2));
    EXPECT_TRUE(written);

    int words = 0;
    for (const auto& r : line.requests())
        if (r.function == 16) {
            EXPECT_EQ(r.address, 1);
            words += r.count;
        }
    EXPECT_EQ(words, GetParam().words);
    EXPECT_EQ(line.requests().back().address, 9) << "polling goes on at the new address";
    platform::LineSettings settings;
    ASSERT_TRUE(platform::getLineSettings(session->port(), settings));
    EXPECT_EQ(settings.baudRate, 9600u);
    EXPECT_TRUE(line.boxes.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(Types, WriteSettingsTest,
                         ::testing::Values(WriteCase{"0", 9}, WriteCase{"6", 11}, WriteCase{"135", 13},
                                           WriteCase{"3,variant=1", 11}),
                         [](const ::testing::TestParamInfo<WriteCase>& info) {
                             return "type" + std::to_string(std::atoi(info.param.type)) + "_"
                                 + std::to_string(info.param.words) + "words";
                         });

TEST_F(DeviceSessionTest, AFailedWriteStillResumesPolling)
{
    connectTo({"--device", "type=0"});
    ASSERT_TRUE(waitForReadings(2));
    session->pausePolling();
    KCConfig config = session->config();
    config.mode = 9;  // outside the device's limits: refused with exception 3
    session->setConfig(config);
    session->writeSettings(1);
    ASSERT_TRUE(processUntil([&] { return session->state() == DeviceSession::State::Polling; }));
    EXPECT_EQ(line.boxesWithCaption("Ошибка внесения изменений"), 1);
}

TEST_F(DeviceSessionTest, AnExistingLogIsAppendedToWhenTheOperatorAnswersNo)
{
    const std::string logFile = line.work.file("old.log");
    std::ofstream(logFile) << "earlier line\n";
    settings.program.log = true;
    settings.program.logFileName = QString::fromStdString(logFile);
    line.boxes.answerNext(platform::MessageAnswer::No);
    connectTo({"--device", "type=0"});
    ASSERT_TRUE(waitForReadings(2));
    EXPECT_EQ(line.boxes.shown()[0].caption, "Открытие файла");
    std::ifstream in(logFile);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "earlier line");
    std::string second;
    EXPECT_TRUE(static_cast<bool>(std::getline(in, second)));
}

TEST_F(DeviceSessionTest, CancellingTheLogQuestionTurnsTheLogOff)
{
    const std::string logFile = line.work.file("old.log");
    std::ofstream(logFile) << "keep me\n";
    settings.program.log = true;
    settings.program.logFileName = QString::fromStdString(logFile);
    line.boxes.answerNext(platform::MessageAnswer::Cancel);
    connectTo({"--device", "type=0"});
    EXPECT_FALSE(session->logging());
    ASSERT_TRUE(waitForReadings(2));
    std::ifstream in(logFile);
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_EQ(all.str(), "keep me\n");
}

}  // namespace

namespace {

// An adapter pulled out and plugged in again, a device that falls silent, a
// noisy line: the session keeps its series and goes on by itself.
class ResilienceTest : public DeviceSessionTest {
protected:
    void SetUp() override
    {
        DeviceSessionTest::SetUp();
        QObject::connect(session.get(), &DeviceSession::portLost, [this] { ++lost; });
        QObject::connect(session.get(), &DeviceSession::portBack, [this] { ++back; });
        QObject::connect(session.get(), &DeviceSession::requestFailed,
                         [this](const kc::Result& result) { failures.push_back(result.fault); });
    }

    int lost = 0;
    int back = 0;
    std::vector<kc::Fault> failures;
};

TEST_F(ResilienceTest, AnAdapterPulledOutAndPluggedInAgainGoesOnInTheSameSeries)
{
    settings.program.periodMs = 200;
    connectTo({"--device", "type=0"});
    ASSERT_TRUE(waitForReadings(3));
    // The entry goes with the adapter: the device folder is left empty.
    line.kill(testing_support::SimProcess::Entry::Removed);
    ASSERT_TRUE(std::filesystem::is_empty(line.devices.path()));
    ASSERT_TRUE(processUntil([&] { return session->state() == DeviceSession::State::WaitingForPort; }));
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(session->isConnected());
    const long before = session->series()->GetCount();
    EXPECT_EQ(line.resultFileCount(), before) << "the file is whole while the port is away";
    EXPECT_TRUE(quietFor(700));
    EXPECT_EQ(lost, 1) << "said once";

    line.start({"--device", "type=0"});
    const auto returned = std::chrono::steady_clock::now();
    const std::size_t readingsAtReturn = readings.size();
    ASSERT_TRUE(waitForReadings(readingsAtReturn + 1));
    const auto firstAgain = std::chrono::steady_clock::now() - returned;
    // The reopening tries every 0.5 s, the identification takes about 0.5 s
    // at 19200 baud, then two periods at most; slack for a loaded machine.
    EXPECT_LT(firstAgain, std::chrono::milliseconds(3000));
    EXPECT_EQ(back, 1);
    ASSERT_TRUE(waitForReadings(readingsAtReturn + 3));
    EXPECT_EQ(line.resultFiles().size(), 1u) << "the same series, the same file";
    EXPECT_EQ(line.resultFileCount(), session->series()->GetCount());
    EXPECT_GT(session->series()->GetCount(), before);
    for (std::size_t i = 1; i < readings.size(); ++i)
        EXPECT_GT(readings[i].timeMs, readings[i - 1].timeMs);
    EXPECT_GT(readings[readingsAtReturn].timeMs - readings[readingsAtReturn - 1].timeMs, 700)
        << "the pause is a gap in the times";
    EXPECT_TRUE(line.boxes.shown().empty()) << "no box for the port, none per request";
}

// The name first leads to a terminal where nothing answers (another device
// node took the adapter's place for a while), then to the device again.
TEST_F(ResilienceTest, APortThatComesBackWithoutAnAnsweringDeviceIsOpenedByItsNameAgain)
{
    settings.program.periodMs = 100;
    connectTo({"--device", "type=0"});
    ASSERT_TRUE(waitForReadings(2));
    line.kill(testing_support::SimProcess::Entry::Removed);
    ASSERT_TRUE(processUntil([&] { return session->state() == DeviceSession::State::WaitingForPort; }));
    const std::size_t before = readings.size();
    testing_support::PtyPeer silent(line.devices.path(), 1);
    ASSERT_TRUE(processUntil([&] { return back == 1; }));
    // The terminal stays open; only the name leads elsewhere now.
    testing_support::SimProcess device(line.devices.path(), {"--device", "type=0"});
    ASSERT_TRUE(waitForReadings(before + 2, std::chrono::seconds(40)))
        << "polling stayed on the silent terminal";
    EXPECT_GE(back, 2);
    EXPECT_EQ(session->state(), DeviceSession::State::Polling);
    EXPECT_TRUE(line.boxes.shown().empty());
}

TEST_F(ResilienceTest, DisconnectWhileWaitingForThePortEndsTheWaitAtOnce)
{
    connectTo({"--device", "type=0"});
    ASSERT_TRUE(waitForReadings(2));
    line.kill();
    ASSERT_TRUE(processUntil([&] { return session->state() == DeviceSession::State::WaitingForPort; }));
    const auto start = std::chrono::steady_clock::now();
    session->disconnectDevice();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(session->state(), DeviceSession::State::Disconnected);
    EXPECT_EQ(line.resultFileCount(), session->series()->GetCount());
    line.start({"--device", "type=0"});
    EXPECT_TRUE(quietFor(1200)) << "no reopening after the disconnect";
}

TEST_F(ResilienceTest, AnotherDeviceOnTheReturningPortIsRecordedOnlyAsTheOperatorSays)
{
    settings.program.periodMs = 100;
    connectTo({"--device", "type=0,serial=1111"});
    ASSERT_TRUE(waitForReadings(2));
    line.kill();
    ASSERT_TRUE(processUntil([&] { return session->state() == DeviceSession::State::WaitingForPort; }));
    line.boxes.answerNext(platform::MessageAnswer::No);
    line.start({"--device", "type=0,serial=2222"});
    ASSERT_TRUE(waitForReadings(readings.size() + 2));
    ASSERT_EQ(line.boxes.shown().size(), 1u);
    EXPECT_EQ(line.boxes.shown()[0].caption, "Смена прибора");
    EXPECT_NE(line.boxes.shown()[0].text.find("2222"), std::string::npos);
    EXPECT_EQ(line.resultFiles().size(), 2u) << "No: a new series in a file of its own";
    EXPECT_EQ(std::string(session->series()->GetDeviceInfo()->serial, 4), "2222");
}

TEST_F(ResilienceTest, AStreamOnTheLineFailsTheRequestsAndADisconnectEndsWithinOneExchange)
{
    settings.program.periodMs = 20;
    connectTo({"--device", "type=0"});
    ASSERT_TRUE(waitForReadings(2));
    constexpr int kTimeoutMs = 200;
    KCSetTimeOut(session->port(), kTimeoutMs);
    // A steady run of ':' for 10 s: a session held by it fails the test
    // without hanging it.
    line.control("1 stream:colons 10000");
    ASSERT_TRUE(processUntil(
        [&] { return std::count(failures.begin(), failures.end(), kc::Fault::EndlessInput) >= 2; },
        std::chrono::milliseconds(5000)));
    const auto start = std::chrono::steady_clock::now();
    session->disconnectDevice();
    const auto tookMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(session->isConnected());
    // One exchange's deadline: the time-out and the line time of the request
    // and the longest reply at 19200 baud; and the saving of the series.
    EXPECT_LT(tookMs, kTimeoutMs + 143 + 200);
}

TEST_F(ResilienceTest, ARatioDeviceByItsEmissivityWordComesBackAsItself)
{
    // A B3 whose emissivity word is above 100 counts as a ratio device: the
    // program's ratio bit on its type is not another device.
    settings.program.periodMs = 100;
    connectTo({"--device", "type=3,settings=0:850:1"});
    ASSERT_TRUE(waitForReadings(2));
    ASSERT_TRUE(identified.back().ratio);
    line.kill();
    ASSERT_TRUE(processUntil([&] { return session->state() == DeviceSession::State::WaitingForPort; }));
    line.start({"--device", "type=3,settings=0:850:1"});
    ASSERT_TRUE(waitForReadings(readings.size() + 2));
    EXPECT_EQ(line.boxesWithCaption("Смена прибора"), 0);
    EXPECT_EQ(line.resultFiles().size(), 1u);
    EXPECT_EQ(line.resultFileCount(), session->series()->GetCount());
}

TEST_F(DeviceSessionTest, ANewConnectionStartsANewSeriesInAFileOfItsOwn)
{
    settings.program.periodMs = 100;
    connectTo({"--device", "type=3"});
    ASSERT_TRUE(waitForReadings(4));
    session->disconnectDevice();
    ASSERT_EQ(line.resultFiles().size(), 1u);
    const auto first = line.resultFiles().front();
    const std::string firstBytes = fileBytes(first);
    const long firstCount = line.resultFileCount();
    // The next second gives the next series its own file name.
    const QTime begun = QTime::currentTime();
    processUntil([&] { return QTime::currentTime().second() != begun.second(); }, std::chrono::milliseconds(1500));
    readings.clear();
    ASSERT_TRUE(session->connectDevice(settings));
    ASSERT_TRUE(waitForReadings(3));
    EXPECT_EQ(session->series()->GetCount(), static_cast<long>(readings.size())) << "only the new readings";
    EXPECT_LT(readings.front().timeMs, 1500) << "its times start near 0";
    session->disconnectDevice();
    EXPECT_EQ(line.resultFiles().size(), 2u);
    EXPECT_EQ(fileBytes(first), firstBytes) << "the first series never grows";
    EXPECT_GT(firstCount, 0);
}

TEST_F(ResilienceTest, ANoiseBurstNeverBecomesAReadingAndIsCounted)
{
    settings.program.periodMs = 20;
    connectTo({"--device", registerPyrometer(0)});
    ASSERT_TRUE(waitForReadings(2));
    KCSetTimeOut(session->port(), 100);
    line.control("1 garble 5000");
    ASSERT_TRUE(processUntil([&] { return line.output().find("replies spoiled") != std::string::npos; },
                             std::chrono::milliseconds(10000)));
    const std::size_t afterBurst = readings.size();
    ASSERT_TRUE(waitForReadings(afterBurst + 5)) << "polling goes on";
    for (const auto& r : readings) {
        ASSERT_EQ(r.temperature, 1100u) << "a reading made of noise";
        ASSERT_EQ(r.quantum, 30000u);
    }
    // What the simulator spoiled, as it says it: a bit error is a corrupt
    // reply; garbage without a frame and a reply cut short are none at all.
    const std::string said = line.output();
    const auto number = [&](const std::string& what) {
        const auto at = said.find(what);
        return at == std::string::npos ? -1 : std::atoi(said.c_str() + at + what.size());
    };
    const int bitErrors = number("bit error ");
    const int garbage = number("garbage ");
    const int cut = number("cut short ");
    ASSERT_GT(bitErrors, 0);
    long corrupt = 0;
    long silent = 0;
    for (kc::Fault f : failures) {
        corrupt += f == kc::Fault::BadChecksum || f == kc::Fault::BadLength;
        silent += f == kc::Fault::Timeout;
    }
    EXPECT_EQ(corrupt, bitErrors);
    EXPECT_EQ(silent, garbage + cut);
}

}  // namespace
