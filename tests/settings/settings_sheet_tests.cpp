// The settings sheet "Установки" and its pages driven as an operator would,
// headless; message boxes answered by a script.
#include "settings/dev_config.h"
#include "settings/spin_button.h"

#include "test_support.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <fstream>

using testing_support::ScopedEnv;
using testing_support::ScriptedMessageBoxes;
using testing_support::TempDir;
using testing_support::caseName;

namespace {

const std::string kTimeoutMessage =
    "Ошибка при вводе тайм-аута.\n Допустимое значение 0.5 сек. - 2.0 сек., с шагом 0.02 сек.";

SheetValues mainWindowValues()
{
    SheetValues v;
    KCSetDefaultConfig(&v.config);
    // A device with a current output reports its range; the defaults (0 to 0)
    // would not pass the page's check.
    v.config.outputTMax = 1000;
    v.comm.portName = "com1";
    v.program = {5, true, false, "kl_s.log", 500, 0};
    return v;
}

// The limit table of a B2 2C pyrometer measuring 800 to 2500 °C, as the main
// window holds it after reading a table that failed.
LimitTable b2RatioTable()
{
    LimitTable t = initialLimitTable();
    applyFallbackLimits(t, 800, 2500);
    t[kLimitTrigger].minimum = 800;
    t[kLimitTrigger].maximum = 2500;
    return t;
}

class SheetTest : public ::testing::Test {
protected:
    SheetTest()
    {
        for (const char* name : {"COM2", "COM10", "COM1"})
            std::ofstream(devices.file(name)).put('\n');
    }

    void open(const DeviceFacts* device = nullptr)
    {
        sheet = std::make_unique<CDevConfig>(values, device);
        sheet->show();
        sheet->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet.get()));
    }

    template <class W = QWidget>
    W* find(const char* name) const
    {
        W* w = sheet->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    QTabWidget* tabs() const { return find<QTabWidget>("pages"); }

    void showPage(const QString& title)
    {
        for (int i = 0; i < tabs()->count(); ++i)
            if (tabs()->tabText(i) == title)
                QTest::mouseClick(tabs()->tabBar(), Qt::LeftButton, {}, tabs()->tabBar()->tabRect(i).center());
    }

    QString currentPage() const { return tabs()->tabText(tabs()->currentIndex()); }

    void type(const char* edit, const QString& text)
    {
        QLineEdit* e = find<QLineEdit>(edit);
        e->selectAll();
        QTest::keyClicks(e, text);
    }

    // Check boxes and radio buttons take a click on their indicator.
    void click(QAbstractButton* button)
    {
        const bool indicator = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
        QTest::mouseClick(button, Qt::LeftButton, {}, indicator ? QPoint(6, button->height() / 2) : QPoint());
    }
    void click(const char* name) { click(find<QAbstractButton>(name)); }
    void pressOk() { click(find<QDialogButtonBox>("buttons")->button(QDialogButtonBox::Ok)); }
    void pressCancel() { click(find<QDialogButtonBox>("buttons")->button(QDialogButtonBox::Cancel)); }
    bool accepted() const { return sheet->result() == QDialog::Accepted && !sheet->isVisible(); }

    // The last box said `text` as a validation error and the edit has the
    // focus with its whole text selected.
    void expectRejectedAt(const std::string& text, const char* edit)
    {
        ASSERT_FALSE(boxes.shown().empty());
        const auto box = boxes.shown().back();
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, "Ошибка");
        EXPECT_EQ(box.icon, platform::MessageIcon::Warning);
        EXPECT_TRUE(sheet->isVisible());
        QLineEdit* e = find<QLineEdit>(edit);
        EXPECT_EQ(QApplication::focusWidget(), e);
        EXPECT_FALSE(e->text().isEmpty());
        EXPECT_EQ(e->selectedText(), e->text());
    }

    TempDir devices;
    ScopedEnv deviceEnv{"KL_DEVICE_DIR", devices.path()};
    ScriptedMessageBoxes boxes;
    SheetValues values = mainWindowValues();
    std::unique_ptr<CDevConfig> sheet;
};

