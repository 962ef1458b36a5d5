// The device search against simulated devices on pseudo-terminals: the
// worker without a widget, the dialog "Поиск прибора" driven as an operator
// would, and the communication page that launches it.
#include "settings/comm_page.h"
#include "settings/dev_config.h"
#include "settings/device_find.h"
#include "settings/device_search.h"

#include "../app/app_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <mutex>

using testing_support::ScopedEnv;
using testing_support::ScriptedMessageBoxes;
using testing_support::SimProcess;
using testing_support::TempDir;

namespace {

constexpr auto kFewSeconds = std::chrono::milliseconds(5000);

// What a search reported, in order; filled on the worker's thread.
class ReportLog {
public:
    DeviceSearch::Report callback()
    {
        return [this](unsigned kind, std::intptr_t point) {
            std::lock_guard<std::mutex> lock(mutex_);
            reports_.emplace_back(kind, point);
        };
    }
    std::vector<std::pair<unsigned, std::intptr_t>> reports() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return reports_;
    }
    int count(unsigned kind) const
    {
        int n = 0;
        for (const auto& r : reports())
            n += r.first == kind;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<unsigned, std::intptr_t>> reports_;
};

class SearchTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        sim.reset();
        KCClose();
    }

    void startSim(const std::vector<std::string>& args)
    {
        std::vector<std::string> all = {"--trace", trace()};
        all.insert(all.end(), args.begin(), args.end());
        sim = std::make_unique<SimProcess>(devices.path(), all);
        ASSERT_TRUE(KCInit());
    }

    std::string trace() const { return work.file("sim.trace"); }

    int tracedRequests() const
    {
        std::ifstream in(trace());
        std::string line;
        int n = 0;
        while (std::getline(in, line))
            ++n;
        return n;
    }

    // The search let go of the port: it opens again, and closing it leaves
    // no record of it in the table.
    void expectPortFree()
    {
        HandleGuard again = KCOpenPort("COM1", 5);
        ASSERT_TRUE(platform::isUsableHandle(again.get()));
        void* port = again.release();
        EXPECT_NE(getKCPortInfo(port), nullptr);
        KCClosePort(port);
        EXPECT_EQ(getKCPortInfo(port), nullptr);
    }

    TempDir devices;
    ScopedEnv deviceEnv{"KL_DEVICE_DIR", devices.path()};
    TempDir work;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<SimProcess> sim;
};

TEST_F(SearchTest, APortThatDoesNotExistEndsTheSearchAtOnce)
{
    startSim({"--device", "fault=silence"});
    ReportLog log;
    DeviceSearch search(log.callback());
    ASSERT_TRUE(search.start("COM9", true));
    ASSERT_TRUE(testing_support::waitFor([&] { return log.count(kSearchGone) == 1; }, kFewSeconds));
    const auto reports = log.reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], std::make_pair(unsigned{kSearchEnded}, std::intptr_t{1}));
    EXPECT_EQ(reports[1].first, kSearchGone);
    EXPECT_FALSE(search.running());
}

TEST_F(SearchTest, AStopEndsTheWorkerWithinOneReplyTimeoutWithoutAnEndReport)
{
    startSim({"--device", "fault=silence"});
    ReportLog log;
    DeviceSearch search(log.callback());
    ASSERT_TRUE(search.start("COM1", false));
    EXPECT_TRUE(search.searching());
    ASSERT_TRUE(testing_support::waitFor([&] { return tracedRequests() >= 1; }, kFewSeconds));
    EXPECT_FALSE(search.start("COM1", false));
    search.stop();
    EXPECT_FALSE(search.searching());
    // A request costs at most the reply time-out of 2000 ms.
    ASSERT_TRUE(testing_support::waitFor([&] { return log.count(kSearchGone) == 1; },
                                         std::chrono::milliseconds(2500)));
    search.join();
    EXPECT_EQ(log.count(kSearchEnded), 0);
    EXPECT_EQ(tracedRequests(), 1);
    expectPortFree();
}

TEST_F(SearchTest, DestroyingARunningSearchWaitsForItsWorker)
{
    startSim({"--device", "fault=silence"});
    ReportLog log;
    {
        DeviceSearch search(log.callback());
        ASSERT_TRUE(search.start("COM1", true));
        ASSERT_TRUE(testing_support::waitFor([&] { return tracedRequests() >= 3; }, kFewSeconds));
    }
    EXPECT_EQ(log.reports().back().first, kSearchGone);
    expectPortFree();
}

// The dialog.

class FindDialogTest : public SearchTest {
protected:
    // The dialog and its worker go before the port table does.
    void TearDown() override
    {
        dialog.reset();
        SearchTest::TearDown();
    }

    void open(const QString& port = "COM1")
    {
        dialog = std::make_unique<CDeviceFind>(port);
        dialog->show();
    }

