// CGraphWnd headless: its owner's messages, readings moving the time window,
// automatic limits, closing, the context menus and their commands, the
// limits dialog, the layout and the corner reading.
#include "graph/graph_layout.h"
#include "graph/graph_wnd.h"
#include "graph/limit_dlg.h"
#include "case_names.h"
#include "test_support.h"
#include "services/window_messages.h"

#include <rangebar.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

using testing_support::caseName;

namespace {

using graph::GraphKind;

struct Received {
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

// A main window as far as the graph sees it: it records what it is sent and
// hides the graph on WM_GRAPH_CLOSED, as the owners do.
class Owner : public QObject {
public:
    bool event(QEvent* e) override
    {
        if (e->type() != WindowMessageEvent::eventType())
            return QObject::event(e);
        const auto* m = static_cast<WindowMessageEvent*>(e);
        received.push_back({m->message(), m->wParam(), m->lParam()});
        if (m->message() == WM_GRAPH_CLOSED && graph != nullptr)
            graph->hide();
        return true;
    }

    std::vector<Received> received;
    QWidget* graph = nullptr;
};

// Texts of a menu's entries, "Name>" for a submenu followed by its entries.
std::vector<std::string> entries(const QMenu* menu)
{
    std::vector<std::string> texts;
    for (const QAction* action : menu->actions()) {
        if (action->menu() != nullptr) {
            texts.push_back(action->text().toStdString() + ">");
            for (const std::string& inner : entries(action->menu()))
                texts.push_back("  " + inner);
        } else {
            texts.push_back(action->text().toStdString());
        }
    }
    return texts;
}

class GraphWndTest : public ::testing::Test {
protected:
    void open(GraphKind kind)
    {
        wnd = std::make_unique<CGraphWnd>(kind, &owner);
        owner.graph = wnd.get();
        wnd->setWindowTitle(kind == GraphKind::Temperature ? "-- График t, °C--" : "-- График квантов --");
        wnd->resize(600, 400);
        wnd->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd.get()));
        values = wnd->temperatureRuler();
        times = wnd->timeRuler();
    }

    void send(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
    {
        sendMessage(wnd.get(), message, wParam, lParam);
    }

    // A reading as the owners deliver it: posted, handled by the event loop.
    void post(long value, long time)
    {
        postMessage(wnd.get(), WM_GRAPH_NEWVALUE, static_cast<std::uintptr_t>(value), time);
        QCoreApplication::sendPostedEvents(wnd.get());
    }

    void setTimes(long min, long max, long winMin, long winMax)
    {
        times->SetMax(max);
        times->SetMin(min);
        times->SetWinMax(winMax);
        times->SetWinMin(winMin);
    }

    static std::vector<long> rangeAndWindow(const CRangeBar* bar)
    {
        return {bar->GetMin(), bar->GetMax(), bar->GetWinMin(), bar->GetWinMax()};
    }

    Owner owner;
    std::unique_ptr<CGraphWnd> wnd;
    CRangeBar* values = nullptr;
    CRangeBar* times = nullptr;
    TermDataFile series;
};

TEST_F(GraphWndTest, AFreshWindowShowsitsInitialRangesInRulersViewAndPanes)
{
    open(GraphKind::Temperature);
    EXPECT_EQ(rangeAndWindow(times), (std::vector<long>{-1000, 0, -1000, 0}));
    EXPECT_EQ(rangeAndWindow(values), (std::vector<long>{0, 10, 0, 10}));
    EXPECT_EQ(wnd->paneText(0), "Температура 0000 °С ");
    EXPECT_EQ(wnd->paneText(1), "Время 00:00:00.000 сек");
    EXPECT_EQ(wnd->paneText(2), "Min 0 °C - Max 10 °C");
    EXPECT_EQ(wnd->paneText(3), "Время от начала опроса -01.000 - 00.000");
    EXPECT_EQ(wnd->view()->timeWindowStart(), -1000);
    EXPECT_EQ(wnd->view()->timeWindowEnd(), 0);
    EXPECT_DOUBLE_EQ(wnd->view()->timeCoeff(), times->GetWinCoeff());
    EXPECT_EQ(wnd->view()->valueWindowHigh(), 10);
    EXPECT_DOUBLE_EQ(wnd->view()->valueCoeff(), values->GetWinCoeff());
    EXPECT_TRUE(wnd->windowFlags().testFlag(Qt::Tool));
}

TEST_F(GraphWndTest, TheChildrenArePlacedByTheRulersSizesAndFollowAWiderLabel)
{
    open(GraphKind::Temperature);
    const auto expected = [&] {
        return graph::layoutGraph(wnd->width(), wnd->height(), wnd->statusBar()->sizeHint().height(),
                                  values->GetStaticSize(), times->GetStaticSize());
    };
    const auto box = [](const QWidget* w) { return graph::Box{w->x(), w->y(), w->width(), w->height()}; };
    EXPECT_EQ(box(values), expected().temperatureRuler);
    EXPECT_EQ(box(wnd->view()), expected().view);
    EXPECT_EQ(box(times), expected().timeRuler);
    EXPECT_EQ(box(wnd->statusBar()), expected().statusBar);
    const int narrow = values->width();
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), 0);
    QCoreApplication::processEvents();
    EXPECT_GT(values->width(), narrow) << "labels of 1210 need more room than labels of 10";
    EXPECT_EQ(box(wnd->view()), expected().view);
    wnd->resize(500, 300);
    EXPECT_EQ(box(times), expected().timeRuler);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }

    int paints = 0;
};

