// CGraphView headless, in a host that plays the graph window: the painted
// grid and series checked at computed pixels of grabbed images, the status
// texts and the tooltip under the mouse, right clicks handed to the host.
#include "graph/graph_view.h"

#include <rangebar.h>

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>

namespace {

using graph::GraphKind;

// The view's parent: two rulers beside a 400 x 200 view. The time ruler
// spans the view's width over 0..10000 ms (0.04 px/ms: big steps of 2000 ms,
// 80 px, in 4 intervals); the temperature ruler its height over 0..100
// (2 px a unit: big steps of 25 units, 50 px, in 2 intervals).
class ViewHost : public QWidget, public GraphViewHost {
public:
    explicit ViewHost(GraphKind kind) : kind_(kind)
    {
        view = new CGraphView(this);
        values = new CRangeBar(this);
        times = new CRangeBar(this);
        values->SetCtrlStyle(RbsFormat(5));
        times->SetCtrlStyle(RBS_HORIZONTAL | RbsFormat(2));
        resize(440, 230);
        view->setGeometry(0, 0, 400, 200);
        values->setGeometry(400, 0, 40, 200);
        times->setGeometry(0, 200, 400, 30);
        times->SetMax(10000);
        times->SetMin(0);
        times->SetWinMax(10000);
        times->SetWinMin(0);
        values->SetMax(100);
        values->SetMin(0);
        values->SetWinMax(100);
        values->SetWinMin(0);
        values->RecalcRuler();  // the range and window above are the bar's own defaults
        view->setTimeWindow(0, 10000, times->GetWinCoeff());
        view->setValueWindow(0, 100, values->GetWinCoeff());
    }

    GraphKind graphKind() const override { return kind_; }
    CRangeBar* temperatureRuler() const override { return values; }
    CRangeBar* timeRuler() const override { return times; }
    void setPaneText(int pane, const QString& text) override { panes[pane] = text; }
    void viewRightClicked(const QPoint& globalPos) override { rightClicks.push_back(globalPos); }

    CGraphView* view = nullptr;
    CRangeBar* values = nullptr;
    CRangeBar* times = nullptr;
    QString panes[2];
    std::vector<QPoint> rightClicks;

private:
    GraphKind kind_;
};

const QColor kBackground(253, 253, 210);
const QColor kDark(128, 128, 128);
const QColor kLight(192, 192, 192);
const QColor kRed(255, 0, 0);

int redPixels(const QImage& image, const QRect& area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixelColor(x, y) == kRed;
    return count;
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        series = std::make_unique<TermDataFile>();
        series->SetMin(0);
        series->SetMax(50);
    }

    QImage paint(ViewHost& host) { return host.view->grab().toImage(); }

    std::unique_ptr<TermDataFile> series;
};

TEST_F(ViewTest, AnEmptySeriesPaintsTheBackgroundAndTheGridOnly)
{
    ViewHost host(GraphKind::Temperature);
    host.view->setSeries(series.get());
    const QImage image = paint(host);
    ASSERT_EQ(image.size(), QSize(400, 200));
    // Rows anchored at the bottom (y = 200 - 50k, small ones halfway), columns
    // at the left (x = 80k, small ones every 20 px).
    for (int y : {150, 100, 50, 0})
        EXPECT_EQ(image.pixelColor(10, y), kDark) << "row " << y;
    for (int y : {175, 125, 75, 25})
        EXPECT_EQ(image.pixelColor(10, y), kLight) << "small row " << y;
    for (int x : {0, 80, 160, 240, 320})
        EXPECT_EQ(image.pixelColor(x, 160), kDark) << "column " << x;
    for (int x : {20, 40, 60, 100, 340, 380})
        EXPECT_EQ(image.pixelColor(x, 160), kLight) << "small column " << x;
    for (QPoint p : {QPoint(10, 160), QPoint(90, 110), QPoint(399, 199), QPoint(130, 10)})
        EXPECT_EQ(image.pixelColor(p), kBackground) << p.x() << "," << p.y();
    EXPECT_EQ(redPixels(image, image.rect()), 0);
}

