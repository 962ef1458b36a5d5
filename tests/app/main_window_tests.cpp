// The Modbus main window driven as an operator would, headless, against
// simulated devices: what it shows, its buttons, its boxes, the settings
// sheet and the graph windows. What the session does underneath is tested
// in device_session_tests.
#include "session/device_session.h"
#include "services/file_dialogs.h"
#include "graph/graph_wnd.h"
#include "windows/kctest_dlg.h"
#include "rangebar.h"

#include "simulated_line.h"

#include "platform/serial.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using testing_support::caseName;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        window.reset();
        session.reset();
        setFileDialogService({});
    }

    void openWindow()
    {
        window = std::make_unique<CKCTestDlg>(*session, store);
        window->show();
    }

    void startAndConnect(const std::vector<std::string>& args)
    {
        line.start(args);
        openWindow();
        click("connectButton");
        ASSERT_EQ(buttonText("connectButton"), "Отключиться");
    }

    void click(const char* name) { QTest::mouseClick(window->findChild<QPushButton*>(name), Qt::LeftButton); }
    QString buttonText(const char* name) const { return window->findChild<QPushButton*>(name)->text(); }
    QString text(const char* name) const { return window->findChild<QLineEdit*>(name)->text(); }
    bool visible(const char* name) const { return window->findChild<QWidget*>(name)->isVisible(); }

    // A reading shows as a temperature other than the "0" of a fresh window.
    bool waitForTemperature()
    {
        return processUntil([&] { return text("temperatureEdit") != "0"; });
    }

    // The graph window of a kind, if the main window has made one (a saved
    // series adds its file name to the title).
    CGraphWnd* graphWindow(const QString& title) const
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* graph = qobject_cast<CGraphWnd*>(w); graph && graph->windowTitle().startsWith(title))
                return graph;
        return nullptr;
    }

    // Runs `act` on the settings sheet once it is shown modally; a sheet that
    // `act` left open (a failed assertion) is cancelled, so that the test
    // fails instead of waiting in the sheet.
    void onSheet(std::function<void(QDialog&)> act)
    {
        auto* timer = new QTimer(window.get());
        QObject::connect(timer, &QTimer::timeout, [timer, act] {
            auto* sheet = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (sheet == nullptr || sheet->findChild<QTabWidget*>() == nullptr)
                return;
            timer->stop();
            timer->deleteLater();
            act(*sheet);
            if (sheet->isVisible()) {
                ADD_FAILURE() << "the sheet was left open";
                sheet->reject();
            }
        });
        timer->start(10);
    }

    SimulatedLine line;
    MemorySettings store;
    std::unique_ptr<DeviceSession> session = std::make_unique<DeviceSession>();
    std::unique_ptr<CKCTestDlg> window;
};

struct OpenFailureCase {
    const char* port;
    const char* detail;
};