TEST_F(GraphWndTest, MovingTheMouseWritesThePanesWithoutRepaintingTheGraph)
{
    open(GraphKind::Temperature);
    QCoreApplication::processEvents();
    PaintCounter counter;
    wnd->view()->installEventFilter(&counter);
    for (int x = 10; x < 200; x += 7) {
        QTest::mouseMove(wnd->view(), QPoint(x, 40 + x / 3));
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(wnd->paneText(0).startsWith("Температура "));
    EXPECT_TRUE(wnd->paneText(1).startsWith("Время "));
    EXPECT_EQ(counter.paints, 0);
}

struct RangeCase {
    std::uint16_t low, high;
    long min, max;
};

class ValueRangeMessageTest : public GraphWndTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(ValueRangeMessageTest, SetsTheValueRangeWithItsMargin)
{
    const RangeCase& c = GetParam();
    open(GraphKind::Temperature);
    send(WM_GRAPH_SETDATA, makeWordPair(c.low, c.high), reinterpret_cast<std::intptr_t>(&series));
    EXPECT_EQ(values->GetMin(), c.min);
    EXPECT_EQ(values->GetMax(), c.max);
    EXPECT_EQ(wnd->view()->series(), &series);
    EXPECT_EQ(wnd->view()->valueWindowLow(), values->GetWinMin());
    EXPECT_EQ(wnd->view()->valueWindowHigh(), values->GetWinMax());
    EXPECT_EQ(wnd->paneText(2).toStdString(),
              "Min " + std::to_string(c.min) + " °C - Max " + std::to_string(c.max) + " °C");
}

INSTANTIATE_TEST_SUITE_P(Cases, ValueRangeMessageTest,
                         ::testing::Values(RangeCase{0, 0, 0, 2000}, RangeCase{300, 1200, 290, 1210},
                                           RangeCase{0, 65535, -10, 65545}),
                         [](const auto& info) { return caseName("Bounds", info.param.low, info.param.high); });

TEST_F(GraphWndTest, TheAlternateOwnersMessagesSetRangeAndSeriesApart)
{
    open(GraphKind::Temperature);
    send(WM_GRAPH_SETLIMITS, 300, 1200);
    EXPECT_EQ(values->GetMin(), 290);
    EXPECT_EQ(values->GetMax(), 1210);
    EXPECT_EQ(wnd->view()->series(), nullptr);
    series.Add(0, 800, 95);
    series.Add(30000, 810, 95);
    send(WM_GRAPH_SETSERIES, 0, 0);
    EXPECT_EQ(wnd->view()->series(), nullptr) << "no series, nothing attached";
    send(WM_GRAPH_SETSERIES, reinterpret_cast<std::uintptr_t>(&series), 0);
    EXPECT_EQ(wnd->view()->series(), &series);
    EXPECT_EQ(rangeAndWindow(times), (std::vector<long>{-1000, 30000, -1000, 30000}));
}

TEST_F(GraphWndTest, AttachingASeriesStretchesTheTimeAxisToItsLastRecord)
{
    open(GraphKind::Temperature);
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), reinterpret_cast<std::intptr_t>(&series));
    EXPECT_EQ(rangeAndWindow(times), (std::vector<long>{-1000, 0, -1000, 0})) << "an empty series changes nothing";
    for (long t = 0; t <= 60000; t += 1000)
        series.Add(t, 800, 95);
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), reinterpret_cast<std::intptr_t>(&series));
    EXPECT_EQ(rangeAndWindow(times), (std::vector<long>{-1000, 60000, -1000, 60000}));
    EXPECT_EQ(wnd->paneText(3), "Время от начала опроса -01.000 - 1:00.000");
}

struct FollowCase {
    long winMin, winMax;
    std::vector<long> after;
};

class ReadingTest : public GraphWndTest, public ::testing::WithParamInterface<FollowCase> {};

