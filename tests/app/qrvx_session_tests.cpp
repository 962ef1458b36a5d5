// The QRVX session without a window: the real library, loaded by name as the
// program loads it, against kl_sim --qrvx on a pseudo-terminal.
#include "session/qrvx_session.h"

#include "app_test_support.h"
#include "qrvx_front_end_fixture.h"
#include "test_support.h"

#include "platform/serial.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct Received {
    QString frame;
    int value;
    long timeMs;
};

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> tdfFilesIn(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".tdf")
            files.push_back(entry.path().string());
    return files;
}

class QrvxSessionTest : public QrvxFrontEndTest {
protected:
    void TearDown() override
    {
        session.reset();
        QrvxFrontEndTest::TearDown();
    }

    void makeSession(const QrvxFunctions& functions)
    {
        session = std::make_unique<QrvxSession>(functions);
        QObject::connect(session.get(), &QrvxSession::valueReceived,
                         [this](const QString& frame, int value, long timeMs) {
                             received.push_back({frame, value, timeMs});
                         });
    }

    QrvxSettings options(int periodMs) const
    {
        QrvxSettings o;
        o.port = "com1";
        o.periodMs = periodMs;
        o.lowerLimit = 1000;
        o.upperLimit = 2000;
        return o;
    }

    // Connects to the simulated device and starts reading.
    void connectAndRead(const QrvxSettings& o)
    {
        ASSERT_TRUE(session->connectDevice(o));
        session->startReading();
        ASSERT_TRUE(session->threadsRunning());
    }

    bool waitForValues(std::size_t n, std::chrono::milliseconds deadline = std::chrono::milliseconds(10000))
    {
        return processUntil([&] { return received.size() >= n; }, deadline);
    }

    std::unique_ptr<QrvxSession> session;
    std::vector<Received> received;
};

TEST_F(QrvxSessionTest, ValuesComeWithTheirFramesTimesSeriesRecordsAndLogLines)
{
    startSim({"--rate", "20", "--value", "1500", "--swing", "0"});
    makeSession(bindQrvxFunctions(module));
    auto o = options(0);
    o.log = true;
    o.logFileName = "values.log";
    connectAndRead(o);
    ASSERT_TRUE(session->logging());
    ASSERT_TRUE(waitForValues(5));
    session->disconnectDevice();
    EXPECT_FALSE(session->isConnected());
    EXPECT_FALSE(session->threadsRunning());

    long previous = -1;
    for (const Received& r : received) {
        EXPECT_EQ(r.frame, QString::fromStdString(testing_support::qrvxFrameOf(1500)));
        EXPECT_EQ(r.value, 1500);
        EXPECT_GE(r.timeMs, previous);
        previous = r.timeMs;
    }
    EXPECT_LT(received.front().timeMs, 2000) << "counted from the start of reading";
    TermDataFile* series = session->series();
    ASSERT_EQ(series->GetCount(), static_cast<long>(received.size()));
    for (long i = 0; i < series->GetCount(); ++i) {
        EXPECT_EQ(series->GetTermData()[i].temperature, 1500);
        EXPECT_EQ(series->GetTermData()[i].time, received[static_cast<std::size_t>(i)].timeMs);
    }
    EXPECT_EQ(series->GetMin(), 1000);
    EXPECT_EQ(series->GetMax(), 2000);

    const QStringList lines = QString::fromStdString(fileText(work.file("values.log"))).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), static_cast<int>(received.size()));
    const QRegularExpression line("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d 1500 0\\.00$");
    for (const QString& l : lines)
        EXPECT_TRUE(line.match(l).hasMatch()) << l.toStdString();
}

TEST_F(QrvxSessionTest, PeriodZeroTakesEveryFrame)
{
    startSim({"--rate", "20", "--counter"});
    makeSession(bindQrvxFunctions(module));
    connectAndRead(options(0));
    ASSERT_TRUE(waitForValues(30));
    for (std::size_t i = 1; i < received.size(); ++i)
        EXPECT_EQ(received[i].value, received[i - 1].value + 1) << "a frame was skipped";
}

// The setup dialog takes a negative period; it would otherwise be a pause of
// some fifty days after the first value.
TEST_F(QrvxSessionTest, ANegativePeriodTakesEveryFrame)
{
    startSim({"--rate", "20", "--counter"});
    makeSession(bindQrvxFunctions(module));
    connectAndRead(options(-500));
    ASSERT_TRUE(waitForValues(5, std::chrono::milliseconds(3000)));
    EXPECT_EQ(received[4].value, received[0].value + 4);
}

