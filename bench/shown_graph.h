// A shown temperature graph whose view is 1000 x 400 pixels showing the whole
// series, for the graph's benchmarks: a furnace-like signal every 100 ms.
#pragma once

#include "graph/graph_wnd.h"
#include "services/window_messages.h"

#include <rangebar.h>

#include <QCoreApplication>
#include <QTest>

#include <cmath>
#include <memory>

namespace bench {

constexpr int kViewWidth = 1000;
constexpr int kViewHeight = 400;
constexpr long kInterval = 100;  // ms between readings

// A slow swing with fast noise, around 800 °C.
inline long temperatureAt(long i)
{
    return 800 + static_cast<long>(40.0 * std::sin(i / 2000.0) + 6.0 * std::sin(i * 1.7));
}

inline std::unique_ptr<TermDataFile> makeSeries(long count, long interval = kInterval)
{
    auto series = std::make_unique<TermDataFile>();
    for (long i = 0; i < count; ++i)
        series->Add(i * interval, temperatureAt(i), 95, 30000 + temperatureAt(i));
    return series;
}

struct ShownGraph {
    explicit ShownGraph(long count, long interval = kInterval) : series(makeSeries(count, interval)), interval_(interval)
    {
        wnd.show();
        (void)QTest::qWaitForWindowExposed(&wnd);
        sendMessage(&wnd, WM_GRAPH_SETDATA, makeWordPair(300, 1200), reinterpret_cast<std::intptr_t>(series.get()));
        wnd.timeRuler()->SetWinMin(wnd.timeRuler()->GetMin());
        wnd.temperatureRuler()->SetWinMax(900);
        wnd.temperatureRuler()->SetWinMin(700);
        QCoreApplication::processEvents();  // the rulers' new labels may ask for a new layout
        const int extraWidth = wnd.width() - wnd.view()->width();
        const int extraHeight = wnd.height() - wnd.view()->height();
        wnd.resize(kViewWidth + extraWidth, kViewHeight + extraHeight);
        QCoreApplication::processEvents();
    }

    // The next reading as the owner delivers it: into the series, then posted.
    void addReading(long value)
    {
        const long count = series->GetCount();
        const long time = count > 0 ? series->GetTermData()[count - 1].time + interval_ : 0;
        series->Add(time, value, 95, 30000 + value);
        postMessage(&wnd, WM_GRAPH_NEWVALUE, static_cast<std::uintptr_t>(value), time);
    }

    std::unique_ptr<TermDataFile> series;
    CGraphWnd wnd;

private:
    long interval_;
};

}  // namespace bench