QStringList tabTitles(QTabWidget* tabs)
{
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    return titles;
}

TEST_F(SheetTest, WhileDisconnectedOnlyTheCommunicationAndProgramPages)
{
    open();
    EXPECT_EQ(sheet->windowTitle(), "Установки");
    EXPECT_EQ(tabTitles(tabs()), (QStringList{"Связь", "Программа"}));
    EXPECT_EQ(find<QDialogButtonBox>("buttons")->button(QDialogButtonBox::Ok)->text(), "OK");
    EXPECT_EQ(find<QDialogButtonBox>("buttons")->button(QDialogButtonBox::Cancel)->text(), "Отмена");
    EXPECT_EQ(sheet->findChild<QWidget*>("DevPage"), nullptr);
}

TEST_F(SheetTest, WhileConnectedTheDevicePageComesFirst)
{
    const DeviceFacts device{3, 0, initialLimitTable()};
    open(&device);
    EXPECT_EQ(tabTitles(tabs()), (QStringList{"Пирометр", "Связь", "Программа"}));
    EXPECT_EQ(currentPage(), "Пирометр");
}

TEST_F(SheetTest, ThePortListShowsComNamesAndSelectsThePortInUseAsTheOperatorWroteIt)
{
    open();
    auto* ports = find<QComboBox>("portCombo");
    QStringList entries;
    for (int i = 0; i < ports->count(); ++i)
        entries << ports->itemText(i);
    EXPECT_EQ(entries, (QStringList{"COM1", "COM2", "COM10"}));
    EXPECT_EQ(ports->currentText(), "COM1") << "the stored com1 is the port COM1";
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_EQ(sheet->values().comm.portName, "com1") << "kept as written while it names the chosen port";
}

TEST_F(SheetTest, ADevicePathSelectsItsPortAndAnotherChoiceIsTakenByItsName)
{
    values.comm.portName = "\\\\.\\COM2";
    open();
    auto* ports = find<QComboBox>("portCombo");
    EXPECT_EQ(ports->currentText(), "COM2");
    ports->setCurrentIndex(ports->findText("COM10"));
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_EQ(sheet->values().comm.portName, "COM10");
}

TEST_F(SheetTest, AUsbAdapterIsListedWithItsMakerProductAndSerialNumber)
{
    // No device folder: the machine's adapters, here a made /dev and /sys.
    TempDir dev, sys, settings;
    const ScopedEnv noFolder("KL_DEVICE_DIR", devices.file("absent"));
    const ScopedEnv devRoot("KL_DEV_ROOT", dev.path());
    const ScopedEnv sysRoot("KL_SYS_ROOT", sys.path());
    const ScopedEnv settingsDir("KL_SETTINGS_DIR", settings.path());
    namespace fs = std::filesystem;
    fs::create_directories(dev.file("serial/by-id"));
    fs::create_symlink("/dev/null", dev.file("ttyUSB3"));
    fs::create_symlink("../../ttyUSB3", dev.file("serial/by-id/usb-Maker_Cable_A1-if00-port0"));
    const std::string usb = sys.file("devices/usb1/1-2");
    fs::create_directories(usb + "/1-2:1.0/ttyUSB3");
    std::ofstream(usb + "/idVendor") << "0403\n";
    std::ofstream(usb + "/manufacturer") << "Maker\n";
    std::ofstream(usb + "/product") << "USB-RS485 Cable\n";
    std::ofstream(usb + "/serial") << "A1\n";
    fs::create_directories(sys.file("class/tty/ttyUSB3"));
    fs::create_symlink("../../../devices/usb1/1-2/1-2:1.0/ttyUSB3", sys.file("class/tty/ttyUSB3/device"));
    values.comm.portName = "com101";
    open();
    auto* ports = find<QComboBox>("portCombo");
    ASSERT_EQ(ports->count(), 1);
    EXPECT_EQ(ports->itemText(0), "COM101 (Maker USB-RS485 Cable, серийный номер A1)");
    EXPECT_EQ(ports->currentIndex(), 0);
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_EQ(sheet->values().comm.portName, "com101");
}