TEST_F(ViewTest, WithoutAHostOnlyTheBackgroundIsPainted)
{
    CGraphView loose;
    loose.resize(100, 50);
    loose.setSeries(series.get());
    series->Add(0, 10, 95);
    series->Add(1000, 20, 95);
    const QImage image = loose.grab().toImage();
    for (QPoint p : {QPoint(0, 0), QPoint(50, 25), QPoint(99, 49)})
        EXPECT_EQ(image.pixelColor(p), kBackground);
}

TEST_F(ViewTest, TenReadingsInOneColumnDrawOneStrokeThenTheLineGoesOnFromTheLast)
{
    ViewHost host(GraphKind::Temperature);
    series->Add(0, 40, 95);  // (0, 120)
    for (long i = 0; i < 10; ++i)
        series->Add(5000 + 2 * i, 40 + i, 95);  // column 200 (25 ms a pixel), y 120 ... 102
    series->Add(9000, 49, 95);  // (360, 102)
    host.view->setSeries(series.get());
    const QImage image = paint(host);
    for (int y = 102; y <= 120; ++y)
        EXPECT_EQ(image.pixelColor(200, y), kRed) << "stroke at row " << y;
    EXPECT_NE(image.pixelColor(200, 101), kRed);
    EXPECT_NE(image.pixelColor(200, 121), kRed);
    EXPECT_EQ(redPixels(image, QRect(201, 103, 158, 17)), 0) << "the line goes on from the last reading's row";
    EXPECT_EQ(image.pixelColor(280, 102), kRed);
    EXPECT_EQ(image.pixelColor(100, 120), kRed) << "the line into the column";
}

TEST_F(ViewTest, ATemperatureAboveTheSeriesRangeIsDrawnAtItsMaximumACountUnchanged)
{
    series->Add(0, 80, 95, 80);
    series->Add(10000, 80, 95, 80);
    series->Add(10001, 80, 95, 80);
    {
        ViewHost host(GraphKind::Temperature);
        host.view->setSeries(series.get());
        const QImage image = paint(host);
        EXPECT_EQ(image.pixelColor(200, 100), kRed) << "50, the series' maximum";
        EXPECT_EQ(redPixels(image, QRect(0, 40, 400, 1)), 0);
    }
    {
        ViewHost host(GraphKind::Quantum);
        host.view->setSeries(series.get());
        const QImage image = paint(host);
        EXPECT_EQ(image.pixelColor(200, 40), kRed) << "80 as it is";
        EXPECT_EQ(redPixels(image, QRect(0, 100, 400, 1)), 0);
    }
}

TEST_F(ViewTest, BreakAtGapsLiftsThePenAtAPause)
{
    ViewHost host(GraphKind::Temperature);
    for (long t : {0L, 200L, 400L, 600L})
        series->Add(t, 10, 95);  // row 180, x 0 ... 24
    for (long t : {8000L, 8200L, 8400L})
        series->Add(t, 30, 95);  // row 140, x 320 ... 336, after a pause of 37 means
    host.view->setSeries(series.get());
    EXPECT_GT(redPixels(paint(host), QRect(172, 155, 1, 11)), 0) << "joined across the pause";
    host.view->setBreakAtGaps(true);
    const QImage broken = paint(host);
    EXPECT_EQ(redPixels(broken, QRect(25, 141, 294, 38)), 0) << "nothing between the two parts";
    EXPECT_EQ(broken.pixelColor(12, 180), kRed);
    EXPECT_EQ(broken.pixelColor(330, 140), kRed);
}