TEST_P(ReadingTest, AReadingBeyondTheRangeExtendsItAndMovesTheWindowAsItShowedIt)
{
    const FollowCase& c = GetParam();
    open(GraphKind::Temperature);
    setTimes(0, 11000, c.winMin, c.winMax);
    post(812, 12000);
    EXPECT_EQ(rangeAndWindow(times), c.after);
    EXPECT_EQ(wnd->view()->timeWindowStart(), c.after[2]);
    EXPECT_EQ(wnd->view()->timeWindowEnd(), c.after[3]);
    EXPECT_EQ(wnd->paneText(3), "Время от начала опроса 00.000 - 12.000");
    EXPECT_EQ(wnd->cornerValue(), 812);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadingTest,
                         ::testing::Values(FollowCase{0, 11000, {0, 12000, 0, 12000}},
                                           FollowCase{5000, 11000, {0, 12000, 6000, 12000}},
                                           FollowCase{2000, 8000, {0, 12000, 2000, 8000}}),
                         [](const auto& info) { return caseName("Window", info.param.winMin, info.param.winMax); });

TEST_F(GraphWndTest, TheCornerShowsTheLatestReadingOfItsKind)
{
    open(GraphKind::Quantum);
    const graph::Box corner = graph::layoutGraph(wnd->width(), wnd->height(), wnd->statusBar()->sizeHint().height(),
                                                 values->GetStaticSize(), times->GetStaticSize())
                                  .corner;
    const QRect square(corner.x, corner.y, corner.width, corner.height);
    const auto darkPixels = [&] {
        const QImage image = wnd->grab(square).toImage();
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 100;
        return dark;
    };
    EXPECT_EQ(wnd->grab(square).toImage().pixelColor(1, 1), QColor(236, 233, 216));
    EXPECT_EQ(darkPixels(), 0) << "nothing before the first reading";
    post(31000, 500);
    EXPECT_EQ(wnd->cornerValue(), 31000);
    EXPECT_GT(darkPixels(), 10) << "Кв. 31000";
    wnd->repaint();
    EXPECT_GT(darkPixels(), 10) << "kept across repaints";
}

TEST_F(GraphWndTest, AutoLimitsFitTheValueWindowToTheVisibleNonZeroValues)
{
    open(GraphKind::Temperature);
    for (const auto& [t, v] : std::vector<std::pair<long, long>>{{0, 0}, {1000, 812}, {2000, 815}, {3000, 809}})
        series.Add(t, v, 95);
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), reinterpret_cast<std::intptr_t>(&series));
    EXPECT_EQ(values->GetWinMin(), 290) << "off: the window is left alone";
    wnd->commandAction(CGraphWnd::ID_GRAPH_AUTOLIMITS)->trigger();
    EXPECT_TRUE(wnd->autoLimits());
    EXPECT_EQ(values->GetWinMin(), 809);
    EXPECT_EQ(values->GetWinMax(), 815);
    EXPECT_EQ(wnd->view()->valueWindowLow(), 809);

    series.Add(4000, 830, 95);
    post(830, 4000);
    EXPECT_EQ(values->GetWinMax(), 830) << "each reading fits the window again";

    wnd->commandAction(CGraphWnd::ID_GRAPH_AUTOLIMITS)->trigger();
    EXPECT_FALSE(wnd->autoLimits());
    EXPECT_EQ(values->GetWinMax(), 830) << "switched off, the window stays";
}

TEST_F(GraphWndTest, AutoLimitsOverEqualValuesShowTheWholeRange)
{
    open(GraphKind::Quantum);
    series.Add(0, 800, 95, 31000);
    series.Add(1000, 800, 95, 31000);
    send(WM_GRAPH_SETDATA, makeWordPair(0, 65535), reinterpret_cast<std::intptr_t>(&series));
    wnd->commandAction(CGraphWnd::ID_GRAPH_AUTOLIMITS)->trigger();
    EXPECT_EQ(values->GetWinMin(), -10);
    EXPECT_EQ(values->GetWinMax(), 65545);
}

TEST_F(GraphWndTest, ClosingTheQuantumGraphTellsTheOwnerAndLeavesItAlive)
{
    open(GraphKind::Quantum);
    QPointer<CGraphWnd> alive(wnd.get());
    EXPECT_FALSE(wnd->close());
    QCoreApplication::processEvents();
    ASSERT_EQ(owner.received.size(), 1u);
    EXPECT_EQ(owner.received[0].message, WM_GRAPH_CLOSED);
    EXPECT_EQ(owner.received[0].wParam, 1u);
    EXPECT_EQ(owner.received[0].lParam, 0);
    EXPECT_FALSE(alive.isNull());
    EXPECT_FALSE(wnd->isVisible()) << "hidden by the owner";
    wnd->show();
    EXPECT_TRUE(wnd->isVisible()) << "the same window again";
}

