// The program's shell: message boxes from workers, joining workers that wait
// for a box, the About box, the second-protocol question and the settings file.
#include "about_dlg.h"
#include "kctest_app.h"
#include "qsettings_backend.h"
#include "qt_message_box.h"
#include "stored_settings.h"
#include "worker_thread.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

using testing_support::ScopedEnv;
using testing_support::ScriptedMessageBoxes;
using testing_support::TempDir;

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
    EXPECT_EQ(boxes.shown()[0].text, "Найдена библиотека QRVX.dll.\n\nИспользовать для взаимодействия протокол QRVX?");
    EXPECT_EQ(boxes.shown()[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(boxes.shown()[0].icon, platform::MessageIcon::Question);
}

TEST(QrvxQuestion, YesKeepsTheLibraryAndSaysTheModbusWindowRuns)
{
    ScriptedMessageBoxes boxes;
    boxes.answerNext(platform::MessageAnswer::Yes);
    CKCTestApp program(KL_QRVX_PATH);
    program.offerQrvx();
    EXPECT_NE(program.qrvxModule(), nullptr);
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[1].icon, platform::MessageIcon::Information);
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
        s.port = "\\\\.\\COM3";
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
    EXPECT_EQ(readStoredSettings(again).port, "\\\\.\\COM3");
    EXPECT_EQ(again.value("QRVX/Period", 0).toInt(), 250);
}

}  // namespace
