// The program's shell: message boxes from workers, joining workers that wait
// for a box, the About box, the second-protocol question and the settings file.
#include "windows/about_dlg.h"
#include "graph/graph_wnd.h"
#include "kctest_app.h"
#include "windows/qrvx_dlg.h"
#include "services/qsettings_backend.h"
#include "services/qt_message_box.h"
#include "session/stored_settings.h"
#include "services/translations.h"
#include "session/worker_thread.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

using testing_support::ScopedEnv;
using testing_support::ScriptedMessageBoxes;
using testing_support::SimProcess;
using testing_support::TempDir;
using testing_support::waitFor;

namespace {

// Hands the first message box that appears to `handle`, from the event loop.
void whenABoxIsShown(std::function<void(QMessageBox*)> handle)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, handle] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                timer->deleteLater();
                handle(box);
                return;
            }
    });
    timer->start(10);
}

TEST(QtMessageBoxes, AWorkersBoxIsShownOnTheInterfaceThreadAndJoiningItDoesNotDeadlock)
{
    std::atomic<bool> pressed{false};
    std::atomic<bool> onWorkerThread{false};
    platform::MessageAnswer answer = platform::MessageAnswer::Ok;
    WorkerThread worker;
    worker.start([&] {
        onWorkerThread = QThread::currentThread() != qApp->thread();
        answer = showQtMessageBox({"тайм-аут", "Ошибка получения температуры", platform::MessageButtons::YesNo,
                                   platform::MessageIcon::Warning, nullptr, {}});
    });
    whenABoxIsShown([&](QMessageBox* box) {
        pressed = true;
        box->button(QMessageBox::No)->click();
    });
    worker.join();
    EXPECT_TRUE(onWorkerThread);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(answer, platform::MessageAnswer::No);
}

TEST(QtMessageBoxes, TheBoxCarriesTextDetailCaptionAndIcon)
{
    std::atomic<bool> pressed{false};
    QString seenText, seenDetail, seenTitle;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    whenABoxIsShown([&](QMessageBox* box) {
        seenText = box->text();
        seenDetail = box->informativeText();
        seenTitle = box->windowTitle();
        seenIcon = box->icon();
        pressed = true;
        box->button(QMessageBox::Cancel)->click();
    });
    const auto answer = showQtMessageBox({"Лог файл уже существует.", "Открытие файла",
                                          platform::MessageButtons::YesNoCancel, platform::MessageIcon::Question,
                                          nullptr, "Нажмите Нет, чтобы дописать"});
    EXPECT_EQ(answer, platform::MessageAnswer::Cancel);
    EXPECT_EQ(seenText, "Лог файл уже существует.");
    EXPECT_EQ(seenDetail, "Нажмите Нет, чтобы дописать");
    EXPECT_EQ(seenTitle, "Открытие файла");
    EXPECT_EQ(seenIcon, QMessageBox::Question);
}

TEST(QtMessageBoxes, StandardButtonsSpeakRussianWithQtsTranslationInstalled)
{
    ASSERT_TRUE(installQtTranslations(*qApp)) << "Qt's translations (qt6-translations-l10n) are missing";
    QStringList buttons;
    bool drawn = false;
    whenABoxIsShown([&](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons())
            buttons << b->text().remove('&');
        drawn = !box->grab().isNull();
        box->button(QMessageBox::No)->click();
    });
    showQtMessageBox({"Вы действительно желаете завершить работу?", "Завершение работы",
                      platform::MessageButtons::YesNo, platform::MessageIcon::Question, nullptr, {}});
    EXPECT_TRUE(drawn);
    EXPECT_TRUE(buttons.contains("Да")) << buttons.join(",").toStdString();
    EXPECT_TRUE(buttons.contains("Нет")) << buttons.join(",").toStdString();
}

TEST(WorkerThreadJoin, WaitsForTheBodyAndAllowsANewStart)
{
    WorkerThread worker;
    std::atomic<int> runs{0};
    worker.start([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ++runs;
    });
    EXPECT_TRUE(worker.running());
    worker.join();
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(runs, 1);
    worker.start([&] { ++runs; });
    worker.join();
    EXPECT_EQ(runs, 2);
}

TEST(WorkerThreadJoin, AJoinStartedWhileAnotherWaitsReturnsWithIt)
{
    WorkerThread worker;
    std::atomic<bool> release{false};
    worker.start([&] {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    // While the outer join waits, an event handled in its loop joins again.
    bool innerReturned = false;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(50, [&] { release = true; });
        worker.join();
        innerReturned = true;
    });
    worker.join();
    EXPECT_TRUE(innerReturned);
    EXPECT_FALSE(worker.running());
}

TEST(AboutBox, ShowsTheBuildsVersionTwice)
{
    EXPECT_EQ(programVersion(), "1.0.0.0");
    CAboutDlg about;
    EXPECT_EQ(about.findChild<QLabel*>("productVersionLabel")->text(), "1.0.0.0");
    EXPECT_EQ(about.findChild<QLabel*>("fileVersionLabel")->text(), "1.0.0.0");
}