TEST(GraphWndWithoutOwner, ClosingHidesTheWindow)
{
    CGraphWnd wnd(GraphKind::Temperature);
    wnd.show();
    EXPECT_FALSE(wnd.close());
    EXPECT_FALSE(wnd.isVisible());
}

TEST_F(GraphWndTest, TheMenusDifferByKind)
{
    open(GraphKind::Temperature);
    EXPECT_EQ(entries(wnd->contextMenu()),
              (std::vector<std::string>{"Печать...", "Просмотр>", "  Весь график", "  Пределы...",
                                        "  Автоматический выбор пределов температуры", "  Абсолютное время",
                                        "  Разрывы на пропусках", "Сохранить..."}));
    CGraphWnd quantum(GraphKind::Quantum);
    EXPECT_EQ(entries(quantum.contextMenu()),
              (std::vector<std::string>{"Просмотр>", "  Весь график", "  Пределы...",
                                        "  Автоматический выбор пределов", "  Абсолютное время",
                                        "  Разрывы на пропусках", "Сохранить..."}));
}

// Every command a window has, on a key or not, is an entry of its context
// menu; the entries with a key show it.
TEST_F(GraphWndTest, EveryCommandIsInTheContextMenuWithItsKey)
{
    for (const GraphKind kind : {GraphKind::Temperature, GraphKind::Quantum}) {
        CGraphWnd wnd(kind);
        std::vector<const QAction*> inMenu;
        std::function<void(const QMenu*)> collect = [&](const QMenu* menu) {
            for (const QAction* action : menu->actions()) {
                inMenu.push_back(action);
                if (action->menu() != nullptr)
                    collect(action->menu());
            }
        };
        collect(wnd.contextMenu());
        const auto listed = [&](const QAction* a) { return std::find(inMenu.begin(), inMenu.end(), a) != inMenu.end(); };
        for (QAction* action : wnd.actions())
            EXPECT_TRUE(listed(action)) << "a key without a menu entry: " << action->shortcut().toString().toStdString();
        for (const int command : {CGraphWnd::ID_GRAPH_WHOLE, CGraphWnd::ID_GRAPH_AUTOLIMITS, CGraphWnd::ID_GRAPH_CLOCKTIME,
                                  CGraphWnd::ID_GRAPH_SAVE, CGraphWnd::ID_GRAPH_LIMITS, CGraphWnd::ID_GRAPH_LIMITS_KEY,
                                  CGraphWnd::ID_GRAPH_BREAKATGAPS})
            EXPECT_TRUE(listed(wnd.commandAction(command))) << command;
        EXPECT_EQ(wnd.commandAction(CGraphWnd::ID_GRAPH_LIMITS)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
        EXPECT_TRUE(wnd.commandAction(CGraphWnd::ID_GRAPH_LIMITS)->isShortcutVisibleInContextMenu());
        EXPECT_EQ(wnd.commandAction(CGraphWnd::ID_GRAPH_BREAKATGAPS)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
        EXPECT_TRUE(wnd.commandAction(CGraphWnd::ID_GRAPH_BREAKATGAPS)->isShortcutVisibleInContextMenu());
    }
}

// The four panes at any width: side by side when they fit, else on more
// lines; never one over another, never outside the window, and a pane
// whose text fits the window shows all of it.
TEST_F(GraphWndTest, TheStatusPanesNeverOverlapAtAnyWidth)
{
    open(GraphKind::Temperature);
    std::set<int> lines;
    for (const int width : {160, 250, 300, 450, 600, 800, 1000, 1300, 1600}) {
        wnd->resize(width, 200);
        QCoreApplication::processEvents();
        std::vector<QRect> boxes;
        for (const QLabel* label : wnd->statusBar()->findChildren<QLabel*>()) {
            const QRect box(label->mapTo(wnd.get(), QPoint(0, 0)), label->size());
            EXPECT_TRUE(QRect(0, 0, wnd->width(), wnd->height()).contains(box))
                << width << ": " << label->text().toStdString();
            const int needed = label->fontMetrics().horizontalAdvance(label->text());
            if (needed < width - 20) {
                EXPECT_GE(box.width(), needed) << width << ": " << label->text().toStdString();
            }
            for (const QRect& other : boxes)
                EXPECT_FALSE(box.intersects(other)) << width << ": " << label->text().toStdString();
            boxes.push_back(box);
        }
        ASSERT_EQ(boxes.size(), 4u);
        std::set<int> tops;
        for (const QRect& box : boxes)
            tops.insert(box.top());
        lines.insert(static_cast<int>(tops.size()));
        // The children below the status bar's top: the graph gives way to more lines.
        const graph::GraphLayout layout = graph::layoutGraph(wnd->width(), wnd->height(),
                                                             wnd->statusBar()->sizeHint().height(),
                                                             values->GetStaticSize(), times->GetStaticSize());
        EXPECT_EQ(wnd->statusBar()->geometry().top(), layout.statusBar.y) << width;
        EXPECT_LE(times->geometry().bottom(), wnd->statusBar()->geometry().top()) << width;
    }
    EXPECT_EQ(lines, (std::set<int>{1, 2, 3, 4})) << "from one line to four by width";
}

TEST_F(GraphWndTest, TheQuantumValueWindowStartsOnTheCounts)
{
    open(GraphKind::Quantum);
    for (long t = 0; t <= 5000; t += 500)
        series.Add(t, 800, 95, static_cast<unsigned short>(43900 + t / 25));
    send(WM_GRAPH_SETDATA, makeWordPair(0, 65535), reinterpret_cast<std::intptr_t>(&series));
    EXPECT_EQ(values->GetMin(), -10);
    EXPECT_EQ(values->GetMax(), 65545);
    EXPECT_EQ(values->GetWinMin(), 43880);
    EXPECT_EQ(values->GetWinMax(), 44120);
    EXPECT_EQ(wnd->view()->valueWindowHigh(), 44120);

    // A window the operator put on some of the counts stays when the graph is opened again.
    values->SetWinMin(44000);
    values->SetWinMax(44500);
    send(WM_GRAPH_SETDATA, makeWordPair(0, 65535), reinterpret_cast<std::intptr_t>(&series));
    EXPECT_EQ(values->GetWinMin(), 44000);
    EXPECT_EQ(values->GetWinMax(), 44500);
}

TEST_F(GraphWndTest, AQuantumGraphOpenedBeforeTheFirstReadingGoesOntoIt)
{
    open(GraphKind::Quantum);
    send(WM_GRAPH_SETDATA, makeWordPair(0, 65535), reinterpret_cast<std::intptr_t>(&series));
    EXPECT_EQ(values->GetWinMax(), 10) << "nothing to go by yet";
    series.Add(500, 800, 95, 44000);
    post(44000, 500);
    EXPECT_EQ(values->GetWinMin(), 43990);
    EXPECT_EQ(values->GetWinMax(), 44010);
    series.Add(1000, 800, 95, 47000);
    post(47000, 1000);
    EXPECT_EQ(values->GetWinMax(), 44010) << "only the first reading places the window";
}

TEST_F(GraphWndTest, ForgettingTheReadingEmptiesTheCorner)
{
    open(GraphKind::Temperature);
    post(812, 500);
    ASSERT_EQ(wnd->cornerValue(), 812);
    wnd->forgetReading();
    EXPECT_FALSE(wnd->cornerValue().has_value());
}

TEST_F(GraphWndTest, ARightClickOnTheViewOrTheCornerOpensTheMenuThere)
{
    open(GraphKind::Temperature);
    QTest::mouseClick(wnd->view(), Qt::RightButton, Qt::NoModifier, QPoint(50, 60));
    ASSERT_TRUE(QTest::qWaitFor([&] { return wnd->contextMenu()->isVisible(); }, 2000));
    EXPECT_EQ(wnd->contextMenu()->pos(), wnd->view()->mapToGlobal(QPoint(50, 60)));
    wnd->contextMenu()->hide();
    const QPoint corner(5, times->y() + 5);
    QTest::mouseClick(wnd.get(), Qt::RightButton, Qt::NoModifier, corner);
    ASSERT_TRUE(QTest::qWaitFor([&] { return wnd->contextMenu()->isVisible(); }, 2000));
    EXPECT_EQ(wnd->contextMenu()->pos(), wnd->mapToGlobal(corner));
    wnd->contextMenu()->hide();
}

TEST_F(GraphWndTest, CheckMarksFollowTheStates)
{
    open(GraphKind::Temperature);
    wnd->commandAction(CGraphWnd::ID_GRAPH_CLOCKTIME)->trigger();
    emit wnd->contextMenu()->aboutToShow();
    EXPECT_TRUE(wnd->commandAction(CGraphWnd::ID_GRAPH_CLOCKTIME)->isChecked());
    EXPECT_FALSE(wnd->commandAction(CGraphWnd::ID_GRAPH_AUTOLIMITS)->isChecked());
    wnd->commandAction(CGraphWnd::ID_GRAPH_BREAKATGAPS)->trigger();
    EXPECT_TRUE(wnd->view()->breakAtGaps());
    EXPECT_TRUE(wnd->commandAction(CGraphWnd::ID_GRAPH_BREAKATGAPS)->isChecked());
    wnd->commandAction(CGraphWnd::ID_GRAPH_BREAKATGAPS)->trigger();
    EXPECT_FALSE(wnd->view()->breakAtGaps());
}

TEST_F(GraphWndTest, ClockTimeSwitchesTheRulerLabelsAndTheViewTextsAndBack)
{
    open(GraphKind::Temperature);
    const platform::SystemTime begin{2024, 3, 0, 7, 10, 0, 0, 0};
    series.SetBeginTime(&begin);
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), reinterpret_cast<std::intptr_t>(&series));
    EXPECT_EQ(times->FormatValue(3723450).toStdString(), "3723.45");
    EXPECT_EQ(wnd->view()->FormatTime(5120).toStdString(), "05.120");
    wnd->commandAction(CGraphWnd::ID_GRAPH_CLOCKTIME)->trigger();
    EXPECT_TRUE(wnd->clockTime());
    EXPECT_EQ(times->GetCtrlStyle(), RBS_HORIZONTAL | 0x18);
    EXPECT_EQ(times->FormatValue(3723450).toStdString(), "01:02:03.45");
    EXPECT_EQ(wnd->view()->FormatTime(5120).toStdString(), "10:00:05.12");
    wnd->commandAction(CGraphWnd::ID_GRAPH_CLOCKTIME)->trigger();
    EXPECT_EQ(times->GetCtrlStyle(), RBS_HORIZONTAL | 0x10);
    EXPECT_EQ(times->FormatValue(3723450).toStdString(), "3723.45");
    EXPECT_EQ(wnd->view()->FormatTime(5120).toStdString(), "05.120");
}

