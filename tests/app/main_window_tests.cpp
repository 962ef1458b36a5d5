// The Modbus main window driven as an operator would, headless, against
// simulated devices on pseudo-terminals; message boxes answered by a script.
#include "kctest_dlg.h"

#include "app_test_support.h"
#include "test_support.h"

#include "platform/serial.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::ScriptedMessageBoxes;
using testing_support::SimProcess;
using testing_support::TempDir;

namespace {

// One request as the simulator's trace records it.
struct TracedRequest {
    long ms;
    int address;
    int function;
    int start;
    int count;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousDir = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(work.path()));
    }

    void TearDown() override
    {
        window.reset();
        sim.reset();
        KCClose();
        QDir::setCurrent(previousDir);
    }

    void startSim(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = {"--trace", trace()};
        all.insert(all.end(), args.begin(), args.end());
        sim = std::make_unique<SimProcess>(devices.path(), all);
        ASSERT_TRUE(KCInit());
    }

    void openWindow()
    {
        window = std::make_unique<CKCTestDlg>(store);
        window->show();
    }

    void startAndConnect(const std::vector<std::string>& args)
    {
        startSim(args);
        openWindow();
        click("connectButton");
        ASSERT_TRUE(window->isConnected());
    }

    void click(const char* name)
    {
        QTest::mouseClick(window->findChild<QPushButton*>(name), Qt::LeftButton);
    }

    QString text(const char* name) const { return window->findChild<QLineEdit*>(name)->text(); }
    bool visible(const char* name) const { return window->findChild<QWidget*>(name)->isVisible(); }
    long records() const { return window->series() ? window->series()->GetCount() : 0; }

    bool waitForReadings(long n, std::chrono::milliseconds deadline = std::chrono::milliseconds(15000))
    {
        return processUntil([&] { return records() >= n; }, deadline);
    }

    std::string trace() const { return work.file("sim.trace"); }

    std::vector<TracedRequest> tracedRequests() const
    {
        std::vector<TracedRequest> requests;
        std::ifstream in(trace());
        TracedRequest r{};
        while (in >> r.ms >> r.address >> r.function >> r.start >> r.count)
            requests.push_back(r);
        return requests;
    }

    // The count stored in the series' result file in the working directory.
    long resultFileCount() const
    {
        for (const auto& entry : fs::directory_iterator(work.path())) {
            if (entry.path().extension() != ".tdf")
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            in.seekg(62);
            std::int32_t count = -1;
            in.read(reinterpret_cast<char*>(&count), 4);
            return count;
        }
        return -1;
    }

    int boxesWithText(const std::string& text) const
    {
        int n = 0;
        for (const auto& t : boxes.texts())
            n += t == text;
        return n;
    }

    TempDir devices;
    ScopedEnv deviceEnv{"KL_DEVICE_DIR", devices.path()};
    TempDir work;
    QString previousDir;
    ScriptedMessageBoxes boxes;
    MemorySettings store;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<CKCTestDlg> window;
};

TEST_F(MainWindowTest, APortThatDoesNotExistShowsTheOpenErrorAndStaysDisconnected)
{
    startSim({});
    store.values["Port"] = "com9";
    openWindow();
    click("connectButton");
    EXPECT_FALSE(window->isConnected());
    EXPECT_EQ(window->findChild<QPushButton*>("connectButton")->text(), "Подключиться");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "Ошибка открытия порта");
    EXPECT_EQ(boxes.shown()[0].caption, "Ошибка");
    EXPECT_EQ(boxes.shown()[0].icon, platform::MessageIcon::Error);
}

struct DeviceCase {
    const char* keys;
    const char* serial;
    const char* emissivityWord;
    const char* emissivityText;
    const char* typeName;
    const char* sensorName;
    int settingsWords;
    std::uint16_t smoothingSteps;  // maximum of limit entry 1 as the device keeps it
    std::uint16_t entryZeroMinimum;
};

void PrintTo(const DeviceCase& d, std::ostream* os)
{
    *os << d.keys;
}

class IdentificationTest : public MainWindowTest, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(IdentificationTest, ShowsTheDeviceReadsItsSettingsAndTableAndCollectsReadings)
{
    const DeviceCase& d = GetParam();
    store.values["Log"] = 1;
    store.values["LogFileName"] = QString::fromStdString(work.file("readings.log"));
    startAndConnect({"--device", std::string(d.keys) + ",serial=" + d.serial
                                     + ",year=2019,verified=05032024,range=300:1700,settings=0:" + d.emissivityWord
                                     + ":2:30:40:1:5:100:1:350:1650:1200:7"});
    ASSERT_TRUE(waitForReadings(3));