TEST_F(SheetTest, TheSpeedListCarriesTheBaudCodes)
{
    values.config.baudRate = 2;
    open();
    auto* speeds = find<QComboBox>("speedCombo");
    ASSERT_EQ(speeds->count(), 7);
    const char* names[] = {"600", "1200", "2400", "4800", "9600", "19200", "38400"};
    for (int code = 0; code < 7; ++code) {
        EXPECT_EQ(speeds->itemText(code), names[code]);
        EXPECT_EQ(speeds->itemData(code).toInt(), code);
    }
    EXPECT_EQ(speeds->currentText(), "2400");
    speeds->setCurrentIndex(speeds->findText("9600"));
    type("addressEdit", "17");
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_EQ(sheet->values().config.baudRate, 4);
    EXPECT_EQ(sheet->values().config.address, 17);
}

struct TimeoutCase {
    const char* typed;
    int word;
};

class TimeoutTest : public SheetTest, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(TimeoutTest, IsStoredInStepsOf20Ms)
{
    open();
    EXPECT_EQ(find<QLineEdit>("timeoutEdit")->text(), "2");
    type("timeoutEdit", GetParam().typed);
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_EQ(sheet->values().config.timeout, GetParam().word);
}

INSTANTIATE_TEST_SUITE_P(Cases, TimeoutTest,
                         ::testing::Values(TimeoutCase{"0.5", 25}, TimeoutCase{"2.0", 100}, TimeoutCase{"2", 100},
                                           TimeoutCase{"0.58", 29}, TimeoutCase{"0,54", 27}),
                         [](const auto& info) { return caseName("Typed", info.param.typed); });

TEST_F(SheetTest, ATimeoutOf201IsRejectedOnOkAndWhenLeavingThePage)
{
    open();
    type("timeoutEdit", "2.01");
    pressOk();
    expectRejectedAt(kTimeoutMessage, "timeoutEdit");
    EXPECT_EQ(boxes.shown().size(), 1u);

    showPage("Программа");
    EXPECT_EQ(currentPage(), "Связь");
    expectRejectedAt(kTimeoutMessage, "timeoutEdit");
    EXPECT_EQ(boxes.shown().size(), 2u);

    type("timeoutEdit", "1.5");
    showPage("Программа");
    EXPECT_EQ(currentPage(), "Программа");
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_EQ(sheet->values().config.timeout, 75);
}

struct AddressCase {
    const char* typed;
    const char* message;
};

class AddressTest : public SheetTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(AddressTest, OutsideOneTo255IsRejected)
{
    open();
    type("addressEdit", GetParam().typed);
    pressOk();
    expectRejectedAt(GetParam().message, "addressEdit");
}

INSTANTIATE_TEST_SUITE_P(Cases, AddressTest,
                         ::testing::Values(AddressCase{"0", "Введите целое число от 1 до 255."},
                                           AddressCase{"256", "Введите целое число от 1 до 255."},
                                           AddressCase{"1x", "Введите целое число."}),
                         [](const auto& info) { return caseName("Typed", info.param.typed); });

TEST_F(SheetTest, AddressCheckedBeforeTimeout)
{
    open();
    type("addressEdit", "300");
    type("timeoutEdit", "9");
    pressOk();
    expectRejectedAt("Введите целое число от 1 до 255.", "addressEdit");
}

