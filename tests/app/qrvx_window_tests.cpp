// The QRVX main window and its setup dialog driven as an operator would,
// headless, against kl_sim --qrvx; message boxes and the file dialog
// answered by scripts.
#include "windows/about_dlg.h"
#include "services/file_dialogs.h"
#include "graph/graph_wnd.h"
#include "windows/qrvx_dlg.h"
#include "windows/qrvx_setup.h"
#include "rangebar.h"

#include "app_test_support.h"
#include "qrvx_front_end_fixture.h"
#include "test_support.h"


#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <filesystem>
#include <functional>

using testing_support::PtyPeer;
using testing_support::ScopedEnv;
using testing_support::ScriptedMessageBoxes;
using testing_support::TempDir;

namespace {

QString qrvxFrame(long value)
{
    return QString::fromStdString(testing_support::qrvxFrameOf(value));
}

// Answers the next file dialogs with `answer` and records the requests.
class ScriptedFileDialog {
public:
    explicit ScriptedFileDialog(std::optional<QString> answer)
    {
        previous_ = setFileDialogService([this, answer](const FileDialogRequest& request) {
            requests.push_back(request);
            return answer;
        });
    }
    ~ScriptedFileDialog() { setFileDialogService(previous_); }

    std::vector<FileDialogRequest> requests;

private:
    FileDialogService previous_;
};

// Runs `answer` on the modal dialog of type T once it shows, while `open`
// runs; the dialog is cancelled afterwards if `answer` left it open.
template <class T>
bool whileModal(const std::function<void(T&)>& answer, const std::function<void()>& open)
{
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        answer(*dialog);
        answered = true;
        if (dialog->isVisible())
            dialog->reject();
    });
    open();
    return answered;
}

class QrvxWindowTest : public QrvxFrontEndTest {
protected:
    void TearDown() override
    {
        window.reset();
        session.reset();
        QrvxFrontEndTest::TearDown();
    }

    void openWindow()
    {
        session = std::make_unique<QrvxSession>(module);
        window = std::make_unique<CQRVXDlg>(*session, top, qrvx);
        window->show();
    }

    template <class W>
    W* child(const char* name) const
    {
        return window->findChild<W*>(name);
    }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    QString text(const char* name) const { return child<QLineEdit>(name)->text(); }
    QComboBox* combo(const char* name) const { return child<QComboBox>(name); }
    long records() { return session->series()->GetCount(); }
    bool waitForRecords(long n) { return processUntil([&] { return records() >= n; }); }

    MemorySettings top;
    MemorySettings qrvx;
    std::unique_ptr<QrvxSession> session;
    std::unique_ptr<CQRVXDlg> window;
};

TEST_F(QrvxWindowTest, OpensWithTheStoredSettingsAndTheLimitLists)
{
    openWindow();
    EXPECT_EQ(window->windowTitle(), "KL_S");
    EXPECT_EQ(text("portEdit"), "com1");
    QComboBox* lower = combo("lowerLimitCombo");
    ASSERT_EQ(lower->count(), 5000);
    EXPECT_EQ(lower->itemText(0), "0");
    EXPECT_EQ(lower->itemText(1), "100");
    EXPECT_EQ(lower->itemText(4999), "499900");
    EXPECT_EQ(lower->currentText(), "0");
    QComboBox* upper = combo("upperLimitCombo");
    ASSERT_EQ(upper->count(), 4999);
    EXPECT_EQ(upper->itemText(0), "100");
    EXPECT_EQ(upper->currentText(), "500000");
    EXPECT_TRUE(child<QRadioButton>("frameRadio")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("saveResultsCheck")->isChecked());
    EXPECT_EQ(child<QPushButton>("connectButton")->text(), "Подключиться");
}

TEST_F(QrvxWindowTest, WithLowerLimit1000TheUpperListStartsAt1100)
{
    qrvx.values["MinTerm"] = 1000;
    qrvx.values["MaxTerm"] = 900;
    openWindow();
    EXPECT_EQ(combo("lowerLimitCombo")->currentText(), "1000");
    EXPECT_EQ(combo("upperLimitCombo")->itemText(0), "1100");
    EXPECT_EQ(combo("upperLimitCombo")->currentText(), "1000") << "an upper limit below the lower one rises to it";
}