class OpenFailureTest : public MainWindowTest, public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(OpenFailureTest, ShowsTheOpenErrorWithWhyAndStaysDisconnected)
{
    line.start({});
    store.values["Port"] = GetParam().port;
    openWindow();
    click("connectButton");
    EXPECT_EQ(buttonText("connectButton"), "Подключиться");
    ASSERT_EQ(line.boxes.shown().size(), 1u);
    EXPECT_EQ(line.boxes.shown()[0].text, "Ошибка открытия порта");
    EXPECT_EQ(line.boxes.shown()[0].caption, "Ошибка");
    EXPECT_EQ(line.boxes.shown()[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(line.boxes.shown()[0].detail, GetParam().detail);
}

INSTANTIATE_TEST_SUITE_P(Ports, OpenFailureTest,
                         ::testing::Values(OpenFailureCase{"com9", "Порт не найден."},
                                           OpenFailureCase{"lpt1", "Порт не найден."}),
                         [](const auto& info) { return std::string(info.param.port); });

TEST_F(MainWindowTest, ABusyPortIsNamedAsSuch)
{
    line.start({});
    {
        // Another program's hold: its own opening of the device with the lock ports take.
        const int other = ::open(line.devices.file("COM1").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(other, 0);
        ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
        openWindow();
        click("connectButton");
        ::close(other);
    }
    ASSERT_EQ(line.boxes.shown().size(), 1u);
    EXPECT_EQ(line.boxes.shown()[0].detail, "Порт занят другой программой.");

    HandleGuard held = KCOpenPort("COM1", 5);
    ASSERT_TRUE(held);
    click("connectButton");
    ASSERT_EQ(line.boxes.shown().size(), 2u);
    EXPECT_EQ(line.boxes.shown()[1].detail, "Порт уже открыт этой программой.");
}

struct DeviceCase {
    const char* keys;
    const char* typeName;
    const char* sensorName;
    const char* emissivityLabel;
    const char* emissivityText;
};

void PrintTo(const DeviceCase& d, std::ostream* os)
{
    *os << d.keys;
}

class IdentificationTest : public MainWindowTest, public ::testing::WithParamInterface<DeviceCase> {};

TEST_P(IdentificationTest, ShowsTheDeviceAsItGaveItsType)
{
    const DeviceCase& d = GetParam();
    startAndConnect({"--device", std::string(d.keys) + ",serial=4321,year=2019,verified=05032024,range=300:1700"});
    ASSERT_TRUE(waitForTemperature());
    EXPECT_EQ(text("typeEdit"), d.typeName);
    EXPECT_EQ(text("serialEdit"), "4321");
    EXPECT_EQ(text("yearEdit"), "2019");
    EXPECT_EQ(text("sensorEdit"), d.sensorName);
    EXPECT_EQ(text("lowerRangeEdit"), "300");
    EXPECT_EQ(text("upperRangeEdit"), "1700");
    EXPECT_EQ(window->findChild<QDateEdit*>("verifyDateEdit")->date(), QDate(2024, 3, 5));
    EXPECT_EQ(window->findChild<QLabel*>("emissivityLabel")->text(), d.emissivityLabel);
    EXPECT_EQ(text("emissivityEdit"), d.emissivityText);
    EXPECT_EQ(text("stateEdit"), "измерение");
    EXPECT_EQ(text("thermostatEdit"), "в режиме");
    EXPECT_EQ(text("modeEdit"), "Измерение");
    EXPECT_FALSE(visible("parameterLabel")) << "mode 0 has no parameter";
    EXPECT_TRUE(line.boxes.shown().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Types, IdentificationTest,
    ::testing::Values(
        DeviceCase{"type=3,settings=0:95", "Калентир-B3 (КЛ-B3)", "арсенид индия", "Степень черноты", "0.95"},
        DeviceCase{"type=135", "Калентир-B2 2C(КЛ-B2 2C)", "кремний", "Отношение степеней черноты", "1.00"},
        // Ratio devices by their emissivity word keep the name of their type.
        DeviceCase{"type=0,settings=0:1000", "Калентир-A1 без индикации (КЛ-A1)", "кремний",
                   "Отношение степеней черноты", "1.00"},
        DeviceCase{"type=3,settings=0:1000", "Калентир-B3 (КЛ-B3)", "арсенид индия", "Отношение степеней черноты",
                   "1.00"},
        DeviceCase{"type=6,settings=0:1000", "Калентир-B2 (КЛ-B2)", "кремний", "Отношение степеней черноты", "1.00"}),
    [](const auto& info) { return caseName(info.param.keys); });

TEST_F(MainWindowTest, ReadingsAtTheTopAndBottomShowHiAndLo)
{
    startAndConnect({"--device", registerPyrometer(0, "10000:0:0:0:5")});
    ASSERT_TRUE(processUntil([&] { return text("temperatureEdit") == "Hi"; }));
    window.reset();
    session = std::make_unique<DeviceSession>();
    line.stop();
    line.start({"--device", registerPyrometer(0, "0:0:0:0:5")});
    openWindow();
    click("connectButton");
    ASSERT_TRUE(processUntil([&] { return text("temperatureEdit") == "Lo"; }));
}

TEST_F(MainWindowTest, TheQuantumIsShownOnlyWhenAskedFor)
{
    startAndConnect({"--device", registerPyrometer(0)});
    ASSERT_TRUE(waitForTemperature());
    EXPECT_FALSE(visible("quantumEdit"));
    EXPECT_FALSE(visible("quantumButton"));
    click("connectButton");
    window.reset();

    store.values["Read Quant"] = 1;
    openWindow();
    click("connectButton");
    EXPECT_TRUE(visible("quantumEdit"));
    ASSERT_TRUE(processUntil([&] { return text("quantumEdit") == "30000"; }));
}

TEST_F(MainWindowTest, AnUnsettledThermostatShowsItsValue)
{
    startAndConnect({"--device", "type=0,thermostat=40:3600"});
    ASSERT_TRUE(processUntil([&] { return text("thermostatValueEdit").toInt() > 0; }));
    EXPECT_EQ(text("stateEdit"), "настройка");
    EXPECT_EQ(text("thermostatEdit"), "не в режиме");
    EXPECT_TRUE(visible("thermostatValueEdit"));
}

TEST_F(MainWindowTest, DeviceFieldsAreEmptyAtRestAndEmptiedOnDisconnect)
{
    store.values["Read Quant"] = 1;
    line.start({"--device", "type=3"});
    openWindow();
    const char* const deviceFields[] = {"typeEdit", "serialEdit", "yearEdit", "sensorEdit", "lowerRangeEdit",
                                        "upperRangeEdit", "stateEdit", "emissivityEdit", "quantumEdit"};
    auto date = [&] { return window->findChild<QDateEdit*>("verifyDateEdit")->text().trimmed(); };
    for (const char* name : deviceFields)
        EXPECT_EQ(text(name), "") << name << " at rest";
    EXPECT_EQ(date(), "");

    click("connectButton");
    ASSERT_TRUE(waitForTemperature());
    ASSERT_TRUE(processUntil([&] { return !text("quantumEdit").isEmpty(); }));
    EXPECT_EQ(date(), "15.03.2023");
    click("connectButton");
    EXPECT_EQ(buttonText("connectButton"), "Подключиться");
    for (const char* name : deviceFields)
        EXPECT_EQ(text(name), "") << name << " after disconnect";
    EXPECT_EQ(date(), "");
    EXPECT_FALSE(visible("thermostatValueEdit"));
}

TEST_F(MainWindowTest, TheWindowKeepsItsSizeAsRowsComeAndGoAndTheTemperatureIsTheLargestText)
{
    startAndConnect({"--device", "type=0,thermostat=20:2"});
    const QSize atStart = window->size();
    ASSERT_TRUE(processUntil([&] { return visible("thermostatValueEdit"); }));
    ASSERT_TRUE(processUntil([&] { return text("thermostatEdit") == "в режиме"; }, std::chrono::milliseconds(8000)));
    EXPECT_FALSE(visible("thermostatValueEdit"));
    EXPECT_EQ(window->size(), atStart);
    const int temperatureSize = window->findChild<QLineEdit*>("temperatureEdit")->fontInfo().pixelSize();
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->objectName() != "temperatureEdit") {
            EXPECT_LT(w->fontInfo().pixelSize(), temperatureSize) << w->objectName().toStdString();
        }
    }
    EXPECT_TRUE(window->findChild<QLineEdit*>("portEdit")->isReadOnly());
}

TEST_F(MainWindowTest, TheStatusBarShowsTheLinkAndItsCounts)
{
    store.values["Period"] = 100;
    startAndConnect({"--device", "type=0"});
    auto pane = [&](const char* name) { return window->findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(pane("linkPane"), "com1, адрес 1, 19200 бит/сек.");
    ASSERT_TRUE(processUntil([&] { return pane("readingsPane").mid(11).toInt() >= 3; }));
    EXPECT_TRUE(pane("readingsPane").startsWith("Показаний: ")) << pane("readingsPane").toStdString();
    EXPECT_EQ(pane("failuresPane"), "Ошибок: 0");
    // The age is written by the status timer, every half second.
    EXPECT_TRUE(processUntil([&] { return pane("agePane").startsWith("Последнее показание "); }))
        << pane("agePane").toStdString();
    line.control("1 bad-lrc 300");
    ASSERT_TRUE(processUntil([&] { return pane("failuresPane") != "Ошибок: 0"; }));
    EXPECT_TRUE(pane("failuresPane").contains("искажённых ответов")) << pane("failuresPane").toStdString();
    click("connectButton");
    EXPECT_EQ(pane("linkPane"), "Нет связи");
}

TEST_F(MainWindowTest, ASilentDeviceTurnsTheTemperatureStaleUntilTheNextReading)
{
    store.values["Period"] = 100;
    startAndConnect({"--device", "type=0"});
    ASSERT_TRUE(waitForTemperature());
    auto* last = window->findChild<QLabel*>("lastReadingLabel");
    EXPECT_FALSE(last->isVisible());
    line.control("1 silence");
    ASSERT_TRUE(processUntil([&] { return last->isVisible(); }));
    EXPECT_TRUE(last->text().startsWith("показание от "));
    const QLineEdit* temperature = window->findChild<QLineEdit*>("temperatureEdit");
    EXPECT_NE(temperature->palette().color(QPalette::Text), window->palette().color(QPalette::Text));
    line.control("1 none");
    ASSERT_TRUE(processUntil([&] { return !last->isVisible(); }, std::chrono::milliseconds(15000)));
    EXPECT_EQ(temperature->palette().color(QPalette::Text), window->palette().color(QPalette::Text));

    // Silent again: grey again, as the first time.
    line.control("1 silence");
    ASSERT_TRUE(processUntil([&] { return last->isVisible(); }));
    EXPECT_NE(temperature->palette().color(QPalette::Text), window->palette().color(QPalette::Text));
    EXPECT_EQ(temperature->palette().color(QPalette::Text),
              window->palette().color(QPalette::Disabled, QPalette::Text));
}

TEST_F(MainWindowTest, APortThatGoesAwayIsSaidInTheStatusBarAndPollingComesBack)
{
    store.values["Period"] = 100;
    startAndConnect({"--device", "type=0"});
    ASSERT_TRUE(waitForTemperature());
    auto pane = [&] { return window->findChild<QLabel*>("linkPane")->text(); };
    line.kill();
    ASSERT_TRUE(processUntil([&] { return pane() == "Порт com1 недоступен, ожидание подключения"; }));
    EXPECT_EQ(buttonText("connectButton"), "Отключиться");
    EXPECT_TRUE(line.boxes.shown().empty());
    line.start({"--device", "type=0"});
    ASSERT_TRUE(processUntil([&] { return pane() == "com1, адрес 1, 19200 бит/сек."; }));
}

TEST_F(MainWindowTest, QuitAsksStoresTheSettingsAndLeavesTheDeviceAlone)
{
    store.values["Log"] = 1;
    store.values["LogFileName"] = QString::fromStdString(line.work.file("log.txt"));
    std::ofstream(line.work.file("log.txt")) << "old\n";
    line.boxes.answerNext(platform::MessageAnswer::Cancel);
    startAndConnect({"--device", "type=3"});
    ASSERT_TRUE(waitForTemperature());
    line.boxes.answerNext(platform::MessageAnswer::No);
    window->reject();
    EXPECT_EQ(buttonText("connectButton"), "Отключиться") << "No keeps the program running";
    EXPECT_TRUE(store.written.isEmpty());

    line.boxes.answerNext(platform::MessageAnswer::Yes);
    window->reject();
    EXPECT_FALSE(session->isConnected());
    EXPECT_EQ(store.written.first(), "Port");
    EXPECT_EQ(store.written.size(), 12);
    EXPECT_EQ(store.values["Log"].toInt(), 0) << "Cancel at the log question switched the log off";
    const auto quitBox = line.boxes.shown().back();
    EXPECT_EQ(quitBox.text, "Вы действительно желаете завершить работу?");
    EXPECT_EQ(quitBox.caption, "Завершение работы");
}

TEST_F(MainWindowTest, CancellingTheSheetWhileConnectedResumesPollingWithoutWriting)
{
    store.values["Period"] = 50;
    startAndConnect({"--device", "type=3"});
    ASSERT_TRUE(waitForTemperature());
    onSheet([this](QDialog& sheet) {
        EXPECT_EQ(session->state(), DeviceSession::State::Paused) << "polling pauses under the sheet";
        sheet.reject();
    });
    click("settingsButton");
    EXPECT_EQ(session->state(), DeviceSession::State::Polling);
    const int before = line.temperatureRequests();
    ASSERT_TRUE(processUntil([&] { return line.temperatureRequests() >= before + 2; }));
    for (const auto& r : line.requests())
        EXPECT_NE(r.function, 16) << "nothing written";
}

TEST_F(MainWindowTest, ANewAddressAndSpeedAreWrittenWhereTheDeviceWasAndPollingFollowsIt)
{
    startAndConnect({"--device", "type=6"});
    ASSERT_TRUE(waitForTemperature());
    line.boxes.answerNext(platform::MessageAnswer::Yes);
    onSheet([](QDialog& sheet) {
        auto* tabs = sheet.findChild<QTabWidget*>();
        ASSERT_NE(tabs, nullptr);
        tabs->setCurrentIndex(1);
        QLineEdit* address = sheet.findChild<QLineEdit*>("addressEdit");
        ASSERT_NE(address, nullptr);
        address->setText("7");
        auto* speed = sheet.findChild<QComboBox*>("speedCombo");
        ASSERT_NE(speed, nullptr);
        speed->setCurrentIndex(4);  // 9600
        sheet.accept();
    });
    click("settingsButton");
    EXPECT_EQ(line.boxes.shown().back().text, "Записать измененные установки в прибор?");
    ASSERT_TRUE(processUntil([&] {
        const auto r = line.requests();
        return !r.empty() && r.back().address == 7 && r.back().function == 4 && r.back().start == 256;
    }));
    int writes = 0;
    for (const auto& r : line.requests())
        if (r.function == 16) {
            EXPECT_EQ(r.address, 1) << "written at the old address";
            ++writes;
        }
    EXPECT_EQ(writes, 2) << "words 0-8 and the current output's words";
    platform::LineSettings settings;
    ASSERT_TRUE(platform::getLineSettings(session->port(), settings));
    EXPECT_EQ(settings.baudRate, 9600u);
}

TEST_F(MainWindowTest, ThePortChosenInTheSheetIsShownUsedAtTheNextConnectAndStored)
{
    testing_support::PtyPeer other(line.devices.path(), 2);
    line.start({"--device", "type=3"});
    openWindow();
    // The stored com1 is the port in use: the list opens on it.
    onSheet([](QDialog& sheet) {
        auto* port = sheet.findChild<QComboBox*>("portCombo");
        ASSERT_NE(port, nullptr);
        EXPECT_EQ(port->findText("\\\\.\\COM1"), -1) << "the list shows the names the operator knows";
        EXPECT_EQ(port->currentText(), "COM1");
        sheet.accept();
    });
    click("settingsButton");
    EXPECT_EQ(text("portEdit"), "com1") << "the name as the operator chose it";
    onSheet([](QDialog& sheet) {
        auto* port = sheet.findChild<QComboBox*>("portCombo");
        port->setCurrentIndex(port->findText("COM2"));
        sheet.accept();
    });
    click("settingsButton");
    EXPECT_EQ(text("portEdit"), "COM2");
    onSheet([](QDialog& sheet) {
        auto* port = sheet.findChild<QComboBox*>("portCombo");
        EXPECT_EQ(port->currentText(), "COM2");
        port->setCurrentIndex(port->findText("COM1"));
        sheet.accept();
    });
    click("settingsButton");
    EXPECT_EQ(text("portEdit"), "COM1");
    click("connectButton");
    EXPECT_EQ(buttonText("connectButton"), "Отключиться");
    ASSERT_TRUE(waitForTemperature());
    line.boxes.answerNext(platform::MessageAnswer::Yes);
    window->reject();
    EXPECT_EQ(store.values["Port"].toString(), "COM1");
}

TEST_F(MainWindowTest, TheGraphButtonWhileDisconnectedAsksForAFileAndCancelOpensNothing)
{
    line.start({});
    openWindow();
    int asked = 0;
    setFileDialogService([&](const FileDialogRequest& request) -> std::optional<QString> {
        ++asked;
        EXPECT_EQ(request.kind, FileDialogRequest::Kind::Open);
        EXPECT_EQ(request.defaultSuffix, "tdf");
        EXPECT_EQ(request.filter, "ZodarAver Files (*.tdf)|*.tdf|All Files (*.*)|*.*||");
        return std::nullopt;
    });
    click("graphButton");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(graphWindow("-- График t, °C--"), nullptr);
}

TEST_F(MainWindowTest, ASavedSeriesOpensInTheGraphAndABadFileSaysSo)
{
    line.start({"--device", "type=3"});
    openWindow();
    click("connectButton");
    ASSERT_TRUE(waitForTemperature());
    ASSERT_TRUE(processUntil([&] { return session->series()->GetCount() >= 3; }));
    click("connectButton");
    ASSERT_EQ(line.resultFiles().size(), 1u);
    const QString saved = QString::fromStdString(line.resultFiles().front().string());
    const long count = session->series()->GetCount();
    session->series()->Clear();

    setFileDialogService([&](const FileDialogRequest&) -> std::optional<QString> { return saved; });
    click("graphButton");
    CGraphWnd* graph = graphWindow("-- График t, °C--");
    ASSERT_NE(graph, nullptr);
    EXPECT_TRUE(graph->isVisible());
    EXPECT_EQ(session->series()->GetCount(), count);
    EXPECT_EQ(graph->temperatureRuler()->GetMax(), session->series()->GetMax() + 10);

    const std::string bad = line.work.file("bad.tdf");
    std::ofstream(bad) << "PNG";
    setFileDialogService([&](const FileDialogRequest&) -> std::optional<QString> { return QString::fromStdString(bad); });
    click("graphButton");
    EXPECT_EQ(line.boxes.shown().back().text, "Ошибка получения данных из файла");
}

TEST_F(MainWindowTest, ASeriesFileNamedAtStartOpensInTheGraphWithoutADevice)
{
    // What `kl_s FILE.tdf` does once the window is up.
    TermDataFile written;
    written.Clear();
    for (long t = 0; t < 5; ++t)
        written.Add(t * 500, 800 + t, 95);
    ASSERT_TRUE(written.Save());
    ASSERT_EQ(line.resultFiles().size(), 1u);
    openWindow();
    ASSERT_TRUE(window->showSeriesFile(QString::fromStdString(line.resultFiles().front().string())));
    CGraphWnd* graph = graphWindow("-- График t, °C--");
    ASSERT_NE(graph, nullptr);
    EXPECT_TRUE(graph->isVisible());
    EXPECT_EQ(session->series()->GetCount(), 5);
    EXPECT_EQ(graph->timeRuler()->GetMax(), 2000);
    EXPECT_EQ(buttonText("connectButton"), "Подключиться");
    EXPECT_FALSE(window->showSeriesFile("no-such-file.tdf"));
    EXPECT_EQ(line.boxes.shown().back().text, "Ошибка получения данных из файла");
}

TEST_F(MainWindowTest, TheLiveGraphFollowsTheReadingsAndIsTheSameWindowWhenOpenedAgain)
{
    store.values["Period"] = 100;
    startAndConnect({"--device", "type=3"});
    ASSERT_TRUE(waitForTemperature());
    click("graphButton");
    CGraphWnd* graph = graphWindow("-- График t, °C--");
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->temperatureRuler()->GetMin(), 200 - 10);
    EXPECT_EQ(graph->temperatureRuler()->GetMax(), 1000 + 10);
    ASSERT_TRUE(processUntil([&] { return graph->cornerValue().has_value(); }));
    EXPECT_EQ(QString::number(*graph->cornerValue()), text("temperatureEdit"));
    ASSERT_TRUE(processUntil([&] { return graph->timeRuler()->GetMax() > 0; }));

    graph->close();
    EXPECT_FALSE(graph->isVisible()) << "closing only hides it";
    click("graphButton");
    EXPECT_EQ(graphWindow("-- График t, °C--"), graph);
    EXPECT_TRUE(graph->isVisible());

    click("connectButton");
    EXPECT_FALSE(graph->isVisible()) << "disconnect hides the graphs";
    EXPECT_EQ(graphWindow("-- График квантов --"), nullptr) << "no quantum graph without Read Quant";
}

TEST_F(MainWindowTest, TheQuantumGraphShowsTheCountsWhenAskedFor)
{
    store.values["Read Quant"] = 1;
    startAndConnect({"--device", registerPyrometer(0)});
    click("quantumButton");
    CGraphWnd* graph = graphWindow("-- График квантов --");
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->temperatureRuler()->GetMin(), -10);
    EXPECT_EQ(graph->temperatureRuler()->GetMax(), 65545);
    ASSERT_TRUE(processUntil([&] { return graph->cornerValue() == 30000; }));
}

TEST_F(MainWindowTest, DisconnectingSaysWhichFileTheRunWentTo)
{
    store.values["Period"] = 100;
    startAndConnect({"--device", "type=3"});
    ASSERT_TRUE(processUntil([&] { return session->series()->GetCount() >= 2; }));
    QStatusBar* bar = window->findChild<QStatusBar*>("statusBar");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->currentMessage(), "");
    click("connectButton");
    ASSERT_EQ(line.resultFiles().size(), 1u);
    const QString file = QString::fromStdString(std::filesystem::absolute(line.resultFiles().front()).string());
    EXPECT_EQ(bar->currentMessage(), "Результаты записаны в файл " + file);
    click("connectButton");
    EXPECT_EQ(bar->currentMessage(), "") << "a new run has no file yet";
}

