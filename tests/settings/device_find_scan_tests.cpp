// Whole quick searches through the dialog "Поиск прибора" against kl_sim
// with devices at several speeds, answering in the line time of their speed
// as on a real line. A whole quick search takes about three minutes.
#include "settings/device_find.h"

#include "../app/app_test_support.h"
#include "test_support.h"

#include <kcmb.h>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTest>

using testing_support::ScopedEnv;
using testing_support::ScriptedMessageBoxes;
using testing_support::SimProcess;
using testing_support::TempDir;

namespace {

QStringList listed(const QListView& list)
{
    QStringList texts;
    for (int row = 0; row < list.model()->rowCount(); ++row)
        texts << list.model()->index(row, 0).data().toString();
    return texts;
}

TEST(WholeQuickSearch, ListsEveryDeviceAtItsSpeedAndSaysHowManyTimeAfterTime)
{
    TempDir devices;
    ScopedEnv deviceEnv("KL_DEVICE_DIR", devices.path());
    ScriptedMessageBoxes boxes;
    SimProcess sim(devices.path(), {"--device", "type=3,address=5,baud=3", "--device", "type=3,address=2,baud=4",
                                    "--device", "type=3,address=1,baud=5"});
    ASSERT_TRUE(KCInit());
    {
        CDeviceFind dialog("COM1");
        dialog.show();
        auto* list = dialog.findChild<QListView*>("foundList");
        auto* button = dialog.findChild<QPushButton*>("searchButton");
        auto* outcome = dialog.findChild<QLabel*>("outcomeLabel");
        dialog.findChild<QCheckBox*>("quickCheck")->setChecked(true);
        const QStringList all{"19200  бит/сек. - 1", "4800  бит/сек. - 5", "9600  бит/сек. - 2"};
        auto idle = [&] { return button->isEnabled() && button->text() == "Искать"; };

        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(outcome->text(), "");
        ASSERT_TRUE(processUntil(idle, std::chrono::minutes(5)));
        EXPECT_EQ(listed(*list), all);
        EXPECT_EQ(outcome->text(), "Поиск завершён. Найдено приборов: 3");

        // Again on the same line: the same devices, the old result gone at the start.
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(outcome->text(), "");
        EXPECT_TRUE(listed(*list).isEmpty());
        ASSERT_TRUE(processUntil([&] { return list->model()->rowCount() == 3; }, std::chrono::minutes(4)));
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(processUntil(idle, std::chrono::seconds(5)));
        EXPECT_EQ(listed(*list), all);
        EXPECT_TRUE(boxes.shown().empty());
    }
    KCClose();
}

}  // namespace