TEST_F(QrvxWindowTest, LeavingTheLowerListRefillsTheUpperOne)
{
    openWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QComboBox* lower = combo("lowerLimitCombo");
    lower->setFocus();
    lower->lineEdit()->clear();
    QTest::keyClicks(lower->lineEdit(), "2050");
    ASSERT_EQ(lower->currentText(), "2050");
    EXPECT_EQ(combo("upperLimitCombo")->itemText(0), "100") << "not before the list is left";
    child<QPlainTextEdit>("frameText")->setFocus();
    ASSERT_TRUE(processUntil([&] { return combo("upperLimitCombo")->itemText(0) == "2100"; }));
}

TEST_F(QrvxWindowTest, ConnectedValuesReachTheFieldTheBoxTheSeriesTheLogAndTheGraph)
{
    startSim({"--rate", "20", "--value", "1500", "--swing", "0"});
    top.values["Period"] = 0;
    qrvx.values["Log"] = 1;
    qrvx.values["LogFileName"] = "window.log";
    openWindow();
    click("connectButton");
    ASSERT_TRUE(session->isConnected());
    EXPECT_EQ(child<QPushButton>("connectButton")->text(), "Отключиться");
    click("graphButton");
    CGraphWnd* graph = window->graphWindow();
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(graph->windowTitle(), "-- График --");
    EXPECT_TRUE(graph->isVisible());
    ASSERT_TRUE(waitForRecords(5));
    ASSERT_TRUE(processUntil([&] { return graph->cornerValue() == 1500L; }));

    EXPECT_EQ(text("temperatureEdit"), "1500");
    EXPECT_TRUE(window->shownFrameText().startsWith(qrvxFrame(1500) + qrvxFrame(1500)));
    EXPECT_TRUE(child<QPlainTextEdit>("frameText")->toPlainText().startsWith(qrvxFrame(1500).remove('\r')));
    EXPECT_EQ(session->series()->GetTermData()[0].temperature, 1500);
    EXPECT_GE(graph->timeRuler()->GetMax(), session->series()->GetTermData()[0].time);
    click("connectButton");
    EXPECT_FALSE(session->isConnected());
    EXPECT_EQ(child<QPushButton>("connectButton")->text(), "Подключиться");
    std::ifstream log(work.file("window.log"));
    std::string line;
    ASSERT_TRUE(std::getline(log, line));
    EXPECT_EQ(line.substr(12), " 1500 0.00");
}

// The session says what went wrong; the window shows the boxes.
TEST_F(QrvxWindowTest, APortThatDoesNotOpenAndAFailedResultFileAreSaidInBoxes)
{
    startSim({"--rate", "20"});
    top.values["Period"] = 0;
    top.values["Port"] = "com7";
    openWindow();
    click("connectButton");
    EXPECT_FALSE(session->isConnected());
    EXPECT_EQ(child<QPushButton>("connectButton")->text(), "Подключиться");
    ASSERT_EQ(boxes.texts(), std::vector<std::string>{"Ошибка открытия порта"});
    EXPECT_EQ(boxes.shown()[0].caption, "Ошибка");
    EXPECT_EQ(boxes.shown()[0].icon, platform::MessageIcon::Error);

    child<QLineEdit>("portEdit")->setText("com1");
    child<QCheckBox>("saveResultsCheck")->setChecked(true);
    click("connectButton");
    ASSERT_TRUE(session->isConnected());
    session->series()->SetFilePath((work.path() + "/no-such-folder/series.tdf").c_str());
    ASSERT_TRUE(processUntil([&] { return !child<QCheckBox>("saveResultsCheck")->isChecked(); }));
    // The series' own message about the file may come first.
    EXPECT_EQ(boxes.texts().back(), "Ошибка сохранения промежуточных результатов.");
    const std::size_t shown = boxes.shown().size();
    const long before = records();
    ASSERT_TRUE(waitForRecords(before + 2));
    EXPECT_EQ(boxes.shown().size(), shown) << "said once";
}