TEST_F(ViewTest, TheMouseWritesValueAndTimeIntoTheTwoPanes)
{
    ViewHost host(GraphKind::Temperature);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    host.view->setTimeWindow(5000, 9000, 0.1);
    QTest::mouseMove(host.view, QPoint(0, 100));
    EXPECT_EQ(host.panes[1], "Время 05.020");
    EXPECT_EQ(host.panes[0], "Температура 51 °С");  // (200 - 100 + 2) / 2

    host.view->setClockTime(true);
    host.view->setSeries(series.get());
    const platform::SystemTime begin{2024, 3, 0, 7, 23, 59, 59, 0};
    series->SetBeginTime(&begin);
    host.view->setTimeWindow(0, 9000, 0.1);
    QTest::mouseMove(host.view, QPoint(198, 100));
    EXPECT_EQ(host.panes[1], "Время 01.00") << "23:59:59 + 2000 ms is the next day's 00:00:01";
}

TEST_F(ViewTest, TheQuantumGraphNamesItsValueAQuantum)
{
    ViewHost host(GraphKind::Quantum);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    host.view->setValueWindow(-40, 1960, 0.1);
    QTest::mouseMove(host.view, QPoint(10, 0));
    EXPECT_EQ(host.panes[0], "Квант 1980");  // (200 - 0 + 2) / 0.1 - 40
    QTest::mouseMove(host.view, QPoint(10, 199));
    EXPECT_EQ(host.panes[0], "Квант -10") << "below zero, with its sign";
}

TEST_F(ViewTest, TheTooltipShowsTheFirstRecordAtOrAfterTheTimeUnderTheMouse)
{
    ViewHost host(GraphKind::Quantum);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    series->Add(1000, 812, 95, 31000);
    series->Add(2000, 815, 97, 31100);
    host.view->setSeries(series.get());
    host.view->setTimeWindow(0, 10000, 0.04);
    const QPoint at(38, 100);  // (38 + 2) / 0.04 = 1000 ms
    const QColor sharedBase = QToolTip::palette().color(QPalette::ToolTipBase);
    QHelpEvent help(QEvent::ToolTip, at, host.view->mapToGlobal(at));
    QApplication::sendEvent(host.view, &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "Квант=31000 (812 °C), Время=01.000, Степень черноты=0.95");
    const QWidget* tip = nullptr;
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            tip = w;
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->palette().color(QPalette::ToolTipBase), CGraphView::tooltipColor());
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), sharedBase) << "other tooltips keep theirs";

    QTest::mouseMove(host.view, at + QPoint(3, 3));
    EXPECT_TRUE(QToolTip::isVisible()) << "within five pixels it stays";
    QTest::mouseMove(host.view, at + QPoint(20, 0));
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000)) << "gone once the mouse left";

    const QPoint late(398, 100);  // 10000 ms: no record at or after it
    QHelpEvent none(QEvent::ToolTip, late, host.view->mapToGlobal(late));
    QApplication::sendEvent(host.view, &none);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));
}

TEST_F(ViewTest, ARightClickGoesToTheHostInScreenCoordinates)
{
    ViewHost host(GraphKind::Temperature);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    QTest::mouseClick(host.view, Qt::RightButton, Qt::NoModifier, QPoint(30, 40));
    ASSERT_EQ(host.rightClicks.size(), 1u);
    EXPECT_EQ(host.rightClicks[0], host.view->mapToGlobal(QPoint(30, 40)));
    QTest::mouseClick(host.view, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
    EXPECT_EQ(host.rightClicks.size(), 1u);
}

TEST_F(ViewTest, TheCursorIsTheThermometerCrosshairWithItsHotSpotInTheMiddle)
{
    ViewHost host(GraphKind::Temperature);
    const QCursor cursor = host.view->cursor();
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(15, 15));
    const QImage image = cursor.pixmap().toImage();
    ASSERT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.pixelColor(15, 15), QColor(Qt::black)) << "the crosshair's centre";
    EXPECT_EQ(image.pixelColor(15, 0).alpha(), 0) << "transparent around it";
}

}  // namespace