TEST_F(MainWindowTest, AGraphOfASavedFileNamesItAndTheNextConnectionShowsTheLiveSeriesWhole)
{
    store.values["Period"] = 100;
    startAndConnect({"--device", "type=3"});
    click("graphButton");
    CGraphWnd* graph = graphWindow("-- График t, °C--");
    ASSERT_NE(graph, nullptr);
    ASSERT_TRUE(processUntil([&] { return graph->cornerValue().has_value(); }));
    click("connectButton");
    ASSERT_EQ(line.resultFiles().size(), 1u);
    const QString saved = QString::fromStdString(line.resultFiles().front().string());

    setFileDialogService([&](const FileDialogRequest&) -> std::optional<QString> { return saved; });
    click("graphButton");
    EXPECT_TRUE(graph->isVisible());
    EXPECT_EQ(graph->windowTitle(), "-- График t, °C-- " + QFileInfo(saved).fileName());
    EXPECT_FALSE(graph->cornerValue().has_value()) << "no reading of the connection before";

    click("connectButton");
    EXPECT_EQ(graph->windowTitle(), "-- График t, °C--");
    CRangeBar* times = graph->timeRuler();
    ASSERT_TRUE(processUntil([&] { return times->GetMax() >= 2000; }));
    EXPECT_EQ(times->GetMin(), -5000);
    EXPECT_EQ(times->GetWinMin(), times->GetMin()) << "the whole run, not a window that scrolls";
    EXPECT_EQ(times->GetWinMax(), times->GetMax());
    ASSERT_TRUE(processUntil([&] { return graph->cornerValue().has_value(); }));
}