TEST_F(QrvxWindowTest, ASilentDeviceTurnsTheTemperatureGreyWithItsTimeUntilTheNextValue)
{
    startSim({"--rate", "20", "--value", "1500", "--swing", "0"});
    top.values["Period"] = 0;
    openWindow();
    click("connectButton");
    ASSERT_TRUE(waitForRecords(3));
    auto* note = child<QLabel>("lastValueLabel");
    const QLineEdit* temperature = child<QLineEdit>("temperatureEdit");
    const QColor normal = window->palette().color(QPalette::Text);
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(temperature->palette().color(QPalette::Text), normal);

    sim->pause();
    ASSERT_TRUE(processUntil([&] { return note->isVisible(); }));
    EXPECT_TRUE(note->text().startsWith("показание от ")) << note->text().toStdString();
    EXPECT_NE(temperature->palette().color(QPalette::Text), normal);
    EXPECT_EQ(text("temperatureEdit"), "1500") << "the last value stays, grey";

    sim->resume();
    ASSERT_TRUE(processUntil([&] { return !note->isVisible(); }));
    EXPECT_EQ(temperature->palette().color(QPalette::Text), normal);
    sim->pause();
    ASSERT_TRUE(processUntil([&] { return note->isVisible(); }));
    EXPECT_NE(temperature->palette().color(QPalette::Text), normal) << "grey the second time too";
    click("connectButton");
    EXPECT_FALSE(note->isVisible()) << "no overdue reading without a connection";
    EXPECT_EQ(temperature->palette().color(QPalette::Text), normal);
}

TEST_F(QrvxWindowTest, WithSavingOffADisconnectLeavesNoResultFile)
{
    startSim({"--rate", "20"});
    top.values["Period"] = 0;
    openWindow();
    child<QCheckBox>("saveResultsCheck")->setChecked(false);
    click("connectButton");
    ASSERT_TRUE(waitForRecords(3));
    click("connectButton");
    for (const auto& entry : std::filesystem::directory_iterator(work.path()))
        EXPECT_NE(entry.path().extension(), ".tdf") << entry.path();
}

TEST_F(QrvxWindowTest, ValuesOnlyShowsEachValueOnALine)
{
    startSim({"--rate", "20", "--value", "1234", "--swing", "0"});
    top.values["Period"] = 0;
    openWindow();
    QTest::mouseClick(child<QRadioButton>("valuesRadio"), Qt::LeftButton);
    click("connectButton");
    ASSERT_TRUE(processUntil([&] { return window->shownFrameText().size() >= 18; }));
    EXPECT_TRUE(window->shownFrameText().startsWith("1234\r\n1234\r\n1234\r\n"));
    EXPECT_TRUE(child<QPlainTextEdit>("frameText")->toPlainText().startsWith("1234\n1234\n"));
}

// 990 characters shown and a 20-character frame arriving: the field keeps
// what follows the first line feed at position 12 or later.
TEST_F(QrvxWindowTest, TheFieldDropsWholeLinesFromItsTopAtAThousandCharacters)
{
    openWindow();
    for (int i = 0; i < 99; ++i)
        emit session->valueReceived(QString("%1\r\n").arg(10000000 + i), 10000000 + i, i);
    ASSERT_EQ(window->shownFrameText().size(), 990);
    const QString frame = ":9123456789123\r\n   ";
    ASSERT_EQ(frame.size(), 19);
    emit session->valueReceived(frame + "\n", 123456789, 100);
    // Line feeds at 9, 19, ...: the first at 12 or later is at 19.
    QString expected;
    for (int i = 2; i < 99; ++i)
        expected += QString("%1\r\n").arg(10000000 + i);
    expected += frame + "\n";
    EXPECT_EQ(window->shownFrameText(), expected);
    QPlainTextEdit* field = child<QPlainTextEdit>("frameText");
    EXPECT_EQ(field->toPlainText(), QString(expected).remove('\r'));
    EXPECT_EQ(field->textCursor().selectedText(), QString(":9123456789123") + QChar::ParagraphSeparator + "   "
                                                      + QChar::ParagraphSeparator)
        << "the added text is selected";
    EXPECT_EQ(text("temperatureEdit"), "123456789");

    click("clearButton");
    EXPECT_TRUE(window->shownFrameText().isEmpty());
    EXPECT_TRUE(field->toPlainText().isEmpty());
}

TEST_F(QrvxWindowTest, CancellingTheSetupChangesNothing)
{
    top.values["TimeCoeff"] = 1500;
    top.values["Period"] = 250;
    openWindow();
    const bool answered = whileModal<CQRVXSetup>(
        [](CQRVXSetup& setup) {
            EXPECT_EQ(setup.findChild<QLineEdit*>("spanEdit")->text(), "1");
            EXPECT_EQ(setup.findChild<QLineEdit*>("periodEdit")->text(), "0.25");
            setup.findChild<QLineEdit*>("spanEdit")->setText("9");
            setup.findChild<QLineEdit*>("listStepEdit")->setText("7");
            QTest::mouseClick(setup.findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Cancel),
                              Qt::LeftButton);
        },
        [&] { click("setupButton"); });
    EXPECT_TRUE(answered);
    EXPECT_EQ(window->settings().timeCoeffMs, 1500) << "the graph span keeps its milliseconds";
    EXPECT_EQ(window->settings().periodMs, 250);
    EXPECT_EQ(window->settings().listStep, 100);
    EXPECT_EQ(combo("lowerLimitCombo")->count(), 5000);
}