// Frames that arrive during the pause are discarded by the next read: at most
// about two values a second.
TEST_F(QrvxSessionTest, HalfASecondPeriodTakesAboutTwoValuesASecond)
{
    startSim({"--rate", "10", "--counter"});
    makeSession(bindQrvxFunctions(module));
    connectAndRead(options(500));
    ASSERT_TRUE(waitForValues(1));
    const long first = received.front().timeMs;
    processUntil([&] { return received.back().timeMs - first >= 3000; }, std::chrono::milliseconds(8000));
    std::vector<Received> window;
    for (const Received& r : received)
        if (r.timeMs - first < 3000)
            window.push_back(r);
    EXPECT_GE(window.size(), 3u);
    EXPECT_LE(window.size(), 7u);
    for (std::size_t i = 1; i < window.size(); ++i) {
        EXPECT_GE(window[i].timeMs - window[i - 1].timeMs, 495);
        EXPECT_GT(window[i].value, window[i - 1].value + 1) << "frames of the pause were taken";
    }
}

struct LogCase {
    const char* name;
    platform::MessageAnswer answer;
    bool oldLinesKept;
    bool declined;
};

class QrvxLogQuestion : public QrvxSessionTest, public ::testing::WithParamInterface<LogCase> {};

TEST_P(QrvxLogQuestion, AnExistingLogIsOverwrittenExtendedOrNotUsed)
{
    const LogCase c = GetParam();
    {
        std::ofstream old(work.file("values.log"), std::ios::binary);
        old << "old line\n";
    }
    startSim({"--rate", "20", "--value", "1300", "--swing", "0"});
    makeSession(bindQrvxFunctions(module));
    boxes.answerNext(c.answer);
    auto o = options(0);
    o.log = true;
    o.logFileName = "values.log";
    ASSERT_TRUE(session->connectDevice(o));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].caption, "Открытие файла");
    EXPECT_EQ(session->logging(), !c.declined);
    session->startReading();
    ASSERT_TRUE(waitForValues(2));
    session->disconnectDevice();
    const std::string text = fileText(work.file("values.log"));
    EXPECT_EQ(text.rfind("old line\n", 0) == 0, c.oldLinesKept);
    EXPECT_EQ(text.find(" 1300 0.00\n") != std::string::npos, !c.declined);
}

