// CRangeBar as a widget, headless: driven with Qt Test's mouse events and
// wheel events as an operator would, its notifications read by a parent, its
// paint regions and its rendered pixels checked against the geometry.
#include "range_painter.h"
#include "rangebar.h"

#include <QPainter>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEvent>
#include <QRegion>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Host : public QWidget, public RangeBarParent {
public:
    QBrush rangeBarBackground(const CRangeBar&) override
    {
        ++asked;
        return brush;
    }

    QBrush brush = Qt::NoBrush;
    int asked = 0;
};

// Paint regions the bar receives.
class PaintSpy : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }

    QRegion painted;
};

struct Notice {
    CRangeBar* bar;
    int code;
    long min, max, winMin, winMax;
    bool operator==(const Notice& o) const
    {
        return bar == o.bar && code == o.code && min == o.min && max == o.max && winMin == o.winMin &&
               winMax == o.winMax;
    }
};

void PrintTo(const Notice& n, std::ostream* out)
{
    *out << "{code " << n.code << ", range " << n.min << ".." << n.max << ", window " << n.winMin << ".."
         << n.winMax << "}";
}

class BarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bar = new CRangeBar(&host);
        QObject::connect(bar, &CRangeBar::rangeBarNotify, [this](CRangeBar* sender, int code) {
            notices.push_back({sender, code, sender->GetMin(), sender->GetMax(), sender->GetWinMin(),
                               sender->GetWinMax()});
        });
    }

    // A bar filling its shown parent, over min..max with the given window.
    void makeBar(long style, int width, int height, long min, long max, long winMin, long winMax)
    {
        bar->SetCtrlStyle(style);
        host.resize(width, height);
        bar->setGeometry(0, 0, width, height);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        bar->SetMax(max);
        bar->SetMin(min);
        bar->SetWinMax(winMax);
        bar->SetWinMin(winMin);
        notices.clear();
    }

    // 400 x 40 over 0..100 (4 pixels a unit), window 20..30: selector at x
    // 80..119, rows 23..34.
    void makeStandardBar() { makeBar(RBS_HORIZONTAL, 400, 40, 0, 100, 20, 30); }

    QImage render()
    {
        return bar->grab().toImage();
    }

    Notice notice(int code) const
    {
        return {bar, code, bar->GetMin(), bar->GetMax(), bar->GetWinMin(), bar->GetWinMax()};
    }

    void sendWheel(QPoint angle, Qt::KeyboardModifiers modifiers)
    {
        QWheelEvent event(QPointF(100, 29), QPointF(bar->mapToGlobal(QPoint(100, 29))), QPoint(), angle,
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &event);
    }

    void hover(QPoint at)
    {
        QMouseEvent event(QEvent::MouseMove, at, bar->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &event);
    }

    Host host;
    CRangeBar* bar = nullptr;
    std::vector<Notice> notices;
    static constexpr int trackY = 29;
};

TEST_F(BarTest, TheParentHearsOfAChangeBeforeTheSetterReturns)
{
    makeStandardBar();
    EXPECT_EQ(bar->SetWinMax(50), 30);
    EXPECT_EQ(notices, (std::vector<Notice>{{bar, RBN_WINCHANGED, 0, 100, 20, 50}}));
    EXPECT_DOUBLE_EQ(bar->GetWinCoeff(), 400.0 / 30);
}

TEST_F(BarTest, ARangeBelowTheMinimumReportsTheWindowFirst)
{
    makeStandardBar();
    EXPECT_EQ(bar->SetMax(-10), 100);
    EXPECT_EQ(notices, (std::vector<Notice>{{bar, RBN_WINCHANGED, -11, -10, -11, -10},
                                            {bar, RBN_MAXCHANGED, -11, -10, -11, -10}}));
    bar->Move(-5);
    EXPECT_EQ(notices.back(), notice(RBN_WINMOVED)) << "a move at the limit still reports";
}

TEST_F(BarTest, WithoutAParentItDoesNotRecalculateAndAnswersFixedSizes)
{
    CRangeBar loose;
    EXPECT_EQ(loose.GetStaticSize(), 30);
    loose.SetCtrlStyle(RBS_HORIZONTAL);
    EXPECT_EQ(loose.GetStaticSize(), 1);
    loose.resize(400, 40);
    loose.SetWinMax(50);
    EXPECT_DOUBLE_EQ(loose.GetWinCoeff(), 1.0);
    loose.setParent(&host);
    loose.RecalcRuler();
    EXPECT_DOUBLE_EQ(loose.GetWinCoeff(), 8.0);
    EXPECT_EQ(loose.GetStaticSize(), QFontMetrics(loose.font()).height() + 20);
    loose.setParent(nullptr);
}