TEST_F(GraphWndTest, WholeGraphShowsBothRangesOrFitsTheValues)
{
    open(GraphKind::Temperature);
    series.Add(0, 812, 95);
    series.Add(20000, 815, 95);
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), reinterpret_cast<std::intptr_t>(&series));
    times->SetWinMin(5000);
    times->SetWinMax(8000);
    values->SetWinMax(900);
    values->SetWinMin(700);
    wnd->commandAction(CGraphWnd::ID_GRAPH_WHOLE)->trigger();
    EXPECT_EQ(rangeAndWindow(times), (std::vector<long>{-1000, 20000, -1000, 20000}));
    EXPECT_EQ(rangeAndWindow(values), (std::vector<long>{290, 1210, 290, 1210}));
    wnd->commandAction(CGraphWnd::ID_GRAPH_AUTOLIMITS)->trigger();
    times->SetWinMin(5000);
    wnd->commandAction(CGraphWnd::ID_GRAPH_WHOLE)->trigger();
    EXPECT_EQ(rangeAndWindow(values), (std::vector<long>{290, 1210, 812, 815}));
}

TEST_F(GraphWndTest, TheSpanMessageLimitsTheVisibleTime)
{
    open(GraphKind::Temperature);
    setTimes(0, 100000, 0, 100000);
    send(WM_GRAPH_SETSPAN, 10000, 0);
    times->RecalcRuler();
    EXPECT_EQ(times->GetWinMax(), 100000);
    EXPECT_EQ(times->GetWinMin(), 90000);
}