TEST_F(QrvxWindowTest, SetupOkTakesTheValuesAndRefillsTheLists)
{
    PtyPeer port2(work.path(), 2);
    openWindow();
    const bool answered = whileModal<CQRVXSetup>(
        [](CQRVXSetup& setup) {
            QComboBox* ports = setup.findChild<QComboBox*>("portCombo");
            ports->setCurrentIndex(ports->findText("COM2"));
            setup.findChild<QLineEdit*>("periodEdit")->setText("0,5");
            setup.findChild<QCheckBox*>("logCheck")->setChecked(true);
            setup.findChild<QLineEdit*>("logFileEdit")->setText("other.log");
            setup.findChild<QLineEdit*>("spanEdit")->setText("3");
            setup.findChild<QLineEdit*>("listStartEdit")->setText("500");
            setup.findChild<QLineEdit*>("listEndEdit")->setText("1000");
            setup.findChild<QLineEdit*>("listStepEdit")->setText("50");
            QTest::mouseClick(setup.findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        },
        [&] { click("setupButton"); });
    EXPECT_TRUE(answered);
    const QrvxSettings& s = window->settings();
    EXPECT_EQ(s.port, "COM2");
    EXPECT_EQ(text("portEdit"), "COM2");
    EXPECT_EQ(s.periodMs, 0) << "\"0,5\" reads as 0";
    EXPECT_TRUE(s.log);
    EXPECT_EQ(s.logFileName, "other.log");
    EXPECT_EQ(s.timeCoeffMs, 3000);
    QComboBox* lower = combo("lowerLimitCombo");
    ASSERT_EQ(lower->count(), 10);
    EXPECT_EQ(lower->itemText(0), "500");
    EXPECT_EQ(lower->itemText(9), "950");
}

TEST_F(QrvxWindowTest, QuitAsksThenWritesTheSettingsAndStopsBothThreadsFirst)
{
    startSim({"--rate", "20"});
    top.values["Period"] = 0;
    openWindow();
    click("connectButton");
    click("graphButton");
    ASSERT_TRUE(waitForRecords(2));
    boxes.answerNext(platform::MessageAnswer::No);
    window->reject();
    EXPECT_TRUE(session->isConnected()) << "No: nothing happens";
    EXPECT_TRUE(top.written.isEmpty());

    QComboBox* lower = combo("lowerLimitCombo");
    lower->setEditText("1200");
    boxes.answerNext(platform::MessageAnswer::Yes);
    window->reject();
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].text, "Вы действительно желаете завершить работу?");
    EXPECT_EQ(boxes.shown()[1].caption, "Завершение работы");
    EXPECT_EQ(top.written, (QStringList{"Port", "Period", "TimeCoeff"}));
    EXPECT_EQ(qrvx.written, (QStringList{"Log", "LogFileName", "defMinTerm", "defMaxTerm", "Step", "MinTerm",
                                         "MaxTerm", "TempGraphRect"}))
        << "the open graph's place too";
    EXPECT_EQ(qrvx.values["MinTerm"].toLongLong(), 1200);
    EXPECT_FALSE(session->threadsRunning());
    EXPECT_FALSE(session->isConnected());
    EXPECT_EQ(window->graphWindow(), nullptr) << "the graph window is destroyed at quit";
    EXPECT_FALSE(window->isVisible());
}