TEST_F(SheetTest, WithAutomaticFlowTheLineBoxesAreDisabledButShowTheirStates)
{
    values.comm = {"com1", true, 0, 1, 255, 7};
    open();
    EXPECT_TRUE(find<QRadioButton>("autoFlowRadio")->isChecked());
    const std::pair<const char*, Qt::CheckState> boxesAndStates[] = {{"sendDtrCheck", Qt::Unchecked},
                                                                     {"sendRtsCheck", Qt::Checked},
                                                                     {"recvDtrCheck", Qt::PartiallyChecked},
                                                                     {"recvRtsCheck", Qt::PartiallyChecked}};
    for (const auto& [name, state] : boxesAndStates) {
        auto* box = find<QCheckBox>(name);
        EXPECT_FALSE(box->isEnabled()) << name;
        EXPECT_TRUE(box->isVisible()) << name;
        EXPECT_EQ(box->checkState(), state) << name;
    }

    click("manualFlowRadio");
    for (const auto& [name, state] : boxesAndStates)
        EXPECT_TRUE(find<QCheckBox>(name)->isEnabled()) << name;
    click("sendDtrCheck");
    click("recvRtsCheck");
    pressOk();
    ASSERT_TRUE(accepted());
    const CommSettings& comm = sheet->values().comm;
    EXPECT_FALSE(comm.automaticFlow);
    // A click moves a box from unchecked to indeterminate to checked.
    EXPECT_EQ(comm.sendDTR, 255);
    EXPECT_EQ(comm.sendRTS, 1);
    EXPECT_EQ(comm.recvDTR, 255);
    EXPECT_EQ(comm.recvRTS, 1);
}

TEST_F(SheetTest, AutomaticFlowAgainDisablesTheBoxes)
{
    values.comm.automaticFlow = false;
    open();
    EXPECT_TRUE(find<QRadioButton>("manualFlowRadio")->isChecked());
    EXPECT_TRUE(find<QCheckBox>("sendRtsCheck")->isEnabled());
    click("autoFlowRadio");
    EXPECT_FALSE(find<QCheckBox>("sendRtsCheck")->isEnabled());
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_TRUE(sheet->values().comm.automaticFlow);
}

TEST_F(SheetTest, TheProgramPageShowsSecondsAndReturnsMilliseconds)
{
    values.program.graphSpanMs = 30000;
    open();
    showPage("Программа");
    EXPECT_EQ(find<QLineEdit>("attemptsEdit")->text(), "5");
    EXPECT_TRUE(find<QCheckBox>("confirmCheck")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("logCheck")->isChecked());
    EXPECT_EQ(find<QLineEdit>("logFileEdit")->text(), "kl_s.log");
    EXPECT_EQ(find<QLineEdit>("periodEdit")->text(), "0.5");
    EXPECT_EQ(find<QLineEdit>("graphSpanEdit")->text(), "30");

    type("attemptsEdit", "3");
    click("confirmCheck");
    click("logCheck");
    type("logFileEdit", "/tmp/readings.log");
    type("periodEdit", "0.3");
    type("graphSpanEdit", "12.5");
    pressOk();
    ASSERT_TRUE(accepted());
    const ProgramSettings& p = sheet->values().program;
    EXPECT_EQ(p.attempts, 3);
    EXPECT_FALSE(p.confirmUpdate);
    EXPECT_TRUE(p.log);
    EXPECT_EQ(p.logFileName, "/tmp/readings.log");
    EXPECT_EQ(p.periodMs, 300);
    EXPECT_EQ(p.graphSpanMs, 12500);
}

TEST_F(SheetTest, TheProgramPageOnlyAsksForNumbers)
{
    open();
    showPage("Программа");
    type("periodEdit", "0.01");
    type("graphSpanEdit", "-4");
    type("attemptsEdit", "0");
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_EQ(sheet->values().program.periodMs, 10);
    EXPECT_EQ(sheet->values().program.graphSpanMs, -4000);
    EXPECT_EQ(sheet->values().program.attempts, 0);
}

TEST_F(SheetTest, TextThatIsNoNumberKeepsTheProgramPage)
{
    open();
    showPage("Программа");
    type("periodEdit", "fast");
    showPage("Связь");
    EXPECT_EQ(currentPage(), "Программа");
    expectRejectedAt("Введите число.", "periodEdit");
    type("periodEdit", "1");
    type("attemptsEdit", "40000");
    pressOk();
    expectRejectedAt("Введите целое число.", "attemptsEdit");
}