TEST_F(GraphWndTest, AWheelTurnOverARulersPlaceGoesToThatRuler)
{
    open(GraphKind::Temperature);
    setTimes(0, 1000, 100, 500);
    const auto wheelAt = [&](QPoint at) {
        QWheelEvent event(at, wnd->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(wnd.get(), &event);
    };
    wheelAt(times->geometry().center());
    EXPECT_EQ(times->GetWinMin(), 120) << "a fiftieth of the range";
    const long valueWindow = values->GetWinMin();
    wheelAt(wnd->view()->geometry().center());
    EXPECT_EQ(times->GetWinMin(), 120);
    EXPECT_EQ(values->GetWinMin(), valueWindow);
}

// The limits dialog, answered while it runs modally.
class LimitsTest : public GraphWndTest {
protected:
    // Runs `answer` on the dialog once it is shown, then `command`.
    void withDialog(const std::function<void(CLimitDlg&)>& answer, const std::function<void()>& command)
    {
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CLimitDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            answer(*dialog);
            answered = true;
            if (dialog->isVisible())
                dialog->reject();
        });
        command();
        EXPECT_TRUE(answered);
    }

    static QLineEdit* edit(CLimitDlg& dialog, const char* name) { return dialog.findChild<QLineEdit*>(name); }
    static void ok(CLimitDlg& dialog) { QTest::mouseClick(dialog.findChild<QPushButton*>("okButton"), Qt::LeftButton); }

    // From now on; a new layout for the rulers' labels is done first.
    void recordNotices()
    {
        QCoreApplication::processEvents();
        QObject::connect(values, &CRangeBar::rangeBarNotify, [this](CRangeBar* bar, int code) {
            notices.push_back({code, bar->GetMin(), bar->GetMax(), bar->GetWinMin(), bar->GetWinMax()});
        });
    }

    // Each notification with the range and window after it.
    std::vector<std::vector<long>> notices;
};