TEST_F(QrvxWindowTest, TheGraphWhileDisconnectedShowsASeriesFromAFile)
{
    const std::string path = work.file("stored.tdf");
    {
        TermDataFile series;
        series.SetMin(1000);
        series.SetMax(1400);
        for (long i = 0; i < 10; ++i)
            series.Add(i * 100, 1200 + i, 0);
        series.SetFilePath(path.c_str());
        ASSERT_TRUE(series.Save());
    }
    qrvx.values["MinTerm"] = 1100;
    qrvx.values["MaxTerm"] = 1300;
    openWindow();
    {
        ScriptedFileDialog cancelled(std::nullopt);
        click("graphButton");
        ASSERT_EQ(cancelled.requests.size(), 1u);
        EXPECT_EQ(cancelled.requests[0].kind, FileDialogRequest::Kind::Open);
        EXPECT_EQ(cancelled.requests[0].defaultSuffix, "tdf");
        EXPECT_EQ(cancelled.requests[0].filter, "ZodarAver Files (*.tdf)|*.tdf|All Files (*.*)|*.*||");
        EXPECT_EQ(window->graphWindow(), nullptr);
    }
    {
        ScriptedFileDialog missing(QString::fromStdString(work.file("missing.tdf")));
        click("graphButton");
        EXPECT_EQ(window->graphWindow(), nullptr);
        EXPECT_EQ(boxes.texts().back(), "Ошибка получения данных из файла");
    }
    ScriptedFileDialog stored(QString::fromStdString(path));
    click("graphButton");
    CGraphWnd* graph = window->graphWindow();
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(session->series()->GetCount(), 10);
    EXPECT_EQ(graph->timeRuler()->GetMax(), 900);
    EXPECT_EQ(graph->temperatureRuler()->GetWinMin(), 1100) << "the window from the lists";
    EXPECT_EQ(graph->temperatureRuler()->GetWinMax(), 1300);
    graph->close();
    EXPECT_TRUE(graph->isHidden()) << "closing hides it";
    click("graphButton");
    EXPECT_EQ(window->graphWindow(), graph) << "the same window comes back";
    EXPECT_TRUE(graph->isVisible());
}

TEST_F(QrvxWindowTest, TheSetupRefusesListsOfMoreThanTenThousandTemperatures)
{
    openWindow();
    const bool answered = whileModal<CQRVXSetup>(
        [](CQRVXSetup& setup) {
            setup.findChild<QLineEdit*>("listEndEdit")->setText("2147483647");
            setup.findChild<QLineEdit*>("listStepEdit")->setText("1");
            setup.accept();
            EXPECT_TRUE(setup.isVisible()) << "the setup stays open";
        },
        [&] { click("setupButton"); });
    EXPECT_TRUE(answered);
    ASSERT_FALSE(boxes.texts().empty());
    EXPECT_EQ(boxes.texts().back(), "Список температур не может содержать более 10000 значений: "
                                    "увеличьте шаг или сократите диапазон.");
    EXPECT_EQ(window->settings().listEnd, 500000);
}

TEST_F(QrvxWindowTest, HugeStoredListsOpenWithTheirFirstTenThousand)
{
    qrvx.values["defMaxTerm"] = 2147483647LL;
    qrvx.values["Step"] = 1;
    openWindow();
    EXPECT_EQ(combo("lowerLimitCombo")->count(), 10000);
    EXPECT_LE(combo("upperLimitCombo")->count(), 10000);
}

TEST_F(QrvxWindowTest, ViewingASavedSeriesWithSavingOnAndQuittingWritesNoCopy)
{
    const std::string path = work.file("stored.tdf");
    {
        TermDataFile series;
        for (long i = 0; i < 10; ++i)
            series.Add(i * 100, 1200 + i, 0);
        series.SetFilePath(path.c_str());
        ASSERT_TRUE(series.Save());
    }
    const auto tdfFiles = [&] {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(work.path()))
            n += entry.path().extension() == ".tdf";
        return n;
    };
    openWindow();
    child<QCheckBox>("saveResultsCheck")->setChecked(true);
    ScriptedFileDialog stored(QString::fromStdString(path));
    click("graphButton");
    ASSERT_EQ(session->series()->GetCount(), 10);
    boxes.answerNext(platform::MessageAnswer::Yes);
    window->reject();
    window.reset();
    EXPECT_EQ(tdfFiles(), 1);
}

TEST_F(QrvxWindowTest, TheLimitListsMoveTheGraphsTemperatureRuler)
{
    startSim({"--rate", "20"});
    openWindow();
    click("connectButton");
    click("graphButton");
    CRangeBar* ruler = window->graphWindow()->temperatureRuler();
    QComboBox* upper = combo("upperLimitCombo");
    upper->setCurrentIndex(upper->findText("3000"));
    QTest::keyClick(upper, Qt::Key_Down);
    EXPECT_EQ(upper->currentText(), "3100");
    EXPECT_EQ(ruler->GetMax(), 3100) << "choosing from the list";
    QComboBox* lower = combo("lowerLimitCombo");
    lower->lineEdit()->clear();
    QTest::keyClicks(lower->lineEdit(), "1500");
    EXPECT_EQ(ruler->GetMin(), 1500) << "typing";
    QTest::keyClick(upper->lineEdit(), Qt::Key_Backspace);
    EXPECT_EQ(upper->currentText(), "310");
    EXPECT_EQ(ruler->GetMax(), 3100) << "an upper limit below the lower one is not applied";
}

