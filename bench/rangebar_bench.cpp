// The range bar's drawing costs, headless: a full repaint of a 1000-pixel bar
// into an image, the same after the range and the window grew by one reading
// (as a graph's time ruler does with each), also as the event loop repaints
// it in a shown window, and one drag step of the selector as the operator makes it
// (the mouse event, the notification, and the repaint of the parts that
// moved into the window's backing store).
#include "rangebar.h"

#include <QImage>
#include <QTest>

#include <benchmark/benchmark.h>

namespace {

// A shown parent with one bar filling it: the time ruler of a graph window
// (seconds over ten minutes, 1000 pixels) or its temperature ruler.
struct ShownBar {
    explicit ShownBar(bool horizontal)
    {
        bar = new CRangeBar(&host);
        bar->SetCtrlStyle(horizontal ? RBS_HORIZONTAL | RbsFormat(2) : RbsFormat(5));
        const QSize size = horizontal ? QSize(1000, 32) : QSize(60, 1000);
        host.resize(size);
        bar->setGeometry(QRect(QPoint(0, 0), size));
        host.show();
        (void)QTest::qWaitForWindowExposed(&host);
        if (horizontal) {
            bar->SetMax(600000);
            bar->SetMin(0);
            bar->SetWinMax(400000);
            bar->SetWinMin(100000);
        } else {
            bar->SetMax(2000);
            bar->SetMin(0);
            bar->SetWinMax(1500);
            bar->SetWinMin(200);
        }
        QCoreApplication::processEvents();
    }

    QWidget host;
    CRangeBar* bar = nullptr;
};

void fullRepaint(benchmark::State& state, bool horizontal)
{
    ShownBar shown(horizontal);
    QImage image(shown.bar->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        shown.bar->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_FullRepaint_Horizontal1000(benchmark::State& state)
{
    fullRepaint(state, true);
}

// The time ruler of a graph showing the whole series: each reading 20 ms
// later moves the range's end and the window's end with it.
void BM_GrowingRangeRepaint_Horizontal1000(benchmark::State& state)
{
    ShownBar shown(true);
    shown.bar->SetWinMin(0);
    long end = 600000;
    QImage image(shown.bar->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        end += 20;
        shown.bar->SetMax(end);
        shown.bar->SetWinMax(end);
        shown.bar->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The same as the event loop repaints it in a shown window.
void BM_GrowingRangeEventLoop_Horizontal1000(benchmark::State& state)
{
    ShownBar shown(true);
    shown.bar->SetWinMin(0);
    long end = 600000;
    for (auto _ : state) {
        end += 20;
        shown.bar->SetMax(end);
        shown.bar->SetWinMax(end);
        QCoreApplication::processEvents();
    }
}

void BM_FullRepaint_Vertical1000(benchmark::State& state)
{
    fullRepaint(state, false);
}

// Alternates the pointer between two places 6 pixels apart while the
// selector body is held, so that every step moves the window.
void dragStep(benchmark::State& state, bool paint)
{
    ShownBar shown(true);
    CRangeBar* bar = shown.bar;
    int notices = 0;
    QObject::connect(bar, &CRangeBar::rangeBarNotify, [&notices](CRangeBar*, int) { ++notices; });
    const QPoint grip = bar->CalcSelectorRect().center();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, grip);
    QCoreApplication::processEvents();
    bool right = true;
    for (auto _ : state) {
        QTest::mouseMove(bar, grip + QPoint(right ? 6 : 0, 0));
        right = !right;
        if (paint)
            QCoreApplication::processEvents();
    }
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, grip);
    state.counters["moves/step"] = static_cast<double>(notices) / static_cast<double>(state.iterations());
}

void BM_DragStep_WithRepaint(benchmark::State& state)
{
    dragStep(state, true);
}

void BM_DragStep_HandlerOnly(benchmark::State& state)
{
    dragStep(state, false);
}

BENCHMARK(BM_FullRepaint_Horizontal1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrowingRangeRepaint_Horizontal1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrowingRangeEventLoop_Horizontal1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullRepaint_Vertical1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragStep_WithRepaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragStep_HandlerOnly)->Unit(benchmark::kMicrosecond);

}  // namespace