TEST_F(LimitsTest, TheDialogShowsTheRulersRangeAndWindow)
{
    open(GraphKind::Quantum);
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), 0);
    values->SetWinMax(900);
    values->SetWinMin(700);
    withDialog(
        [](CLimitDlg& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Пределы");
            EXPECT_EQ(edit(dialog, "maxEdit")->text(), "1210");
            EXPECT_EQ(edit(dialog, "minEdit")->text(), "290");
            EXPECT_EQ(edit(dialog, "winMaxEdit")->text(), "900");
            EXPECT_EQ(edit(dialog, "winMinEdit")->text(), "700");
        },
        [&] { wnd->commandAction(CGraphWnd::ID_GRAPH_LIMITS)->trigger(); });
    EXPECT_EQ(rangeAndWindow(values), (std::vector<long>{290, 1210, 700, 900})) << "cancel changes nothing";
}

TEST_F(LimitsTest, OkAppliesMaximumMinimumWindowMaximumWindowMinimumInThatOrder)
{
    open(GraphKind::Temperature);
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), 0);
    recordNotices();
    withDialog(
        [](CLimitDlg& dialog) {
            edit(dialog, "maxEdit")->setText("1500");
            edit(dialog, "minEdit")->setText(" 100 ");
            edit(dialog, "winMaxEdit")->setText("1000");
            edit(dialog, "winMinEdit")->setText("500");
            ok(dialog);
        },
        [&] { wnd->commandAction(CGraphWnd::ID_GRAPH_LIMITS_KEY)->trigger(); });
    EXPECT_EQ(rangeAndWindow(values), (std::vector<long>{100, 1500, 500, 1000}));
    EXPECT_EQ(notices, (std::vector<std::vector<long>>{{RBN_MAXCHANGED, 290, 1500, 290, 1210},
                                                       {RBN_MINCHANGED, 100, 1500, 290, 1210},
                                                       {RBN_WINCHANGED, 100, 1500, 290, 1000},
                                                       {RBN_WINCHANGED, 100, 1500, 500, 1000}}));
    EXPECT_EQ(wnd->paneText(2), "Min 100 °C - Max 1500 °C");
    EXPECT_EQ(wnd->view()->valueWindowLow(), 500);
}

TEST_F(LimitsTest, OkWithoutChangesSetsNothingAndAWindowAboveTheRangeIsClamped)
{
    open(GraphKind::Quantum);
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), 0);
    recordNotices();
    withDialog([](CLimitDlg& dialog) { ok(dialog); },
               [&] { wnd->commandAction(CGraphWnd::ID_GRAPH_LIMITS)->trigger(); });
    EXPECT_TRUE(notices.empty());
    withDialog(
        [](CLimitDlg& dialog) {
            edit(dialog, "winMaxEdit")->setText("5000");
            ok(dialog);
        },
        [&] { wnd->commandAction(CGraphWnd::ID_GRAPH_LIMITS)->trigger(); });
    EXPECT_EQ(values->GetWinMax(), 1210);
}

TEST_F(LimitsTest, TextThatIsNoWholeNumberIsRefusedAndKeepsTheDialogOpen)
{
    open(GraphKind::Quantum);
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), 0);
    testing_support::ScriptedMessageBoxes boxes;
    withDialog(
        [](CLimitDlg& dialog) {
            edit(dialog, "winMinEdit")->setText("7o0");
            ok(dialog);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(dialog.focusWidget(), edit(dialog, "winMinEdit"));
            EXPECT_EQ(edit(dialog, "winMinEdit")->selectedText(), "7o0");
            edit(dialog, "winMinEdit")->setText("700");
            ok(dialog);
            EXPECT_FALSE(dialog.isVisible());
        },
        [&] { wnd->commandAction(CGraphWnd::ID_GRAPH_LIMITS)->trigger(); });
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "Введите целое число.");
    EXPECT_EQ(boxes.shown()[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(values->GetWinMin(), 700);
}

TEST_F(LimitsTest, WithAutoLimitsTheTypedWindowGivesWayAtTheNextTimeChange)
{
    open(GraphKind::Temperature);
    series.Add(0, 812, 95);
    series.Add(1000, 815, 95);
    send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), reinterpret_cast<std::intptr_t>(&series));
    wnd->commandAction(CGraphWnd::ID_GRAPH_AUTOLIMITS)->trigger();
    withDialog(
        [](CLimitDlg& dialog) {
            edit(dialog, "winMaxEdit")->setText("1000");
            edit(dialog, "winMinEdit")->setText("500");
            ok(dialog);
        },
        [&] { wnd->commandAction(CGraphWnd::ID_GRAPH_LIMITS_KEY)->trigger(); });
    EXPECT_EQ(values->GetWinMin(), 500);
    times->Move(-10);
    EXPECT_EQ(values->GetWinMin(), 812);
    EXPECT_EQ(values->GetWinMax(), 815);
}

}  // namespace