    template <class W = QWidget>
    W* find(const char* name) const
    {
        W* w = dialog->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    QPushButton* searchButton() const { return find<QPushButton>("searchButton"); }
    QPushButton* okButton() const { return find<QDialogButtonBox>("buttons")->button(QDialogButtonBox::Ok); }
    QPushButton* cancelButton() const { return find<QDialogButtonBox>("buttons")->button(QDialogButtonBox::Cancel); }
    QAbstractItemModel* found() const { return find<QListView>("foundList")->model(); }
    QString text(const char* edit) const { return find<QLineEdit>(edit)->text(); }

    QStringList foundTexts() const
    {
        QStringList texts;
        for (int row = 0; row < found()->rowCount(); ++row)
            texts << found()->index(row, 0).data().toString();
        return texts;
    }

    void search(bool quick)
    {
        find<QCheckBox>("quickCheck")->setChecked(quick);
        QTest::mouseClick(searchButton(), Qt::LeftButton);
    }

    void choose(int row)
    {
        auto* list = find<QListView>("foundList");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(found()->index(row, 0)).center());
    }

    bool idleAgain() const { return searchButton()->isEnabled() && searchButton()->text() == "Искать"; }

    std::unique_ptr<CDeviceFind> dialog;
};

TEST_F(FindDialogTest, StartsIdleWithTheCallersPort)
{
    startSim({});
    open("\\\\.\\COM1");
    EXPECT_EQ(dialog->windowTitle(), "Поиск прибора");
    EXPECT_EQ(text("portEdit"), "\\\\.\\COM1");
    EXPECT_EQ(text("speedEdit"), "600");
    EXPECT_EQ(text("addressEdit"), "1");
    EXPECT_EQ(find<QProgressBar>("progress")->maximum(), 1785);
    EXPECT_EQ(find<QProgressBar>("progress")->value(), 0);
    EXPECT_EQ(searchButton()->text(), "Искать");
    EXPECT_FALSE(okButton()->isEnabled());
    EXPECT_EQ(okButton()->text(), "OK");
    EXPECT_EQ(cancelButton()->text(), "Отмена");
}

TEST_F(FindDialogTest, AMissingPortGivesTheOpenErrorAtOnce)
{
    startSim({});
    open("COM9");
    search(false);
    ASSERT_TRUE(processUntil([&] { return idleAgain(); }, kFewSeconds));
    ASSERT_EQ(boxes.shown().size(), 1u);
    const auto box = boxes.shown()[0];
    EXPECT_EQ(box.text, "Ошибка открытия порта.\nВыполнить поиск невозможно.");
    EXPECT_EQ(box.caption, "Ошибка");
    EXPECT_EQ(box.icon, platform::MessageIcon::Error);
    EXPECT_TRUE(find<QListView>("foundList")->isEnabled());
}

TEST_F(FindDialogTest, APortThisProgramHoldsIsSaidSoAndLeftAlone)
{
    startSim({});
    HandleGuard held = KCOpenPort("COM1", 5);
    ASSERT_TRUE(held);
    open();
    search(true);
    ASSERT_TRUE(processUntil([&] { return idleAgain(); }, kFewSeconds));
    ASSERT_EQ(boxes.shown().size(), 1u);
    const auto box = boxes.shown()[0];
    EXPECT_EQ(box.text, "Порт COM1 занят этой программой: через него идёт опрос прибора.\n"
                        "Отключитесь от прибора и повторите поиск.");
    EXPECT_EQ(box.caption, "Ошибка");
    EXPECT_EQ(box.icon, platform::MessageIcon::Error);
    EXPECT_EQ(tracedRequests(), 0);
    EXPECT_NE(getKCPortInfo(held.get()), nullptr) << "the holder keeps its port";
}

TEST_F(FindDialogTest, StopKeepsTheFoundEntriesAndOneCanBeChosen)
{
    startSim({"--no-line-time", "--device", "address=2,baud=0"});
    open();
    search(true);
    EXPECT_EQ(searchButton()->text(), "Остановить");
    EXPECT_FALSE(find<QListView>("foundList")->isEnabled());
    ASSERT_TRUE(processUntil([&] { return found()->rowCount() == 1; }, kFewSeconds));
    QTest::mouseClick(searchButton(), Qt::LeftButton);
    EXPECT_EQ(searchButton()->text(), "Искать");
    ASSERT_TRUE(processUntil([&] { return idleAgain(); }, kFewSeconds));
    EXPECT_EQ(foundTexts(), QStringList{"600  бит/сек. - 2"});
    EXPECT_LT(find<QProgressBar>("progress")->value(), 1785);
    EXPECT_TRUE(boxes.shown().empty());
    const int sent = tracedRequests();

    EXPECT_FALSE(okButton()->isEnabled());
    choose(0);
    EXPECT_TRUE(okButton()->isEnabled());
    EXPECT_EQ(text("addressEdit"), "2");
    EXPECT_EQ(text("speedEdit"), "600");
    QTest::mouseClick(okButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->address(), 2);
    EXPECT_EQ(dialog->baudCode(), 0);
    EXPECT_EQ(tracedRequests(), sent);
    expectPortFree();
}