TEST_F(BarTest, StaticSizeMeasuresTheTenPixelLabelFont)
{
    makeBar(0, 60, 400, 0, 100, 20, 30);
    EXPECT_EQ(bar->font().pixelSize(), 10);
    const QFontMetrics metrics(bar->font());
    EXPECT_EQ(bar->GetStaticSize(), metrics.horizontalAdvance("100.00 30.00") + 20);
    bar->SetCtrlStyle(RBS_HORIZONTAL);
    EXPECT_EQ(bar->GetStaticSize(), metrics.height() + 20);
}

TEST_F(BarTest, ResizingRecalculatesAndReportsAWindowChange)
{
    makeStandardBar();
    bar->resize(500, 40);
    EXPECT_EQ(notices, (std::vector<Notice>{notice(RBN_WINCHANGED)}));
    EXPECT_EQ(bar->CalcSelectorRect(), QRect(100, 23, 50, 12));
}

TEST_F(BarTest, PressingThreePixelsInsideAnEndStartsThatEdgesDrag)
{
    makeStandardBar();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(117, trackY));
    EXPECT_EQ(bar->model().mouseState(), SA_MAXEDGE);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(117, trackY));
    EXPECT_EQ(bar->model().mouseState(), SA_IDLE);
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(83, trackY));
    EXPECT_EQ(bar->model().mouseState(), SA_MINEDGE);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(83, trackY));
    QTest::mousePress(bar, Qt::RightButton, Qt::NoModifier, QPoint(100, trackY));
    EXPECT_EQ(bar->model().mouseState(), SA_IDLE) << "only the left button drags";
    QTest::mouseRelease(bar, Qt::RightButton, Qt::NoModifier, QPoint(100, trackY));
    EXPECT_TRUE(notices.empty());
}

TEST_F(BarTest, OnAVerticalBarTheBottomEndIsTheMinimumEdge)
{
    makeBar(0, 60, 400, 0, 100, 20, 30);  // selector rows 280..319
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(10, 317));
    EXPECT_EQ(bar->model().mouseState(), SA_MINEDGE);
    QTest::mouseMove(bar, QPoint(10, 297));
    EXPECT_EQ(bar->GetWinMin(), 25);
    EXPECT_EQ(notices, (std::vector<Notice>{notice(RBN_WINCHANGED)}));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(10, 297));
}

TEST_F(BarTest, DraggingTheBodyPastTheStartStopsAtTheMinimumWithTheSpanKept)
{
    makeStandardBar();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    QTest::mouseMove(bar, QPoint(-300, trackY));
    EXPECT_EQ(bar->GetWinMin(), 0);
    EXPECT_EQ(bar->GetWinMax(), 10);
    EXPECT_EQ(bar->cursor().shape(), Qt::SizeAllCursor);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(-300, trackY));
    EXPECT_EQ(bar->model().mouseState(), SA_IDLE);
    EXPECT_EQ(notices, (std::vector<Notice>{{bar, RBN_WINMOVED, 0, 100, 0, 10}})) << "nothing on release";
}

TEST_F(BarTest, AMovementBelowOneUnitChangesAndRepaintsNothing)
{
    makeStandardBar();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    QCoreApplication::processEvents();
    PaintSpy spy;
    bar->installEventFilter(&spy);
    QTest::mouseMove(bar, QPoint(103, trackY));
    EXPECT_EQ(bar->GetWinMin(), 20);
    EXPECT_TRUE(notices.empty());
    // A marker repaint flushes whatever is pending: only the marker arrives.
    bar->update(QRect(390, 15, 2, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !spy.painted.isEmpty(); }, 2000));
    EXPECT_EQ(spy.painted, QRegion(390, 15, 2, 2));

    QTest::mouseMove(bar, QPoint(104, trackY));
    EXPECT_EQ(bar->GetWinMin(), 21);
    EXPECT_EQ(bar->GetWinMax(), 31);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(104, trackY));
}