TEST_F(QrvxWindowTest, TheAboutButtonOpensTheAboutBox)
{
    openWindow();
    EXPECT_TRUE(whileModal<CAboutDlg>([](CAboutDlg&) {}, [&] { click("aboutButton"); }));
}

// The setup dialog on its own, with ports 1, 2 and 10 present.
class QrvxSetupTest : public ::testing::Test {
protected:
    QrvxSettings values()
    {
        QrvxSettings v;
        v.port = "com1";
        v.periodMs = 500;
        v.logFileName = "qrvx.log";
        v.listEnd = 500000;
        v.listStep = 100;
        return v;
    }
    QLineEdit* edit(CQRVXSetup& setup, const char* name) { return setup.findChild<QLineEdit*>(name); }

    TempDir dir;
    ScopedEnv devices{"KL_DEVICE_DIR", dir.path()};
    PtyPeer one{dir.path(), 1}, two{dir.path(), 2}, ten{dir.path(), 10};
    ScriptedMessageBoxes boxes;
};

TEST_F(QrvxSetupTest, ListsThePortsInNumberOrderAndSelectsThePortInUse)
{
    CQRVXSetup setup(values());
    EXPECT_EQ(setup.windowTitle(), "Насторйки QRVX");
    QComboBox* ports = setup.findChild<QComboBox*>("portCombo");
    ASSERT_EQ(ports->count(), 3);
    EXPECT_EQ(ports->itemText(0), "COM1");
    EXPECT_EQ(ports->itemText(1), "COM2");
    EXPECT_EQ(ports->itemText(2), "COM10");
    EXPECT_EQ(ports->currentIndex(), 0) << "com1 is the port COM1";
    EXPECT_EQ(edit(setup, "periodEdit")->text(), "0.50");
    setup.accept();
    EXPECT_EQ(setup.result(), QDialog::Accepted);
    EXPECT_EQ(setup.values().port, "com1") << "kept as written";

    QrvxSettings exact = values();
    exact.port = "\\\\.\\com10";
    CQRVXSetup again(exact);
    EXPECT_EQ(again.findChild<QComboBox*>("portCombo")->currentText(), "COM10");
}

TEST_F(QrvxSetupTest, APeriodWithACommaReadsAsZero)
{
    CQRVXSetup setup(values());
    edit(setup, "periodEdit")->setText("0,5");
    setup.accept();
    EXPECT_EQ(setup.result(), QDialog::Accepted);
    EXPECT_EQ(setup.values().periodMs, 0);
}

TEST_F(QrvxSetupTest, AStepOfZeroOrBelowIsRefusedAndTheDialogStaysOpen)
{
    CQRVXSetup setup(values());
    setup.show();
    setup.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&setup));
    for (const char* step : {"0", "-5"}) {
        edit(setup, "listStepEdit")->setText(step);
        setup.accept();
        EXPECT_TRUE(setup.isVisible());
        EXPECT_EQ(boxes.texts().back(), "Шаг по температуре должен быть больше нуля.");
        EXPECT_EQ(boxes.shown().back().icon, platform::MessageIcon::Warning);
        EXPECT_TRUE(edit(setup, "listStepEdit")->hasFocus());
        EXPECT_EQ(edit(setup, "listStepEdit")->selectedText(), step);
    }
    EXPECT_EQ(setup.values().listStep, 100) << "nothing taken";
    edit(setup, "listStepEdit")->setText("50");
    setup.accept();
    EXPECT_FALSE(setup.isVisible());
    EXPECT_EQ(setup.values().listStep, 50);
}

TEST_F(QrvxSetupTest, ANumberFieldThatIsNoWholeNumberIsRefused)
{
    CQRVXSetup setup(values());
    setup.show();
    edit(setup, "spanEdit")->setText("1.5");
    setup.accept();
    EXPECT_TRUE(setup.isVisible());
    EXPECT_EQ(boxes.texts().back(), "Введите целое число.");
    edit(setup, "spanEdit")->setText("-2");
    setup.accept();
    EXPECT_FALSE(setup.isVisible());
    EXPECT_EQ(setup.values().timeCoeffMs, -2000) << "no range is enforced";
}

}  // namespace