TEST_F(SheetTest, CancelTakesNothingOver)
{
    const DeviceFacts device{135, 2, b2RatioTable()};
    values.config.emissivity = 1000;
    values.config.trigger = 15000;
    open(&device);
    type("emissivityEdit", "0.9");
    showPage("Связь");
    type("addressEdit", "9");
    click("manualFlowRadio");
    find<QComboBox>("portCombo")->setCurrentIndex(1);
    showPage("Программа");
    type("periodEdit", "3");
    pressCancel();
    EXPECT_EQ(sheet->result(), QDialog::Rejected);
    EXPECT_FALSE(sheet->isVisible());
    const SheetValues original = mainWindowValues();
    for (int k = 0; k < 13; ++k)
        EXPECT_EQ(sheet->values().config.words[k], k == 1 ? 1000 : k == 11 ? 15000 : original.config.words[k]) << k;
    EXPECT_EQ(sheet->values().comm.portName, "com1");
    EXPECT_TRUE(sheet->values().comm.automaticFlow);
    EXPECT_EQ(sheet->values().program.periodMs, 500);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(SheetTest, OkChecksThePagesNotShownAsWell)
{
    values.config.timeout = 10;  // 0.2 s, as a device may report it
    const DeviceFacts device{0, 0, initialLimitTable()};
    open(&device);
    pressOk();
    EXPECT_EQ(currentPage(), "Связь");
    expectRejectedAt(kTimeoutMessage, "timeoutEdit");
}

// The device page.

TEST_F(SheetTest, APlainDeviceHidesTheOutputAndTriggerAndStoresTheirFixedValues)
{
    values.config.outputTMin = 300;
    values.config.outputTMax = 900;
    values.config.trigger = 1000;
    values.config.hysteresis = 5;
    const DeviceFacts device{0, 0, initialLimitTable()};
    open(&device);
    for (const char* name : {"tMinLabel", "tMinEdit", "tMinSpin", "tMaxLabel", "tMaxEdit", "tMaxSpin", "triggerButton",
                             "triggerEdit", "triggerSpin", "hysteresisLabel", "hysteresisEdit", "hysteresisSpin"})
        EXPECT_FALSE(find(name)->isVisible()) << name;
    EXPECT_TRUE(find("zeroMaRadio")->isVisible());
    EXPECT_EQ(find<QLabel>("emissivityLabel")->text(), "Степень черноты");
    EXPECT_EQ(find<QLineEdit>("emissivityEdit")->text(), "1");
    pressOk();
    ASSERT_TRUE(accepted());
    const KCConfig& c = sheet->values().config;
    EXPECT_EQ(c.outputTMin, 0);
    EXPECT_EQ(c.outputTMax, 50);
    EXPECT_EQ(c.trigger, 15000);
    EXPECT_EQ(c.hysteresis, 1);
}

TEST_F(SheetTest, TheListsOfModesAndSmoothingSteps)
{
    LimitTable table = initialLimitTable();
    table[kLimitSmoothing].maximum = 5;
    values.config.mode = 2;
    values.config.smoothing = 4;
    const DeviceFacts device{3, 0, table};
    open(&device);
    auto* modes = find<QComboBox>("modeCombo");
    ASSERT_EQ(modes->count(), 4);
    EXPECT_EQ(modes->itemText(0), "Измерение");
    EXPECT_EQ(modes->itemText(3), "Выборка максимума");
    EXPECT_EQ(modes->currentIndex(), 2);
    auto* steps = find<QComboBox>("smoothingCombo");
    ASSERT_EQ(steps->count(), 6);
    EXPECT_EQ(steps->itemText(5), "50");
    EXPECT_EQ(steps->currentText(), "20");
    modes->setCurrentIndex(1);
    steps->setCurrentIndex(5);
    click("fourMaRadio");
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_EQ(sheet->values().config.mode, 1);
    EXPECT_EQ(sheet->values().config.smoothing, 5);
    EXPECT_EQ(sheet->values().config.currentOutput, 1);
}

TEST_F(SheetTest, ARatioDeviceWithItsTriggerOffOpensWithTheTriggerHidden)
{
    values.config.emissivity = 1000;
    values.config.outputTMin = 800;
    values.config.outputTMax = 2500;
    values.config.trigger = 15000;
    values.config.hysteresis = 3;
    const DeviceFacts device{135, 2, b2RatioTable()};
    open(&device);
    EXPECT_EQ(find<QLabel>("emissivityLabel")->text(), "Отношение степеней черноты");
    EXPECT_TRUE(find("triggerButton")->isVisible());
    EXPECT_TRUE(find("hysteresisEdit")->isVisible());
    EXPECT_TRUE(find("tMaxEdit")->isVisible());
    EXPECT_FALSE(find<QPushButton>("triggerButton")->isChecked());
    EXPECT_FALSE(find("triggerEdit")->isVisible());
    EXPECT_FALSE(find("triggerSpin")->isVisible());

    // Switched on, the trigger comes back within the table's range.
    click("triggerButton");
    EXPECT_TRUE(find("triggerEdit")->isVisible());
    EXPECT_EQ(find<QLineEdit>("triggerEdit")->text(), "2500");
    type("triggerEdit", "1200");
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_EQ(sheet->values().config.trigger, 1200);
    EXPECT_EQ(sheet->values().config.hysteresis, 3);
}

TEST_F(SheetTest, SwitchingTheTriggerOffStores15000)
{
    values.config.trigger = 1000;
    const DeviceFacts device{135, 2, b2RatioTable()};
    values.config.emissivity = 1000;
    open(&device);
    EXPECT_TRUE(find<QPushButton>("triggerButton")->isChecked());
    EXPECT_EQ(find<QLineEdit>("triggerEdit")->text(), "1000");
    click("triggerButton");
    EXPECT_FALSE(find("triggerEdit")->isVisible());
    pressOk();
    ASSERT_TRUE(accepted());
    EXPECT_EQ(sheet->values().config.trigger, 15000);
}

struct DevRejectCase {
    unsigned type;
    const char* edit;
    const char* typed;
    const char* message;
};

class DevPageReject : public SheetTest, public ::testing::WithParamInterface<DevRejectCase> {};

TEST_P(DevPageReject, KeepsThePageWithTheFocusOnTheValue)
{
    const DevRejectCase& c = GetParam();
    values.config.emissivity = (c.type & 0x80) ? 1000 : 100;
    values.config.outputTMin = 800;
    values.config.outputTMax = 2000;
    values.config.trigger = 1000;
    values.config.hysteresis = 2;
    const DeviceFacts device{c.type, 0, b2RatioTable()};
    open(&device);
    type(c.edit, c.typed);
    showPage("Связь");
    EXPECT_EQ(currentPage(), "Пирометр");
    expectRejectedAt(c.message, c.edit);
    pressOk();
    EXPECT_EQ(boxes.shown().size(), 2u);
    expectRejectedAt(c.message, c.edit);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DevPageReject,
    ::testing::Values(
        DevRejectCase{135, "emissivityEdit", "0.849",
                      "Ошибка при вводе отношения степеней черноты.\n Допустимое значение 0.850 - 1.150, с шагом 0.001"},
        DevRejectCase{0, "emissivityEdit", "0.09",
                      "Ошибка при вводе степени черноты.\n Допустимое значение 0.10 - 1.00, с шагом 0.01"},
        DevRejectCase{0, "emissivityEdit", "1.01",
                      "Ошибка при вводе степени черноты.\n Допустимое значение 0.10 - 1.00, с шагом 0.01"},
        DevRejectCase{3, "maxSamplingEdit", "25.5",
                      "Ошибка при вводе времени выборки.\nДопустимое значение 0.5 сек. - 25.0 сек., с шагом 0.5 сек."},
        DevRejectCase{135, "tMaxEdit", "800",
                      "Ошибка при указании температурного диапазона настройки токового выхода.\nДопустимые границы 0 С "
                      "- 3000 С, с шагом 50 С"},
        DevRejectCase{135, "hysteresisEdit", "-1", "Ошибка при указании гистерезиса.\nДопустимые границы 0-100."},
        DevRejectCase{135, "triggerEdit", "700", "Ошибка при указании значения триггера.\nДопустимые границы 800-2500."},
        DevRejectCase{135, "minSamplingEdit", "two", "Введите число."}),
    [](const auto& info) { return caseName("Type", info.param.type, info.param.edit, info.param.typed); });

struct DevAcceptCase {
    unsigned type;
    const char* typed;
    int word;
};

class DevPageAccept : public SheetTest, public ::testing::WithParamInterface<DevAcceptCase> {};

TEST_P(DevPageAccept, TheEmissivityAtTheEndsOfItsRange)
{
    values.config.emissivity = (GetParam().type & 0x80) ? 1000 : 100;
    const DeviceFacts device{GetParam().type, 0, initialLimitTable()};
    open(&device);
    type("emissivityEdit", GetParam().typed);
    pressOk();
    ASSERT_TRUE(accepted()) << (boxes.shown().empty() ? "" : boxes.shown().back().text);
    EXPECT_EQ(sheet->values().config.emissivity, GetParam().word);
}

INSTANTIATE_TEST_SUITE_P(Cases, DevPageAccept,
                         ::testing::Values(DevAcceptCase{131, "0.850", 850}, DevAcceptCase{131, "1.150", 1150},
                                           DevAcceptCase{0, "0.10", 10}, DevAcceptCase{0, "1.00", 100},
                                           DevAcceptCase{0, "0.29", 29}),
                         [](const auto& info) { return caseName("Type", info.param.type, "Typed", info.param.typed); });

TEST_F(SheetTest, EachEditFollowsItsSpinStepByStep)
{
    values.config.minSampling = 20;
    values.config.maxSampling = 250;
    values.config.outputTMin = 100;
    values.config.outputTMax = 1000;
    values.config.hysteresis = 100;
    values.config.trigger = 1000;
    values.config.emissivity = 1000;
    const DeviceFacts device{135, 2, b2RatioTable()};
    open(&device);
    auto up = [&](const char* spin) { click(find(spin)->findChild<QToolButton*>("up")); };
    auto down = [&](const char* spin) { click(find(spin)->findChild<QToolButton*>("down")); };
    auto text = [&](const char* edit) { return find<QLineEdit>(edit)->text(); };

    up("minSamplingSpin");
    EXPECT_EQ(text("minSamplingEdit"), "2.5");
    down("minSamplingSpin");
    down("minSamplingSpin");
    EXPECT_EQ(text("minSamplingEdit"), "1.5");
    up("maxSamplingSpin");  // already at 25.0 s, the top of its range
    EXPECT_EQ(text("maxSamplingEdit"), "25");
    down("tMinSpin");
    EXPECT_EQ(text("tMinEdit"), "50");
    up("tMaxSpin");
    EXPECT_EQ(text("tMaxEdit"), "1050");
    up("hysteresisSpin");  // 100 is the top
    EXPECT_EQ(text("hysteresisEdit"), "100");
    type("triggerEdit", "1234");
    up("triggerSpin");
    EXPECT_EQ(text("triggerEdit"), "1235");
    pressOk();
    ASSERT_TRUE(accepted());
    const KCConfig& c = sheet->values().config;
    EXPECT_EQ(c.minSampling, 15);
    EXPECT_EQ(c.maxSampling, 250);
    EXPECT_EQ(c.outputTMin, 50);
    EXPECT_EQ(c.outputTMax, 1050);
    EXPECT_EQ(c.trigger, 1235);
}

TEST_F(SheetTest, WithoutALimitTableTheFixedRangesApply)
{
    values.config.minSampling = 20;
    const DeviceFacts device{3, 0, std::nullopt};
    open(&device);
    auto* spin = find<CSpinButton>("minSamplingSpin");
    EXPECT_EQ(spin->upper(), 49);
    EXPECT_EQ(spin->position(), 3);
    EXPECT_EQ(find<QComboBox>("smoothingCombo")->count(), 12);
    type("minSamplingEdit", "0.4");
    pressOk();
    expectRejectedAt("Ошибка при вводе времени выборки.\nДопустимое значение 0.5 сек. - 25.0 сек., с шагом 0.5 сек.",
                     "minSamplingEdit");
}

}  // namespace