TEST_F(BarTest, ADragStepRepaintsOnlyTheWindowRulerAndTheSelector)
{
    makeStandardBar();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    QCoreApplication::processEvents();
    PaintSpy spy;
    bar->installEventFilter(&spy);
    const QRect oldSelector = bar->CalcSelectorRect();
    QTest::mouseMove(bar, QPoint(140, trackY));
    ASSERT_EQ(bar->GetWinMin(), 30);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !spy.painted.isEmpty(); }, 2000));

    const int textHeight = QFontMetrics(bar->font()).height();
    const int rulerBottom = std::max(3 * textHeight / 4 + 4, 1 + 2 + textHeight);
    const QRegion allowed = QRegion(0, 1, 400, rulerBottom - 1) + oldSelector + bar->CalcSelectorRect();
    EXPECT_TRUE(spy.painted.subtracted(allowed).isEmpty());
    EXPECT_TRUE(spy.painted.contains(QPoint(200, 5))) << "the window ruler";
    EXPECT_TRUE(spy.painted.contains(QPoint(85, 25))) << "where the selector was";
    EXPECT_TRUE(spy.painted.contains(QPoint(150, 25))) << "where it is";
    EXPECT_FALSE(spy.painted.contains(QPoint(300, 30))) << "the track away from the selector";
    EXPECT_FALSE(spy.painted.contains(QPoint(200, 39))) << "the range ruler";
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(140, trackY));
}

TEST_F(BarTest, DoubleClickShowsTheWholeRangeAndASecondBringsTheWindowBack)
{
    makeStandardBar();
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    EXPECT_EQ(bar->GetWinMin(), 0);
    EXPECT_EQ(bar->GetWinMax(), 100);
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    EXPECT_EQ(bar->GetWinMin(), 20);
    EXPECT_EQ(bar->GetWinMax(), 30);
    EXPECT_EQ(notices, (std::vector<Notice>{{bar, RBN_WINCHANGED, 0, 100, 0, 100},
                                            {bar, RBN_WINCHANGED, 0, 100, 20, 30}}));
}

TEST_F(BarTest, ReadOnlyIgnoresButtonsButNotDoubleClickAndWheel)
{
    makeStandardBar();
    EXPECT_EQ(bar->SetCtrlStyle(RBS_HORIZONTAL | RBS_READONLY), RBS_HORIZONTAL);
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    QTest::mouseMove(bar, QPoint(40, trackY));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(40, trackY));
    EXPECT_EQ(bar->GetWinMin(), 20);
    EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    EXPECT_EQ(bar->GetWinMin(), 0);
    sendWheel(QPoint(0, 120), Qt::NoModifier);
    EXPECT_EQ(notices, (std::vector<Notice>{{bar, RBN_WINCHANGED, 0, 100, 0, 100},
                                            {bar, RBN_WINMOVED, 0, 100, 0, 100}}));
}

TEST_F(BarTest, CtrlWithABackwardWheelTurnWidensTheWindowAtTheTop)
{
    makeBar(RBS_HORIZONTAL, 400, 40, 0, 1000, 0, 500);
    sendWheel(QPoint(0, -120), Qt::ControlModifier);
    EXPECT_EQ(bar->GetWinMin(), 0);
    EXPECT_EQ(bar->GetWinMax(), 520);
    sendWheel(QPoint(0, 120), Qt::ShiftModifier);
    EXPECT_EQ(bar->GetWinMin(), 2);
    EXPECT_EQ(notices, (std::vector<Notice>{{bar, RBN_WINCHANGED, 0, 1000, 0, 520},
                                            {bar, RBN_WINMOVED, 0, 1000, 2, 522}}));
}

TEST_F(BarTest, AWheelEventWithoutATurnChangesNothing)
{
    makeBar(RBS_HORIZONTAL, 400, 40, 0, 1000, 100, 500);
    sendWheel(QPoint(0, 0), Qt::NoModifier);
    EXPECT_TRUE(notices.empty());
    sendWheel(QPoint(-120, 0), Qt::NoModifier);
    EXPECT_EQ(bar->GetWinMin(), 80) << "a sideways turn counts";
}