    EXPECT_EQ(text("typeEdit"), d.typeName);
    EXPECT_EQ(text("serialEdit"), d.serial);
    EXPECT_EQ(text("yearEdit"), "2019");
    EXPECT_EQ(text("sensorEdit"), d.sensorName);
    EXPECT_EQ(text("lowerRangeEdit"), "300");
    EXPECT_EQ(text("upperRangeEdit"), "1700");
    EXPECT_EQ(window->findChild<QDateEdit*>("verifyDateEdit")->date(), QDate(2024, 3, 5));
    EXPECT_EQ(text("emissivityEdit"), d.emissivityText);
    EXPECT_FALSE(visible("parameterLabel")) << "mode 0 has no parameter";

    const LinkFields link = window->link().snapshot();
    EXPECT_EQ(link.config.maxSampling, 40);
    EXPECT_EQ(link.config.outputTMin, d.settingsWords > 9 ? 350 : 0) << "word 9 read only from 11-word devices";
    EXPECT_EQ(link.config.trigger, d.settingsWords > 11 ? 1200 : 0) << "word 11 read only from 13-word devices";
    EXPECT_EQ(link.limits[1].maximum, d.smoothingSteps);
    EXPECT_EQ(link.limits[0].minimum, d.entryZeroMinimum);
    EXPECT_EQ(link.limits[7].maximum, 247) << "entry 7 comes from the device's table";
    EXPECT_EQ(link.limits[10].minimum, 300);
    EXPECT_EQ(link.limits[10].maximum, 1700);

    const v4TermData* first = window->series()->GetFirst(0);
    ASSERT_NE(first, nullptr);
    EXPECT_GE(first->temperature, 300);
    EXPECT_LE(first->temperature, 1700);
    EXPECT_GT(first->quantum, 0) << "the quantum count goes with each record";
    EXPECT_EQ(first->emissivity, std::atoi(d.emissivityWord));
    EXPECT_GE(resultFileCount(), 3);
    EXPECT_EQ(window->series()->GetDeviceInfo()->tempMax, 1700);