TEST(QrvxQuestion, NoUnloadsTheLibraryAtOnce)
{
    ScriptedMessageBoxes boxes;
    boxes.answerNext(platform::MessageAnswer::No);
    CKCTestApp program(KL_QRVX_PATH);
    program.offerQrvx();
    EXPECT_EQ(program.qrvxModule(), nullptr);
    ASSERT_EQ(boxes.shown().size(), 1u);
    // The file that was found, by its name: here the build's versioned file.
    const std::string found = std::filesystem::path(KL_QRVX_PATH).filename().string();
    ASSERT_EQ(found.rfind("libqrvx.so", 0), 0u) << found;
    EXPECT_EQ(boxes.shown()[0].text,
              "Найдена библиотека " + found + ".\n\nИспользовать для взаимодействия протокол QRVX?");
    EXPECT_EQ(boxes.shown()[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(boxes.shown()[0].icon, platform::MessageIcon::Question);
}

TEST(QrvxQuestion, YesKeepsTheLibrary)
{
    ScriptedMessageBoxes boxes;
    boxes.answerNext(platform::MessageAnswer::Yes);
    CKCTestApp program(KL_QRVX_PATH);
    program.offerQrvx();
    EXPECT_NE(program.qrvxModule(), nullptr);
    EXPECT_EQ(boxes.shown().size(), 1u);
}

// The program as started: the library found, Yes to the question, the QRVX
// window connected to a simulated QRVX device, and the values everywhere.
TEST(QrvxProgram, YesRunsTheQrvxWindowWhichShowsStoresLogsAndPlotsTheValues)
{
    TempDir dir;
    ScopedEnv devices("KL_DEVICE_DIR", dir.path());
    ScopedEnv settings("KL_SETTINGS_DIR", dir.path());
    applySettingsLocation();
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.path()));
    {
        QSettingsBackend top;
        top.setValue("Period", 0);
        QSettingsBackend qrvx("QRVX");
        qrvx.setValue("Log", 1);
        qrvx.setValue("LogFileName", "e2e.log");
    }
    SimProcess sim(dir.path(), {"--qrvx", "--rate", "20", "--value", "1400", "--swing", "0"}, 1);
    ScriptedMessageBoxes boxes;
    boxes.answerNext(platform::MessageAnswer::Yes);
    boxes.answerNext(platform::MessageAnswer::Yes);

    // What the session records shows in the text log, line by line.
    const auto loggedReadings = [] {
        QFile log("e2e.log");
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).count(" 1400 0.00\n") : 0;
    };
    bool drove = false;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<CQRVXDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr) << "the QRVX window runs";
        QTest::mouseClick(window->findChild<QPushButton*>("connectButton"), Qt::LeftButton);
        ASSERT_EQ(window->findChild<QPushButton*>("connectButton")->text(), "Отключиться");
        QTest::mouseClick(window->findChild<QPushButton*>("graphButton"), Qt::LeftButton);
        CGraphWnd* graph = window->graphWindow();
        ASSERT_NE(graph, nullptr);
        const bool values = waitFor([&] {
            QCoreApplication::processEvents();
            return loggedReadings() >= 5 && graph->cornerValue() == 1400L;
        });
        EXPECT_TRUE(values);
        EXPECT_EQ(window->findChild<QLineEdit*>("temperatureEdit")->text(), "1400");
        EXPECT_TRUE(window->shownFrameText().startsWith(":41400"));
        EXPECT_TRUE(graph->isVisible());
        drove = true;
        window->reject();
    });
    CKCTestApp program(KL_QRVX_PATH);
    EXPECT_EQ(program.run(), 0);
    EXPECT_TRUE(drove);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].text, "Вы действительно желаете завершить работу?");

    QFile log("e2e.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString logged = QString::fromUtf8(log.readAll());
    EXPECT_GE(logged.count(" 1400 0.00\n"), 5);
    QSettingsBackend qrvx("QRVX");
    EXPECT_EQ(qrvx.value("LogFileName", QString()).toString(), "e2e.log") << "written at quit";
    QDir::setCurrent(previousDir);
}

TEST(QrvxQuestion, AMissingLibraryIsNotMentioned)
{
    ScriptedMessageBoxes boxes;
    CKCTestApp program("libqrvx-that-is-not-there.so");
    program.offerQrvx();
    EXPECT_EQ(program.qrvxModule(), nullptr);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST(SettingsFile, TheMainSettingsLieAtTheTopLevelOfTheProgramsIniFile)
{
    TempDir dir;
    ScopedEnv env("KL_SETTINGS_DIR", dir.path());
    applySettingsLocation();
    {
        QSettingsBackend store;
        StoredSettings s;
        s.comm.portName = "\\\\.\\COM3";
        writeStoredSettings(store, s);
        QSettingsBackend qrvx("QRVX");
        qrvx.setValue("Period", 250);
    }
    QFile file(QString::fromStdString(dir.file("OSTRELAN/KL_S.ini")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(content.contains("[General]"));
    EXPECT_TRUE(content.contains("NumErrors=5"));
    EXPECT_TRUE(content.contains("[QRVX]"));
    QSettingsBackend again;
    EXPECT_EQ(readStoredSettings(again).comm.portName, "\\\\.\\COM3");
    EXPECT_EQ(again.value("QRVX/Period", 0).toInt(), 250);
}

}  // namespace