TEST_F(BarTest, TheHostForwardsWheelTurnsOverItsOwnWindow)
{
    makeBar(RBS_HORIZONTAL, 400, 40, 0, 1000, 100, 500);
    EXPECT_EQ(bar->OnMouseWheel(Qt::NoModifier, 120), 0);
    EXPECT_EQ(bar->GetWinMin(), 120);
    EXPECT_EQ(bar->OnMouseWheel(Qt::ControlModifier, -120), 0);
    EXPECT_EQ(bar->GetWinMin(), 100);
    EXPECT_EQ(bar->GetWinMax(), 520);
}

TEST_F(BarTest, TheCursorShowsWhatAPressWouldDo)
{
    makeStandardBar();
    hover(QPoint(100, trackY));
    EXPECT_EQ(bar->cursor().shape(), Qt::SizeAllCursor);
    hover(QPoint(118, trackY));
    EXPECT_EQ(bar->cursor().shape(), Qt::SizeHorCursor);
    hover(QPoint(200, trackY));
    EXPECT_EQ(bar->cursor().shape(), Qt::ArrowCursor);
    bar->SetCtrlStyle(0);
    bar->RecalcRuler();  // 40 pixels high: selector rows 20..31
    hover(QPoint(10, 30));
    EXPECT_EQ(bar->cursor().shape(), Qt::SizeVerCursor) << "a vertical bar resizes up and down";
}

TEST_F(BarTest, TypedSignalsFollowEachNotificationWithTheNewValues)
{
    makeStandardBar();
    std::vector<std::string> heard;
    QObject::connect(bar, &CRangeBar::rangeBarNotify, [&](CRangeBar*, int code) {
        heard.push_back("code " + std::to_string(code));
    });
    QObject::connect(bar, &CRangeBar::rangeChanged, [&](long min, long max) {
        heard.push_back("range " + std::to_string(min) + ".." + std::to_string(max));
    });
    QObject::connect(bar, &CRangeBar::windowChanged, [&](long winMin, long winMax) {
        heard.push_back("window " + std::to_string(winMin) + ".." + std::to_string(winMax));
    });
    bar->SetMax(25);  // the window follows first
    bar->Move(-5);
    // 16 pixels a unit: the selector spans x 240..319.
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(280, trackY));
    QTest::mouseMove(bar, QPoint(120, trackY));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(120, trackY));
    bar->resize(300, 40);
    EXPECT_EQ(heard, (std::vector<std::string>{"code 4", "window 20..25", "code 2", "range 0..25", "code 3",
                                               "window 15..20", "code 3", "window 5..10", "code 4",
                                               "window 5..10"}));
}

TEST_F(BarTest, TheMaximumEdgeDraggedOntoTheEndOfTheRangeIsTaken)
{
    makeBar(RBS_HORIZONTAL, 400, 40, 0, 145, 0, 116);  // 400/145 pixels a unit
    const int edge = bar->CalcSelectorRect().right();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(edge - 2, trackY));
    QTest::mouseMove(bar, QPoint(edge - 2 + 80, trackY));  // 80 pixels are 29 units
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(edge - 2 + 80, trackY));
    EXPECT_EQ(bar->GetWinMax(), 145);
    EXPECT_EQ(notices, (std::vector<Notice>{{bar, RBN_WINCHANGED, 0, 145, 0, 145}}));
}

TEST_F(BarTest, SizeHintsGiveTheThicknessOfTheLabels)
{
    makeBar(0, 60, 400, 0, 100, 20, 30);
    const QFontMetrics metrics(bar->font());
    EXPECT_EQ(bar->sizeHint().width(), bar->GetStaticSize());
    EXPECT_EQ(bar->minimumSizeHint().width(), bar->GetStaticSize());
    EXPECT_LT(bar->minimumSizeHint().height(), bar->sizeHint().height());
    EXPECT_GE(bar->minimumSizeHint().height(), 12) << "room for the smallest selector";
    bar->SetCtrlStyle(RBS_HORIZONTAL);
    EXPECT_EQ(bar->sizeHint().height(), metrics.height() + 20);

    CRangeBar loose;
    loose.SetCtrlStyle(RBS_HORIZONTAL);
    EXPECT_EQ(loose.GetStaticSize(), 1);
    EXPECT_EQ(loose.sizeHint().height(), metrics.height() + 20) << "a hint also before the bar has a parent";
}

// Counts the layout requests a parent receives.
class LayoutRequestSpy : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest)
            ++requests;
        return false;
    }

    int requests = 0;
};