    QFile log(QString::fromStdString(work.file("readings.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(QRegularExpression(QString(R"(^\d\d:\d\d:\d\d\.\d\d\d \d+ )") + d.emissivityText + "$")
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
    EXPECT_TRUE(boxes.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Types, IdentificationTest,
    ::testing::Values(
        DeviceCase{"type=0", "4321", "95", "0.95", "Калентир-A1 без индикации (КЛ-A1)", "кремний", 9, 9, 10},
        DeviceCase{"type=3,layout=old", "43", "95", "0.95", "Калентир-B3 (КЛ-B3)", "арсенид индия", 11, 11, 10},
        DeviceCase{"type=6", "4321", "95", "0.95", "Калентир-B2 (КЛ-B2)", "кремний", 11, 11, 10},
        DeviceCase{"type=131", "4321", "1050", "1.05", "Калентир-B3 2C(КЛ-B3 2C)", "арсенид индия", 9, 11, 850},
        DeviceCase{"type=131,variant=1", "4321", "1050", "1.05", "Калентир-B3 2C(КЛ-B3 2C)", "арсенид индия", 11,
                   11, 850},
        DeviceCase{"type=135", "4321", "1050", "1.05", "Калентир-B2 2C(КЛ-B2 2C)", "кремний", 13, 11, 850}),
    [](const ::testing::TestParamInfo<DeviceCase>& info) {
        std::string name = info.param.keys;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST_F(MainWindowTest, AnEmissivityWordAbove100MakesARatioDevice)
{
    store.values["Log"] = 1;
    store.values["LogFileName"] = QString::fromStdString(work.file("ratio.log"));
    startAndConnect({"--device", "type=3,settings=0:1000"});
    ASSERT_TRUE(waitForReadings(1));
    EXPECT_EQ(window->findChild<QLabel*>("emissivityLabel")->text(), "Отношение степеней черноты");
    EXPECT_EQ(text("emissivityEdit"), "1.00");
    EXPECT_DOUBLE_EQ(window->series()->GetECoeff(), 1000.0);
    QFile log(QString::fromStdString(work.file("ratio.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readLine().trimmed().endsWith(" 1.00"));
}

TEST_F(MainWindowTest, ReadingsAtTheTopAndBottomShowHiAndLo)
{
    // A plain register device; its settings word 8 keeps the address 1.
    startAndConnect({"--device", "address=1,regs=256:10000:10000:10000:10000:5/520:1"});
    ASSERT_TRUE(waitForReadings(1));
    EXPECT_EQ(text("temperatureEdit"), "Hi");
    window.reset();
    sim.reset();
    KCClose();
    startAndConnect({"--device", "address=1,regs=256:0:0:0:0:5/520:1"});
    ASSERT_TRUE(waitForReadings(1));
    EXPECT_EQ(text("temperatureEdit"), "Lo");
}

TEST_F(MainWindowTest, ReadingsComeAtThePeriodAndTheQuantumIsShownWhenAskedFor)
{
    store.values["Period"] = 100;
    store.values["Read Quant"] = 1;
    startAndConnect({"--device", "type=6"});
    ASSERT_TRUE(waitForReadings(2));
    const v4TermData* first = window->series()->GetFirst(0);
    v4TermData* cursor = window->series()->GetFirst(0);
    const v4TermData* second = window->series()->GetNext(&cursor);
    ASSERT_NE(second, nullptr);
    EXPECT_GE(second->time - first->time, 90);
    EXPECT_TRUE(visible("quantumEdit"));
    EXPECT_TRUE(processUntil([&] { return text("quantumEdit").toInt() > 0; }));
}

TEST_F(MainWindowTest, AStateReadThatNeverSucceedsWarnsOnceAndTheTemperatureIsStillRead)
{
    store.values["NumErrors"] = 2;
    startAndConnect({"--device", "type=0,fault=mute:7"});
    ASSERT_TRUE(waitForReadings(1));
    EXPECT_EQ(boxesWithText("тайм-аут"), 1);
    const auto shown = boxes.shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[0].caption, "Ошибка получения состояния");
    EXPECT_EQ(shown[0].icon, platform::MessageIcon::Warning);
    int stateRequests = 0;
    for (const auto& r : tracedRequests())
        stateRequests += r.function == 7;
    EXPECT_EQ(stateRequests, 2) << "as many tries as the attempt count";
    // No settled state was seen: the readings count from the first of them.
    EXPECT_EQ(window->series()->GetFirst(0)->time, 0);
}

TEST_F(MainWindowTest, AModeAboveThreeReadsThePlainMeasurementNotTheQuantumCount)
{
    startAndConnect({"--device", "type=0,range=300:1700,settings=4"});
    ASSERT_TRUE(waitForReadings(2));
    EXPECT_EQ(window->link().snapshot().currentMode, 4);
    const v4TermData* first = window->series()->GetFirst(0);
    EXPECT_GE(first->temperature, 300);
    EXPECT_LE(first->temperature, 1700);
}

TEST_F(MainWindowTest, AnUnsettledThermostatStopsTemperatureRequestsAndTheStateIsReadAgainAfterSixSeconds)
{
    startAndConnect({"--device", "type=0,thermostat=40:3600"});
    ASSERT_TRUE(processUntil([&] { return text("thermostatValueEdit").toInt() > 0; }));
    EXPECT_EQ(text("stateEdit"), "настройка");
    EXPECT_EQ(text("thermostatEdit"), "не в режиме");
    EXPECT_TRUE(visible("thermostatValueEdit"));
    auto stateReads = [&] {
        std::vector<long> at;
        for (const auto& r : tracedRequests())
            if (r.function == 7)
                at.push_back(r.ms);
        return at;
    };
    ASSERT_TRUE(processUntil([&] { return stateReads().size() >= 2; }, std::chrono::milliseconds(9000)));
    const auto at = stateReads();
    EXPECT_GE(at[1] - at[0], 5500);
    EXPECT_LE(at[1] - at[0], 7500);
    for (const auto& r : tracedRequests())
        EXPECT_FALSE(r.function == 4 && r.start == 256) << "temperature read while the thermostat settles";
    EXPECT_EQ(records(), 0);
}

struct WriteCase {
    const char* type;
    int words;
};

void PrintTo(const WriteCase& w, std::ostream* os)
{
    *os << "type=" << w.type;
}

class WriteWorkerTest : public MainWindowTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteWorkerTest, WritesTheWordsOfTheTypeToTheOldAddressAndFollowsTheDevice)
{
    startAndConnect({"--device", std::string("type=") + GetParam().type});
    ASSERT_TRUE(waitForReadings(2));

    window->pauseWorkers();
    window->link().update([](LinkFields& f) {
        f.config.address = 9;
        f.config.baudRate = 4;
    });
    const long before = records();
    window->startWriteWorker(1);
    ASSERT_TRUE(waitForReadings(before + 2));

    int written = 0;
    for (const auto& r : tracedRequests())
        if (r.function == 16) {
            EXPECT_EQ(r.address, 1);
            written += r.count;
        }
    EXPECT_EQ(written, GetParam().words);
    const auto requests = tracedRequests();
    EXPECT_EQ(requests.back().address, 9) << "polling goes on at the new address";
    platform::LineSettings line;
    ASSERT_TRUE(platform::getLineSettings(window->port(), line));
    EXPECT_EQ(line.baudRate, 9600u);
    EXPECT_TRUE(boxes.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(Types, WriteWorkerTest,
                         ::testing::Values(WriteCase{"0", 9}, WriteCase{"6", 11}, WriteCase{"135", 13},
                                           WriteCase{"3,variant=1", 11}),
                         [](const ::testing::TestParamInfo<WriteCase>& info) {
                             return "type" + std::to_string(std::atoi(info.param.type)) + "_"
                                 + std::to_string(info.param.words) + "words";
                         });

TEST_F(MainWindowTest, DisconnectDuringARequestWaitsForItClosesThePortAndSavesTheSeries)
{
    startAndConnect({"--device", "type=0,fault=delay:300"});
    ASSERT_TRUE(waitForReadings(2));
    KCPortInfo* info = getKCPortInfo(window->port());
    ASSERT_TRUE(processUntil([&] { return info->state == 2; }));
    click("connectButton");
    EXPECT_FALSE(window->isConnected());
    EXPECT_EQ(window->findChild<QPushButton*>("connectButton")->text(), "Подключиться");
    EXPECT_EQ(text("typeEdit"), "");
    EXPECT_EQ(resultFileCount(), records());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(MainWindowTest, QuitWhileConnectedAsksStoresTheSettingsClosesThePortAndSavesTheSeries)
{
    startAndConnect({"--device", "type=3"});
    ASSERT_TRUE(waitForReadings(2));
    boxes.answerNext(platform::MessageAnswer::No);
    window->reject();
    EXPECT_TRUE(window->isConnected()) << "No keeps the program running";
    EXPECT_TRUE(store.written.isEmpty());

    boxes.answerNext(platform::MessageAnswer::Yes);
    window->reject();
    EXPECT_FALSE(window->isConnected());
    EXPECT_EQ(store.written.first(), "Port");
    EXPECT_EQ(store.written.size(), 12);
    const auto quitBox = boxes.shown().back();
    EXPECT_EQ(quitBox.text, "Вы действительно желаете завершить работу?");
    EXPECT_EQ(quitBox.caption, "Завершение работы");
    const long saved = records();
    window.reset();
    EXPECT_EQ(resultFileCount(), saved);
}

TEST_F(MainWindowTest, AnExistingLogIsAppendedToWhenTheOperatorAnswersNo)
{
    const std::string logFile = work.file("old.log");
    std::ofstream(logFile) << "earlier line\n";
    store.values["Log"] = 1;
    store.values["LogFileName"] = QString::fromStdString(logFile);
    boxes.answerNext(platform::MessageAnswer::No);
    startAndConnect({"--device", "type=0"});
    ASSERT_TRUE(waitForReadings(2));
    EXPECT_EQ(boxes.shown()[0].caption, "Открытие файла");
    std::ifstream in(logFile);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "earlier line");
    std::string second;
    EXPECT_TRUE(static_cast<bool>(std::getline(in, second)));
}

TEST_F(MainWindowTest, CancellingTheLogQuestionTurnsTheLogOff)
{
    const std::string logFile = work.file("old.log");
    std::ofstream(logFile) << "keep me\n";
    store.values["Log"] = 1;
    store.values["LogFileName"] = QString::fromStdString(logFile);
    boxes.answerNext(platform::MessageAnswer::Cancel);
    startAndConnect({"--device", "type=0"});
    ASSERT_TRUE(waitForReadings(2));
    EXPECT_FALSE(window->storedSettings().log);
    std::ifstream in(logFile);
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_EQ(all.str(), "keep me\n");
}

}  // namespace