TEST_F(MainWindowTest, AGraphOpensWhereTheOperatorLeftTheLastOneOfItsKind)
{
    store.values["Read Quant"] = 1;
    startAndConnect({"--device", "type=3"});
    click("graphButton");
    CGraphWnd* graph = graphWindow("-- График t, °C--");
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->pos(), QPoint(0, 0));
    EXPECT_EQ(graph->size(), QSize(300, 200));
    graph->move(120, 90);
    graph->resize(420, 260);
    graph->close();
    EXPECT_EQ(store.values.value("TempGraphRect").toString(), "120 90 420 260");
    EXPECT_FALSE(store.values.contains("QuantGraphRect"));
    click("quantumButton");
    CGraphWnd* quantum = graphWindow("-- График квантов --");
    ASSERT_NE(quantum, nullptr);
    EXPECT_EQ(quantum->pos(), QPoint(0, 0)) << "each kind has its own place";

    // Another run of the program with the same settings.
    click("connectButton");
    window.reset();
    openWindow();
    click("connectButton");
    click("graphButton");
    graph = graphWindow("-- График t, °C--");
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->pos(), QPoint(120, 90));
    EXPECT_EQ(graph->size(), QSize(420, 260));

    // A place off every screen (a monitor that is gone) is not taken.
    click("connectButton");
    window.reset();
    store.values["TempGraphRect"] = "-5000 -5000 300 200";
    openWindow();
    click("connectButton");
    click("graphButton");
    EXPECT_EQ(graphWindow("-- График t, °C--")->pos(), QPoint(0, 0));
}