TEST_F(BarTest, AWiderMaximumLabelAsksTheParentForANewLayout)
{
    makeBar(0, 60, 400, 0, 100, 20, 30);
    LayoutRequestSpy spy;
    host.installEventFilter(&spy);
    bar->SetMax(99);  // labels "99.00 30.00": narrower
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.requests, 1);
    bar->SetMax(98);  // the same width
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.requests, 1);
    EXPECT_EQ(bar->sizeHint().width(), QFontMetrics(bar->font()).horizontalAdvance("98.00 30.00") + 20);
}

TEST_F(BarTest, AFontChangeRecalculatesAndRedrawsTheLabels)
{
    makeStandardBar();
    LayoutRequestSpy spy;
    host.installEventFilter(&spy);
    const int before = bar->GetStaticSize();
    QFont bigger = bar->font();
    bigger.setPixelSize(20);
    bar->setFont(bigger);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->GetStaticSize(), QFontMetrics(bigger).height() + 20);
    EXPECT_GT(bar->GetStaticSize(), before);
    EXPECT_GE(spy.requests, 1) << "the parent hears that the hint changed";
    // The first label, "20", is drawn in the new font: taller than 10 pixels.
    const QImage image = render();
    int lowestDark = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 2; x < 2 + QFontMetrics(bigger).horizontalAdvance("20"); ++x)
            if (qGray(image.pixel(x, y)) < 100)
                lowestDark = y;
    EXPECT_GT(lowestDark, 3 + QFontMetrics(bar->font()).ascent() - 4);
}

bool isDark(QColor c)
{
    return qGray(c.rgb()) < 100;
}

// Pixels with text in them: near black, unlike every colour of the bar.
int darkPixels(const QImage& image, QRect area)
{
    int count = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += isDark(image.pixelColor(x, y));
    return count;
}

TEST_F(BarTest, TheRenderedBarHasItsTicksLabelsAndSelectorWhereTheGeometrySays)
{
    makeStandardBar();  // window 20..30: big steps of 2 units, 80 px, 4 intervals
    const QImage image = render();
    ASSERT_EQ(image.size(), QSize(400, 40));
    const QColor background = rangebar::defaultBackground();
    const QColor dark(128, 128, 128);
    const QColor light(192, 192, 192);
    const QFontMetrics metrics(bar->font());

    EXPECT_EQ(image.pixelColor(200, 0), dark) << "top border";
    EXPECT_EQ(image.pixelColor(200, 39), dark) << "bottom border";
    EXPECT_EQ(image.pixelColor(200, 18), background) << "between band and track";

    for (int x : {0, 80, 160, 240, 320}) {
        EXPECT_EQ(image.pixelColor(x, 1), dark) << "big tick at " << x;
        EXPECT_EQ(image.pixelColor(x, 8), dark) << "big tick at " << x;
        EXPECT_NE(image.pixelColor(x, 9), dark) << "big tick ends at " << x;
        EXPECT_EQ(image.pixelColor(x + 20, 4), light) << "small tick at " << x + 20;
        EXPECT_NE(image.pixelColor(x + 20, 5), light) << "small tick ends at " << x + 20;
        EXPECT_EQ(image.pixelColor(x + 1, 5), background);
    }
    const QStringList labels = {"20", "22", "24", "26", "28"};
    for (int i = 0; i < labels.size(); ++i) {
        const QRect cell(i * 80 + 2, 3, metrics.horizontalAdvance(labels[i]), metrics.height());
        EXPECT_GT(darkPixels(image, cell), 5) << "label " << labels[i].toStdString();
        EXPECT_EQ(darkPixels(image, cell.translated(40, 0)), 0) << "nothing between labels";
    }

    const QColor idle = rangebar::selectorColor(SA_IDLE);
    EXPECT_EQ(image.pixelColor(80, 23), idle);
    EXPECT_EQ(image.pixelColor(119, 34), idle);
    EXPECT_EQ(image.pixelColor(100, 25), idle);
    EXPECT_EQ(image.pixelColor(79, 25), background);
    EXPECT_EQ(image.pixelColor(120, 25), background);
    EXPECT_EQ(image.pixelColor(100, 22), background);
    EXPECT_EQ(image.pixelColor(100, 35), background);

    for (int x : {160, 240, 320}) {  // range steps of 20 units, 80 px
        EXPECT_EQ(image.pixelColor(x, 37), dark) << "range tick at " << x;
        EXPECT_EQ(image.pixelColor(x, 36), background) << "range tick 3 rows high at " << x;
    }
    const int labelTop = 40 - metrics.height() - 2;
    EXPECT_GT(darkPixels(image, QRect(2, labelTop, metrics.horizontalAdvance("0"), metrics.height())), 5);
    const int maxWidth = metrics.horizontalAdvance("100");
    EXPECT_GT(darkPixels(image, QRect(400 - maxWidth - 2, labelTop, maxWidth, metrics.height())), 5);
    EXPECT_EQ(darkPixels(image, QRect(150, 19, 60, 21)), 0) << "no label mid-track";
}