INSTANTIATE_TEST_SUITE_P(Answers, QrvxLogQuestion,
                         ::testing::Values(LogCase{"YesOverwrites", platform::MessageAnswer::Yes, false, false},
                                           LogCase{"NoKeepsTheOldLines", platform::MessageAnswer::No, true, false},
                                           LogCase{"CancelLogsNothing", platform::MessageAnswer::Cancel, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The library's loops, watched: whether the port was still open when each
// of them returned.
QrvxFunctions realFunctions;
std::atomic<int> loopsEnded{0};
std::atomic<int> loopsEndedWithPortClosed{0};
std::atomic<int> readsStopped{0};
std::atomic<int> readsStoppedWithPortClosed{0};

bool portClosed(const QRVXContext* context)
{
    return platform::serialPortOf(context->port) == nullptr;
}

unsigned watchedReadPort(QRVXContext* context)
{
    const unsigned result = realFunctions.readPort(context);
    loopsEndedWithPortClosed += portClosed(context) ? 1 : 0;
    ++loopsEnded;
    return result;
}

int watchedReadValue(QRVXContext* context, char* text, unsigned size)
{
    const int value = realFunctions.readValue(context, text, size);
    if (value == QRVX_STOPPED) {
        readsStoppedWithPortClosed += portClosed(context) ? 1 : 0;
        ++readsStopped;
    }
    return value;
}

TEST_F(QrvxSessionTest, QuitAndDisconnectStopBothThreadsBeforeThePortCloses)
{
    startSim({"--rate", "50"});
    realFunctions = bindQrvxFunctions(module);
    loopsEnded = loopsEndedWithPortClosed = readsStopped = readsStoppedWithPortClosed = 0;
    makeSession({realFunctions.openPort, &watchedReadValue, &watchedReadPort});
    connectAndRead(options(0));
    ASSERT_TRUE(waitForValues(3));
    session->close();
    EXPECT_FALSE(session->threadsRunning());
    EXPECT_FALSE(session->isConnected());
    EXPECT_EQ(loopsEnded, 1);
    EXPECT_EQ(readsStopped, 1);
    connectAndRead(options(0));
    ASSERT_TRUE(waitForValues(received.size() + 3));
    session->disconnectDevice();
    EXPECT_EQ(loopsEnded, 2);
    EXPECT_EQ(readsStopped, 2);
    EXPECT_EQ(loopsEndedWithPortClosed, 0);
    EXPECT_EQ(readsStoppedWithPortClosed, 0);
}

// Values the reading thread handed over before a disconnect, still queued
// when it happens, are not shown or stored after it.
TEST_F(QrvxSessionTest, ValuesQueuedBeforeADisconnectAreDropped)
{
    startSim({"--rate", "100", "--counter"});
    makeSession(bindQrvxFunctions(module));
    connectAndRead(options(0));
    // The reading thread hands values over while this thread does not look.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    session->disconnectDevice();
    processUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(session->series()->GetCount(), 0);

    connectAndRead(options(0));
    EXPECT_TRUE(waitForValues(3)) << "a new connection reads again";
}

TEST_F(QrvxSessionTest, APortThatDoesNotOpenOrAMissingOpenFunctionFailsTheConnectionWithoutABox)
{
    startSim({});
    makeSession(bindQrvxFunctions(module));
    auto o = options(0);
    o.port = "com7";
    EXPECT_FALSE(session->connectDevice(o));
    makeSession(QrvxFunctions{});
    EXPECT_FALSE(session->connectDevice(options(0)));
    EXPECT_FALSE(session->isConnected());
    EXPECT_TRUE(boxes.shown().empty()) << "the window says it";
}

TEST_F(QrvxSessionTest, WithoutTheReadFunctionsNothingIsReadAndNothingSaid)
{
    startSim({"--rate", "20"});
    makeSession({bindQrvxFunctions(module).openPort, nullptr, nullptr});
    ASSERT_TRUE(session->connectDevice(options(0)));
    session->startReading();
    EXPECT_FALSE(session->threadsRunning());
    processUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(received.empty());
    EXPECT_TRUE(boxes.shown().empty());
    session->disconnectDevice();
    EXPECT_FALSE(session->isConnected());
}

TEST_F(QrvxSessionTest, AFailedResultFileSwitchesSavingOffAndTheSeriesGoesOn)
{
    startSim({"--rate", "20"});
    makeSession(bindQrvxFunctions(module));
    bool switchedOff = false;
    QObject::connect(session.get(), &QrvxSession::resultSavingFailed, [&] { switchedOff = true; });
    session->setSaveResults(true);
    ASSERT_TRUE(session->connectDevice(options(0)));
    session->series()->SetFilePath((work.path() + "/no-such-folder/series.tdf").c_str());
    session->startReading();
    ASSERT_TRUE(processUntil([&] { return switchedOff; }));
    EXPECT_FALSE(session->savesResults());
    int failures = 0;
    QObject::connect(session.get(), &QrvxSession::resultSavingFailed, [&] { ++failures; });
    const std::size_t before = received.size();
    ASSERT_TRUE(waitForValues(before + 2));
    EXPECT_EQ(session->series()->GetCount(), static_cast<long>(received.size()));
    EXPECT_EQ(failures, 0) << "said once";
}

TEST_F(QrvxSessionTest, DisconnectingAndDestructionSaveTheSeriesOnlyWhenItHoldsAValue)
{
    startSim({"--rate", "20"});
    makeSession(bindQrvxFunctions(module));
    session->setSaveResults(true);
    ASSERT_TRUE(session->connectDevice(options(0)));
    session->disconnectDevice();
    EXPECT_TRUE(tdfFilesIn(work.path()).empty());
    ASSERT_TRUE(session->connectDevice(options(0)));
    session->close();
    session.reset();
    EXPECT_TRUE(tdfFilesIn(work.path()).empty());

    makeSession(bindQrvxFunctions(module));
    connectAndRead(options(0));
    ASSERT_TRUE(waitForValues(3));
    session->setSaveResults(true);
    session->close();
    const long count = session->series()->GetCount();
    session.reset();
    const auto files = tdfFilesIn(work.path());
    ASSERT_EQ(files.size(), 1u);
    TermDataFile back;
    ASSERT_TRUE(back.Read(files[0].c_str()));
    EXPECT_EQ(back.GetCount(), count);
}

}  // namespace