TEST_F(MainWindowTest, ReconnectingMovesTheTimeRulerBackToTheStart)
{
    startAndConnect({"--device", "type=3"});
    click("graphButton");
    CGraphWnd* graph = graphWindow("-- График t, °C--");
    ASSERT_TRUE(processUntil([&] { return graph->timeRuler()->GetMax() > 0; }));
    click("connectButton");
    click("connectButton");
    EXPECT_EQ(graph->timeRuler()->GetMin(), -5000);
}

}  // namespace

namespace {

using std::chrono::milliseconds;

// A B3 device (mode 1, emissivity 85, smoothing 3) whose words must never
// change behind the operator's back.
const char* const kKeptDevice = "type=3,settings=1:85:3";

int settingsWrites(const SimulatedLine& line)
{
    int n = 0;
    for (const auto& r : line.requests())
        n += r.function == 16;
    return n;
}

TEST_F(MainWindowTest, APeriodChangedInTheSheetCountsWhenPollingResumes)
{
    store.values["Period"] = 1000;
    startAndConnect({"--device", kKeptDevice});
    ASSERT_TRUE(waitForTemperature());
    line.boxes.answerNext(platform::MessageAnswer::No);
    onSheet([](QDialog& sheet) {
        sheet.findChild<QLineEdit*>("periodEdit")->setText("0.1");
        sheet.accept();
    });
    click("settingsButton");
    const int before = line.temperatureRequests();
    EXPECT_TRUE(processUntil([&] { return line.temperatureRequests() >= before + 10; }, milliseconds(5000)))
        << "ten requests at 0.1 s take a second, not ten";
    EXPECT_EQ(settingsWrites(line), 0);
    // The status bar judges staleness by the new period too.
    line.control("1 silence");
    auto* last = window->findChild<QLabel*>("lastReadingLabel");
    EXPECT_TRUE(processUntil([&] { return last->isVisible(); }, milliseconds(2000)));
}

TEST_F(MainWindowTest, TheSheetOpenedDuringTheIdentificationNeverWritesDefaults)
{
    line.start({"--device", std::string(kKeptDevice) + ",fault=silence"});
    openWindow();
    click("connectButton");
    bool devicePage = true;
    onSheet([&](QDialog& sheet) {
        devicePage = sheet.findChild<QLineEdit*>("emissivityEdit") != nullptr;
        sheet.accept();
    });
    line.boxes.answerNext(platform::MessageAnswer::Yes);
    click("settingsButton");
    EXPECT_FALSE(devicePage) << "no device page before the device gave its settings";
    line.control("1 none");
    ASSERT_TRUE(waitForTemperature());
    EXPECT_FALSE(text("typeEdit").isEmpty()) << "polling came after an identification";
    EXPECT_EQ(session->config().emissivity, 85);
    click("connectButton");
    EXPECT_EQ(settingsWrites(line), 0);
    EXPECT_EQ(line.deviceWords(512, 3), (std::vector<unsigned short>{1, 85, 3}));
}

TEST_F(MainWindowTest, CancellingTheSheetDuringTheIdentificationStillIdentifiesBeforePolling)
{
    line.start({"--device", std::string(kKeptDevice) + ",fault=silence"});
    openWindow();
    click("connectButton");
    onSheet([](QDialog& sheet) { sheet.reject(); });
    click("settingsButton");
    line.control("1 none");
    ASSERT_TRUE(waitForTemperature());
    EXPECT_FALSE(text("typeEdit").isEmpty());
    EXPECT_EQ(text("serialEdit").toStdString(), "1234");
}

// Polling the kept device every 100 ms, the adapter pulled out, and the
// emissivity 0.9 confirmed in the sheet (OK, then Да) while the session waits
// for the port.
class SettingsWhileThePortIsAway : public MainWindowTest {
protected:
    void confirmEmissivityWhileThePortIsAway()
    {
        store.values["Period"] = 100;
        startAndConnect({"--device", kKeptDevice});
        ASSERT_TRUE(waitForTemperature());
        line.kill();
        ASSERT_TRUE(processUntil([&] { return session->state() == DeviceSession::State::WaitingForPort; }));
        onSheet([](QDialog& sheet) {
            sheet.findChild<QLineEdit*>("emissivityEdit")->setText("0.9");
            sheet.accept();
        });
        line.boxes.answerNext(platform::MessageAnswer::Yes);
        click("settingsButton");
    }
};

TEST_F(SettingsWhileThePortIsAway, AreWrittenOnceTheDeviceIsBack)
{
    ASSERT_NO_FATAL_FAILURE(confirmEmissivityWhileThePortIsAway());
    line.start({"--device", kKeptDevice});
    ASSERT_TRUE(processUntil([&] { return settingsWrites(line) > 0; }));
    const int written = line.temperatureRequests();
    ASSERT_TRUE(processUntil([&] { return line.temperatureRequests() > written + 2; }));
    const auto requests = line.requests();
    const auto firstWrite = std::find_if(requests.begin(), requests.end(), [](const TracedRequest& r) { return r.function == 16; });
    EXPECT_TRUE(std::none_of(requests.begin(), firstWrite, [](const TracedRequest& r) { return r.start == 256; }))
        << "written before polling resumed";
    EXPECT_EQ(session->config().emissivity, 90);
    click("connectButton");
    EXPECT_EQ(line.deviceWords(512, 3), (std::vector<unsigned short>{1, 90, 3}));
    EXPECT_EQ(line.boxesWithCaption("Ошибка"), 0);
}

TEST_F(SettingsWhileThePortIsAway, AreSaidToBeLostOnDisconnect)
{
    ASSERT_NO_FATAL_FAILURE(confirmEmissivityWhileThePortIsAway());
    click("connectButton");
    ASSERT_FALSE(line.boxes.shown().empty());
    EXPECT_EQ(line.boxes.shown().back().text, "Измененные установки не записаны в прибор.");
}

TEST_F(MainWindowTest, ADeviceInSettingModeStillGivesReadingsAndShowsThatState)
{
    store.values["Period"] = 100;
    startAndConnect({"--device", registerPyrometer(0) + ",status=128"});
    ASSERT_TRUE(waitForTemperature());
    EXPECT_EQ(text("stateEdit").toStdString(), "настройка");
    EXPECT_EQ(text("thermostatEdit").toStdString(), "в режиме");
}

// A viewed series is never written again, whichever way it was opened.
TEST_F(MainWindowTest, ViewingASavedSeriesAndQuittingWritesNoCopy)
{
    line.start({"--device", "type=3"});
    openWindow();
    click("connectButton");
    ASSERT_TRUE(processUntil([&] { return session->series()->GetCount() >= 3; }));
    click("connectButton");
    ASSERT_EQ(line.resultFiles().size(), 1u);
    const auto saved = line.resultFiles().front();
    const std::string bytes = fileBytes(saved);

    setFileDialogService([&](const FileDialogRequest&) -> std::optional<QString> {
        return QString::fromStdString(saved.string());
    });
    click("graphButton");
    ASSERT_TRUE(window->showSeriesFile(QString::fromStdString(saved.string())));
    line.boxes.answerNext(platform::MessageAnswer::Yes);
    window->reject();
    window.reset();
    session.reset();
    ASSERT_EQ(line.resultFiles().size(), 1u);
    EXPECT_EQ(fileBytes(saved), bytes);
}

}  // namespace