// Labels are laid out once and drawn again from then on: each must still be
// exactly its text drawn on its baseline, on every paint.
TEST_F(BarTest, EveryPaintDrawsEachLabelAsItsTextOnItsBaseline)
{
    makeStandardBar();
    const QFontMetrics metrics(bar->font());
    for (int paint = 0; paint < 2; ++paint) {
        const QImage image = render().convertToFormat(QImage::Format_RGB32);
        const QStringList labels = {"20", "22", "24", "26", "28"};
        for (int i = 0; i < labels.size(); ++i) {
            const QRect cell(i * 80 + 2, 3, metrics.horizontalAdvance(labels[i]), metrics.height());
            QImage expected(cell.size(), QImage::Format_RGB32);
            expected.fill(rangebar::defaultBackground());
            QPainter painter(&expected);
            painter.setFont(bar->font());
            painter.setPen(Qt::black);
            painter.drawText(QPoint(0, metrics.ascent()), labels[i]);
            painter.end();
            EXPECT_EQ(image.copy(cell), expected) << "label " << labels[i].toStdString() << ", paint " << paint;
        }
    }
}

TEST_F(BarTest, TheRenderedVerticalBarHasItsSelectorOnTheLeftGrowingUpwards)
{
    makeBar(0, 60, 400, 0, 100, 20, 30);
    const QImage image = render();
    const QColor idle = rangebar::selectorColor(SA_IDLE);
    EXPECT_EQ(image.pixelColor(5, 280), idle);
    EXPECT_EQ(image.pixelColor(16, 319), idle);
    EXPECT_NE(image.pixelColor(17, 300), idle);
    EXPECT_NE(image.pixelColor(10, 320), idle);
    EXPECT_EQ(image.pixelColor(0, 200), QColor(128, 128, 128)) << "left border";
    EXPECT_EQ(image.pixelColor(1, 160), QColor(128, 128, 128)) << "range tick";
}

TEST_F(BarTest, TheSelectorsColourShowsTheDragAndTheReadOnlyState)
{
    makeStandardBar();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    EXPECT_EQ(render().pixelColor(100, 25), rangebar::selectorColor(SA_MOVE));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(100, trackY));
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(82, trackY));
    EXPECT_EQ(render().pixelColor(100, 25), rangebar::selectorColor(SA_MINEDGE));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(82, trackY));
    EXPECT_EQ(render().pixelColor(100, 25), rangebar::selectorColor(SA_IDLE));
    bar->SetCtrlStyle(RBS_HORIZONTAL | RBS_READONLY);
    EXPECT_EQ(render().pixelColor(100, 25), rangebar::selectorColor(SA_OFF));
}

TEST_F(BarTest, AParentThatAnswersWithAColourGetsIt)
{
    makeStandardBar();
    host.brush = QColor(10, 120, 30);
    EXPECT_EQ(render().pixelColor(200, 18), QColor(10, 120, 30));
    EXPECT_GT(host.asked, 0);
    host.brush = Qt::NoBrush;
    EXPECT_EQ(render().pixelColor(200, 18), rangebar::defaultBackground());
}

TEST(BarParent, AnyOtherParentLeavesTheDefaultBackground)
{
    QWidget plain;
    plain.setPalette(QPalette(Qt::red));
    auto* bar = new CRangeBar(&plain);
    bar->SetCtrlStyle(RBS_HORIZONTAL);
    bar->resize(200, 40);
    EXPECT_EQ(bar->grab().toImage().pixelColor(100, 18), rangebar::defaultBackground());
}

}  // namespace