namespace {

// The view's repaints, with the number of records the series held at each.
class RepaintLog : public QObject {
public:
    explicit RepaintLog(CGraphView* view) : view_(view) { view->installEventFilter(this); }
    ~RepaintLog() override { view_->removeEventFilter(this); }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            seen.push_back(view_->series() != nullptr ? view_->series()->GetCount() : 0);
        return false;
    }

    std::vector<long> seen;

private:
    CGraphView* view_;
};

class ReadingBurstTest : public GraphWndTest {
protected:
    void SetUp() override
    {
        open(GraphKind::Temperature);
        for (long i = 0; i < 100; ++i)
            series.Add(i * 100, 800 + i % 9, 95);
        send(WM_GRAPH_SETDATA, makeWordPair(300, 1200), reinterpret_cast<std::intptr_t>(&series));
        frameMs = static_cast<int>(std::lround(1000.0 / wnd->screen()->refreshRate()));
        // Settled: painted, and a frame past the last repaint.
        QCoreApplication::processEvents();
        QElapsedTimer settled;
        settled.start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return settled.elapsed() > 3 * frameMs; }, 2000));
        QCoreApplication::processEvents();
    }

    // The owner's way with a reading: into the series, then the message.
    void deliver(long time, long value)
    {
        series.Add(time, value, 95);
        postMessage(wnd.get(), WM_GRAPH_NEWVALUE, static_cast<std::uintptr_t>(value), time);
    }

    int frameMs = 16;
};

TEST_F(ReadingBurstTest, ReadingsPostedTogetherArePaintedOnceWithAllOfThem)
{
    RepaintLog log(wnd->view());
    for (long k = 0; k < 10; ++k)
        deliver(10000 + k * 20, 810);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log.seen.empty(); }, 2000));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.seen, std::vector<long>{110});
    EXPECT_EQ(wnd->cornerValue(), 810);
    EXPECT_EQ(times->GetMax(), 10000 + 9 * 20);
}

// When each of the view and the time ruler is painted, ms since the start.
class PaintTimes : public QObject {
public:
    explicit PaintTimes(std::vector<QWidget*> widgets) : widgets_(std::move(widgets))
    {
        clock_.start();
        for (QWidget* widget : widgets_)
            widget->installEventFilter(this);
    }
    ~PaintTimes() override
    {
        for (QWidget* widget : widgets_)
            widget->removeEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            times[watched].push_back(clock_.elapsed());
        return false;
    }

    std::map<QObject*, std::vector<qint64>> times;

private:
    std::vector<QWidget*> widgets_;
    QElapsedTimer clock_;
};

// A reading moves the line and the time ruler's end label: both go out in
// the same repaint of the window, not one a frame after the other.
TEST_F(ReadingBurstTest, AReadingPaintsTheViewAndTheTimeRulerTogether)
{
    PaintTimes paints({wnd->view(), times});
    deliver(10000, 810);
    QElapsedTimer settling;
    settling.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return settling.elapsed() > 4 * frameMs; }, 2000));
    QCoreApplication::processEvents();
    const std::vector<qint64>& view = paints.times[wnd->view()];
    const std::vector<qint64>& ruler = paints.times[times];
    ASSERT_EQ(view.size(), 1U);
    ASSERT_EQ(ruler.size(), 1U) << "the end label changed";
    EXPECT_LT(std::abs(ruler[0] - view[0]), frameMs / 2) << "painted at " << view[0] << " and " << ruler[0] << " ms";
}

// Readings one per turn of the event loop, faster than the screen refreshes:
// each is handled at once, the painting waits for the frame's end.
TEST_F(ReadingBurstTest, ReadingsFasterThanTheScreenArePaintedOncePerFrameNoneLost)
{
    RepaintLog log(wnd->view());
    QElapsedTimer burst;
    burst.start();
    constexpr long kReadings = 30;
    for (long k = 0; k < kReadings; ++k) {
        deliver(10000 + k * 2, k == kReadings - 1 ? 1100 : 810);
        QCoreApplication::processEvents();
        EXPECT_EQ(times->GetMax(), 10000 + k * 2) << "the reading is handled in its own turn";
    }
    const long frames = burst.elapsed() / frameMs + 1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log.seen.empty() && log.seen.back() == 100 + kReadings; }, 2000))
        << "the last reading reaches the screen";
    EXPECT_LE(static_cast<long>(log.seen.size()), frames + 1)
        << log.seen.size() << " repaints for " << kReadings << " readings in " << frames << " frames";
    EXPECT_EQ(wnd->cornerValue(), 1100);
}

}  // namespace