TEST_F(FindDialogTest, TwoDevicesAtOneAddressAndDifferentSpeedsAreBothListedSortedAsText)
{
    startSim({"--no-line-time", "--device", "address=1,baud=0", "--device", "address=1,baud=1"});
    open();
    search(true);
    // The second one answers at request 256, about 26 s into a quick search.
    ASSERT_TRUE(processUntil([&] { return found()->rowCount() == 2; }, std::chrono::milliseconds(60000)));
    QTest::mouseClick(searchButton(), Qt::LeftButton);
    ASSERT_TRUE(processUntil([&] { return idleAgain(); }, kFewSeconds));
    EXPECT_EQ(foundTexts(), (QStringList{"1200  бит/сек. - 1", "600  бит/сек. - 1"}));
    choose(0);
    QTest::mouseClick(okButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->address(), 1);
    EXPECT_EQ(dialog->baudCode(), 1);
}

TEST_F(FindDialogTest, ProgressFollowsTheSpeedAndAddressTried)
{
    startSim({"--device", "fault=silence"});
    open();
    search(true);
    ASSERT_TRUE(processUntil([&] { return find<QProgressBar>("progress")->value() >= 3; }, kFewSeconds));
    const int position = find<QProgressBar>("progress")->value();
    EXPECT_EQ(text("addressEdit"), QString::number(position));
    EXPECT_EQ(text("speedEdit"), "600");
}

TEST_F(FindDialogTest, CancelWhileSearchingClosesOnceTheWorkerHasReturned)
{
    startSim({"--device", "fault=silence"});
    open();
    search(false);
    ASSERT_TRUE(processUntil([&] { return tracedRequests() >= 1; }, kFewSeconds));
    QTest::mouseClick(cancelButton(), Qt::LeftButton);
    // The worker is inside a request of up to 2000 ms; the dialog waits for it
    // without blocking its thread and then closes.
    ASSERT_TRUE(processUntil([&] { return !dialog->isVisible(); }, std::chrono::milliseconds(3000)));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(tracedRequests(), 1);
    expectPortFree();
}

TEST_F(FindDialogTest, ANewSearchWaitsUntilTheStoppedWorkerLetGoOfThePort)
{
    startSim({"--device", "fault=silence"});
    open();
    search(false);
    ASSERT_TRUE(processUntil([&] { return tracedRequests() >= 1; }, kFewSeconds));
    QTest::mouseClick(searchButton(), Qt::LeftButton);
    // Still inside its last request: the button cannot start another search yet.
    EXPECT_FALSE(searchButton()->isEnabled());
    ASSERT_TRUE(processUntil([&] { return idleAgain(); }, std::chrono::milliseconds(3000)));
    search(true);
    ASSERT_TRUE(processUntil([&] { return tracedRequests() >= 3; }, kFewSeconds));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(FindDialogTest, ClosingTheDialogWhileSearchingWaitsForTheWorker)
{
    startSim({"--device", "fault=silence"});
    open();
    search(true);
    ASSERT_TRUE(processUntil([&] { return tracedRequests() >= 2; }, kFewSeconds));
    dialog.reset();
    expectPortFree();
}

// The communication page takes the found device's address and speed.

TEST_F(SearchTest, TheCommunicationPageTakesTheFoundAddressAndSpeed)
{
    startSim({"--no-line-time", "--device", "address=3,baud=0"});
    SheetValues values;
    KCSetDefaultConfig(&values.config);
    values.comm.portName = "com1";
    CDevConfig sheet(values, nullptr);
    sheet.show();
    auto* ports = sheet.findChild<QComboBox*>("portCombo");
    ports->setCurrentIndex(ports->findText("COM1"));

    QString searchedPort;
    QTimer::singleShot(0, [&] {
        auto* find = qobject_cast<CDeviceFind*>(QApplication::activeModalWidget());
        ASSERT_NE(find, nullptr);
        searchedPort = find->findChild<QLineEdit*>("portEdit")->text();
        find->findChild<QCheckBox*>("quickCheck")->setChecked(true);
        QTest::mouseClick(find->findChild<QPushButton*>("searchButton"), Qt::LeftButton);
        auto* list = find->findChild<QListView*>("foundList");
        ASSERT_TRUE(processUntil([&] { return list->model()->rowCount() == 1; }, kFewSeconds));
        QTest::mouseClick(find->findChild<QPushButton*>("searchButton"), Qt::LeftButton);
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::mouseClick(find->findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    });
    QTest::mouseClick(sheet.findChild<QPushButton*>("searchButton"), Qt::LeftButton);
    EXPECT_EQ(searchedPort, "com1") << "the port as the operator wrote it";
    EXPECT_EQ(sheet.findChild<QLineEdit*>("addressEdit")->text(), "3");
    EXPECT_EQ(sheet.findChild<QComboBox*>("speedCombo")->currentText(), "600");
    // The working copy changes only with the sheet's OK.
    EXPECT_EQ(sheet.values().config.address, 1);
    QTest::mouseClick(sheet.findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.values().config.address, 3);
    EXPECT_EQ(sheet.values().config.baudRate, 0);
    EXPECT_EQ(sheet.values().comm.portName, "com1");
}

}  // namespace
